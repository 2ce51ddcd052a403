#include "openrequests.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// A request is "open ", the time by which the caller wants an answer (milliseconds
// since the epoch), a space and an absolute path, ended by a NUL (no path holds
// one); the viewer answers "ok\n" once it has taken the request on. A viewer that
// reads the request too late to answer in time leaves it: by then the caller is
// showing the file itself.
constexpr char kOpenVerb[] = "open ";
constexpr char kAccepted[] = "ok\n";
constexpr size_t kMaxRequest = 64 * 1024;
// Time the answer needs to reach the caller before its deadline.
constexpr qint64 kAnswerMarginMs = 250;
// A caller that never finishes its request does not hold its connection longer.
constexpr qint64 kRequestTimeoutMs = 5000;
// After accept() fails for want of descriptors, listening pauses this long.
constexpr int kAcceptPauseMs = 100;
constexpr int kBacklog = 64;

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

// The socket's address; false when the path does not fit one.
bool SocketAddress(const QString &path, sockaddr_un &address) {
    const QByteArray native = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || static_cast<size_t>(native.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    return true;
}

// Held while a viewer decides whether a socket file is stale and replaces it, or
// removes its own: two viewers never both take the name, and none removes another's.
class ChannelLock {
public:
    explicit ChannelLock(const QString &socketPath)
        : m_fd(open(QFile::encodeName(socketPath + QStringLiteral(".lock")).constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (m_fd >= 0)
            while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~ChannelLock() {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    ChannelLock(const ChannelLock &) = delete;
    ChannelLock &operator=(const ChannelLock &) = delete;

private:
    int m_fd;
};

void SetTimeout(int fd, int option, qint64 ms) {
    timeval tv{};
    ms = std::max<qint64>(ms, 1);
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

// Sends one request over a new connection; whether the viewer took it.
bool SendRequest(const sockaddr_un &address, const QByteArray &request, qint64 deadline,
                 const std::function<qint64()> &left) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A blocking connect waits, without spinning, while the viewer's backlog is
    // full; the send timeout bounds that wait.
    SetTimeout(fd, SO_SNDTIMEO, left());
    bool taken = false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
        const QByteArray bytes = QByteArray(kOpenVerb) + QByteArray::number(deadline) + ' ' + request + '\0';
        qsizetype sent = 0;
        while (sent < bytes.size() && left() > 0) {
            SetTimeout(fd, SO_SNDTIMEO, left());
            const ssize_t n =
                send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno != EINTR)
                break;
            if (n > 0)
                sent += n;
        }
        std::string reply;
        while (sent == bytes.size() && reply.find('\n') == std::string::npos && left() > 0) {
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char buffer[16];
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            reply.append(buffer, static_cast<size_t>(n));
        }
        taken = reply.rfind(kAccepted, 0) == 0;
    }
    close(fd);
    return taken;
}

} // namespace

QString OpenRequestSocketPath() {
    const QString dir = PrivateDirectory();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/open-") + DisplayKey();
}

QStringList HandOverToRunningViewer(const QStringList &paths, int timeoutMs) {
    // One reading of the clock: the deadline the viewer is told and the end of
    // this side's waiting are the same moment.
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + timeoutMs;
    const auto left = [&] { return std::max<qint64>(0, timeoutMs - clock.elapsed()); };

    sockaddr_un address{};
    if (paths.isEmpty() || !SocketAddress(OpenRequestSocketPath(), address))
        return paths;
    QStringList rest = paths;
    while (!rest.isEmpty() && left() > 0 && SendRequest(address, rest.first().toUtf8(), deadline, left))
        rest.removeFirst();
    return rest;
}

OpenRequestServer::OpenRequestServer(std::function<void(const QString &)> open, QObject *parent)
    : QObject(parent), m_open(std::move(open)) {}

OpenRequestServer::~OpenRequestServer() {
    Stop();
}

bool OpenRequestServer::Listen() {
    if (IsListening())
        return true;
    const QString path = OpenRequestSocketPath();
    sockaddr_un address{};
    if (!SocketAddress(path, address))
        return false;
    const ChannelLock lock(path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const auto *sa = reinterpret_cast<const sockaddr *>(&address);
    if (bind(fd, sa, sizeof address) != 0) {
        if (errno != EADDRINUSE) {
            close(fd);
            return false;
        }
        // Only a refused connection means no viewer is behind the name: a full
        // backlog (EAGAIN) is a live viewer that is busy.
        const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const bool stale = probe >= 0 && ::connect(probe, sa, sizeof address) != 0 &&
                           (errno == ECONNREFUSED || errno == ENOENT);
        if (probe >= 0)
            close(probe);
        if (!stale || (unlink(address.sun_path) != 0 && errno != ENOENT) ||
            bind(fd, sa, sizeof address) != 0) {
            close(fd);
            return false;
        }
    }
    struct stat st {};
    if (listen(fd, kBacklog) != 0 || lstat(address.sun_path, &st) != 0 || pipe2(m_wakeFds, O_CLOEXEC) != 0) {
        unlink(address.sun_path); // made just now, and of no use to anyone
        close(fd);
        return false;
    }
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_path = path;
    m_listenFd = fd;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_answering = true;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

QStringList OpenRequestServer::Stop() {
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_answering = false;
    }
    if (m_thread.joinable()) {
        const char wake = 1;
        while (write(m_wakeFds[1], &wake, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    if (m_listenFd >= 0) {
        const ChannelLock lock(m_path);
        // Another viewer may have taken the name since: its socket stays.
        struct stat st {};
        const QByteArray native = QFile::encodeName(m_path);
        if (lstat(native.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
            unlink(native.constData());
        close(m_listenFd);
        m_listenFd = -1;
    }
    for (int &fd : m_wakeFds) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    const std::lock_guard<std::mutex> guard(m_mutex);
    QStringList unopened(m_taken.begin(), m_taken.end());
    m_taken.clear();
    return unopened;
}

// The server's thread: accepts connections, reads their requests and answers them.
void OpenRequestServer::Serve() {
    struct Connection {
        int fd;
        qint64 since;
        std::string bytes;
    };
    std::vector<Connection> connections;
    QElapsedTimer clock;
    clock.start();
    qint64 pausedUntil = 0;
    for (;;) {
        const qint64 now = clock.elapsed();
        std::vector<pollfd> fds;
        fds.push_back({m_wakeFds[0], POLLIN, 0});
        const bool accepting = now >= pausedUntil;
        fds.push_back({accepting ? m_listenFd : -1, POLLIN, 0});
        qint64 wait = accepting ? kRequestTimeoutMs : pausedUntil - now;
        for (const Connection &c : connections) {
            fds.push_back({c.fd, POLLIN, 0});
            wait = std::min(wait, c.since + kRequestTimeoutMs - now);
        }
        if (poll(fds.data(), fds.size(), static_cast<int>(std::max<qint64>(wait, 0))) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break; // stopping

        // Read what has come, then drop the connections that are done.
        for (size_t i = 0; i < connections.size(); ++i) {
            Connection &c = connections[i];
            bool done = clock.elapsed() - c.since >= kRequestTimeoutMs;
            if (!done && fds[i + 2].revents != 0) {
                char buffer[4096];
                const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    const size_t before = c.bytes.size();
                    c.bytes.append(buffer, static_cast<size_t>(n));
                    const size_t end = c.bytes.find('\0', before);
                    if (end != std::string::npos) {
                        // However the bytes arrived, a request longer than the limit is refused.
                        if (end <= kMaxRequest)
                            Answer(c.fd, c.bytes.substr(0, end));
                        done = true;
                    } else {
                        done = c.bytes.size() > kMaxRequest;
                    }
                } else {
                    done = n == 0 || (errno != EAGAIN && errno != EINTR);
                }
            }
            if (done) {
                close(c.fd);
                c.fd = -1;
            }
        }
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [](const Connection &c) { return c.fd < 0; }),
                          connections.end());

        if (accepting && fds[1].revents != 0) {
            for (;;) {
                const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd >= 0) {
                    connections.push_back({fd, clock.elapsed(), {}});
                    continue;
                }
                // Out of descriptors: the socket stays; listening goes on a little later,
                // once some may have been given back.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                    pausedUntil = clock.elapsed() + kAcceptPauseMs;
                break;
            }
        }
    }
    for (const Connection &c : connections)
        close(c.fd);
}

bool OpenRequestServer::Answer(int fd, const std::string &request) {
    const std::string_view verb(kOpenVerb);
    if (request.compare(0, verb.size(), verb) != 0)
        return false;
    const size_t space = request.find(' ', verb.size());
    if (space == std::string::npos)
        return false;
    bool number = false;
    const qint64 deadline =
        QByteArray::fromRawData(request.data() + verb.size(), static_cast<qsizetype>(space - verb.size()))
            .toLongLong(&number);
    const QString path =
        QString::fromUtf8(request.data() + space + 1, static_cast<qsizetype>(request.size() - space - 1));
    if (!number || !path.startsWith('/') || QDateTime::currentMSecsSinceEpoch() + kAnswerMarginMs > deadline)
        return false;
    {
        // Answered and queued together, and only while the viewer goes on running.
        const std::lock_guard<std::mutex> guard(m_mutex);
        constexpr ssize_t size = sizeof kAccepted - 1;
        if (!m_answering || send(fd, kAccepted, size, MSG_NOSIGNAL) != size)
            return false;
        m_taken.push_back(path);
    }
    QMetaObject::invokeMethod(this, &OpenRequestServer::Deliver, Qt::QueuedConnection);
    return true;
}

void OpenRequestServer::Deliver() {
    for (;;) {
        QString path;
        {
            const std::lock_guard<std::mutex> guard(m_mutex);
            if (m_taken.empty())
                return;
            path = m_taken.front();
            m_taken.pop_front();
        }
        m_open(path);
    }
}
