#pragma once
// Open requests from later starts of the viewer: `quor FILE...` while a viewer of
// the same user runs on the same display hands the files to that viewer instead
// of starting a second one. The channel is a local socket in a directory only the
// user can enter ($XDG_RUNTIME_DIR/quor, mode 0700), named after the display.
//
// The running viewer answers on a thread of its own, so a request is answered at
// once even while the user interface is busy opening an earlier file; the paths
// then open one after another on the user-interface thread, in order of arrival.
#include <QObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The socket's path for this user and display; empty when no private
// directory can be had (then there is no channel, and every start is a viewer).
QString OpenRequestSocketPath();

// Hands the files (absolute paths) to the running viewer, in order, all within
// timeoutMs of the call. Returns the files it did not take: all of them when no
// viewer runs or none answers in time.
QStringList HandOverToRunningViewer(const QStringList &paths, int timeoutMs = 2000);

// The running viewer's end. Requests are answered on the server's thread and the
// paths are passed to open() on the thread that made the server.
class OpenRequestServer : public QObject {
    Q_OBJECT
public:
    explicit OpenRequestServer(std::function<void(const QString &)> open, QObject *parent = nullptr);
    ~OpenRequestServer() override;

    // False when another live viewer already serves this display, or there is no channel.
    bool Listen();
    bool IsListening() const { return m_listenFd >= 0; }
    // Answers nothing from now on and removes the socket (only if it is still this
    // server's own). Returns the paths already answered but not yet passed to open().
    QStringList Stop();

private:
    void Serve();
    void Deliver();
    // Takes the request if it is well formed and in time; whether it was answered.
    bool Answer(int fd, const std::string &request);

    std::function<void(const QString &)> m_open;
    QString m_path;
    int m_listenFd = -1;
    int m_wakeFds[2] = {-1, -1};
    dev_t m_device = 0; // of the socket file this server made
    ino_t m_inode = 0;
    std::thread m_thread;

    std::mutex m_mutex; // guards the two below
    bool m_answering = false;
    std::deque<QString> m_taken; // answered, not yet passed to open()
};
