#include "openrequests.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A request is "open ", the time by which the caller wants an answer (milliseconds
// since the epoch), a space and an absolute path, ended by a NUL (no path holds
// one); the viewer answers "ok\n" once it has taken the request on. A viewer that
// reads the request too late to answer in time leaves it: by then the caller is
// showing the file itself.
constexpr char kOpenVerb[] = "open ";
constexpr char kAccepted[] = "ok\n";
constexpr qint64 kMaxRequest = 64 * 1024;
// Time the answer needs to reach the caller before its deadline.
constexpr qint64 kAnswerMarginMs = 250;

// The user's own directory for the socket, or empty when it is not safely private.
QString PrivateDirectory() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        return {};
    const QString dir = base + QStringLiteral("/quor");
    const QByteArray native = QFile::encodeName(dir);
    if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    // Someone else's directory, a link, or one others may enter: no channel at all.
    if (lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return dir;
}

// The display this process shows its windows on, fit for a file name.
QString DisplayKey() {
    const QString platform = QGuiApplication::platformName();
    QString display = platform.startsWith(QLatin1String("wayland")) ? qEnvironmentVariable("WAYLAND_DISPLAY")
                                                                    : qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = platform.isEmpty() ? QStringLiteral("default") : platform;
    // ":1" and ":1.0" are one display.
    if (display.endsWith(QLatin1String(".0")))
        display.chop(2);
    for (QChar &c : display) {
        if (!c.isLetterOrNumber() && c != '.' && c != '-')
            c = '_';
    }
    return display;
}

} // namespace

QString OpenRequestSocketPath() {
    const QString dir = PrivateDirectory();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/open-") + DisplayKey();
}

bool HandOverToRunningViewer(const QString &path, int timeoutMs) {
    const QString socketPath = OpenRequestSocketPath();
    if (socketPath.isEmpty() || !QFileInfo::exists(socketPath))
        return false;
    QElapsedTimer clock;
    clock.start();
    auto left = [&] { return std::max<int>(0, timeoutMs - static_cast<int>(clock.elapsed())); };
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(left()))
        return false;
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + timeoutMs;
    socket.write(QByteArray(kOpenVerb) + QByteArray::number(deadline) + ' ' + path.toUtf8() + '\0');
    if (!socket.waitForBytesWritten(left()))
        return false;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (left() == 0 || !socket.waitForReadyRead(left()))
            break;
        reply += socket.readAll();
    }
    reply += socket.readAll();
    return reply.startsWith(kAccepted);
}

OpenRequestServer::OpenRequestServer(std::function<void(const QString &)> open, QObject *parent)
    : QObject(parent), m_open(std::move(open)), m_server(new QLocalServer(this)) {
    connect(m_server, &QLocalServer::newConnection, this, &OpenRequestServer::OnConnection);
}

OpenRequestServer::~OpenRequestServer() {
    // Closing removes the socket file, so no later start waits on it; one that never
    // listened leaves the file alone (it is another viewer's).
    if (m_server->isListening())
        m_server->close();
}

bool OpenRequestServer::Listen() {
    const QString path = OpenRequestSocketPath();
    if (path.isEmpty())
        return false;
    // No socket options: the directory keeps others out already, and with options the
    // socket is made elsewhere and renamed into place, over a running viewer's socket.
    if (m_server->listen(path))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500))
        return false; // another viewer serves this display
    // Left behind by a viewer that did not end cleanly.
    QLocalServer::removeServer(path);
    return m_server->listen(path);
}

bool OpenRequestServer::IsListening() const {
    return m_server->isListening();
}

void OpenRequestServer::OnConnection() {
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A caller that never finishes its request does not hold the connection.
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            OnReadable(socket);
    }
}

void OpenRequestServer::OnReadable(QLocalSocket *socket) {
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    const qsizetype end = pending.indexOf('\0');
    if (end < 0) {
        if (pending.size() > kMaxRequest)
            socket->abort();
        return;
    }
    const QByteArray request = socket->read(end + 1).chopped(1);
    const QByteArray body = request.mid(static_cast<qsizetype>(sizeof(kOpenVerb) - 1));
    const qsizetype space = body.indexOf(' ');
    bool number = false;
    const qint64 deadline = body.left(space).toLongLong(&number);
    const QString path = QString::fromUtf8(body.mid(space + 1));
    if (!request.startsWith(kOpenVerb) || space < 0 || !number || !QFileInfo(path).isAbsolute() ||
        QDateTime::currentMSecsSinceEpoch() + kAnswerMarginMs > deadline) {
        socket->abort();
        return;
    }
    socket->write(kAccepted);
    socket->flush();
    socket->disconnectFromServer();
    m_open(path);
}
