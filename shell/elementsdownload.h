#pragma once
// Fetches the current two-line elements from a URL with Qt's network module and
// checks them with the same parser that reads element files. The caller decides
// whether they are taken, and only then keeps them in the user's cache, so that
// the last good set outlives the network.
#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// The chosen station's current set from CelesTrak; {catalog} stands for its number.
inline constexpr const char *kDefaultElementsUrl =
    "https://celestrak.org/NORAD/elements/gp.php?CATNR={catalog}&FORMAT=tle";

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
    // The server of the last Start, with its port where one was given.
    QString Host() const;

    // Where fetched elements are kept: <XDG cache>/QUOR/elements.tle.
    static QString CachePath();
    // Replaces the kept file with `text`, whole or not at all; false with the reason.
    static bool Keep(const QByteArray &text, QString &reason);

signals:
    void Progress(qint64 received, qint64 total); // total -1 when unknown
    // The text fetched; it holds at least one element set. Nothing has been kept yet.
    void Finished(const QByteArray &text);
    // A complete sentence for a message box; the kept file is untouched.
    void Failed(const QString &message);

private:
    void OnMetaData();
    void OnReadyRead();
    void OnRedirected(const QUrl &url);
    void NotFollowed(const QUrl &url);
    void OnDownloadProgress(qint64 received, qint64 total);
    void OnFinished();
    void OnTimeout();
    // Drops the reply without letting it signal us again, and its connection with it.
    void DropReply();
    void Fail(const QString &message);
    void FailTooLarge();

    // Made anew for each fetch: dropping it closes its connections, whatever they were doing.
    QNetworkAccessManager *m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QUrl m_url;
    QByteArray m_body;
    int m_timeoutMs = 0;
    bool m_running = false;
    quint64 m_generation = 0; // which Start a queued failure belongs to
};
