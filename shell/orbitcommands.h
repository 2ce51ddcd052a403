#pragma once
// The live orbit's commands: opening and updating orbital elements, choosing the
// station, switching a document between the simulated and the live orbit, the
// live clock's "Now" and "Set Time", and the ground track. What they choose goes
// into the live model and is remembered in the settings profile.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <vector>

class Application;
class CQUORDoc;
class ElementsDownload;
class LiveModel;
class PassesWindow;
struct OrbitalElements;

class OrbitCommands : public QObject {
    Q_OBJECT
public:
    OrbitCommands(Application *app, LiveModel *live);
    ~OrbitCommands() override;

    // Reads elements from a file and takes the chosen set (asking when there are
    // several and `ask` is set). False, after a message naming the file, the
    // line and what is wrong, when none can be taken; the elements in use stay.
    bool OpenElementsFile(const QString &path, bool ask = true);
    // What the user chose last, the file or the download, quietly; false when
    // there is none or it cannot be read.
    bool RestoreElements();
    // Switches the document to the live orbit, asking for elements first if none
    // are open; the live clock then shows now, running.
    void SetLive(CQUORDoc *doc, bool live);
    // Whether the viewer's last active document showed the live orbit, as remembered.
    bool WasLive() const;
    // Remembers whether the active document shows the live orbit; nothing without one.
    void RememberLiveChoice();
    // Which documents opened from now on show the live orbit at once: those opened
    // while the viewer starts, or the first one opened into a viewer that started empty.
    enum class LiveOnOpen { Off, WhileStarting, First };
    void SetLiveOnOpen(LiveOnOpen which);

    void OnOpenElements();
    void OnUpdateElements();
    void OnNow();
    // Asks for a date and time and sets the live clock there; it runs on at the factor in use.
    void OnSetTime();
    void OnGroundTrack();
    // Asks for the observer's place and remembers it; the live panel says where to look from there.
    void OnSetLocation();
    // Opens the passes window, or brings the one open to the front.
    void OnPasses();
    // Sets the live clock to a moment to watch, switching the active document to the
    // live orbit first if it shows the simulated one.
    void WatchFrom(qint64 utcMs);
    PassesWindow *Passes() const;
    // The place remembered in the profile, quietly; none when it is missing or unreadable.
    void RestoreLocation();

    // The address to fetch: {catalog} in the pattern becomes the station's number;
    // a pattern without it is taken as it is.
    static QUrl ElementsUrl(const QString &pattern, int catalogNumber);
    // The chooser's line for a set: its name, number and epoch.
    static QString SetLabel(const OrbitalElements &set);

    // Fetched elements count as current this long; the public catalogue refuses to
    // give the same set again sooner.
    static constexpr qint64 kFreshMs = 2 * 3600 * 1000;
    // A downloaded set whose epoch lies further ahead of now than this is refused.
    static constexpr qint64 kMaxEpochAheadMs = 24 * 3600 * 1000;

protected:
    // A download is cancelled when the main window closes: nobody is left to answer it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Source { File, Download };

    CQUORDoc *ActiveDocument() const;
    bool AnyLiveDocument() const;
    // Reads a file and takes one of its sets; `restoring` prefers the set chosen last.
    bool OpenElements(const QString &path, bool ask, bool restoring, Source source);
    // The index of the set to take: the remembered one when restoring, else the newest
    // of the chosen station's number; with `ask` and several sets, the user's pick.
    // -1 after Cancel.
    int ChooseSet(const std::vector<OrbitalElements> &sets, bool ask, bool restoring);
    void Remember(const OrbitalElements &set, Source source);
    void OnDownloaded(const QByteArray &text);
    int WantedCatalogueNumber() const;
    // Says that the elements fetched last are current and takes them, when they
    // were fetched for this station less than kFreshMs ago.
    bool FetchedRecently();
    // The newest set of the station in the cache of fetched elements; false when there is none.
    static bool KeptSet(int catalogNumber, OrbitalElements &set);

    Application *m_app;
    LiveModel *m_live;
    ElementsDownload *m_download = nullptr;
    QPointer<PassesWindow> m_passes;
    LiveOnOpen m_liveOnOpen = LiveOnOpen::Off;
};
