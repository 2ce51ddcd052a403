#include "elementsdownload.h"

#include "orbit/elements.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>

#include <string_view>

namespace {

constexpr int kDefaultTimeoutMs = 15000;
// What Qt's network layer may hold for us before we have read it: the answer is
// taken as it arrives, so memory stays bounded whatever the server sends.
constexpr qint64 kReadBufferBytes = 64 * 1024;

QString NetworkFailure(QNetworkReply::NetworkError error, const QString &host, const QString &detail) {
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return ElementsDownload::tr("The host %1 could not be found. Check that this computer is connected "
                                    "to the internet and that the address is right.")
            .arg(host);
    case QNetworkReply::ConnectionRefusedError:
        return ElementsDownload::tr("The server %1 refused the connection; it may be down. Try again later.")
            .arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return ElementsDownload::tr("The server %1 closed the connection before it sent the elements. "
                                    "Try again later.")
            .arg(host);
    case QNetworkReply::SslHandshakeFailedError:
        return ElementsDownload::tr("No secure connection to %1 could be made (%2).").arg(host, detail);
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        return ElementsDownload::tr("There is no network to fetch the elements from %1 (%2). Check that "
                                    "this computer is connected to the internet.")
            .arg(host, detail);
    case QNetworkReply::TooManyRedirectsError:
        return ElementsDownload::tr("The server %1 sent the request round too many redirects (%2).")
            .arg(host, detail);
    default:
        return ElementsDownload::tr("The elements could not be fetched from %1 (%2).").arg(host, detail);
    }
}

} // namespace

ElementsDownload::ElementsDownload(QObject *parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end a 15 s limit most of a second early
    connect(&m_timer, &QTimer::timeout, this, &ElementsDownload::OnTimeout);
}

ElementsDownload::~ElementsDownload() {
    DropReply();
}

QString ElementsDownload::CachePath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.cache";
    return base + "/QUOR/elements.tle";
}

bool ElementsDownload::Keep(const QByteArray &text, QString &reason) {
    const QString path = CachePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

void ElementsDownload::Start(const QUrl &url, int timeoutMs) {
    Cancel();
    m_url = url;
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs;
    m_running = true;
    const quint64 generation = m_generation;

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        // Queued, so that a caller sees the failure as it would any other: after Start returns.
        const QString message =
            tr("\"%1\" is not a web address (http or https) to fetch orbital elements from.")
                .arg(url.toDisplayString());
        QMetaObject::invokeMethod(
            this,
            [this, generation, message] {
                if (m_running && m_generation == generation)
                    Fail(message);
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest request(url);
    // Each redirect is looked at before it is followed: only to a web address, never down to plain http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("QUOR/5.0"));
    m_manager = new QNetworkAccessManager(this);
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ElementsDownload::OnMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &ElementsDownload::OnReadyRead);
    connect(m_reply, &QNetworkReply::redirected, this, &ElementsDownload::OnRedirected);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &ElementsDownload::OnDownloadProgress);
    connect(m_reply, &QNetworkReply::finished, this, &ElementsDownload::OnFinished);
    m_timer.start(m_timeoutMs);
}

void ElementsDownload::Cancel() {
    DropReply();
    m_body.clear();
    m_running = false;
    ++m_generation;
}

void ElementsDownload::DropReply() {
    m_timer.stop();
    if (QNetworkReply *reply = m_reply) {
        m_reply = nullptr;
        // Disconnected first: abort() emits finished at once.
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
    }
    // With the manager go its connections, even one still reading a header that never ends.
    if (QNetworkAccessManager *manager = m_manager) {
        m_manager = nullptr;
        manager->deleteLater();
    }
}

void ElementsDownload::Fail(const QString &message) {
    Cancel();
    emit Failed(message);
}

void ElementsDownload::FailTooLarge() {
    Fail(tr("The answer from %1 is larger than %2 MiB, far more than any list of orbital elements; "
            "it was not kept.")
             .arg(Host())
             .arg(kMaxBytes / (1024 * 1024)));
}

QString ElementsDownload::Host() const {
    if (m_url.host().isEmpty())
        return m_url.toDisplayString();
    return m_url.port() < 0 ? m_url.host() : m_url.host() + ':' + QString::number(m_url.port());
}

void ElementsDownload::OnMetaData() {
    // A length announced beyond the limit ends the fetch before any of the body is read.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > kMaxBytes)
        FailTooLarge();
}

void ElementsDownload::OnReadyRead() {
    while (m_reply && m_reply->bytesAvailable() > 0) {
        m_body += m_reply->read(kReadBufferBytes);
        if (m_body.size() > kMaxBytes) {
            FailTooLarge();
            return;
        }
    }
}

void ElementsDownload::OnRedirected(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    const bool downgrade = m_reply->url().scheme().toLower() == "https" && scheme == "http";
    if ((scheme != "http" && scheme != "https") || url.host().isEmpty() || downgrade) {
        NotFollowed(url);
        return;
    }
    emit m_reply->redirectAllowed();
}

void ElementsDownload::NotFollowed(const QUrl &url) {
    Fail(tr("The server %1 sent the request on to \"%2\", which is not a secure web address (https, or "
            "http from http); it was not followed.")
             .arg(Host(), url.toDisplayString()));
}

void ElementsDownload::OnDownloadProgress(qint64 received, qint64 total) {
    emit Progress(received, total < 0 ? -1 : total);
}

void ElementsDownload::OnTimeout() {
    Fail(tr("Fetching the elements from %1 timed out: the whole answer did not arrive within %2 s.")
             .arg(Host())
             .arg(QString::number(m_timeoutMs / 1000.0, 'g', 3)));
}

void ElementsDownload::OnFinished() {
    QNetworkReply *reply = m_reply;
    OnReadyRead();
    if (!m_running)
        return; // too large
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
    const QNetworkReply::NetworkError error = reply->error();
    const QString detail = reply->errorString();
    // Qt refuses a redirect to a scheme it cannot fetch before asking us.
    const QByteArray location = reply->rawHeader("Location");
    const QUrl target = reply->url().resolved(QUrl::fromEncoded(location));
    const bool redirected = !location.isEmpty() && status.toInt() / 100 == 3;
    DropReply();

    if (redirected &&
        (error == QNetworkReply::ProtocolUnknownError || error == QNetworkReply::InsecureRedirectError)) {
        NotFollowed(target);
        return;
    }

    const int code = status.isValid() ? status.toInt() : 200;
    if (code == 403) {
        // CelesTrak's answer to a client that asks for the same set again too soon.
        Fail(tr("The server %1 refused the elements (HTTP status 403, Forbidden). The public catalogue "
                "refuses a client that fetches the same set more than once in two hours; try again later.")
                 .arg(Host()));
        return;
    }
    // A redirect we would not follow (one too many, say) is the network's word, not the server's.
    if (code >= 400 || (error == QNetworkReply::NoError && (code < 200 || code > 299))) {
        const QString number = QString::number(code);
        Fail(tr("The server %1 answered with HTTP status %2 instead of the elements.")
                 .arg(Host(), reason.isEmpty() ? number : number + " (" + reason + ")"));
        return;
    }
    if (error != QNetworkReply::NoError) {
        Fail(NetworkFailure(error, Host(), detail));
        return;
    }

    const ElementsFile parsed = ParseElements(std::string_view(m_body.constData(), m_body.size()));
    if (parsed.error) {
        Fail(tr("The answer from %1 is not a list of orbital elements: %2.")
                 .arg(Host(), QString::fromStdString(parsed.error->message)));
        return;
    }
    if (parsed.sets.empty()) {
        Fail(tr("The answer from %1 holds no orbital elements.").arg(Host()));
        return;
    }
    const QByteArray text = m_body;
    Cancel();
    emit Finished(text);
}
