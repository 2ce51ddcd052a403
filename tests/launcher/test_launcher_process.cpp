// The launcher program on the test display, with a stand-in viewer that notes
// the clipboard text while it runs.
#include "launcher/glx.h"
#include "launcher/launcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    qint64 ms = 0;
    QStringList messages;
    bool viewerRan = false;
    QString clipboardDuringRun;
    QString clipboardAfter;
    bool clipboardEmptyAfter = false;
};

// What the clipboard holds now; a failing xclip means nobody owns it.
bool ReadClipboard(QString &text) {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    if (!xclip.waitForFinished(5000) || xclip.exitCode() != 0)
        return false;
    text = QString::fromUtf8(xclip.readAllStandardOutput());
    return true;
}

// Leaves some text on the clipboard, owned by another program.
void FillClipboard(const QString &text) {
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard"});
    xclip.waitForStarted(5000);
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    xclip.waitForFinished(5000);
    QString now;
    for (int i = 0; i < 50 && !(ReadClipboard(now) && now == text); ++i)
        QThread::msleep(20);
}

class LauncherProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    // Runs the launcher with the given additions to the environment.
    Outcome Run(const QMap<QString, QString> &extra, const QString &program = LAUNCHER_BINARY) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUOR_RECORD_MESSAGES", Path("messages.log"));
        env.insert("FAKE_VIEWER_OUT", Path("clipboard.txt"));
        env.insert("QUOR_LAUNCHER_VIEWER", FAKE_VIEWER);
        for (auto it = extra.begin(); it != extra.end(); ++it) {
            if (it.value().isNull())
                env.remove(it.key());
            else
                env.insert(it.key(), it.value());
        }
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.setWorkingDirectory(m_dir.path());
        QElapsedTimer clock;
        clock.start();
        // Qt's own options among them too: the launcher takes none of its arguments.
        launcher.start(program, {"ignored", "-platform", "offscreen", "-display", ":nowhere", "arguments"});
        Outcome out;
        if (!launcher.waitForFinished(30000)) {
            launcher.kill();
            launcher.waitForFinished();
            ADD_FAILURE() << "the launcher did not end";
            return out;
        }
        out.ms = clock.elapsed();
        out.status = launcher.exitStatus() == QProcess::NormalExit ? launcher.exitCode() : -1;
        QFile log(Path("messages.log"));
        if (log.open(QIODevice::ReadOnly | QIODevice::Text))
            out.messages = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QFile clip(Path("clipboard.txt"));
        out.viewerRan = clip.open(QIODevice::ReadOnly);
        out.clipboardDuringRun = QString::fromUtf8(clip.readAll());
        out.clipboardEmptyAfter = !ReadClipboard(out.clipboardAfter) || out.clipboardAfter.isEmpty();
        QFile::remove(Path("messages.log"));
        QFile::remove(Path("clipboard.txt"));
        return out;
    }

    QTemporaryDir m_dir;
};

const QString kNotSupportedLine = QStringLiteral("Error.|0|Your hardware does not support Antialiasing.");
const QString kViewerFailedLine = QStringLiteral("Error.|0|Cannot find Quor.exe");

TEST_F(LauncherProcess, PutsTheFormatNumberOnTheClipboardWhileTheViewerRuns) {
    for (const QString number : {"7", "123456789"}) {
        SCOPED_TRACE(number.toStdString());
        FillClipboard("earlier text");
        const Outcome out = Run({{"QUOR_LAUNCHER_PROBE", number}, {"FAKE_VIEWER_STATUS", "0"}});
        EXPECT_EQ(out.status, 1);
        EXPECT_TRUE(out.viewerRan);
        EXPECT_EQ(out.clipboardDuringRun, number);
        EXPECT_TRUE(out.messages.isEmpty()) << out.messages.join('\n').toStdString();
        EXPECT_TRUE(out.clipboardEmptyAfter) << out.clipboardAfter.toStdString();
    }
}

TEST_F(LauncherProcess, ReportsAViewerThatFailsOrCannotBeStarted) {
    const std::vector<std::pair<const char *, QMap<QString, QString>>> cases = {
        {"ends with status 3", {{"QUOR_LAUNCHER_PROBE", "12"}, {"FAKE_VIEWER_STATUS", "3"}}},
        {"does not exist",
         {{"QUOR_LAUNCHER_PROBE", "12"}, {"QUOR_LAUNCHER_VIEWER", m_dir.filePath("no/such/quor")}}},
    };
    for (const auto &[name, env] : cases) {
        SCOPED_TRACE(name);
        const Outcome out = Run(env);
        EXPECT_EQ(out.status, 1);
        EXPECT_EQ(out.messages, QStringList{kViewerFailedLine});
        EXPECT_TRUE(out.clipboardEmptyAfter) << out.clipboardAfter.toStdString();
    }
}

TEST_F(LauncherProcess, WithoutAFormatSaysSoPausesAndRunsNoViewer) {
    FillClipboard("earlier text");
    const Outcome out = Run({{"QUOR_LAUNCHER_PROBE", "none"}});
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.messages, QStringList{kNotSupportedLine});
    EXPECT_GE(out.ms, 1000);
    EXPECT_FALSE(out.viewerRan);
    EXPECT_TRUE(out.clipboardEmptyAfter) << out.clipboardAfter.toStdString();
}

// With the real driver the launcher takes the path the driver's formats call for.
TEST_F(LauncherProcess, FollowsTheDriversAnswer) {
    Display *display = QtX11Display();
    ASSERT_NE(display, nullptr);
    const std::optional<int> format = GlxMultisampleProbe(display, DefaultScreenNumber(display)).FindFormat();
    const Outcome out = Run({{"QUOR_LAUNCHER_PROBE", QString()}});
    EXPECT_EQ(out.status, 1);
    if (format) {
        EXPECT_EQ(out.clipboardDuringRun, QString::number(*format));
        EXPECT_TRUE(out.messages.isEmpty());
    } else {
        EXPECT_FALSE(out.viewerRan);
        EXPECT_EQ(out.messages, QStringList{kNotSupportedLine});
    }
    EXPECT_TRUE(out.clipboardEmptyAfter);
}

// Without a named program the viewer is the quor beside the launcher, else
// the one on the search path.
TEST_F(LauncherProcess, FindsTheViewerBesideItselfThenOnThePath) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("beside") && QDir(m_dir.path()).mkpath("elsewhere") &&
                QDir(m_dir.path()).mkpath("onpath"));
    const QString besideLauncher = Path("beside/launcher");
    const QString aloneLauncher = Path("elsewhere/launcher");
    ASSERT_TRUE(QFile::copy(LAUNCHER_BINARY, besideLauncher));
    ASSERT_TRUE(QFile::copy(LAUNCHER_BINARY, aloneLauncher));
    ASSERT_TRUE(QFile::copy(FAKE_VIEWER, Path("beside/quor")));
    ASSERT_TRUE(QFile::copy(FAKE_VIEWER, Path("onpath/quor")));
    for (const QString &f : {besideLauncher, aloneLauncher, Path("beside/quor"), Path("onpath/quor")})
        QFile::setPermissions(f, QFile::permissions(f) | QFileDevice::ExeOwner);
    const QString path = Path("onpath") + ":" + qEnvironmentVariable("PATH");

    // The one beside wins over the search path; the path's gets the other number.
    Outcome out = Run({{"QUOR_LAUNCHER_PROBE", "41"},
                       {"QUOR_LAUNCHER_VIEWER", QString()},
                       {"PATH", path},
                       {"FAKE_VIEWER_STATUS", "0"}},
                      besideLauncher);
    EXPECT_TRUE(out.viewerRan);
    EXPECT_EQ(out.clipboardDuringRun, "41");
    EXPECT_TRUE(out.messages.isEmpty());

    QFile::remove(Path("beside/quor"));
    out = Run({{"QUOR_LAUNCHER_PROBE", "42"}, {"QUOR_LAUNCHER_VIEWER", QString()}, {"PATH", path}},
              besideLauncher);
    EXPECT_TRUE(out.viewerRan);
    EXPECT_EQ(out.clipboardDuringRun, "42");

    out = Run({{"QUOR_LAUNCHER_PROBE", "43"}, {"QUOR_LAUNCHER_VIEWER", QString()}, {"PATH", "/nonexistent"}},
              aloneLauncher);
    EXPECT_FALSE(out.viewerRan);
    EXPECT_EQ(out.messages, QStringList{kViewerFailedLine});
}

TEST_F(LauncherProcess, WithoutADisplayEndsWithTheFailureStatusAndNoMessage) {
    int unused = 99;
    while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(unused)))
        ++unused;
    const Outcome out = Run({{"DISPLAY", QString(":%1").arg(unused)}, {"QUOR_LAUNCHER_PROBE", "5"}});
    EXPECT_EQ(out.status, kSetupFailure & 0xFF);
    EXPECT_EQ(out.status, 5);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_FALSE(out.viewerRan);
}

} // namespace
