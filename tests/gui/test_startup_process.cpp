// Start-up of the real viewer program, as a separate process on the test display.
#include "guitest.h"

#include "shell/openrequests.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString RunTool(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// The viewer as a child process with its own profile and a log of its message boxes.
class ViewerProcess {
public:
    explicit ViewerProcess(const QStringList &args, const QString &workingDir = QString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUOR_PROFILE", m_dir.path() + "/QUOR.ini");
        env.insert("QUOR_RECORD_MESSAGES", MessageLog());
        m_process.setProcessEnvironment(env);
        WriteTestEarthMap(m_dir.path());
        m_process.setWorkingDirectory(workingDir.isEmpty() ? m_dir.path() : workingDir);
        m_process.start(QUOR_BINARY, args);
        m_process.waitForStarted(5000);
    }
    ~ViewerProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString MessageLog() const { return m_dir.path() + "/messages.log"; }
    QStringList Messages() const {
        QFile f(MessageLog());
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The id of the main window once it is mapped, or empty.
    QString WaitForMainWindow(int timeoutMs = 15000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
            const QString ids =
                RunTool("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                                    QString::number(m_process.processId()), "--name", "^QUOR"});
            if (!ids.isEmpty())
                return ids.split('\n').last();
            QThread::msleep(100);
        }
        return {};
    }
    bool WaitForExit(int timeoutMs) { return m_process.waitForFinished(timeoutMs); }
    int ExitCode() const {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

QSize WindowSize(const QString &id) {
    const QString out = RunTool("xdotool", {"getwindowgeometry", "--shell", id});
    int w = 0, h = 0;
    for (const QString &line : out.split('\n')) {
        if (line.startsWith("WIDTH="))
            w = line.mid(6).toInt();
        if (line.startsWith("HEIGHT="))
            h = line.mid(7).toInt();
    }
    return {w, h};
}

QSize ScreenSize() {
    const QStringList parts = RunTool("xdotool", {"getdisplaygeometry"}).split(' ');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

// Waits for a window's caption to become the expected one; the caption it had last.
QString WaitForName(const QString &id, const QString &expected, int timeoutMs = 10000) {
    QElapsedTimer t;
    t.start();
    QString name;
    while (t.elapsed() < timeoutMs) {
        name = RunTool("xdotool", {"getwindowname", id});
        if (name == expected)
            break;
        QThread::msleep(100);
    }
    return name;
}

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

} // namespace

TEST(StartUpProcess, NoFileComesUpMaximisedAndEndsWithStatusZero) {
    ViewerProcess viewer({});
    const QString id = viewer.WaitForMainWindow();
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(WaitForName(id, "QUOR"), "QUOR");
    QThread::msleep(1000);
    const QSize size = WindowSize(id), screen = ScreenSize();
    EXPECT_GE(size.width(), screen.width() - 10);
    EXPECT_GE(size.height(), screen.height() - 100);
    // File > Exit from the keyboard.
    RunTool("xdotool", {"windowactivate", "--sync", id});
    RunTool("xdotool", {"key", "--clearmodifiers", "alt+f"});
    QThread::msleep(300);
    RunTool("xdotool", {"key", "x"});
    ASSERT_TRUE(viewer.WaitForExit(10000));
    EXPECT_EQ(viewer.ExitCode(), 0);
    EXPECT_TRUE(viewer.Messages().isEmpty());
}

TEST(StartUpProcess, FilesAfterTheEndOfSwitchesOpenToo) {
    // A file whose name starts with a dash, after "--", in the working directory.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(kStation, dir.path() + "/-x.3ds"));
    ASSERT_TRUE(WriteTestEarthMap(dir.path()));
    ViewerProcess viewer({kStation, "--", "-x.3ds"}, dir.path());
    const QString id = viewer.WaitForMainWindow();
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(WaitForName(id, "QUOR - [-x.3ds]"), "QUOR - [-x.3ds]");
    EXPECT_TRUE(viewer.Messages().isEmpty()) << viewer.Messages().join("; ").toStdString();
}

TEST(StartUpProcess, MissingFileShowsTheFileErrorAndEnds) {
    const QString missing = QDir::tempPath() + "/quor-no-such-model.3ds";
    QFile::remove(missing);
    ViewerProcess viewer({missing});
    ASSERT_TRUE(viewer.WaitForExit(15000));
    EXPECT_NE(viewer.ExitCode(), 0);
    EXPECT_EQ(viewer.Messages(), QStringList({"QUOR|2|" + missing + " was not found."}));
}

TEST(StartUpProcess, SecondStartHandsItsFileToTheRunningViewerAndEnds) {
    ViewerProcess running({});
    const QString id = running.WaitForMainWindow();
    ASSERT_FALSE(id.isEmpty());
    QElapsedTimer listening;
    listening.start();
    while (!QFileInfo::exists(OpenRequestSocketPath()) && listening.elapsed() < 5000)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(OpenRequestSocketPath()));
    // Without a file a second start is a viewer of its own; its window comes to the front.
    ViewerProcess other({});
    const QString otherId = other.WaitForMainWindow();
    ASSERT_FALSE(otherId.isEmpty());
    ASSERT_NE(otherId, id);
    RunTool("xdotool", {"windowactivate", "--sync", otherId});

    // A relative name, as a file manager in another folder gives it.
    ViewerProcess second({"station.3ds"}, QString::fromStdString(SourcePath("data")));
    // Well before the time it would give up waiting for an answer.
    ASSERT_TRUE(second.WaitForExit(1800));
    EXPECT_EQ(second.ExitCode(), 0);
    // The first document's scene makes the viewer's window anew, under another id.
    QString shown;
    QElapsedTimer clock;
    clock.start();
    do {
        shown = running.WaitForMainWindow();
        if (!shown.isEmpty() && RunTool("xdotool", {"getwindowname", shown}) == "QUOR - [station.3ds]")
            break;
        QThread::msleep(100);
    } while (clock.elapsed() < 10000);
    EXPECT_EQ(RunTool("xdotool", {"getwindowname", shown}), "QUOR - [station.3ds]");
    EXPECT_EQ(WaitForName(otherId, "QUOR"), "QUOR") << "the first viewer took it, not the newest";
    while (RunTool("xdotool", {"getactivewindow"}) != shown && clock.elapsed() < 10000)
        QThread::msleep(100);
    EXPECT_EQ(RunTool("xdotool", {"getactivewindow"}), shown)
        << "the viewer that took the file comes to the front";
    EXPECT_TRUE(running.Messages().isEmpty()) << running.Messages().join("; ").toStdString();
}

TEST(StartUpProcess, AViewerThatDoesNotAnswerInTimeLeavesTheFileToTheNewStart) {
    // A viewer that has stopped: its socket takes the connection and never answers.
    const QString path = OpenRequestSocketPath();
    ASSERT_FALSE(path.isEmpty());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy(native.begin(), native.end(), address.sun_path);
    unlink(native.constData()); // left by a viewer an earlier test killed
    const int stopped = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(stopped, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(stopped, 8), 0);
    QElapsedTimer clock;
    clock.start();
    ViewerProcess second({kStation});
    const QString id = second.WaitForMainWindow();
    ASSERT_FALSE(id.isEmpty()) << "the new start shows the file itself";
    EXPECT_GE(clock.elapsed(), 1500) << "after waiting for an answer for a while";
    EXPECT_EQ(WaitForName(id, "QUOR - [station.3ds]"), "QUOR - [station.3ds]");
    EXPECT_TRUE(second.Messages().isEmpty());
    close(stopped);
    unlink(native.constData());
}
