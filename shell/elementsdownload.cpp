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
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("QUOR/5.0"));
    m_reply = m_manager.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &ElementsDownload::OnReadyRead);
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
        reply->deleteLater();
    }
}

void ElementsDownload::Fail(const QString &message) {
    Cancel();
    emit Failed(message);
}

QString ElementsDownload::Host() const {
    if (m_url.host().isEmpty())
        return m_url.toDisplayString();
    return m_url.port() < 0 ? m_url.host() : m_url.host() + ':' + QString::number(m_url.port());
}

void ElementsDownload::OnReadyRead() {
    m_body += m_reply->readAll();
    if (m_body.size() > kMaxBytes)
        Fail(tr("The answer from %1 is larger than %2 MiB, far more than any list of orbital elements; "
                "it was not kept.")
                 .arg(Host())
                 .arg(kMaxBytes / (1024 * 1024)));
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
    DropReply();

    const int code = status.isValid() ? status.toInt() : 200;
    // A redirect we would not follow (to plain http, or one too many) is the network's word, not the
    // server's.
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

    // Written whole or not at all, so that the kept set is always one that parsed.
    const QString path = CachePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_body) != m_body.size() || !file.commit()) {
        Fail(tr("The elements were fetched from %1 but could not be kept in %2 (%3).")
                 .arg(Host(), QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const QString text = QString::fromUtf8(m_body);
    Cancel();
    emit Finished(text);
}
