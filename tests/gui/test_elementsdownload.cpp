// The elements downloader against a small web server of the test's own on
// 127.0.0.1: what it hands over, what it keeps, and the sentence it gives when
// the answer is wrong, late, too large or never comes.
#include "guitest.h"
#include "localserver.h"

#include "orbit/elements.h"
#include "shell/elementsdownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <functional>
#include <map>
#include <memory>

namespace {

// A set from the published SGP4 verification set, with a name line.
const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";
const QByteArray kElements = "VANGUARD 1\r\n" + kLine1 + "\r\n" + kLine2 + "\r\n";

// Each test has its own application when none runs, its own cache folder, and
// no proxy between it and its server.
class ElementsDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QCoreApplication>(m_argc, m_argv);
        ASSERT_TRUE(m_dir.isValid());
        m_hadCacheHome = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        m_cacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path()));
        ASSERT_TRUE(ElementsDownload::CachePath().startsWith(m_dir.path() + '/'))
            << ElementsDownload::CachePath().toStdString();
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

        m_download = std::make_unique<ElementsDownload>();
        QObject::connect(m_download.get(), &ElementsDownload::Finished,
                         [this](const QByteArray &text) { finished << text; });
        QObject::connect(m_download.get(), &ElementsDownload::Failed,
                         [this](const QString &message) { failed << message; });
        QObject::connect(
            m_download.get(), &ElementsDownload::Progress,
            [this](qint64 received, qint64 total) { progress << std::make_pair(received, total); });
    }

    void TearDown() override {
        m_download.reset();
        if (m_hadCacheHome)
            qputenv("XDG_CACHE_HOME", m_cacheHome);
        else
            qunsetenv("XDG_CACHE_HOME");
    }

    // Runs the event loop until the fetch has ended one way or the other.
    bool Ended(int capMs = 5000) {
        return SettleUntil([this] { return !finished.isEmpty() || !failed.isEmpty(); }, capMs);
    }

    void WriteCache(const QByteArray &content) {
        QDir().mkpath(QFileInfo(ElementsDownload::CachePath()).absolutePath());
        QFile file(ElementsDownload::CachePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QByteArray Cache() {
        QFile file(ElementsDownload::CachePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    }

    ElementsDownload &download() { return *m_download; }
    QList<QByteArray> finished;
    QStringList failed;
    QList<std::pair<qint64, qint64>> progress;

private:
    int m_argc = 1;
    char m_name[16] = "quor_gui_tests";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
    QTemporaryDir m_dir;
    bool m_hadCacheHome = false;
    QByteArray m_cacheHome;
    std::unique_ptr<ElementsDownload> m_download;
};

} // namespace

TEST_F(ElementsDownloadTest, GoodAnswerBehindARedirectIsHandedOverAndKept) {
    LocalServer server([](QTcpSocket *socket, const QByteArray &path) {
        if (path == "/gp.php?CATNR=5")
            Respond(socket, "301 Moved Permanently", {}, "Location: /elements.tle\r\n");
        else if (path == "/elements.tle")
            Respond(socket, "200 OK", kElements);
        else
            Respond(socket, "404 Not Found", {});
    });
    WriteCache("older elements");
    download().Start(server.Url("/gp.php?CATNR=5"));
    EXPECT_TRUE(download().IsRunning());
    ASSERT_TRUE(Ended());
    ASSERT_TRUE(failed.isEmpty()) << failed.join('\n').toStdString();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0], kElements);
    EXPECT_EQ(Cache(), "older elements") << "kept only once the caller has taken them";
    QString reason;
    ASSERT_TRUE(ElementsDownload::Keep(finished[0], reason)) << reason.toStdString();
    EXPECT_EQ(Cache(), kElements);
    EXPECT_FALSE(download().IsRunning());
    ASSERT_EQ(server.requests.size(), 2) << "the redirect was followed";
    EXPECT_TRUE(server.requests[1].contains("\r\nUser-Agent: QUOR/5.0")) << server.requests[1].toStdString();
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.back(), std::make_pair(qint64(kElements.size()), qint64(kElements.size())));
}

// Pieces of a chunked answer are joined, whatever their sizes and extensions; a
// piece that does not say its size is refused.
TEST_F(ElementsDownloadTest, ChunkedAnswerIsJoinedAndABrokenOneRefused) {
    QByteArray chunked;
    for (qsizetype at = 0; at < kElements.size(); at += 37) {
        const QByteArray piece = kElements.mid(at, 37);
        chunked += QByteArray::number(piece.size(), 16) + (at ? "" : ";name=value") + "\r\n" + piece + "\r\n";
    }
    chunked += "0\r\nX-Trailer: 1\r\n\r\n";
    for (const QByteArray &body : {chunked, QByteArray("zz\r\n" + kElements + "\r\n0\r\n\r\n")}) {
        finished.clear();
        failed.clear();
        LocalServer server([body](QTcpSocket *socket, const QByteArray &) {
            socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
            // In two writes, the cut inside a size line.
            socket->write(body.left(2));
            QTimer::singleShot(50, socket, [socket, body] { socket->write(body.mid(2)); });
        });
        download().Start(server.Url("/gp.php"));
        ASSERT_TRUE(Ended());
        if (body == chunked) {
            ASSERT_EQ(finished.size(), 1) << failed.join('\n').toStdString();
            EXPECT_EQ(finished[0], kElements);
        } else {
            ASSERT_EQ(failed.size(), 1);
            EXPECT_TRUE(failed[0].contains("cannot be read")) << failed[0].toStdString();
        }
    }
}

// A 403 is the public catalogue's refusal of a set fetched again too soon: the
// message says so, where other statuses are only named.
TEST_F(ElementsDownloadTest, RefusalsNameTheStatusAndKeepTheCache) {
    WriteCache(kElements);
    for (const char *status : {"404 Not Found", "403 Forbidden"}) {
        failed.clear();
        LocalServer server([status](QTcpSocket *socket, const QByteArray &) {
            Respond(socket, status, "No GP data found\r\n");
        });
        download().Start(server.Url("/gp.php"));
        ASSERT_TRUE(Ended());
        ASSERT_EQ(failed.size(), 1);
        EXPECT_TRUE(finished.isEmpty());
        if (status[2] == '4') // 404
            EXPECT_TRUE(failed[0].contains("HTTP status 404 (Not Found)")) << failed[0].toStdString();
        else
            EXPECT_TRUE(failed[0].contains("HTTP status 403") &&
                        failed[0].contains("more than once in two hours"))
                << failed[0].toStdString();
        EXPECT_EQ(Cache(), kElements);
    }
    // A length that is no length is not taken as "unknown".
    for (const QByteArray length : {"-5", "+12", "1 2"}) {
        failed.clear();
        LocalServer server([&](QTcpSocket *socket, const QByteArray &) {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n" + kElements);
            socket->disconnectFromHost();
        });
        download().Start(server.Url("/gp.php"));
        ASSERT_TRUE(Ended());
        ASSERT_EQ(failed.size(), 1) << length.constData();
        EXPECT_TRUE(finished.isEmpty());
        EXPECT_TRUE(failed[0].contains("\"" + length + "\", which is no length")) << failed[0].toStdString();
        EXPECT_EQ(Cache(), kElements);
    }
}

TEST_F(ElementsDownloadTest, AnswerThatIsNotElementsGivesTheParsersWordsAndKeepsTheCache) {
    QByteArray line1 = kLine1;
    line1.back() = '4'; // a wrong checksum on the file's line 2
    const QByteArray body = "VANGUARD 1\n" + line1 + "\n" + kLine2 + "\n";
    const ElementsFile parsed = ParseElements(std::string_view(body.constData(), body.size()));
    ASSERT_TRUE(parsed.error);
    ASSERT_EQ(parsed.error->line, 2);
    LocalServer server([&](QTcpSocket *socket, const QByteArray &) { Respond(socket, "200 OK", body); });
    WriteCache("older elements");
    download().Start(server.Url("/gp.php"));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(finished.isEmpty());
    EXPECT_TRUE(failed[0].contains(QString::fromStdString(parsed.error->message))) << failed[0].toStdString();
    EXPECT_TRUE(failed[0].contains("line 2")) << failed[0].toStdString();
    EXPECT_EQ(Cache(), "older elements");
}

TEST_F(ElementsDownloadTest, ServerThatNeverAnswersTimesOutOnTime) {
    LocalServer server([](QTcpSocket *, const QByteArray &) {});
    QElapsedTimer clock;
    clock.start();
    download().Start(server.Url("/gp.php"), 500);
    ASSERT_TRUE(Ended(3000));
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_LE(clock.elapsed(), 1500);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("timed out")) << failed[0].toStdString();
    EXPECT_TRUE(failed[0].contains("0.5 s")) << failed[0].toStdString();
    EXPECT_FALSE(download().IsRunning());
    EXPECT_FALSE(QFile::exists(ElementsDownload::CachePath()));
}

// A body that keeps coming, a little at a time, never in whole: the time limit is
// for the whole answer, not for a pause between pieces.
TEST_F(ElementsDownloadTest, AnswerTricklingInPiecesTimesOutAsAWhole) {
    LocalServer server([](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n");
        auto *drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write(kLine1 + "\n"); });
        drip->start(100);
    });
    WriteCache("older elements");
    QElapsedTimer clock;
    clock.start();
    download().Start(server.Url("/gp.php"), 800);
    ASSERT_TRUE(Ended(4000));
    EXPECT_LE(clock.elapsed(), 1800);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("timed out")) << failed[0].toStdString();
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_GT(progress.back().first, 0);
    EXPECT_EQ(progress.back().second, 100000);
    EXPECT_EQ(Cache(), "older elements");
}

TEST_F(ElementsDownloadTest, AnswerLargerThanTheCapIsRefused) {
    LocalServer server([](QTcpSocket *socket, const QByteArray &) {
        // No length given: the size shows only as the body comes.
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        socket->write(QByteArray(ElementsDownload::kMaxBytes + 4096, 'A'));
        socket->disconnectFromHost();
    });
    WriteCache("older elements");
    download().Start(server.Url("/gp.php"));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("larger than 1 MiB")) << failed[0].toStdString();
    EXPECT_EQ(Cache(), "older elements");
}

// Announced as 2 GiB and sent slowly: refused at the header, long before the
// time limit, having taken next to nothing of the body.
TEST_F(ElementsDownloadTest, HugeAnnouncedLengthIsRefusedAtOnce) {
    LocalServer server([](QTcpSocket *socket, const QByteArray &) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2147483648\r\n\r\n");
        auto *drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write(QByteArray(1024, 'A')); });
        drip->start(20);
    });
    WriteCache("older elements");
    QElapsedTimer clock;
    clock.start();
    download().Start(server.Url("/gp.php"), 8000);
    ASSERT_TRUE(Ended(10000));
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("larger than 1 MiB")) << failed[0].toStdString();
    EXPECT_TRUE(SettleUntil([&] { return server.open == 0; }, 2000)) << "the connection is closed";
    EXPECT_LT(server.written, 128 * 1024);
    EXPECT_EQ(Cache(), "older elements");
}

// A header block that never ends, from a server on a thread of its own (as a
// real one would be), flooding or dripping: the header limit or the time limit
// ends the fetch, and the connection goes with it, rather than being read on
// after the message.
TEST_F(ElementsDownloadTest, EndlessHeaderIsCutOffWithItsConnection) {
    for (const int pauseMs : {0, 5}) {
        failed.clear();
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
        std::atomic<bool> closed{false};
        std::thread server([listener, pauseMs, &closed] {
            pollfd waiting{listener, POLLIN, 0};
            if (poll(&waiting, 1, 5000) != 1)
                return;
            const int client = accept(listener, nullptr, nullptr);
            const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
            const std::string line = "X-Filler: " + std::string(200, 'x') + "\r\n";
            send(client, head.data(), head.size(), MSG_NOSIGNAL);
            // Until the client closes, or for at most 10 s.
            for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                 std::chrono::steady_clock::now() < end;) {
                pollfd writable{client, POLLOUT, 0};
                if (poll(&writable, 1, 100) == 1 &&
                    ((writable.revents & (POLLERR | POLLHUP)) ||
                     send(client, line.data(), line.size(), MSG_NOSIGNAL) < 0)) {
                    closed = true;
                    break;
                }
                if (pauseMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
            close(client);
        });
        download().Start(QUrl(QString("http://127.0.0.1:%1/gp.php").arg(ntohs(address.sin_port))), 500);
        const bool ended = Ended(3000);
        QElapsedTimer clock;
        clock.start();
        const bool cut = SettleUntil([&] { return closed.load(); }, 3000);
        const qint64 after = clock.elapsed();
        server.join();
        close(listener);
        ASSERT_TRUE(ended);
        ASSERT_EQ(failed.size(), 1);
        EXPECT_TRUE(failed[0].contains(pauseMs ? "timed out" : "header of more than 64 KiB"))
            << failed[0].toStdString();
        EXPECT_TRUE(cut) << "the connection is still open";
        EXPECT_LT(after, 1000);
    }
}

// Redirects are followed to web addresses only, and only so many times.
TEST_F(ElementsDownloadTest, RedirectAwayFromTheWebOrRoundInCirclesIsNotFollowed) {
    LocalServer server([](QTcpSocket *socket, const QByteArray &path) {
        Respond(socket, "302 Found", {},
                path == "/away" ? "Location: ftp://127.0.0.1/elements.tle\r\n" : "Location: /again\r\n");
    });
    WriteCache("older elements");
    download().Start(server.Url("/away"));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("ftp://127.0.0.1/elements.tle") && failed[0].contains("not followed"))
        << failed[0].toStdString();
    failed.clear();
    download().Start(server.Url("/again"));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("more than 10 times")) << failed[0].toStdString();
    EXPECT_EQ(server.requests.size(), 1 + 1 + ElementsDownload::kMaxRedirects);
    EXPECT_EQ(Cache(), "older elements");

    // Sent on by a second server, the refusal names that one, not the first.
    LocalServer first([&](QTcpSocket *socket, const QByteArray &) {
        Respond(socket, "302 Found", {}, "Location: " + server.Address("/away").toLatin1() + "\r\n");
    });
    failed.clear();
    download().Start(first.Url("/gp.php"));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].startsWith("The server " + server.Url("/").authority() + " sent the request on"))
        << failed[0].toStdString();
}

TEST_F(ElementsDownloadTest, RefusedConnectionFails) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    download().Start(QUrl(QString("http://127.0.0.1:%1/gp.php").arg(port)));
    ASSERT_TRUE(Ended());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains("refused the connection")) << failed[0].toStdString();
    EXPECT_FALSE(QFile::exists(ElementsDownload::CachePath()));
}

// The first fetch, replaced while its answer is on the way, must not speak later.
TEST_F(ElementsDownloadTest, StartingAgainCancelsTheFetchRunning) {
    LocalServer first([](QTcpSocket *socket, const QByteArray &) {
        QTimer::singleShot(100, socket, [socket] { Respond(socket, "404 Not Found", {}); });
    });
    LocalServer second([](QTcpSocket *socket, const QByteArray &) {
        QTimer::singleShot(300, socket, [socket] { Respond(socket, "200 OK", kElements); });
    });
    download().Start(first.Url("/gp.php"), 200);
    download().Start(second.Url("/gp.php"), 5000);
    ASSERT_TRUE(Ended());
    ViewerApp::Settle(400);
    EXPECT_TRUE(failed.isEmpty()) << failed.join('\n').toStdString();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0], kElements);
}

TEST_F(ElementsDownloadTest, AddressThatIsNotAWebAddressFailsAfterStartReturns) {
    for (const QUrl &url : {QUrl(), QUrl("file:///etc/passwd"), QUrl("http://")}) {
        failed.clear();
        download().Start(url);
        EXPECT_TRUE(failed.isEmpty()) << "not yet: the caller has not returned from Start";
        ASSERT_TRUE(Ended());
        ASSERT_EQ(failed.size(), 1);
        EXPECT_TRUE(failed[0].contains("is not a web address")) << failed[0].toStdString();
        EXPECT_FALSE(download().IsRunning());
    }
    EXPECT_TRUE(finished.isEmpty());
}
