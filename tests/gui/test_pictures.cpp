// Pictures of the scene: antialiasing of the globe's rim without touching the
// text, models drawn from arrays as from their display list, pictures written
// whole or not at all, and the viewer's Save Picture and Antialiasing commands.
#include "guitest.h"
#include "smalldisk.h"

#include "document/quordoc.h"
#include "panel/textview1.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "shell/mainfrm.h"
#include "tools/3ds/writer3ds.h"
#include "view/arraysink.h"
#include "view/core/orbitsim.h"
#include "view/gldisplaylistsink.h"
#include "view/offscreen.h"
#include "view/picturefile.h"
#include "view/quorview.h"
#include "view/wiresphere.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>
#include <QWidgetAction>

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <set>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

const std::string kStation = SourcePath("data/station.3ds");

uint32_t g_now = 0;
uint32_t Stepped() {
    return g_now += 30;
}

// Room for all of a picture of `size` bytes but its last write: the writer's
// 16 KiB blocks fit, the tail does not.
qint64 RoomShortOfTheLastWrite(qint64 size) {
    const qint64 room = size / 16384 * 16384;
    return room == size ? size - 4096 : room;
}

// An application, a plain white Earth map in a scratch directory, a fixed 30 ms step.
class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        InitWireSphere(&m_argc, m_argv);
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        ASSERT_TRUE(
            WriteBmp24(m_dir.path() + "/Weltkart.bmp", 64, 32, [](int, int) { return QColor(Qt::white); }));
        SetMillisecondClock(Stepped);
        SetMessageService(&m_messages);
    }
    void TearDown() override {
        SetMessageService(nullptr);
        SetModelArraySink(nullptr);
        SetDefaultGlSink(nullptr);
        SetMillisecondClock(nullptr);
        ResetOrbitSimulation();
        QDir::setCurrent(m_previous);
        m_app.reset();
    }

    // The first frame of the sample station, from the start of the simulation.
    QImage FirstFrame(QSize size, bool antialiasing, int mode, GlSink &sink, int *samples = nullptr,
                      const std::string &model = kStation) {
        ResetOrbitSimulation();
        g_now = 0;
        SetDefaultGlSink(&sink);
        OffscreenScene scene(size, antialiasing);
        CQUORDoc doc;
        EXPECT_TRUE(scene.IsValid() && scene.Open(doc, model));
        doc.m_viewMode = mode;
        const QImage image = scene.Render(doc);
        if (samples)
            *samples = scene.Samples();
        return image;
    }

    QTemporaryDir m_dir;
    RecordingMessageService m_messages;
    std::unique_ptr<QApplication> m_app;
    QString m_previous;
    int m_argc = 1;
    char m_name[9] = "pictures";
    char *m_argv[2] = {m_name, nullptr};
};

// One wavy sheet of 26,400 faces in six coloured stripes: more vertices than one
// of the array sink's blocks holds.
Writer3ds WavySheet() {
    constexpr int kW = 120, kH = 110;
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {3, 0, 0, 0});
    w.Begin(0x3D3D);
    for (int m = 0; m < 6; ++m) {
        w.Begin(0xAFFF);
        w.Begin(0xA000);
        w.Str("stripe" + std::to_string(m));
        w.End();
        w.Color24(0xA020, static_cast<uint8_t>(40 * m + 30), static_cast<uint8_t>(200 - 30 * m), 97);
        w.End();
    }
    std::vector<float> xyz;
    std::vector<uint16_t> abc;
    for (int y = 0; y <= kH; ++y)
        for (int x = 0; x <= kW; ++x)
            xyz.insert(xyz.end(), {float(x), float(y), 6.0f * std::sin(x * 0.21f) * std::cos(y * 0.17f)});
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const auto i = static_cast<uint16_t>(y * (kW + 1) + x);
            const auto below = static_cast<uint16_t>(i + kW + 1);
            abc.insert(abc.end(), {i, static_cast<uint16_t>(i + 1), below, static_cast<uint16_t>(i + 1),
                                   static_cast<uint16_t>(below + 1), below});
        }
    std::vector<std::vector<uint16_t>> stripes(6);
    for (size_t f = 0; f < abc.size() / 3; ++f)
        stripes[f / 2 % (kW * 6) / kW].push_back(static_cast<uint16_t>(f));
    w.Begin(0x4000);
    w.Str("sheet");
    w.Begin(0x4100);
    w.VertexList(xyz);
    w.BeginFaceList(abc);
    for (int m = 0; m < 6; ++m)
        w.FaceMaterial("stripe" + std::to_string(m), stripes[m]);
    w.SmoothList(abc.size() / 3);
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
    return w;
}

bool Magenta(QRgb c) {
    return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 255;
}

// A mix of the white globe's grey and the dark blue background: red and green
// alike, blue clearly above them. Neither the globe nor the background alone is.
bool RimBlend(QRgb c) {
    return std::abs(qRed(c) - qGreen(c)) <= 3 && qRed(c) >= 12 && qBlue(c) >= qRed(c) + 12;
}

} // namespace

TEST_F(PictureTest, AntialiasingBlendsTheGlobesRimAndLeavesTheTextAsItWas) {
    const QSize size(480, 360);
    int offSamples = -1, onSamples = -1;
    const QImage off = FirstFrame(size, false, ViewFromSpace, ViewerGlSink(), &offSamples);
    const QImage on = FirstFrame(size, true, ViewFromSpace, ViewerGlSink(), &onSamples);
    ASSERT_EQ(off.size(), size);
    ASSERT_EQ(on.size(), size);
    EXPECT_EQ(offSamples, 0);
    EXPECT_GE(onSamples, 4) << "llvmpipe offers 4 samples, the most up to 8 is taken";
    EXPECT_LE(onSamples, 8);

    // The rim runs down the left and right thirds between the text rows.
    int blendOff = 0, blendOn = 0;
    for (int y = size.height() / 4; y < size.height() * 3 / 4; ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (x > size.width() / 3 && x < size.width() * 2 / 3)
                continue;
            blendOff += RimBlend(off.pixel(x, y));
            blendOn += RimBlend(on.pixel(x, y));
        }
    }
    EXPECT_EQ(blendOff, 0) << "without antialiasing a rim pixel is globe or background";
    EXPECT_GT(blendOn, 60) << "with it, the rim's pixels take colours in between";

    std::set<std::pair<int, int>> textOff, textOn;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (Magenta(off.pixel(x, y)))
                textOff.insert({x, y});
            if (Magenta(on.pixel(x, y)))
                textOn.insert({x, y});
        }
    }
    EXPECT_GT(textOff.size(), 500u);
    EXPECT_TRUE(textOff == textOn) << "the bitmap text is drawn pixel for pixel as before";
}

TEST_F(PictureTest, ModelsDrawnFromArraysLookAsFromTheirDisplayList) {
    for (const int mode : {ViewFromSpace, ViewFromISS, ViewApproach}) {
        const QImage list = FirstFrame(QSize(400, 300), false, mode, ViewerGlSink());
        ClientArraySink arrays;
        SetModelArraySink(&arrays);
        const QImage fromArrays = FirstFrame(QSize(400, 300), false, mode, arrays);
        SetModelArraySink(nullptr);
        ASSERT_FALSE(list.isNull());
        EXPECT_TRUE(list == fromArrays) << "mode " << mode;
    }
    // A model over several of the sink's blocks, from the station: the same up to the rounding of a colour.
    const std::string sheet = (m_dir.path() + "/sheet.3ds").toStdString();
    ASSERT_TRUE(WavySheet().Save(sheet));
    const QImage list = FirstFrame(QSize(400, 300), false, ViewFromISS, ViewerGlSink(), nullptr, sheet);
    ClientArraySink arrays;
    SetModelArraySink(&arrays);
    const QImage fromArrays = FirstFrame(QSize(400, 300), false, ViewFromISS, arrays, nullptr, sheet);
    SetModelArraySink(nullptr);
    int apart = 0, sheetPixels = 0;
    for (int y = 0; y < list.height(); ++y)
        for (int x = 0; x < list.width(); ++x) {
            const QRgb a = list.pixel(x, y), b = fromArrays.pixel(x, y);
            sheetPixels += std::abs(qRed(a) - qGreen(a)) > 20; // the white globe and the background are not
            apart += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                               std::abs(qBlue(a) - qBlue(b))}) > 2;
        }
    EXPECT_GT(sheetPixels, 10000) << "the sheet fills much of the picture";
    EXPECT_EQ(apart, 0);
}

TEST_F(PictureTest, TheWireSphereDrawnWithoutFreeglutIsFreeglutsToThePixel) {
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "freeglut draws only with a display";
    OffscreenScene scene(QSize(240, 240));
    ASSERT_TRUE(scene.IsValid());
    // Lit and textured as the Earth's frame is, so that normals and texture coordinates count.
    auto draw = [&](const std::function<void()> &sphere) {
        scene.MakeCurrent();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.1, 1.1, -1.1, 1.1, -2.0, 2.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(35.0f, 1.0f, 0.4f, 0.0f);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, scene.EarthTexture());
        sphere();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        return scene.Grab();
    };
    const QImage glut = draw([] { WireSphere(1.0, 36, 18); });
    const QImage own = draw([] { DrawWireSphere(1.0, 36, 18); });
    int lines = 0;
    for (int y = 0; y < glut.height(); ++y)
        for (int x = 0; x < glut.width(); ++x)
            lines += qGray(glut.pixel(x, y)) > 40;
    EXPECT_GT(lines, 3000);
    EXPECT_TRUE(glut == own);
}

// quor-inspect --render, run with no display, draws what the viewer's renderer
// draws on a context of Qt's under X: the same pixels, text and antialiasing included.
TEST_F(PictureTest, InspectRenderWithoutADisplayDrawsWhatTheViewerDraws) {
    struct Case {
        int mode;
        bool antialias;
    };
    for (const Case c : {Case{ViewFromSpace, false}, Case{ViewFromISS, true}, Case{ViewApproach, true}}) {
        ClientArraySink arrays;
        SetModelArraySink(&arrays);
        const QImage viewer = FirstFrame(QSize(320, 200), c.antialias, c.mode, arrays);
        SetModelArraySink(nullptr);
        const QString picture = m_dir.filePath(QStringLiteral("inspect%1.png").arg(c.mode));
        QProcess inspect;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        inspect.setProcessEnvironment(environment);
        inspect.setWorkingDirectory(m_dir.path()); // with the test's Earth map
        QStringList arguments{"--render", picture, "--mode", QString::number(c.mode), "--size", "320x200"};
        if (c.antialias)
            arguments << "--antialias";
        inspect.start(QUOR_INSPECT, arguments << QString::fromStdString(kStation));
        ASSERT_TRUE(inspect.waitForFinished(60000));
        EXPECT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
        const QImage drawn(picture);
        ASSERT_FALSE(drawn.isNull());
        EXPECT_TRUE(drawn.convertToFormat(QImage::Format_RGB888) ==
                    viewer.convertToFormat(QImage::Format_RGB888))
            << "mode " << c.mode;
    }
}

TEST(WritePicture, WritesByTheNamesExtensionAndLeavesNothingWhenItFails) {
    QTemporaryDir dir;
    QImage image(97, 61, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 4, (x * y) % 256));

    const QString png = dir.filePath("scene.png");
    EXPECT_EQ(WritePicture(image, png), QString());
    EXPECT_TRUE(QImage(png).convertToFormat(QImage::Format_RGB888) == image);
    const QString jpeg = dir.filePath("scene.JPG");
    EXPECT_EQ(WritePicture(image, jpeg), QString());
    QFile j(jpeg);
    ASSERT_TRUE(j.open(QIODevice::ReadOnly));
    EXPECT_TRUE(j.read(2) == QByteArray("\xFF\xD8", 2)) << "a .JPG name gets a JPEG file";

    // A folder that is not there.
    const QString nowhere = dir.filePath("missing/scene.png");
    QString why = WritePicture(image, nowhere);
    EXPECT_TRUE(why.contains(QDir::toNativeSeparators(nowhere))) << why.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));

    // A full disk, as a file size limit met in the middle of the picture and at
    // its very last byte: the old file of that name stays, no piece of the new is
    // left, and the system's reason is given.
    const QString kept = dir.filePath("kept.png");
    QImage big(800, 800, QImage::Format_RGB888);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            big.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, (x ^ y) % 256));
    ASSERT_EQ(WritePicture(big, kept), QString());
    const qint64 whole = QFileInfo(kept).size();
    ASSERT_GT(whole, 200 * 1024);
    for (const qint64 limit : {qint64(64 * 1024), whole - 1}) {
        {
            QFile old(kept);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old picture");
        }
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        why = WritePicture(big, kept);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        EXPECT_TRUE(why.endsWith("\n" + QString::fromLocal8Bit(std::strerror(EFBIG)))) << why.toStdString();
        QFile old(kept);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("old picture")) << "limit " << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList({"kept.png", "scene.JPG", "scene.png"}));
    }

    // A pipe of that name is not written into, and does not hold the writer.
    const QString pipe = dir.filePath("pipe.png");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(WritePicture(image, pipe).isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(WritePicture, OnAFullDiskSaysSoAndLeavesTheOldFile) {
    QTemporaryDir dir;
    QImage image(400, 300, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, (x ^ y) % 256));
    for (const char *name : {"full.png", "full.jpg"}) {
        const QString sized = dir.filePath(QStringLiteral("sized-") + name);
        ASSERT_EQ(WritePicture(image, sized), QString());
        const qint64 size = QFileInfo(sized).size();
        SmallDisk disk(dir.filePath("disk"), size + 256 * 1024);
        if (!disk.Mounted())
            GTEST_SKIP() << "no tmpfs may be mounted here; the file size limit stands in above";
        const QString path = dir.filePath(QStringLiteral("disk/") + name);
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old picture");
        }
        // Space for every write but the last.
        ASSERT_TRUE(disk.FillLeaving(RoomShortOfTheLastWrite(size)));
        const QString why = WritePicture(image, path);
        EXPECT_EQ(why.toStdString(),
                  "The picture could not be saved as " + path.toStdString() + ".\n" + std::strerror(ENOSPC));
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("old picture"));
        EXPECT_EQ(QDir(dir.filePath("disk")).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList({"filler", name}));
    }
}

// The driver's shader cache on a full disk once killed the program as it drew (SIGBUS).
TEST(WritePicture, AFullCacheDiskDoesNotStopThePicture) {
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("cache"), 1024 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs may be mounted here";
    ASSERT_TRUE(disk.FillLeaving(0));
    QProcess inspect;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "MESA_SHADER_CACHE_DISABLE", "MESA_SHADER_CACHE_DIR"})
        environment.remove(name);
    environment.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    inspect.setProcessEnvironment(environment);
    const QString picture = dir.filePath("out.png");
    inspect.start(QUOR_INSPECT, {"--render", picture, "--size", "64x40", QString::fromStdString(kStation)});
    ASSERT_TRUE(inspect.waitForFinished(60000));
    EXPECT_EQ(inspect.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(inspect.exitCode(), 0) << inspect.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(picture).size(), QSize(64, 40));
}

TEST(ViewerPictures, SavePictureWritesTheShownPaneAndAntialiasingSwitchesEveryScene) {
    QTemporaryDir pictures;
    ViewerApp v;
    MainFrame *main = v.app().MainWindow();
    ASSERT_NE(v.app().OpenDocumentFile(QString::fromStdString(kStation)), nullptr);
    ViewerApp::Settle(300);
    auto *frame = static_cast<CChildFrame *>(main->ActiveChildFrame());
    ASSERT_NE(frame, nullptr);
    CQUORView *view = frame->SceneView();
    auto *doc = view->GetDocument();
    EXPECT_TRUE(CQUORView::Antialiasing()) << "on by default";
    EXPECT_GE(view->SceneSamples(), 4);

    // File > Save Picture As: the dialog offers the model's name and the shown time.
    QString offered;
    QString target = pictures.filePath("saved");
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Replacing a file is confirmed as the user would.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        offered = name ? name->text() : QString();
        if (name)
            name->setText(target);
        static_cast<QDialog *>(dialog)->accept();
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    EXPECT_TRUE(MenuItemTexts(main, "&File").contains(QString::fromUtf8("Save Picture As\u2026")));
    // Given straight after the pane was read, with no event in between that could draw a frame.
    const QString expectedName = view->DefaultPictureName();
    EXPECT_EQ(expectedName,
              QString::asprintf("station %02d-%02d-%02d.png", g_clockHours, g_clockMinutes, g_clockSeconds));
    const QImage shown = view->ShownPicture();
    ASSERT_FALSE(shown.isNull());
    v.app().DispatchCommand(ID_FILE_SAVE_PICTURE);
    EXPECT_EQ(offered, expectedName);
    const QImage saved(target + ".png");
    ASSERT_FALSE(saved.isNull()) << "the default suffix is added";
    EXPECT_EQ(saved.size(), view->size() * view->devicePixelRatio());
    EXPECT_TRUE(saved.convertToFormat(QImage::Format_RGB888) == shown) << "exactly what the pane showed";
    int text = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            text += Magenta(shown.pixel(x, y));
    EXPECT_GT(text, 500) << "with the text";
    EXPECT_EQ(v.app().Profile().value("Settings/Picture Folder").toString(), pictures.path());

    // With the data panel the active pane the command is there too, and saves the scene.
    frame->SetActivePane(1);
    ASSERT_EQ(frame->GetActiveView(), static_cast<View *>(frame->DataPanel()));
    EXPECT_TRUE(v.app().IsCommandEnabled(ID_FILE_SAVE_PICTURE));
    const QString fromPanel = pictures.filePath("from panel.png");
    target = fromPanel;
    poll.start();
    const QImage shownFromPanel = view->ShownPicture();
    EXPECT_TRUE(v.app().DispatchCommand(ID_FILE_SAVE_PICTURE));
    EXPECT_TRUE(QImage(fromPanel).convertToFormat(QImage::Format_RGB888) == shownFromPanel);
    frame->SetActivePane(0);

    // Onto a full disk: the system's reason, the old file as it was, the folder not remembered.
    {
        QTemporaryDir scratch;
        const QImage now = view->ShownPicture();
        ASSERT_EQ(WritePicture(now, scratch.filePath("sized.png")), QString());
        const qint64 size = QFileInfo(scratch.filePath("sized.png")).size();
        SmallDisk disk(scratch.filePath("disk"), size + 256 * 1024);
        if (disk.Mounted()) {
            target = scratch.filePath("disk/old.png");
            {
                QFile old(target);
                ASSERT_TRUE(old.open(QIODevice::WriteOnly));
                old.write("old picture");
            }
            ASSERT_TRUE(disk.FillLeaving(RoomShortOfTheLastWrite(size)));
            v.messages.shown.clear();
            poll.start();
            QTimer confirm; // the confirmation comes after the dialog was answered
            confirm.setInterval(50);
            QObject::connect(&confirm, &QTimer::timeout, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                        yes->click();
            });
            confirm.start();
            ASSERT_TRUE(view->ShownPicture() == now);
            v.app().DispatchCommand(ID_FILE_SAVE_PICTURE);
            ASSERT_EQ(v.messages.shown.size(), 1u);
            EXPECT_EQ(v.messages.shown[0].text, "The picture could not be saved as " + target.toStdString() +
                                                    ".\n" + std::strerror(ENOSPC));
            QFile old(target);
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), QByteArray("old picture"));
            EXPECT_EQ(v.app().Profile().value("Settings/Picture Folder").toString(), pictures.path());
        }
    }

    // View > Antialiasing: a check box showing the setting; the same view, context and model after.
    auto checkBox = [&] {
        for (QAction *a : main->menuBar()->actions()) {
            if (a->text() != "&View")
                continue;
            main->UpdateMenuState(a->menu());
            for (QAction *item : a->menu()->actions())
                if (auto *w = qobject_cast<QWidgetAction *>(item))
                    return qobject_cast<QCheckBox *>(w->defaultWidget());
        }
        return static_cast<QCheckBox *>(nullptr);
    };
    ASSERT_NE(checkBox(), nullptr);
    EXPECT_TRUE(checkBox()->isChecked());
    EXPECT_EQ(checkBox()->text(), "Antialiasing");
    const int list = doc->m_modelList;
    const QOpenGLContext *context = view->context();
    v.app().DispatchCommand(ID_VIEW_ANTIALIASING);
    view->update();
    ViewerApp::Settle(200);
    EXPECT_FALSE(CQUORView::Antialiasing());
    EXPECT_FALSE(checkBox()->isChecked());
    EXPECT_EQ(view->SceneSamples(), 0);
    EXPECT_EQ(frame->SceneView(), view);
    EXPECT_EQ(view->context(), context);
    EXPECT_EQ(doc->m_modelList, list);
    EXPECT_EQ(v.app().Documents().size(), 1u);
    EXPECT_EQ(v.app().Profile().value("View/Antialiasing").toBool(), false);
    checkBox()->click(); // as the user does in the open menu
    view->update();
    ViewerApp::Settle(200);
    EXPECT_TRUE(CQUORView::Antialiasing());
    EXPECT_GE(view->SceneSamples(), 4);
}
