#include "elementsdownload.h"

#include "orbit/elements.h"
#include "view/wholefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSslSocket>
#include <QStandardPaths>

#include <algorithm>
#include <string_view>

namespace {

constexpr int kDefaultTimeoutMs = 15000;
// What the socket may hold for us before we have read it: the answer is taken as
// it arrives, so memory stays bounded whatever the server sends.
constexpr qint64 kReadBufferBytes = 64 * 1024;

QString SocketFailure(QAbstractSocket::SocketError error, const QString &host, const QString &detail) {
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return ElementsDownload::tr("The host %1 could not be found. Check that this computer is connected "
                                    "to the internet and that the address is right.")
            .arg(host);
    case QAbstractSocket::ConnectionRefusedError:
        return ElementsDownload::tr("The server %1 refused the connection; it may be down. Try again later.")
            .arg(host);
    case QAbstractSocket::RemoteHostClosedError:
        return ElementsDownload::tr("The server %1 closed the connection before it sent the elements. "
                                    "Try again later.")
            .arg(host);
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return ElementsDownload::tr("No secure connection to %1 could be made (%2).").arg(host, detail);
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::TemporaryError:
    case QAbstractSocket::UnknownSocketError:
        return ElementsDownload::tr("There is no network to fetch the elements from %1 (%2). Check that "
                                    "this computer is connected to the internet.")
            .arg(host, detail);
    default:
        return ElementsDownload::tr("The elements could not be fetched from %1 (%2).").arg(host, detail);
    }
}

bool IsWebAddress(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == "http" || scheme == "https");
}

} // namespace

ElementsDownload::ElementsDownload(QObject *parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end a 15 s limit most of a second early
    connect(&m_timer, &QTimer::timeout, this, &ElementsDownload::OnTimeout);
}

ElementsDownload::~ElementsDownload() {
    DropSocket();
}

QString ElementsDownload::CachePath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.cache";
    return base + "/QUOR/elements.tle";
}

bool ElementsDownload::Keep(const QByteArray &text, QString &reason) {
    const QString path = CachePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        reason = tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    reason = WriteFileWhole(path, text);
    return reason.isEmpty();
}

void ElementsDownload::Start(const QUrl &url, int timeoutMs) {
    Cancel();
    m_url = url;
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs;
    m_running = true;
    m_redirects = 0;
    const quint64 generation = m_generation;

    QString problem;
    if (!IsWebAddress(url))
        problem = tr("\"%1\" is not a web address (http or https) to fetch orbital elements from.")
                      .arg(url.toDisplayString());
    else if (url.scheme().toLower() == "https" && !QSslSocket::supportsSsl())
        problem = tr("No secure connection to %1 can be made: this system offers no TLS.").arg(Host());
    if (!problem.isEmpty()) {
        // Queued, so that a caller sees the failure as it would any other: after Start returns.
        QMetaObject::invokeMethod(
            this,
            [this, generation, problem] {
                if (m_running && m_generation == generation)
                    Fail(problem);
            },
            Qt::QueuedConnection);
        return;
    }
    m_timer.start(m_timeoutMs);
    Request(url);
}

void ElementsDownload::Request(const QUrl &url) {
    m_current = url;
    m_head.clear();
    m_inBody = false;
    m_status = 0;
    m_reason.clear();
    m_length = -1;
    m_chunked = false;
    m_chunkBuffer.clear();
    m_chunkLeft = -1;
    m_bodyDone = false;
    m_body.clear();

    const bool secure = url.scheme().toLower() == "https";
    QSslSocket *socket = new QSslSocket(this);
    m_socket = socket;
    socket->setReadBufferSize(kReadBufferBytes);
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (url.port() >= 0)
        host += ':' + QByteArray::number(url.port());
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host +
                               "\r\nUser-Agent: QUOR/5.0\r\nAccept: text/plain, */*\r\n"
                               "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
    const auto send = [this, request] {
        if (m_socket)
            m_socket->write(request);
    };
    connect(socket, secure ? &QSslSocket::encrypted : &QSslSocket::connected, this, send);
    connect(socket, &QSslSocket::readyRead, this, &ElementsDownload::OnReadyRead);
    connect(socket, &QSslSocket::disconnected, this, &ElementsDownload::OnDisconnected);
    connect(socket, &QSslSocket::errorOccurred, this, &ElementsDownload::OnSocketError);
    if (secure)
        socket->connectToHostEncrypted(url.host(), static_cast<quint16>(url.port(443)));
    else
        socket->connectToHost(url.host(), static_cast<quint16>(url.port(80)));
}

void ElementsDownload::Cancel() {
    DropSocket();
    m_timer.stop();
    m_body.clear();
    m_head.clear();
    m_chunkBuffer.clear();
    m_running = false;
    ++m_generation;
}

void ElementsDownload::DropSocket() {
    if (QSslSocket *socket = m_socket) {
        m_socket = nullptr;
        // Disconnected first: abort() may signal at once.
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        socket->deleteLater();
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

void ElementsDownload::OnReadyRead() {
    while (m_running && m_socket && m_socket->bytesAvailable() > 0) {
        QByteArray data = m_socket->read(kReadBufferBytes);
        if (!m_inBody) {
            m_head += data;
            const qsizetype end = m_head.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_head.size() > kMaxHeaderBytes)
                    Fail(tr("The answer from %1 begins with a header of more than %2 KiB; it is not a web "
                            "server's answer.")
                             .arg(Host())
                             .arg(kMaxHeaderBytes / 1024));
                continue;
            }
            data = m_head.mid(end + 4);
            m_head.truncate(end);
            m_inBody = true;
            if (!ReadHead())
                return;
        }
        if (!TakeBody(data))
            return;
        if (m_bodyDone || (!m_chunked && m_length >= 0 && m_body.size() >= m_length)) {
            Complete();
            return;
        }
    }
}

bool ElementsDownload::ReadHead() {
    const QList<QByteArray> lines = m_head.split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    bool ok = false;
    m_status = status.value(1).toInt(&ok);
    if (!status.value(0).startsWith("HTTP/") || !ok) {
        Fail(tr("The answer from %1 is not a web server's answer.").arg(Host()));
        return false;
    }
    m_reason = QString::fromLatin1(status.mid(2).join(' ')).trimmed();
    QByteArray location;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed();
        if (name == "content-length") {
            // Digits only: a sign, a space or a second number is no length a server sends.
            const bool digits = !value.isEmpty() && std::all_of(value.begin(), value.end(), [](char c) {
                return c >= '0' && c <= '9';
            });
            const qint64 length = value.toLongLong(&ok);
            if (!digits || !ok) {
                Fail(tr("The answer from %1 gives its length as \"%2\", which is no length; it was not taken.")
                         .arg(Host(), QString::fromLatin1(value.left(40))));
                return false;
            }
            m_length = length;
        } else if (name == "transfer-encoding") {
            m_chunked = value.toLower().contains("chunked");
        } else if (name == "location") {
            location = value;
        }
    }
    if (m_status == 301 || m_status == 302 || m_status == 303 || m_status == 307 || m_status == 308) {
        if (!location.isEmpty()) {
            Redirect(location);
            return false;
        }
    }
    if (m_status == 403) {
        // CelesTrak's answer to a client that asks for the same set again too soon.
        Fail(tr("The server %1 refused the elements (HTTP status 403, Forbidden). The public catalogue "
                "refuses a client that fetches the same set more than once in two hours; try again later.")
                 .arg(Host()));
        return false;
    }
    if (m_status < 200 || m_status > 299) {
        const QString number = QString::number(m_status);
        Fail(tr("The server %1 answered with HTTP status %2 instead of the elements.")
                 .arg(Host(), m_reason.isEmpty() ? number : number + " (" + m_reason + ")"));
        return false;
    }
    // A length announced beyond the limit ends the fetch before any of the body is read.
    if (!m_chunked && m_length > kMaxBytes) {
        FailTooLarge();
        return false;
    }
    emit Progress(0, m_chunked ? -1 : m_length);
    return true;
}

bool ElementsDownload::TakeBody(const QByteArray &data) {
    if (!m_chunked) {
        m_body += data;
    } else {
        m_chunkBuffer += data;
        while (!m_bodyDone) {
            if (m_chunkLeft == -1) { // a size line
                const qsizetype end = m_chunkBuffer.indexOf("\r\n");
                if (end < 0) {
                    if (m_chunkBuffer.size() > 1024) {
                        Fail(tr("The answer from %1 is cut into pieces that cannot be read.").arg(Host()));
                        return false;
                    }
                    break;
                }
                bool ok = false;
                const qint64 size = m_chunkBuffer.left(end).split(';').value(0).trimmed().toLongLong(&ok, 16);
                m_chunkBuffer.remove(0, end + 2);
                if (!ok || size < 0) {
                    Fail(tr("The answer from %1 is cut into pieces that cannot be read.").arg(Host()));
                    return false;
                }
                if (size == 0) {
                    m_bodyDone = true; // trailers, if any, are not needed
                    break;
                }
                if (m_body.size() + size > kMaxBytes) {
                    FailTooLarge();
                    return false;
                }
                m_chunkLeft = size;
            } else if (m_chunkLeft == 0) { // the line break after a piece
                if (m_chunkBuffer.size() < 2)
                    break;
                if (!m_chunkBuffer.startsWith("\r\n")) {
                    Fail(tr("The answer from %1 is cut into pieces that cannot be read.").arg(Host()));
                    return false;
                }
                m_chunkBuffer.remove(0, 2);
                m_chunkLeft = -1;
            } else {
                const qsizetype take =
                    static_cast<qsizetype>(std::min<qint64>(m_chunkLeft, m_chunkBuffer.size()));
                if (take == 0)
                    break;
                m_body += m_chunkBuffer.left(take);
                m_chunkBuffer.remove(0, take);
                m_chunkLeft -= take;
            }
        }
    }
    if (m_body.size() > kMaxBytes) {
        FailTooLarge();
        return false;
    }
    emit Progress(m_body.size(), m_chunked ? -1 : m_length);
    return true;
}

void ElementsDownload::Redirect(const QByteArray &location) {
    const QUrl target = m_current.resolved(QUrl::fromEncoded(location));
    const bool downgrade = m_current.scheme().toLower() == "https" && target.scheme().toLower() == "http";
    if (!IsWebAddress(target) || downgrade) {
        // The server that sent it on, which after earlier redirects is not the one first asked.
        const QString from = m_current.port() < 0 ? m_current.host()
                                                  : m_current.host() + ':' + QString::number(m_current.port());
        Fail(tr("The server %1 sent the request on to \"%2\", which is not a secure web address (https, "
                "or http from http); it was not followed.")
                 .arg(from, target.toDisplayString()));
        return;
    }
    if (++m_redirects > kMaxRedirects) {
        Fail(tr("The server %1 sent the request on more than %2 times; it was not followed further.")
                 .arg(Host())
                 .arg(kMaxRedirects));
        return;
    }
    DropSocket();
    Request(target);
}

void ElementsDownload::OnDisconnected() {
    OnReadyRead(); // what came before the close
    if (!m_running)
        return;
    const bool whole = m_inBody && (m_chunked ? m_bodyDone : m_length < 0 || m_body.size() >= m_length);
    if (!whole) {
        Fail(SocketFailure(QAbstractSocket::RemoteHostClosedError, Host(), QString()));
        return;
    }
    Complete();
}

void ElementsDownload::OnSocketError() {
    if (!m_running || !m_socket)
        return;
    // A close is judged by what had arrived before it.
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    Fail(SocketFailure(m_socket->error(), Host(), m_socket->errorString()));
}

void ElementsDownload::OnTimeout() {
    Fail(tr("Fetching the elements from %1 timed out: the whole answer did not arrive within %2 s.")
             .arg(Host())
             .arg(QString::number(m_timeoutMs / 1000.0, 'g', 3)));
}

void ElementsDownload::Complete() {
    if (m_length >= 0 && m_body.size() > m_length)
        m_body.truncate(m_length);
    DropSocket();
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
