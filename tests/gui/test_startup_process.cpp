// Start-up of the real viewer program, as a separate process on the test display.
#include "guitest.h"

#include "shell/openrequests.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
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
    // The profile starts with the given contents, if any; the program is the built viewer
    // unless another (a copy in an installed layout) is named.
    explicit ViewerProcess(const QStringList &args, const QString &workingDir = QString(),
                           const QByteArray &profile = QByteArray(), const QString &program = QUOR_BINARY) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUOR_PROFILE", ProfilePath());
        env.insert("QUOR_RECORD_MESSAGES", MessageLog());
        m_process.setProcessEnvironment(env);
        WriteTestEarthMap(m_dir.path());
        if (!profile.isEmpty()) {
            QFile f(ProfilePath());
            if (f.open(QIODevice::WriteOnly))
                f.write(profile);
        }
        m_process.setWorkingDirectory(workingDir.isEmpty() ? m_dir.path() : workingDir);
        m_process.start(program, args);
        m_process.waitForStarted(5000);
    }
    ~ViewerProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString MessageLog() const { return m_dir.path() + "/messages.log"; }
    QString ProfilePath() const { return m_dir.path() + "/QUOR.ini"; }
    QByteArray Profile() const {
        QFile f(ProfilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no profile)");
    }
    qint64 ProcessId() const { return m_process.processId(); }
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

// A shown window of the viewer whose caption matches the pattern, once there is one.
QString WaitForWindow(const ViewerProcess &viewer, const QString &pattern, int timeoutMs = 15000) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        const QString ids = RunTool("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                                                QString::number(viewer.ProcessId()), "--name", pattern});
        if (!ids.isEmpty())
            return ids.split('\n').last();
        QThread::msleep(100);
    }
    return {};
}

QImage Screen() {
    QTemporaryDir dir;
    const QString file = dir.path() + "/screen.png";
    RunTool("import", {"-window", "root", file});
    return QImage(file);
}

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
    // From a folder without the Earth map: no document opens, so no word about the map.
    QTemporaryDir empty;
    const QString missing = empty.path() + "/no-such-model.3ds";
    ViewerProcess viewer({missing}, empty.path());
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

    // A relative name, as a file manager in another folder gives it. The start that
    // hands its file over leaves its profile as it found it, byte for byte.
    const QByteArray profile = "[Recent File List]\nFile1=/models/one.3ds\nFile2=/models/two.3ds\n";
    ViewerProcess second({"station.3ds"}, QString::fromStdString(SourcePath("data")), profile);
    // Well before the time it would give up waiting for an answer.
    ASSERT_TRUE(second.WaitForExit(1800));
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(second.Profile(), profile);
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
    // The running viewer keeps its list as it changes, not only when it ends. (The caption
    // shows the name while the file is still being read, so the list may come a little later.)
    const std::string station = QFileInfo(kStation).canonicalFilePath().toStdString();
    std::string listed;
    QElapsedTimer listing;
    listing.start();
    do {
        listed = QSettings(running.ProfilePath(), QSettings::IniFormat)
                     .value("Recent File List/File1")
                     .toString()
                     .toStdString();
        if (listed == station)
            break;
        QThread::msleep(100);
    } while (listing.elapsed() < 5000);
    EXPECT_EQ(listed, station) << running.Profile().toStdString();
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

TEST(StartUpProcess, ExitEndsTheProgramWithAFloatingToolbarAndSoDoesTheNextStart) {
    QByteArray profile;
    {
        ViewerProcess viewer({kStation});
        const QString id = WaitForWindow(viewer, "^QUOR - \\[station.3ds\\]$");
        ASSERT_FALSE(id.isEmpty());
        QThread::msleep(500);
        // The toolbar's handle, below the menu bar at the window's left edge, dragged
        // into the middle of the screen.
        RunTool("xdotool", {"windowactivate", "--sync", id});
        RunTool("xdotool", {"mousemove", "--window", id, "5", "34", "mousedown", "1"});
        for (int step = 1; step <= 8; ++step) {
            QThread::msleep(50);
            RunTool("xdotool", {"mousemove", QString::number(100 * step), QString::number(60 * step + 40)});
        }
        RunTool("xdotool", {"mouseup", "1"});
        ASSERT_FALSE(WaitForWindow(viewer, "^Toolbar$", 3000).isEmpty()) << "the toolbar floats";
        // File > Exit.
        RunTool("xdotool", {"windowactivate", "--sync", id});
        RunTool("xdotool", {"key", "--clearmodifiers", "alt+f"});
        QThread::msleep(300);
        RunTool("xdotool", {"key", "x"});
        ASSERT_TRUE(viewer.WaitForExit(10000)) << "the program ends";
        EXPECT_EQ(viewer.ExitCode(), 0);
        profile = viewer.Profile();
        EXPECT_TRUE(QSettings(viewer.ProfilePath(), QSettings::IniFormat).contains("QUOR:BarStatus/Layout"));
    }
    // The next start brings the toolbar back floating; closing the main window ends it too.
    ViewerProcess again({kStation}, QString(), profile);
    const QString id = WaitForWindow(again, "^QUOR - \\[station.3ds\\]$");
    ASSERT_FALSE(id.isEmpty());
    const QString bar = WaitForWindow(again, "^Toolbar$", 3000);
    ASSERT_FALSE(bar.isEmpty()) << "restored floating";
    // In front of the main window, which the scene view made anew after the bar was
    // restored, not lost behind it: the window manager stacks the list bottom to top.
    const auto hex = [](const QString &id) { return "0x" + QString::number(id.toULongLong(), 16); };
    QString stacking;
    for (int i = 0; i < 20; ++i) {
        stacking = RunTool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
        if (stacking.indexOf(hex(bar)) > stacking.indexOf(hex(id)))
            break;
        QThread::msleep(100);
    }
    EXPECT_GT(stacking.indexOf(hex(bar)), stacking.indexOf(hex(id))) << stacking.toStdString();
    RunTool("xdotool", {"windowactivate", "--sync", id});
    RunTool("xdotool", {"key", "--clearmodifiers", "alt+F4"});
    ASSERT_TRUE(again.WaitForExit(10000)) << "the program ends";
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_TRUE(again.Messages().isEmpty()) << again.Messages().join("; ").toStdString();
}

TEST(StartUpProcess, AnInstalledViewerFindsTheMapBesideItFromAnyFolder) {
    // bin/quor and share/quor/Weltkart.bmp, as `cmake --install` lays them out; the map
    // is red all over, so that a textured Earth shows.
    QTemporaryDir prefix, elsewhere;
    ASSERT_TRUE(QDir(prefix.path()).mkpath("bin") && QDir(prefix.path()).mkpath("share/quor"));
    const QString program = prefix.path() + "/bin/quor";
    ASSERT_TRUE(QFile::copy(QUOR_BINARY, program));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::permissions(QUOR_BINARY)));
    ASSERT_TRUE(WriteBmp24(prefix.path() + "/share/quor/Weltkart.bmp", 64, 32,
                           [](int, int) { return QColor(230, 20, 20); }));
    ViewerProcess viewer({kStation}, elsewhere.path(), QByteArray(), program);
    ASSERT_FALSE(WaitForWindow(viewer, "^QUOR - \\[station.3ds\\]$").isEmpty());
    QThread::msleep(1500);
    const QImage screen = Screen();
    ASSERT_FALSE(screen.isNull());
    int red = 0;
    for (int y = 0; y < screen.height(); y += 2) {
        for (int x = 0; x < screen.width(); x += 2) {
            const QColor c = screen.pixelColor(x, y);
            red += c.red() > 100 && c.green() < 60 && c.blue() < 60;
        }
    }
    EXPECT_GT(red, 5000) << "the Earth wears the map";
    EXPECT_TRUE(viewer.Messages().isEmpty()) << viewer.Messages().join("; ").toStdString();
}
