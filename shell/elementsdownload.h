#pragma once
// Fetches the current two-line elements from a URL with Qt's network module,
// checks them with the same parser that reads element files, and keeps them in
// the user's cache so that the last good set outlives the network.
#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// The space station's current set from CelesTrak.
inline constexpr const char *kDefaultElementsUrl =
    "https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE";

class ElementsDownload : public QObject {
    Q_OBJECT
public:
    // No catalogue of element sets comes near this; anything larger is not what we asked for.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    explicit ElementsDownload(QObject *parent = nullptr);
    ~ElementsDownload() override;

    // Starts fetching; a fetch already running is cancelled, silently. timeoutMs
    // without the whole answer ends it with Failed; 0 or less takes the default.
    void Start(const QUrl &url, int timeoutMs = 15000);
    // Ends a running fetch without a signal; the kept file stays as it was.
    void Cancel();
    bool IsRunning() const { return m_running; }

    // Where fetched elements are kept: <XDG cache>/QUOR/elements.tle.
    static QString CachePath();

signals:
    void Progress(qint64 received, qint64 total); // total -1 when unknown
    // The text fetched. It holds at least one element set and has replaced the kept file.
    void Finished(const QString &text);
    // A complete sentence for a message box; the kept file is untouched.
    void Failed(const QString &message);

private:
    void OnReadyRead();
    void OnDownloadProgress(qint64 received, qint64 total);
    void OnFinished();
    void OnTimeout();
    // Drops the reply without letting it signal us again.
    void DropReply();
    void Fail(const QString &message);
    QString Host() const;

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QUrl m_url;
    QByteArray m_body;
    int m_timeoutMs = 0;
    bool m_running = false;
    quint64 m_generation = 0; // which Start a queued failure belongs to
};
