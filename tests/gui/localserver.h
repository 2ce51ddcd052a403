#pragma once
// A small web server of a test's own on 127.0.0.1, for the elements download.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <map>

// Answers each request on 127.0.0.1 with answer(socket, path); keeps the requests.
class LocalServer {
public:
    using Answer = std::function<void(QTcpSocket *, const QByteArray &path)>;

    explicit LocalServer(Answer answer) : m_answer(std::move(answer)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++open;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] { --open; });
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                                 [this](qint64 bytes) { written += bytes; });
            }
        });
    }

    QString Address(const QString &path) const {
        return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QUrl Url(const QString &path) const { return QUrl(Address(path)); }
    QList<QByteArray> requests;
    int open = 0;       // connections the client has not closed
    qint64 written = 0; // bytes handed to the connections

private:
    void Read(QTcpSocket *socket) {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray request = buffer.left(end);
        buffer.remove(0, end + 4);
        requests << request;
        m_answer(socket, request.split(' ').value(1));
    }

    QTcpServer m_server;
    Answer m_answer;
    std::map<QTcpSocket *, QByteArray> m_buffers;
};

inline void Respond(QTcpSocket *socket, const QByteArray &status, const QByteArray &body,
                    const QByteArray &headers = {}) {
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body);
}
