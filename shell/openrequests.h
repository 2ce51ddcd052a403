#pragma once
// Open requests from later starts of the viewer: `quor FILE` while a viewer of
// the same user runs on the same display hands FILE to that viewer instead of
// starting a second one. The channel is a local socket in a directory only the
// user can enter ($XDG_RUNTIME_DIR/quor, mode 0700), named after the display.
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The socket's path for this user and display; empty when no private
// directory can be had (then there is no channel, and every start is a viewer).
QString OpenRequestSocketPath();

// Hands the file (an absolute path) to the running viewer; true once that viewer
// has accepted it within timeoutMs. False when none runs or none answers in time.
bool HandOverToRunningViewer(const QString &path, int timeoutMs = 2000);

// The running viewer's end: accepts requests and passes each path to open().
class OpenRequestServer : public QObject {
    Q_OBJECT
public:
    explicit OpenRequestServer(std::function<void(const QString &)> open, QObject *parent = nullptr);
    ~OpenRequestServer() override;

    // False when another live viewer already serves this display, or there is no channel.
    bool Listen();
    bool IsListening() const;

private:
    void OnConnection();
    void OnReadable(QLocalSocket *socket);

    std::function<void(const QString &)> m_open;
    QLocalServer *m_server;
};
