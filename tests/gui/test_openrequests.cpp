// Files handed over by later starts: answered at once, opened in order, never
// taken by a viewer that is ending, and a channel that survives hard times.
#include "guitest.h"

#include "shell/mainfrm.h"
#include "shell/openrequests.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

// Copies of the station under the given names in the directory.
QStringList Models(const QTemporaryDir &dir, const QStringList &names) {
    QStringList paths;
    for (const QString &name : names) {
        paths << dir.path() + '/' + name;
        QFile::copy(kStation, paths.back());
    }
    return paths;
}

QStringList DocumentTitles(CQUORApp &app) {
    QStringList titles;
    for (Document *doc : app.Documents())
        titles << QString::fromStdString(doc->GetTitle());
    return titles;
}

// An application-modal dialog, as a message box or the Open dialog is.
struct ModalDialog {
    QDialog dialog;
    ModalDialog() {
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        ViewerApp::Settle(50);
    }
};

sockaddr_un Address(const QString &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy(native.begin(), native.end(), address.sun_path);
    return address;
}

ino_t Inode(const QString &path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST(OpenRequests, AnsweredAtOnceWhileTheViewerIsBusyThenOpenedInOrder) {
    QTemporaryDir dir;
    const QStringList files = Models(dir, {"a.3ds", "b.3ds", "c.3ds", "d.3ds"});
    const QString missing = dir.path() + "/missing.3ds";
    ViewerApp v;
    ModalDialog modal;
    // This thread does not run the viewer's event loop while it hands over: the
    // viewer is as busy as one opening a large model.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(HandOverToRunningViewer({files[0], missing, files[1]}), QStringList());
    EXPECT_EQ(HandOverToRunningViewer({files[2], files[3]}), QStringList());
    EXPECT_LT(clock.elapsed(), 1000);
    // They wait, all of them, while a dialog is open.
    ViewerApp::Settle(600);
    EXPECT_TRUE(v.app().Documents().empty());
    modal.dialog.close();
    ASSERT_TRUE(SettleUntil([&] { return v.app().Documents().size() == 4u; }, 15000));
    EXPECT_EQ(DocumentTitles(v.app()), QStringList({"a.3ds", "b.3ds", "c.3ds", "d.3ds"}));
    EXPECT_EQ(v.messages.Texts(), std::vector<std::string>({missing.toStdString() + " was not found."}));
    EXPECT_EQ(v.app().MainWindow()->ActiveChildFrame()->windowTitle(), "d.3ds");
}

TEST(OpenRequests, AViewerThatEndsHandsOnWhatItTookAndAnswersNoMore) {
    QTemporaryDir dir;
    const QStringList files = Models(dir, {"taken.3ds", "later.3ds"});
    // The successor records its command line.
    const QString successor = dir.path() + "/successor", record = dir.path() + "/arguments";
    {
        QFile script(successor);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"" + record.toUtf8() +
                     "\"\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ViewerApp v;
    v.app().SetSuccessorProgram(successor);
    {
        ModalDialog modal;
        ASSERT_EQ(HandOverToRunningViewer({files[0]}), QStringList());
        ViewerApp::Settle(100);
        v.app().MainWindow()->close();
    }
    EXPECT_TRUE(SettleUntil([&] { return QFileInfo::exists(record); }, 5000));
    QFile args(record);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), "--\n" + files[0].toUtf8() + '\n');
    EXPECT_EQ(HandOverToRunningViewer({files[1]}, 500), QStringList({files[1]}));
    EXPECT_FALSE(QFileInfo::exists(OpenRequestSocketPath()));
    ViewerApp::Settle(300);
    EXPECT_TRUE(v.app().Documents().empty());
}

TEST(OpenRequests, APipeIsRefusedWithoutHoldingUpTheViewerAndLongNamesAreShortened) {
    QTemporaryDir dir;
    const QString pipe = dir.path() + "/pipe.3ds";
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ViewerApp v;
    EXPECT_EQ(HandOverToRunningViewer({pipe, QFileInfo(kStation).absoluteFilePath()}), QStringList());
    // A pipe opened for reading would hold the viewer until a writer came, and none comes.
    ASSERT_TRUE(SettleUntil([&] { return v.app().Documents().size() == 1u; }, 10000));
    EXPECT_EQ(DocumentTitles(v.app()), QStringList({"station.3ds"}));
    EXPECT_EQ(v.messages.Texts(),
              std::vector<std::string>({"Access to " + pipe.toStdString() + " was denied."}));

    // A name of 60,000 characters: the box shows its beginning and its end.
    v.messages.shown.clear();
    const QString head = "/nonexistent-" + QString(30000, 'h'), tail = QString(30000, 't') + "/end.3ds";
    EXPECT_EQ(v.app().OpenDocumentFile(head + tail), nullptr);
    ASSERT_EQ(v.messages.shown.size(), 1u);
    const QString text = QString::fromStdString(v.messages.shown[0].text);
    EXPECT_LT(text.size(), 300);
    // A third of what is kept from the beginning, two thirds from the end, where the file's own name is.
    const QString name = head + tail;
    EXPECT_EQ(text.toStdString(),
              (name.left(80) + QChar(0x2026) + name.right(160) + " was not found.").toStdString());
    EXPECT_EQ(v.app().Documents().size(), 1u);
}

TEST(OpenRequestChannel, OnePerDisplayAndAViewerKeepsAndRemovesOnlyItsOwnSocket) {
    ViewerApp v;
    {
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":7");
        const QString seven = OpenRequestSocketPath();
        qputenv("DISPLAY", ":7.0");
        EXPECT_EQ(OpenRequestSocketPath(), seven);
        qputenv("DISPLAY", ":8");
        EXPECT_NE(OpenRequestSocketPath(), seven);
        qputenv("DISPLAY", display);
    }
    v.app().EndShellOpen(); // the channel is this test's
    const QString path = OpenRequestSocketPath();
    ASSERT_FALSE(QFileInfo::exists(path));
    QStringList opened;
    const auto open = [&](const QString &p) { opened << p; };

    // A live viewer whose backlog is full is busy, not gone: its socket stays.
    {
        const sockaddr_un address = Address(path);
        const int busy = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(busy, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ASSERT_EQ(listen(busy, 0), 0);
        std::vector<int> waiting;
        for (int i = 0; i < 8; ++i) {
            waiting.push_back(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
            if (connect(waiting.back(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
                break;
        }
        ASSERT_EQ(errno, EAGAIN) << "the backlog is full";
        const ino_t inode = Inode(path);
        OpenRequestServer newcomer(open);
        EXPECT_FALSE(newcomer.Listen());
        EXPECT_EQ(Inode(path), inode);
        for (int fd : waiting)
            close(fd);
        close(busy); // gone now, its socket file left behind
    }

    OpenRequestServer first(open);
    ASSERT_TRUE(first.Listen()) << "a socket nobody serves is taken over";
    // Its name taken by another viewer (one that found it stale, say): when the
    // first one ends, the other's socket stays.
    ASSERT_EQ(unlink(QFile::encodeName(path).constData()), 0);
    OpenRequestServer second(open);
    ASSERT_TRUE(second.Listen());
    const ino_t inode = Inode(path);
    first.Stop();
    EXPECT_EQ(Inode(path), inode);
    EXPECT_EQ(HandOverToRunningViewer({"/models/a.3ds"}), QStringList());
    EXPECT_TRUE(SettleUntil([&] { return opened.size() == 1; }, 2000));
    second.Stop();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(opened, QStringList({"/models/a.3ds"}));
}

TEST(OpenRequestChannel, RunningOutOfDescriptorsKeepsTheChannel) {
    ViewerApp v;
    const QString path = OpenRequestSocketPath();
    ASSERT_TRUE(QFileInfo::exists(path));
    // Lower the limit to just above the highest descriptor in use, then use up the rest
    // but one, which the caller's socket takes: the viewer's accept() finds none.
    int highest = 0;
    if (DIR *d = opendir("/proc/self/fd")) {
        while (dirent *e = readdir(d))
            highest = std::max(highest, atoi(e->d_name));
        closedir(d);
    }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = static_cast<rlim_t>(highest + 16);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> fillers;
    for (int fd; (fd = dup(0)) >= 0;)
        fillers.push_back(fd);
    ASSERT_FALSE(fillers.empty());
    close(fillers.back());
    fillers.pop_back();

    QStringList rest{"not run"};
    std::thread caller(
        [&] { rest = HandOverToRunningViewer({QFileInfo(kStation).absoluteFilePath()}, 4000); });
    QThread::msleep(400);
    for (int fd : fillers)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
    caller.join();
    EXPECT_EQ(rest, QStringList()) << "answered once descriptors were free again";
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(SettleUntil([&] { return v.app().Documents().size() == 1u; }, 5000));
}
