// The settings profile shared by viewers: merged rather than overwritten, written
// under its lock, never written when it is not a regular file, and a failure to
// save said once.
#include "guitest.h"
#include "smalldisk.h"

#include "shell/quor.h"
#include "view/core/observerpanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/stat.h>

namespace {

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

QStringList StoredRecentFiles(const QString &ini) {
    QSettings stored(ini, QSettings::IniFormat);
    QStringList list;
    for (int i = 1; i <= 4; ++i)
        list << stored.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
    list.removeAll(QString());
    return list;
}

// What another viewer does when it saves: the whole profile replaced at once.
void SaveAsAnotherViewer(const QString &ini, const QStringList &recent, const QString &place) {
    const QString scratch = ini + ".other";
    QFile::remove(scratch);
    {
        QSettings other(scratch, QSettings::IniFormat);
        for (int i = 0; i < recent.size(); ++i)
            other.setValue(QStringLiteral("Recent File List/File%1").arg(i + 1), recent[i]);
        other.setValue("Observer/Name", place);
        other.setValue("Observer/Latitude", "-31.950000");
        other.setValue("Observer/Longitude", "115.860000");
        other.setValue("Observer/Height", "20.0");
    }
    ASSERT_EQ(::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(ini).constData()), 0);
}

} // namespace

TEST(Profile, TwoViewersKeepEachOthersRecentFilesAndPlace) {
    QTemporaryDir files, profile;
    QStringList model;
    for (const char *name : {"a.3ds", "b.3ds", "c.3ds", "d.3ds"}) {
        ASSERT_TRUE(QFile::copy(kStation, files.filePath(name)));
        model << QFileInfo(files.filePath(name)).canonicalFilePath();
    }
    const QString ini = profile.filePath("QUOR.ini");
    SaveAsAnotherViewer(ini, {model[0]}, "Home");
    {
        ViewerApp v({}, profile.path());
        EXPECT_EQ(v.app().RecentFiles(), QStringList{model[0]});
        // The other viewer opens b and moves to Perth: this one takes both in by itself.
        SaveAsAnotherViewer(ini, {model[1], model[0]}, "Perth");
        ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Place().name == "Perth"; }, 3000));
        EXPECT_DOUBLE_EQ(v.app().Live()->Place().latitude, -31.95);
        EXPECT_EQ(v.app().RecentFiles(), (QStringList{model[1], model[0]}));

        // This one adds c while the other holds the lock for a moment, just after the other
        // moved to Sydney: it waits, then puts its file on top of the other's list, and
        // takes Sydney in with that same save.
        SaveAsAnotherViewer(ini, {model[1], model[0]}, "Sydney");
        auto held = std::make_unique<QLockFile>(ini + ".lock");
        ASSERT_TRUE(held->lock());
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            held->unlock();
        });
        QElapsedTimer clock;
        clock.start();
        v.app().AddToRecentFileList(model[2]);
        const qint64 waited = clock.elapsed();
        release.join();
        EXPECT_GE(waited, 350);
        EXPECT_EQ(StoredRecentFiles(ini), (QStringList{model[2], model[1], model[0]}));
        EXPECT_EQ(v.app().Live()->Place().name, "Sydney");

        // The other opens d, and this one ends before it has looked: d stays, and so does Perth.
        SaveAsAnotherViewer(ini, {model[3], model[2], model[1], model[0]}, "Perth");
    }
    EXPECT_EQ(StoredRecentFiles(ini), (QStringList{model[3], model[2], model[1], model[0]}));
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("Observer/Name").toString(), "Perth");
    EXPECT_TRUE(QSettings(ini, QSettings::IniFormat).contains("QUOR:BarStatus/Layout")) << "this viewer's own";
}

// A pipe would hold the start for good, and a folder can hold no settings: either is
// named once, and the viewer runs with its defaults and writes nothing.
TEST(Profile, APipeOrAFolderIsNamedOnceAndNothingIsWritten) {
    for (const bool pipe : {true, false}) {
        QTemporaryDir dir;
        const QString ini = dir.filePath("QUOR.ini");
        ASSERT_EQ(pipe ? mkfifo(QFile::encodeName(ini).constData(), 0600) : mkdir(QFile::encodeName(ini).constData(), 0700), 0);
        QElapsedTimer clock;
        clock.start();
        {
            ViewerApp v({kStation}, dir.path());
            EXPECT_LT(clock.elapsed(), 10000);
            ASSERT_TRUE(v.started());
            ASSERT_EQ(v.app().Documents().size(), 1u);
            v.app().Profile().setValue("Passes/Days", 3);
            EXPECT_FALSE(v.app().SaveProfile());
            ViewerApp::Settle(400);
            ASSERT_EQ(v.messages.shown.size(), 1u) << v.messages.shown.back().text;
            EXPECT_EQ(v.messages.shown[0].text,
                      ("The settings profile " + ini + " cannot be used: it is a " +
                       (pipe ? "named pipe" : "folder") +
                       ", not a file. QUOR runs with its default settings and saves no changes to them.")
                          .toStdString());
        }
        struct stat st {};
        ASSERT_EQ(stat(QFile::encodeName(ini).constData(), &st), 0);
        EXPECT_TRUE(pipe ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{"QUOR.ini"});
        if (!pipe) {
            EXPECT_TRUE(QDir(ini).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        }
    }
}

// A folder that cannot be written: the place set is used, the failure said once.
TEST(Profile, ChangesThatCannotBeSavedAreSaidOnce) {
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("config"), 64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs may be mounted here";
    const QString ini = dir.filePath("config/QUOR.ini");
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Passes]\nDays=5\n");
    }
    ASSERT_TRUE(disk.ReadOnly());
    ViewerApp v({}, dir.filePath("config"));
    EXPECT_EQ(v.app().Profile().value("Passes/Days").toInt(), 5);
    EXPECT_TRUE(v.messages.shown.empty());
    // Saved by itself shortly after, as a dialog's choices are.
    v.app().Profile().setValue("Passes/Days", 7);
    ViewerApp::Settle(600);
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_EQ(v.messages.shown[0].text, ("The settings cannot be saved to " + ini +
                                         ": read-only file system. Changes made now are kept only until "
                                         "QUOR ends.")
                                            .toStdString());
    v.app().Profile().setValue("Passes/Days", 8);
    ViewerApp::Settle(600);
    EXPECT_EQ(v.messages.shown.size(), 1u);
    EXPECT_EQ(v.app().Profile().value("Passes/Days").toInt(), 8);
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[Passes]\nDays=5\n"));
}
