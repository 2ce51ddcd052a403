// The viewer's start-up, document handling and GL set-up, driven in process.
#include "guitest.h"

#include "shell/openrequests.h"

#include "document/quordoc.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "shell/mainfrm.h"
#include "tools/3ds/writer3ds.h"
#include "view/quorview.h"

#include <QComboBox>
#include <QDateTime>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QOpenGLContext>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

QStringList MenuTitles(QMainWindow *w) {
    QStringList titles;
    for (QAction *a : w->menuBar()->actions())
        titles << a->text();
    return titles;
}

CChildFrame *ActiveFrame(CQUORApp &app) {
    return static_cast<CChildFrame *>(app.MainWindow()->ActiveChildFrame());
}

} // namespace

TEST(StartUp, NoFileGivesAMaximisedEmptyMainWindow) {
    ViewerApp v;
    ASSERT_TRUE(v.started());
    MainFrame *main = v.app().MainWindow();
    EXPECT_TRUE(main->isMaximized());
    EXPECT_EQ(main->windowTitle(), "QUOR");
    EXPECT_TRUE(main->ChildFrames().empty());
    EXPECT_TRUE(v.app().Documents().empty());
    EXPECT_TRUE(v.messages.shown.empty());
    EXPECT_EQ(MenuTitles(main), QStringList({"&File", "&View", "&Help"}));
}

TEST(StartUp, EveryFileArgumentOpensInOrderAndAMissingOneIsReported) {
    QTemporaryDir dir;
    const QString dashed = dir.path() + "/-x.3ds";
    ASSERT_TRUE(QFile::copy(kStation, dashed));
    const QStringList args = {"-style=fusion", kStation, "/nonexistent/dir/orbit.3ds", "--", dashed, "--"};
    EXPECT_EQ(Application::FileArguments(QStringList{"quor"} + args),
              QStringList({kStation, "/nonexistent/dir/orbit.3ds", dashed, "--"}))
        << "switches end at the first --; after it everything is a file";

    ViewerApp v({kStation, "/nonexistent/dir/orbit.3ds", dashed});
    ASSERT_TRUE(v.started()) << "one file opened, so the viewer runs";
    MainFrame *main = v.app().MainWindow();
    ASSERT_EQ(main->ChildFrames().size(), 2u);
    EXPECT_EQ(v.messages.Texts(), std::vector<std::string>({"/nonexistent/dir/orbit.3ds was not found."}));
    ChildFrame *frame = main->ActiveChildFrame();
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->windowTitle(), "-x.3ds") << "the last file opened is the active one";
    EXPECT_EQ(MenuTitles(main), QStringList({"&File", "&View", "&Window", "Timer", "&Help"}));
    auto *doc = static_cast<CQUORDoc *>(frame->GetDocument());
    EXPECT_GT(doc->m_faceCount, 0);
    EXPECT_GT(doc->m_modelList, 0) << "the model is compiled into the new view's context at open";
}

TEST(StartUp, MissingFileReportsAndEndsStartUp) {
    // While its box is up, a viewer that is about to end takes no file of a later start.
    QStringList notTaken;
    ViewerApp v({"/nonexistent/dir/orbit.3ds"}, QString(),
                [&] { notTaken = HandOverToRunningViewer({QFileInfo(kStation).absoluteFilePath()}, 500); });
    EXPECT_FALSE(v.started());
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_EQ(v.messages.shown[0].text, "/nonexistent/dir/orbit.3ds was not found.");
    EXPECT_EQ(v.messages.shown[0].caption, "QUOR");
    EXPECT_EQ(v.messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(v.app().Documents().empty());
    EXPECT_EQ(notTaken.size(), 1) << "the new start shows its file itself";
    EXPECT_FALSE(QFileInfo::exists(OpenRequestSocketPath()));
}

TEST(Documents, OpeningAnOpenFileActivatesItsWindow) {
    QTemporaryDir dir;
    const QString other = dir.path() + "/other.3DS";
    ASSERT_TRUE(QFile::copy(kStation, other));
    ViewerApp v({kStation});
    CQUORApp &app = v.app();
    Document *first = app.Documents().front();
    Document *second = app.OpenDocumentFile(other);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(app.Documents().size(), 2u);
    EXPECT_EQ(app.OpenDocumentFile(kStation), first);
    ViewerApp::Settle(100);
    EXPECT_EQ(app.Documents().size(), 2u);
    EXPECT_EQ(app.MainWindow()->ActiveChildFrame()->GetDocument(), first);
    // A request handed over by a later start goes the same way.
    app.FrameOf(second)->ActivateFrame();
    app.OnShellOpenRequest(QFileInfo(kStation).absoluteFilePath());
    ViewerApp::Settle(100);
    EXPECT_EQ(app.Documents().size(), 2u);
    EXPECT_EQ(app.MainWindow()->ActiveChildFrame()->GetDocument(), first);
    EXPECT_TRUE(app.MainWindow()->ActiveChildFrame()->isMaximized());
    // Re-activated windows come back maximised too.
    for (ChildFrame *f : app.MainWindow()->ChildFrames()) {
        f->ActivateFrame();
        ViewerApp::Settle(50);
        EXPECT_EQ(app.MainWindow()->ActiveChildFrame(), f);
        EXPECT_TRUE(f->isMaximized());
    }
    // Newest first in the recent-file list.
    EXPECT_EQ(app.RecentFiles().value(0), QFileInfo(other).canonicalFilePath());
}

TEST(Documents, NewDocumentCommandLeavesNothingAndSaysNothing) {
    ViewerApp v({kStation});
    ASSERT_TRUE(v.app().DispatchCommand(ID_FILE_NEW));
    ViewerApp::Settle(50);
    EXPECT_EQ(v.app().Documents().size(), 1u);
    EXPECT_EQ(v.app().MainWindow()->ChildFrames().size(), 1u);
    EXPECT_TRUE(v.messages.shown.empty());
}

TEST(Documents, CloseCommandRemovesTheWindowAndSwapsTheMenuBack) {
    ViewerApp v({kStation});
    ASSERT_TRUE(v.app().DispatchCommand(ID_FILE_CLOSE));
    ViewerApp::Settle(100);
    EXPECT_TRUE(v.app().Documents().empty());
    EXPECT_TRUE(v.app().MainWindow()->ChildFrames().empty());
    EXPECT_EQ(MenuTitles(v.app().MainWindow()), QStringList({"&File", "&View", "&Help"}));
}

TEST(Documents, RecentFilesAreKeptNewestFirstAcrossRuns) {
    QTemporaryDir files, profile;
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        paths << files.path() + QStringLiteral("/m%1.3ds").arg(i);
        ASSERT_TRUE(QFile::copy(kStation, paths.back()));
    }
    {
        ViewerApp v({}, profile.path());
        for (const QString &p : paths)
            ASSERT_NE(v.app().OpenDocumentFile(p), nullptr);
        // The list is written on the way out.
    }
    ViewerApp again({}, profile.path());
    EXPECT_EQ(again.app().RecentFiles(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
}

TEST(SceneViewContext, FixedStateAndProjectionInARealContext) {
    ViewerApp v({kStation});
    CChildFrame *frame = ActiveFrame(v.app());
    ASSERT_NE(frame, nullptr);
    CQUORView *view = frame->SceneView();
    ASSERT_TRUE(view->HasContext());
    view->makeCurrent();

    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.0f);
    EXPECT_FLOAT_EQ(clear[1], 0.0f);
    EXPECT_NEAR(clear[2], 0.2f, 1e-6);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    GLint value = -1;
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &value);
    EXPECT_EQ(value, GL_FRONT_AND_BACK);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &value);
    EXPECT_EQ(value, GL_AMBIENT_AND_DIFFUSE);
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &value);
    EXPECT_EQ(value, 0);
    // A true-colour visual needs no palette.
    EXPECT_EQ(view->m_pOldPalette, nullptr);
    EXPECT_TRUE(view->m_palette.empty());

    // Viewport and a 60 degree projection in device pixels.
    const int w = static_cast<int>(view->width() * view->devicePixelRatioF());
    const int h = static_cast<int>(view->height() * view->devicePixelRatioF());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], w);
    EXPECT_EQ(viewport[3], h);
    GLfloat proj[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_NEAR(proj[5], 1.0 / std::tan(30.0 * M_PI / 180.0), 1e-4);
    EXPECT_NEAR(proj[5] / proj[0], static_cast<double>(w) / h, 1e-3);
    EXPECT_EQ(view->m_clientRect.right, w);
    EXPECT_EQ(view->m_clientRect.bottom, h);

    // A height of 0 counts as 1: the aspect is then the width.
    view->OnSize(300, 0);
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_EQ(view->m_clientRect.bottom, 1);
    EXPECT_NEAR(proj[5] / proj[0], 300.0, 0.5);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 0);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
}

TEST(SceneViewContext, ViewWithoutAUsableContextReportsAndDrawsNothing) {
    // A format without a depth buffer is granted, but the scene cannot use it.
    QSurfaceFormat unusable = CQUORView::RequestedFormat();
    unusable.setDepthBufferSize(0);
    CQUORView::SetRequestedFormatOverride(&unusable);
    ViewerApp v({kStation});
    CQUORView::SetRequestedFormatOverride(nullptr);
    ASSERT_TRUE(v.started());
    CChildFrame *frame = ActiveFrame(v.app());
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->SceneView()->HasContext());
    const auto texts = v.messages.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "Bad Pixel Format");
    EXPECT_EQ(texts.size(), 1u);
    frame->SceneView()->repaint(); // must not crash
    ViewerApp::Settle(50);
}

TEST(Documents, DroppedFilesOpenLikeFileOpen) {
    QTemporaryDir dir;
    const QString notAModel = dir.path() + "/notes.3ds";
    {
        QFile f(notAModel);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a 3D Studio file\n");
    }
    ViewerApp v;
    MainFrame *main = v.app().MainWindow();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(kStation), QUrl::fromLocalFile(notAModel)});
    // A drop reaches the window that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main, &enter);
    ASSERT_TRUE(enter.isAccepted());
    // What is no local file is refused at the entry already, so the cursor says so.
    QMimeData web;
    web.setUrls({QUrl("https://example.org/station.3ds")});
    web.setText(kStation);
    QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(main, &drop);
    ViewerApp::Settle(100);
    ASSERT_EQ(v.app().Documents().size(), 2u);
    auto *station = static_cast<CQUORDoc *>(v.app().Documents()[0]);
    auto *other = static_cast<CQUORDoc *>(v.app().Documents()[1]);
    EXPECT_GT(station->m_faceCount, 0);
    // A file that is no model opens quietly, without a model.
    EXPECT_EQ(other->m_faceCount, 0);
    EXPECT_EQ(other->m_modelList, 0);
    EXPECT_TRUE(v.messages.shown.empty());
}

TEST(Documents, RecentFileEntriesOpenOrReportAndGo) {
    QTemporaryDir files, profile;
    const QString model = files.path() + "/x&y.3ds", gone = files.path() + "/gone.3ds";
    const QString pipe = files.path() + "/pipe.3ds";
    ASSERT_TRUE(QFile::copy(kStation, model));
    {
        QSettings ini(profile.path() + "/QUOR.ini", QSettings::IniFormat);
        const QStringList list{model, files.path(), gone, pipe};
        for (int i = 0; i < list.size(); ++i)
            ini.setValue(QStringLiteral("Recent File List/File%1").arg(i + 1), list[i]);
    }
    ViewerApp v({}, profile.path());
    // Opening a pipe would wait for a writer: it is refused, as a folder is.
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    MainFrame *main = v.app().MainWindow();
    const QStringList entries = MenuItemTexts(main, "&File").filter(QRegularExpression("^&\\d "));
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0], "&1 " + files.path() + "/x&&y.3ds") << "the name as it is, no mnemonic";

    struct Case {
        QString path, message;
    };
    const Case failures[] = {
        {files.path(), "Access to " + files.path() + " was denied."},
        {gone, gone + " was not found."},
        {pipe, "Access to " + pipe + " was denied."},
    };
    for (const Case &c : failures) {
        // The entry of this file is always the second: the ones before it have gone.
        ASSERT_TRUE(ChooseMenuItem(main, "&File", "&2 " + c.path)) << c.path.toStdString();
        ASSERT_FALSE(v.messages.shown.empty());
        EXPECT_EQ(v.messages.shown.back().text, c.message.toStdString());
        EXPECT_EQ(v.messages.shown.back().caption, "QUOR");
        EXPECT_EQ(v.messages.shown.back().icon, MessageIcon::Exclamation);
        EXPECT_FALSE(v.app().RecentFiles().contains(c.path));
        const QStringList left = MenuItemTexts(main, "&File");
        EXPECT_TRUE(std::none_of(left.begin(), left.end(), [&](const QString &t) {
            return t.endsWith(' ' + c.path);
        })) << c.path.toStdString();
    }
    EXPECT_EQ(v.messages.shown.size(), 3u);
    EXPECT_TRUE(v.app().Documents().empty());
    EXPECT_EQ(MenuItemTexts(main, "&File").filter(QRegularExpression("^&\\d ")),
              QStringList{"&1 " + files.path() + "/x&&y.3ds"})
        << "each opening of the menu lists the entries once";

    ASSERT_TRUE(ChooseMenuItem(main, "&File", "&1 " + files.path() + "/x&&y.3ds"));
    ASSERT_EQ(v.app().Documents().size(), 1u);
    EXPECT_EQ(main->ActiveChildFrame()->windowTitle(), "x&y.3ds");
    EXPECT_EQ(v.app().RecentFiles(), QStringList{model});
    EXPECT_EQ(v.messages.shown.size(), 3u);
    // Kept in the profile as it changes, so that a viewer that is killed loses nothing.
    QSettings kept(v.profilePath(), QSettings::IniFormat);
    kept.beginGroup("Recent File List");
    EXPECT_EQ(kept.childKeys(), QStringList{"File1"});
    EXPECT_EQ(kept.value("File1").toString(), model);
}

TEST(Documents, OpenDialogStartsInTheLastFolderAndAllFilesListsEveryFile) {
    QTemporaryDir files;
    const QString first = files.path() + "/first.3ds", plain = files.path() + "/model";
    ASSERT_TRUE(QFile::copy(kStation, first) && QFile::copy(kStation, plain));
    ViewerApp v({first});
    MainFrame *main = v.app().MainWindow();
    QString folder;
    QStringList filters;
    bool listed = false;
    // Looks at the dialog from inside its own event loop, then picks the file without a dot.
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        folder = dialog->directory().absolutePath();
        auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
        auto *list = dialog->findChild<QTreeView *>("treeView");
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        if (!types || !list || !name) {
            dialog->reject();
            return;
        }
        for (int i = 0; i < types->count(); ++i)
            filters << types->itemText(i);
        types->setCurrentIndex(1);
        emit types->activated(1);
        listed = SettleUntil(
            [&] {
                const QModelIndex root = list->rootIndex();
                for (int row = 0; row < list->model()->rowCount(root); ++row) {
                    if (list->model()->index(row, 0, root).data().toString() == "model")
                        return true;
                }
                return false;
            },
            5000);
        name->setText("model");
        static_cast<QDialog *>(dialog)->accept();
        if (dialog->isVisible()) // a failed test does not hang in the dialog
            dialog->reject();
    });
    poll.start();
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "&Open...\tCtrl+O"));
    EXPECT_EQ(folder, files.path()) << "the folder of the last file opened";
    EXPECT_EQ(filters.join('|'), "QUOR Files (*.3ds)|All Files (*.*)");
    EXPECT_TRUE(listed) << "a file without a dot is listed under All Files";
    ASSERT_EQ(v.app().Documents().size(), 2u);
    EXPECT_EQ(main->ActiveChildFrame()->windowTitle(), "model");
}

TEST(OpenRequests, TheViewerTakesOnlyWellFormedRequestsInTime) {
    // A socket file left by a viewer that did not end cleanly: the next viewer takes its place.
    const QString path = OpenRequestSocketPath();
    ASSERT_FALSE(path.isEmpty());
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        ASSERT_LT(native.size(), static_cast<qsizetype>(sizeof(address.sun_path)));
        std::copy(native.begin(), native.end(), address.sun_path);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        close(fd);
    }
    ViewerApp v;
    // Sends a request and returns the answer the viewer gave before closing.
    auto request = [&](const QByteArray &bytes) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(1000))
            return QByteArray("no connection");
        // The first byte on its own, as a slow caller's request may come.
        socket.write(bytes.left(1));
        socket.waitForBytesWritten(1000);
        QThread::msleep(50);
        socket.write(bytes.mid(1));
        QByteArray answer;
        SettleUntil(
            [&] {
                answer += socket.readAll();
                return socket.state() == QLocalSocket::UnconnectedState;
            },
            3000);
        return answer + socket.readAll();
    };
    const QByteArray file = QFileInfo(kStation).absoluteFilePath().toUtf8();
    const QByteArray soon = QByteArray::number(QDateTime::currentMSecsSinceEpoch() + 2000);
    const QByteArray past = QByteArray::number(QDateTime::currentMSecsSinceEpoch() - 1);
    EXPECT_EQ(request("open " + past + ' ' + file + '\0'), "") << "read too late: left to the caller";
    EXPECT_EQ(request("open " + file + '\0'), "") << "no deadline";
    EXPECT_EQ(request("open " + soon + " station.3ds" + '\0'), "") << "not an absolute path";
    EXPECT_EQ(request("show " + soon + ' ' + file + '\0'), "");
    EXPECT_EQ(request("open " + soon + " /" + QByteArray(64 * 1024, 'a') + ".3ds" + '\0'), "")
        << "longer than a request may be, however it arrives";
    ViewerApp::Settle(100);
    EXPECT_TRUE(v.app().Documents().empty());
    EXPECT_EQ(request("open " + soon + ' ' + file + '\0'), "ok\n");
    ASSERT_TRUE(SettleUntil([&] { return v.app().Documents().size() == 1u; }, 5000));
    EXPECT_EQ(v.app().MainWindow()->windowTitle(), "QUOR - [station.3ds]");
    EXPECT_TRUE(v.messages.shown.empty());
}
