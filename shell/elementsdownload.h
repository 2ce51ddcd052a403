#pragma once
// Fetches the current two-line elements from a URL and checks them with the same
// parser that reads element files. The caller decides whether they are taken,
// and only then keeps them in the user's cache, so that the last good set
// outlives the network.
//
// The fetch speaks plain HTTP/1.1 over a socket of its own (TLS for https) in
// the user-interface thread rather than through QNetworkAccessManager, whose
// worker thread cannot be stopped while a server keeps sending header lines:
// here a time limit, a size limit or Cancel closes the connection at once.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QSslSocket;

// The chosen station's current set from CelesTrak; {catalog} stands for its number.
inline constexpr const char *kDefaultElementsUrl =
    "https://celestrak.org/NORAD/elements/gp.php?CATNR={catalog}&FORMAT=tle";

class ElementsDownload : public QObject {
    Q_OBJECT
public:
    // No catalogue of element sets comes near this; anything larger is not what we asked for.
    static constexpr qint64 kMaxBytes = 1024 * 1024;
    // A header block longer than this is not an answer we want.
    static constexpr qint64 kMaxHeaderBytes = 64 * 1024;
    static constexpr int kMaxRedirects = 10;

    explicit ElementsDownload(QObject *parent = nullptr);
    ~ElementsDownload() override;

    // Starts fetching; a fetch already running is cancelled, silently. timeoutMs
    // without the whole answer ends it with Failed; 0 or less takes the default.
    void Start(const QUrl &url, int timeoutMs = 15000);
    // Ends a running fetch without a signal, closing its connection; the kept file stays as it was.
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
    void Request(const QUrl &url);
    void OnReadyRead();
    void OnDisconnected();
    void OnSocketError();
    void OnTimeout();
    // The header block is whole: its status and length decide what follows.
    bool ReadHead();
    // Takes body bytes (decoding chunks); false once the fetch has ended.
    bool TakeBody(const QByteArray &data);
    void Complete();
    void Redirect(const QByteArray &location);
    // Closes the connection at once, without letting it signal us again.
    void DropSocket();
    void Fail(const QString &message);
    void FailTooLarge();

    QPointer<QSslSocket> m_socket;
    QTimer m_timer;
    QUrl m_url;     // as started: messages name its host
    QUrl m_current; // after redirects
    int m_redirects = 0;
    QByteArray m_head;
    bool m_inBody = false;
    int m_status = 0;
    QString m_reason;
    qint64 m_length = -1; // Content-Length, -1 when not given
    bool m_chunked = false;
    QByteArray m_chunkBuffer; // undecoded chunked bytes
    qint64 m_chunkLeft = -1;  // bytes of the current chunk still to come; -1 before its size line
    bool m_bodyDone = false;
    QByteArray m_body;
    int m_timeoutMs = 0;
    bool m_running = false;
    quint64 m_generation = 0; // which Start a queued failure belongs to
};
