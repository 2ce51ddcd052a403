#pragma once
// The live orbit's commands: opening and updating orbital elements, choosing the
// station, switching a document between the simulated and the live orbit, the
// live clock's "Now" and the ground track. The elements in use are program-wide
// and remembered in the settings profile.
#include <QObject>
#include <QString>

class Application;
class CQUORDoc;
class ElementsDownload;

class OrbitCommands : public QObject {
    Q_OBJECT
public:
    explicit OrbitCommands(Application *app);
    ~OrbitCommands() override;

    // Reads elements from a file and takes the chosen set (asking when there are
    // several and `ask` is set). False, after a message naming the file, the
    // line and what is wrong, when none can be taken; the elements in use stay.
    bool OpenElementsFile(const QString &path, bool ask = true);
    // The same for text fetched from the web, named by where it came from.
    bool TakeElements(const QString &text, const QString &origin, bool ask);
    // The elements remembered from the last run, quietly; false when there are none.
    bool RestoreElements();
    // Switches the document to the live orbit, asking for elements first if none are open.
    void SetLive(CQUORDoc *doc, bool live);

    void OnOpenElements();
    void OnUpdateElements();
    void OnNow();
    void OnGroundTrack();

private:
    CQUORDoc *ActiveDocument() const;
    void RepaintLiveViews();

    Application *m_app;
    ElementsDownload *m_download = nullptr;
};
