// Real frames from the scene renderer, drawn offscreen and checked pixel by pixel
// with tolerances: orientation of the map, the wire Earth, the text, the station
// and the chaser, and the Earth texture's bytes.
#include "guitest.h"

#include "document/quordoc.h"
#include "orbit/observer.h"
#include "orbit/sky.h"
#include "shell/childfrm.h"
#include "shell/mainfrm.h"
#include "view/core/bmpimage.h"
#include "view/core/livescene.h"
#include "view/core/observerpanel.h"
#include "view/core/orbitsim.h"
#include "view/core/scenetext.h"
#include "view/earthtexture.h"
#include "view/gldisplaylistsink.h"
#include "view/glyphs.h"
#include "view/offscreen.h"
#include "view/quorview.h"
#include "view/wiresphere.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const std::string kStation = SourcePath("data/station.3ds");
const QSize kSize(640, 360);

uint32_t g_now = 0;
uint32_t Stepped() {
    return g_now += 30;
}

// An application, a working directory with a test Earth map, a fixed 30 ms step.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        InitWireSphere(&m_argc, m_argv);
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        ResetOrbitSimulation();
        SetMillisecondClock(Stepped);
        SetDefaultGlSink(&ViewerGlSink());
        SetMessageService(&m_messages);
    }
    void TearDown() override {
        m_scene.reset();
        SetMessageService(nullptr);
        SetDefaultGlSink(nullptr);
        SetMillisecondClock(nullptr);
        ResetOrbitSimulation();
        QDir::setCurrent(m_previous);
        m_app.reset();
    }
    // Map: green within 30 degrees of the middle meridian, red elsewhere; blue in the north.
    void WriteLongitudeMap() {
        ASSERT_TRUE(WriteBmp24(m_dir.path() + "/Weltkart.bmp", 256, 128, [](int x, int y) {
            const bool middle = x >= 107 && x < 149;
            return QColor(middle ? 0 : 255, middle ? 255 : 0, y < 64 ? 255 : 0);
        }));
    }

    // The longitude map, an offscreen scene and the sample station opened in it.
    OffscreenScene &OpenStation(QSize size) {
        WriteLongitudeMap();
        m_scene = std::make_unique<OffscreenScene>(size);
        EXPECT_TRUE(m_scene->IsValid());
        EXPECT_TRUE(m_scene->IsValid() && m_scene->Open(m_doc, kStation));
        return *m_scene;
    }

    QTemporaryDir m_dir;
    RecordingMessageService m_messages;
    std::unique_ptr<OffscreenScene> m_scene;
    CQUORDoc m_doc;
    std::unique_ptr<QApplication> m_app;
    QString m_previous;
    int m_argc = 1;
    char m_name[8] = "render";
    char *m_argv[2] = {m_name, nullptr};
};

struct Area {
    int pixels = 0;
    int magenta = 0;
    double r = 0, g = 0, b = 0; // mean channels
};

Area Measure(const QImage &image, const QRect &rect) {
    Area a;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ++a.pixels;
            a.r += c.red();
            a.g += c.green();
            a.b += c.blue();
            if (c.red() > 200 && c.blue() > 200 && c.green() < 60)
                ++a.magenta;
        }
    }
    if (a.pixels) {
        a.r /= a.pixels;
        a.g /= a.pixels;
        a.b /= a.pixels;
    }
    return a;
}

int DifferentPixels(const QImage &a, const QImage &b, const QRect &rect) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

} // namespace

TEST_F(RenderTest, FromSpaceShowsTheMapUprightWithItsMiddleFacingTheCamera) {
    OffscreenScene &scene = OpenStation(kSize);
    ASSERT_TRUE(scene.IsValid());
    CQUORDoc &doc = m_doc;
    const QImage image = scene.Render(doc);

    // The globe's centre shows the map's middle (green), its limbs the edges (red).
    const Area centre = Measure(image, QRect(300, 160, 40, 40));
    EXPECT_GT(centre.g, 2 * centre.r);
    const Area left = Measure(image, QRect(180, 175, 12, 10)),
               right = Measure(image, QRect(448, 175, 12, 10));
    EXPECT_GT(left.r + right.r, left.g + right.g);
    // North (blue in the map) at the top.
    const Area north = Measure(image, QRect(300, 70, 40, 20)),
               south = Measure(image, QRect(300, 270, 40, 20));
    EXPECT_GT(north.b, south.b + 20);
    // The station is on the near side (z < 0): a solid globe.
    EXPECT_LT(g_issPos.z, 0.0);
    EXPECT_TRUE(m_messages.shown.empty());
}

namespace {

bool IsTextPixel(QRgb p) {
    return qRed(p) > 200 && qBlue(p) > 200 && qGreen(p) < 60;
}

// Bounds of the text pixels in each run of rows that hold any, top to bottom.
std::vector<QRect> TextRows(const QImage &image) {
    std::vector<QRect> rows;
    bool inRun = false;
    for (int y = 0; y < image.height(); ++y) {
        int left = image.width(), right = -1;
        for (int x = 0; x < image.width(); ++x)
            if (IsTextPixel(image.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        if (right < 0) {
            inRun = false;
            continue;
        }
        if (!inRun)
            rows.emplace_back(left, y, right - left + 1, 1);
        else
            rows.back() = rows.back().united(QRect(left, y, right - left + 1, 1));
        inRun = true;
    }
    return rows;
}

QImage TextMask(const QImage &image) {
    QImage mask(image.size(), QImage::Format_Mono);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask.setPixel(x, y, IsTextPixel(image.pixel(x, y)) ? 1 : 0);
    return mask;
}

} // namespace

TEST_F(RenderTest, CornerTextTakesTheLargestSizeThatFitsThePane) {
    // Sized for the widest each line can get, so that it holds while the numbers change.
    const SceneLines widest{FormatClockLine(88, 88, 88), FormatLongitudeLine(-188.88f),
                            FormatFpsLine(1, 1.0f)};
    const int margin = scene::kTextMargin;
    // The widest line within the side margins; three cells, a pixel spare each, within the height.
    auto fits = [&](int cell, int w, int h) {
        const double wide = std::max({TextAdvance("Arial", cell, widest.clock.c_str()),
                                      TextAdvance("Arial", cell, widest.longitude.c_str()),
                                      TextAdvance("Arial", cell, widest.fps.c_str())});
        return wide + 2 * margin <= w && 3 * (cell + 1) + 2 * margin <= h;
    };
    // Every pane width and height over the range where the text shrinks.
    std::vector<QSize> sizes;
    for (int w = 200; w <= 1300; w += 3)
        sizes.emplace_back(w, 1200);
    for (int h = 40; h <= 300; ++h)
        sizes.emplace_back(1600, h);
    for (const QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const int cell = CornerTextHeight(widest, size.width(), size.height(), 1.0);
        if (cell == 0) {
            EXPECT_FALSE(fits(scene::kMinFontHeight, size.width(), size.height()));
            continue;
        }
        EXPECT_GE(cell, scene::kMinFontHeight);
        EXPECT_LE(cell, scene::kFontHeight);
        EXPECT_TRUE(fits(cell, size.width(), size.height()));
        if (cell < scene::kFontHeight) {
            EXPECT_FALSE(fits(cell + 1, size.width(), size.height())) << "a larger size fits too";
        }
    }
    EXPECT_EQ(CornerTextHeight(widest, 1600, 55, 1.0), scene::kMinFontHeight);
    EXPECT_EQ(CornerTextHeight(widest, 1600, 54, 1.0), 0);
}

TEST_F(RenderTest, FromSpaceTheLinesStandWholeInTheirCornersOnEveryPaneShape) {
    ASSERT_TRUE(WriteTestEarthMap(m_dir.path())); // no magenta anywhere in the map
    SceneFrame turned;                            // the globe moved and shrunk behind the text
    turned.spinAngle = 135.0f;
    turned.tiltAngle = 10.0f;
    turned.zoom = 0.8f;
    int fullHeight = 0;
    for (const QSize size :
         {QSize(1280, 720), QSize(1600, 900), QSize(750, 1110), QSize(480, 640), QSize(400, 300)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        m_scene = std::make_unique<OffscreenScene>(size);
        ASSERT_TRUE(m_scene->IsValid());
        CQUORDoc doc;
        ASSERT_TRUE(m_scene->Open(doc, kStation));
        GLfloat projection[16], after[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        ResetOrbitSimulation();
        InitViewSimulation();
        const QImage image = m_scene->Render(doc);
        const SceneLines shown{FormatClockLine(g_clockHours, g_clockMinutes, g_clockSeconds),
                               FormatLongitudeLine(doc.m_longitude),
                               FormatFpsLine(g_scaledStep, g_timeFactor)};
        ResetOrbitSimulation();
        InitViewSimulation();
        const int rasterised = FontRasterisations();
        const QImage moved = m_scene->Render(doc, turned);
        EXPECT_EQ(FontRasterisations(), rasterised) << "a fitted size is rasterised once";

        // The frame leaves the scene's state for the next one.
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(std::memcmp(projection, after, sizeof projection), 0);

        // Three rows: clock at the upper left, longitude below it at the upper right, frame rate lower right.
        const std::vector<QRect> rows = TextRows(image);
        ASSERT_EQ(rows.size(), 3u);
        const QRect &clock = rows[0], &longitude = rows[1], &fps = rows[2];
        const int w = size.width(), h = size.height();
        EXPECT_GE(clock.top(), 2) << "not cut at the top";
        // The ink keeps exactly the margin from the picture's sides.
        const int margin = scene::kTextMargin;
        EXPECT_EQ(clock.left(), margin);
        EXPECT_LT(clock.right(), w - 2);
        EXPECT_LT(longitude.top(), h / 3);
        EXPECT_GT(longitude.left(), 2);
        EXPECT_EQ(longitude.right(), w - 1 - margin);
        EXPECT_GT(fps.top(), h / 2);
        EXPECT_LE(fps.bottom(), h - 3) << "not cut at the bottom";
        EXPECT_EQ(fps.right(), w - 1 - margin);
        EXPECT_GT(fps.left(), w / 2);
        // Each row holds its own line: exactly as wide as that line's ink at the fitted size.
        const int glyphHeight = CornerTextHeight(shown, w, h, 1.0);
        auto inkWidth = [glyphHeight](const std::string &text) {
            TextInk ink;
            EXPECT_TRUE(MeasureString("Arial", glyphHeight, text.c_str(), ink));
            return ink.right - ink.left + 1;
        };
        ASSERT_NE(inkWidth(shown.clock), inkWidth(shown.longitude)) << "the rows could not be told apart";
        EXPECT_EQ(clock.width(), inkWidth(shown.clock)) << shown.clock;
        EXPECT_EQ(longitude.width(), inkWidth(shown.longitude)) << shown.longitude;
        EXPECT_EQ(fps.width(), inkWidth(shown.fps)) << shown.fps;
        // One size for the three; the full size wherever the widest line fits.
        EXPECT_NEAR(clock.height(), longitude.height(), clock.height() / 5);
        if (fullHeight == 0)
            fullHeight = longitude.height();
        else if (w >= 1280)
            EXPECT_EQ(longitude.height(), fullHeight);
        else
            EXPECT_GT(longitude.height(), fullHeight / 4);

        // Over the globe or not, every text pixel is drawn.
        EXPECT_TRUE(TextMask(image) == TextMask(moved));
    }

    // A pane too small for legible text shows none.
    m_scene = std::make_unique<OffscreenScene>(QSize(150, 100));
    CQUORDoc doc;
    ASSERT_TRUE(m_scene->Open(doc, kStation));
    EXPECT_TRUE(TextRows(m_scene->Render(doc)).empty());
}

TEST_F(RenderTest, OtherCamerasDrawTheLinesAtTheirScenePointsOverTheGlobe) {
    ASSERT_TRUE(WriteTestEarthMap(m_dir.path())); // no magenta anywhere in the map
    OffscreenScene scene(QSize(1280, 720));
    CQUORDoc doc;
    ASSERT_TRUE(scene.Open(doc, kStation));
    // Orbit angles that bring the longitude's point into each camera's picture.
    // From the station at angle 3 it lies behind the Earth: drawn over the solid globe all the same.
    const struct {
        int mode;
        double angle;
    } cameras[] = {{ViewFromISS, 3.0}, {ViewApproach, 180.0}};
    for (const auto &camera : cameras) {
        SCOPED_TRACE(testing::Message() << "mode " << camera.mode);
        doc.m_viewMode = camera.mode;
        ResetOrbitSimulation();
        InitViewSimulation();
        // From the usual places the scene points lie outside the picture: no text, in the corners neither.
        EXPECT_TRUE(TextRows(scene.Render(doc)).empty());
        g_issAngle = camera.angle;
        const QImage image = scene.Render(doc);
        // One line, from near the middle off the right edge, where a corner line never goes.
        const std::vector<QRect> rows = TextRows(image);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_GT(rows[0].left(), 1280 / 2);
        EXPECT_LT(rows[0].left(), 1280 * 3 / 4);
        EXPECT_EQ(rows[0].right(), 1280 - 1);
        EXPECT_GT(rows[0].top(), 720 / 4);
        EXPECT_LT(rows[0].bottom(), 720 * 3 / 4);
        EXPECT_GT(Measure(image, rows[0]).magenta, 5000);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    }
}

TEST_F(RenderTest, EarthTurnsToAWireFrameWhileTheStationIsBehindIt) {
    OffscreenScene &scene = OpenStation(kSize);
    ASSERT_TRUE(scene.IsValid());
    CQUORDoc &doc = m_doc;
    const QImage solid = scene.Render(doc);
    g_issAngle = 270.0; // the far side of the orbit
    const QImage wire = scene.Render(doc);
    ASSERT_GT(g_issPos.z, 0.0);

    // Inside the disc the wire frame leaves most pixels at the background colour.
    const QRect disc(260, 140, 120, 80);
    const QColor background(0, 0, 51);
    int clear = 0, lines = 0;
    for (int y = disc.top(); y <= disc.bottom(); ++y) {
        for (int x = disc.left(); x <= disc.right(); ++x) {
            const QColor c = wire.pixelColor(x, y);
            const bool isBackground = std::abs(c.red() - background.red()) < 6 &&
                                      std::abs(c.green() - background.green()) < 6 &&
                                      std::abs(c.blue() - background.blue()) < 6;
            (isBackground ? clear : lines)++;
        }
    }
    EXPECT_GT(clear, disc.width() * disc.height() / 2);
    EXPECT_GT(lines, 100);
    EXPECT_GT(Measure(solid, disc).g, Measure(wire, disc).g + 20) << "the solid globe is textured";

    // Approach always draws the solid globe.
    doc.OnApproach();
    const QImage approach = scene.Render(doc);
    EXPECT_GT(g_issPos.z, 0.0);
    const Area ground = Measure(approach, QRect(0, 300, 640, 60));
    EXPECT_GT(ground.r + ground.g, 30) << "textured ground below the station";
}

TEST_F(RenderTest, StationSilhouetteInTheStationAndApproachCameras) {
    OffscreenScene &scene = OpenStation(kSize);
    ASSERT_TRUE(scene.IsValid());
    CQUORDoc &doc = m_doc;
    ASSERT_GT(doc.m_modelList, 0);
    const int32_t list = doc.m_modelList;
    const QRect centre(220, 100, 200, 160);
    // The second frame: the first places the cameras from the starting radii.
    auto secondFrame = [&] {
        ResetOrbitSimulation();
        InitViewSimulation();
        scene.Render(doc);
        return scene.Render(doc);
    };
    for (auto mode : {ViewFromISS, ViewApproach}) {
        doc.m_viewMode = mode;
        const QImage with = secondFrame();
        doc.m_modelList = 0;
        const QImage without = secondFrame();
        doc.m_modelList = list;
        EXPECT_GT(DifferentPixels(with, without, centre), mode == ViewFromISS ? 3000 : 20) << "mode " << mode;
        EXPECT_EQ(DifferentPixels(with, without, QRect(0, 0, 40, 40)), 0) << "mode " << mode;
    }
}

TEST_F(RenderTest, ChaserMarkerIsAWhiteSphere) {
    OffscreenScene &scene = OpenStation(kSize);
    ASSERT_TRUE(scene.IsValid());
    CQUORDoc &doc = m_doc;
    doc.m_modelList = 0; // only the chaser in front of the camera
    doc.OnFromIss();
    // Put the chaser 20 km in front of the station camera, on its line of sight.
    auto place = [](float gap) {
        ResetOrbitSimulation();
        InitViewSimulation();
        g_chaserAngle = static_cast<float>(g_issAngle);
        g_chaserRadius = static_cast<float>(1.22 * g_issRadius - gap);
    };
    place(20.0f);
    const QImage near = scene.Render(doc);
    place(-5000.0f); // behind the camera
    const QImage away = scene.Render(doc);
    const Area marker = Measure(near, QRect(310, 170, 20, 20));
    EXPECT_GT(marker.r, 150);
    EXPECT_GT(marker.g, 150);
    EXPECT_GT(marker.b, 150);
    EXPECT_LT(Measure(away, QRect(310, 170, 20, 20)).r, 120);
}

TEST_F(RenderTest, TextureKeepsTheFilesBytesAndRowPadding) {
    // Five pixels a row: 15 bytes and one byte of padding per row.
    ASSERT_TRUE(WriteBmp24(m_dir.path() + "/Weltkart.bmp", 5, 2, [](int x, int y) {
        return y == 1 ? QColor(x * 50, 10, 255 - x * 50) : QColor(0, 0, 255); // file bytes 255, 0, 0
    }));
    OffscreenScene scene(QSize(64, 64));
    ASSERT_TRUE(scene.IsValid());
    ASSERT_TRUE(m_messages.shown.empty());
    glBindTexture(GL_TEXTURE_2D, scene.EarthTexture());
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    ASSERT_EQ(w, 5);
    ASSERT_EQ(h, 2);
    unsigned char rgb[2][5][3];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    glBindTexture(GL_TEXTURE_2D, 0);
    // Texture row 0 is the file's first (bottom) row: bytes 255, 0, 0 are blue.
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(rgb[0][x][0], x * 50);
        EXPECT_EQ(rgb[0][x][1], 10);
        EXPECT_EQ(rgb[0][x][2], 255 - x * 50);
        EXPECT_EQ(rgb[1][x][0], 0);
        EXPECT_EQ(rgb[1][x][2], 255);
    }
}

TEST_F(RenderTest, EightBitMapIsRejectedAndTheEarthStaysUntextured) {
    // A minimal 8-bit palette BMP, 4 x 4.
    QByteArray data(54 + 1024 + 16, '\0');
    data[0] = 'B';
    data[1] = 'M';
    data[2] = static_cast<char>(data.size() & 0xFF);
    data[3] = static_cast<char>(data.size() >> 8);
    data[10] = static_cast<char>((54 + 1024) & 0xFF);
    data[11] = static_cast<char>((54 + 1024) >> 8);
    data[14] = 40;
    data[18] = 4;
    data[22] = 4;
    data[26] = 1;
    data[28] = 8;
    for (int i = 0; i < 256; ++i)
        data[54 + i * 4 + 1] = static_cast<char>(255); // a green palette
    QFile f(m_dir.path() + "/Weltkart.bmp");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    f.close();

    g_earthBitmap = BmpImage();
    OffscreenScene scene(kSize);
    ASSERT_TRUE(scene.IsValid());
    EXPECT_EQ(m_messages.Texts(), std::vector<std::string>({"Error: bitmap must be 24 bit"}));
    CQUORDoc doc;
    ASSERT_TRUE(scene.Open(doc, kStation));
    const Area globe = Measure(scene.Render(doc), QRect(300, 120, 40, 30));
    // Lit material only: grey, well above the background.
    EXPECT_GT(globe.r, 20);
    EXPECT_NEAR(globe.r, globe.g, 3);
    EXPECT_NEAR(globe.g, globe.b, 3);
}

TEST_F(RenderTest, DragNavigationTurnsOnlyTheSpaceView) {
    OffscreenScene &scene = OpenStation(kSize);
    ASSERT_TRUE(scene.IsValid());
    CQUORDoc &doc = m_doc;
    SceneFrame turned;
    turned.spinAngle = 135.0f;
    turned.tiltAngle = 20.0f;
    turned.zoom = 1.1f;
    auto frame = [&](const SceneFrame &nav) {
        ResetOrbitSimulation();
        InitViewSimulation();
        return scene.Render(doc, nav);
    };
    const QImage plain = frame(SceneFrame()), moved = frame(turned);
    EXPECT_GT(DifferentPixels(plain, moved, QRect(170, 40, 300, 280)), 20000) << "the globe turns and grows";
    EXPECT_GT(Measure(plain, QRect(490, 290, 150, 50)).magenta, 200);
    EXPECT_EQ(DifferentPixels(plain, moved, QRect(490, 290, 150, 50)), 0)
        << "the frame rate stays in its corner";
    for (auto mode : {ViewFromISS, ViewApproach}) {
        doc.m_viewMode = mode;
        EXPECT_EQ(DifferentPixels(frame(SceneFrame()), frame(turned), QRect(QPoint(0, 0), kSize)), 0)
            << "mode " << mode;
    }
}

// At a device-pixel ratio of 2 the view works in device pixels throughout and
// its text is as large on screen as at ratio 1.
TEST(SceneViewHiDpi, RatioTwoKeepsOneUnitAndTheTextsSize) {
    qputenv("QT_SCALE_FACTOR", "2");
    ViewerApp v({QString::fromStdString(kStation)});
    qunsetenv("QT_SCALE_FACTOR");
    ASSERT_TRUE(v.started());
    auto *frame = static_cast<CChildFrame *>(v.app().MainWindow()->ActiveChildFrame());
    ASSERT_NE(frame, nullptr);
    CQUORView *view = frame->SceneView();
    ASSERT_TRUE(view->HasContext());
    ASSERT_EQ(view->devicePixelRatioF(), 2.0);

    const QImage picture = view->grabFramebuffer();
    const int w = view->width() * 2, h = view->height() * 2;
    ASSERT_EQ(picture.size(), QSize(w, h));
    view->makeCurrent();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], w);
    EXPECT_EQ(viewport[3], h);
    EXPECT_EQ(view->m_clientRect.right, w);
    EXPECT_EQ(view->m_clientRect.bottom, h);
    GLfloat proj[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_NEAR(proj[5] / proj[0], static_cast<double>(w) / h, 1e-3);
    view->doneCurrent();

    // The same pane at ratio 1: the text rows come out half as tall.
    const std::vector<QRect> rows = TextRows(picture.convertToFormat(QImage::Format_RGB32));
    ASSERT_EQ(rows.size(), 3u);
    QImage plain;
    {
        OffscreenScene scene(QSize(view->width(), view->height()));
        CQUORDoc doc;
        ASSERT_TRUE(scene.Open(doc, kStation));
        plain = scene.Render(doc);
    }
    const std::vector<QRect> plainRows = TextRows(plain);
    ASSERT_EQ(plainRows.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(rows[i].height(), 2.0 * plainRows[i].height(), 4.0) << i;
}

namespace {

// The live orbit of the test elements, at a moment found by `wanted` (scanned
// minute by minute over a day from the elements' epoch); 0 when none is found.
double LiveMoment(LiveOrbit &orbit, const std::function<bool(const LiveState &)> &wanted) {
    for (int minute = 0; minute < 1440; ++minute) {
        const double jd = orbit.EpochJulianDate() + minute / 1440.0;
        if (wanted(orbit.At(jd)))
            return jd;
    }
    return 0.0;
}

// The sine of the Sun's height over the horizon at the point below the station.
double SunHeight(const LiveState &s) {
    const double r = std::sqrt(s.position[0] * s.position[0] + s.position[1] * s.position[1] +
                               s.position[2] * s.position[2]);
    return (s.position[0] * s.sun[0] + s.position[1] * s.sun[1] + s.position[2] * s.sun[2]) / r;
}

struct LiveFixture {
    LiveFixture() {
        const std::string text = [] {
            QFile f(QString::fromStdString(SourcePath("tests/data/live/station.tle")));
            return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
        }();
        const ElementsFile parsed = ParseElements(text);
        ready = !parsed.sets.empty() && orbit.SetElements(parsed.sets[0]);
        input.orbits = {&orbit};
        input.place = &place;
    }
    // A frame of the live orbit at that moment.
    SceneFrame At(double jd) {
        input.clock.utcMs = UnixMsFromJulianDate(jd);
        SceneFrame frame;
        frame.live = &input;
        return frame;
    }
    LiveOrbit orbit;
    ObserverPlace place;
    LiveSceneInput input;
    bool ready = false;
};

} // namespace

TEST_F(RenderTest, LiveOrbitStandsOverItsPlaceOnTheMapLitByTheRealSun) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(400, 400));
    m_doc.m_live = true;
    m_doc.m_viewMode = ViewFromISS; // straight down from above the station
    // The ground near the point below, beside the station, which covers the middle.
    const QRect below(10, 350, 40, 40);
    auto renderAt = [&](double jd) { return scene.Render(m_doc, live.At(jd)); };
    // Over the middle meridian in the north, and far from it in the south, both by day.
    const double greenwich = LiveMoment(live.orbit, [](const LiveState &s) {
        return std::fabs(s.place.longitude) < 12.0 && s.place.latitude > 15.0 && SunHeight(s) > 0.5;
    });
    const double farSouth = LiveMoment(live.orbit, [](const LiveState &s) {
        return std::fabs(s.place.longitude) > 80.0 && s.place.latitude < -15.0 && SunHeight(s) > 0.5;
    });
    ASSERT_GT(greenwich, 0.0);
    ASSERT_GT(farSouth, 0.0);
    const Area north = Measure(renderAt(greenwich), below);
    EXPECT_GT(north.g, 2 * north.r) << "the middle meridian's green under the station";
    EXPECT_GT(north.b, 60.0) << "the north's blue";
    const Area south = Measure(renderAt(farSouth), below);
    EXPECT_GT(south.r, 2 * south.g) << "far from the middle meridian: red";
    EXPECT_LT(south.b, 30.0) << "the south has no blue";
    EXPECT_NEAR(m_doc.m_latitude, live.orbit.At(farSouth).place.latitude, 0.05) << "the panel's values";

    // In the Earth's shadow the ground below is dark, but not black.
    const double night = LiveMoment(
        live.orbit, [](const LiveState &s) { return std::fabs(s.place.longitude) > 80.0 && SunHeight(s) < -0.5; });
    ASSERT_GT(night, 0.0);
    const Area dark = Measure(renderAt(night), below);
    EXPECT_LT(dark.r, south.r / 2.5);
    EXPECT_GT(dark.r, 5.0) << "the map stays faintly there";
}

TEST_F(RenderTest, LiveGroundTrackShowsWhereTheStationGoes) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(500, 500));
    m_doc.m_live = true;
    const SceneFrame atEpoch = live.At(live.orbit.EpochJulianDate());
    auto count = [](const QImage &image, QRgb colour) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - qRed(colour)) < 40 && std::abs(c.green() - qGreen(colour)) < 40 &&
                     std::abs(c.blue() - qBlue(colour)) < 40;
            }
        return n;
    };
    const QRgb ahead = qRgb(255, 230, 25), behind = qRgb(153, 89, 0);
    const QImage without = scene.Render(m_doc, atEpoch);
    EXPECT_EQ(count(without, ahead), 0);
    m_doc.m_groundTrack = true;
    const QImage with = scene.Render(m_doc, atEpoch);
    EXPECT_GT(count(with, ahead), 100) << "the way ahead, bright";
    EXPECT_GT(count(with, behind), 30) << "the way behind, dim";
}

// Where the elements give no place (six weeks before their epoch, 1957, 2100) the
// frame shows the Earth turned for that time and nothing that would need a place:
// no station, no chaser, no track, from every camera.
TEST_F(RenderTest, LiveFrameWithoutAPositionDrawsTheEarthAlone) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(300, 300));
    m_doc.m_live = true;
    m_doc.m_groundTrack = true;
    const int32_t list = m_doc.m_modelList;
    const double epoch = live.orbit.EpochJulianDate();
    std::vector<QImage> shown;
    for (const double jd : {epoch - 44.0, JulianDate(1957, 10, 4, 19, 28, 34), JulianDate(2100, 6, 1, 0, 0, 0)}) {
        SCOPED_TRACE(jd);
        ASSERT_FALSE(HasPosition(live.orbit.At(jd)));
        for (const int mode : {ViewFromSpace, ViewFromISS, ViewApproach}) {
            m_doc.m_viewMode = mode;
            m_doc.m_modelList = list;
            const QImage with = scene.Render(m_doc, live.At(jd));
            m_doc.m_modelList = 0;
            EXPECT_EQ(DifferentPixels(with, scene.Render(m_doc, live.At(jd)), with.rect()), 0)
                << "no station in mode " << mode;
            if (mode == ViewFromSpace)
                shown.push_back(with);
        }
        int track = 0; // the bright way ahead's colour
        for (int y = 0; y < shown.back().height(); ++y)
            for (int x = 0; x < shown.back().width(); ++x) {
                const QColor c = shown.back().pixelColor(x, y);
                track += c.red() > 215 && c.green() > 190 && c.blue() < 65;
            }
        EXPECT_EQ(track, 0) << "no ground track";
        const Area globe = Measure(shown.back(), QRect(120, 120, 60, 60));
        EXPECT_GT(globe.r + globe.g + globe.b, 30.0) << "the Earth is there";
    }
    // The same fixed camera on other days: the Earth turned otherwise.
    EXPECT_GT(DifferentPixels(shown[1], shown[2], QRect(60, 60, 180, 180)), 500);
    // A moment with a place draws the station, the chaser and the track over that globe.
    m_doc.m_viewMode = ViewFromSpace;
    m_doc.m_modelList = list;
    const QImage placed = scene.Render(m_doc, live.At(epoch));
    m_doc.m_modelList = 0;
    EXPECT_GT(DifferentPixels(placed, scene.Render(m_doc, live.At(epoch)), placed.rect()), 100);
    m_doc.m_modelList = list;
}

// From Here: the sky over Greenwich. Zoomed on the Moon, on Vega and on the
// station, each stands bright at the middle of the picture; the sky darkens from
// noon through twilight to night.
TEST_F(RenderTest, FromHereShowsTheMoonAStarAndTheStationWhereTheSkyPutsThem) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(400, 300));
    m_doc.m_live = true;
    m_doc.m_viewMode = ViewFromHere;
    live.place.set = true;
    live.place.latitude = 51.4769;
    live.place.longitude = -0.0005;
    live.place.heightM = 46.0;
    const auto at = [&](double jd, SkyLook look) {
        SceneFrame frame = live.At(jd);
        frame.skyLook = &look;
        frame.skyFollow = false;
        return scene.Render(m_doc, frame).convertToFormat(QImage::Format_RGB32);
    };
    const auto brightness = [](const QImage &image, int x, int y) {
        const QRgb p = image.pixel(x, y);
        return qRed(p) + qGreen(p) + qBlue(p);
    };
    // The full Moon before Christmas, high in the south at half past midnight.
    const double fullMoon = JulianDate(2026, 12, 24, 0, 30, 0);
    const SkyAt night(live.place, UnixMsFromJulianDate(fullMoon));
    const SkyBody moon = night.Moon();
    ASSERT_GT(moon.direction.elevation, 30.0);
    const QImage moonPicture = at(fullMoon, {moon.direction.azimuth, moon.direction.elevation, 4.0});
    // Its disc, 0.28 degrees across a 4 degree field of 300 rows: some 21 pixels round the middle.
    EXPECT_GT(brightness(moonPicture, 200, 150), 600);
    EXPECT_GT(brightness(moonPicture, 200 + 15, 150), 600);
    EXPECT_LT(brightness(moonPicture, 200 + 30, 150), 200) << "the dark sky beside it";

    // Vega in the evening, and the station passing below it.
    const double evening = JulianDate(2026, 12, 9, 17, 6, 0);
    const SkyAt dusk(live.place, UnixMsFromJulianDate(evening));
    std::vector<CatalogueStar> stars;
    std::string why;
    ASSERT_TRUE(ReadStarCatalogue(kBrightStarCatalogue, 5.5, stars, why)) << why;
    const auto vega = std::find_if(stars.begin(), stars.end(), [](const CatalogueStar &s) { return s.name == "3Alp Lyr"; });
    ASSERT_NE(vega, stars.end());
    const SkyDirection v = dusk.Star(*vega);
    const QImage vegaPicture = at(evening, {v.azimuth, v.elevation, 2.0});
    EXPECT_GT(brightness(vegaPicture, 200, 150), 500) << "Vega in the middle";
    EXPECT_LT(brightness(vegaPicture, 215, 150), 150);
    const LiveState s = live.orbit.At(evening);
    ASSERT_TRUE(HasPosition(s));
    const LookAngles station =
        Look(MakeObserver(live.place.latitude, live.place.longitude, live.place.heightM / 1000.0), s.position,
             s.velocity, s.gmst);
    ASSERT_GT(station.elevation, 5.0);
    const QImage stationPicture = at(evening, {station.azimuth, station.elevation, 1.0});
    EXPECT_GT(brightness(stationPicture, 200, 150), 500) << "the sunlit station in the middle";
    EXPECT_LT(brightness(stationPicture, 215, 150), 300);

    // The sky's mean colour over the south at noon, in civil twilight and at night.
    const auto meanSky = [&](double jd) {
        const QImage image = at(jd, {180.0, 45.0, 40.0});
        double sum = 0;
        int n = 0;
        for (int y = 40; y < 260; y += 4)
            for (int x = 20; x < 380; x += 4, ++n)
                sum += brightness(image, x, y);
        return sum / n;
    };
    const double noon = meanSky(JulianDate(2026, 12, 9, 12, 0, 0));
    const double civil = meanSky(JulianDate(2026, 12, 9, 16, 15, 0));
    const double dark = meanSky(JulianDate(2026, 12, 9, 20, 0, 0));
    EXPECT_GT(noon, civil + 60);
    EXPECT_GT(civil, dark + 30);
    EXPECT_LT(dark, 40.0);
}

// The observer's mark: drawn where the place is, on the side of the globe the
// camera sees; hidden by the Earth on the far side; absent without a place.
TEST_F(RenderTest, LiveObserverMarkStandsAtItsPlace) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(500, 500));
    m_doc.m_live = true;
    const double jd = live.orbit.EpochJulianDate();
    const LiveState s = live.orbit.At(jd);
    const QImage without = scene.Render(m_doc, live.At(jd));
    // The pixels in the mark's colour that the frame without a place lacks: a count and their centre.
    auto find = [&](const QImage &image, int &n, double &cx, double &cy) {
        n = 0;
        cx = cy = 0.0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (image.pixel(x, y) != without.pixel(x, y) && c.red() > 215 && c.green() > 90 &&
                    c.green() < 165 && c.blue() < 40) {
                    ++n;
                    cx += x;
                    cy += y;
                }
            }
        if (n) {
            cx /= n;
            cy /= n;
        }
    };
    int n = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    live.place.set = true;
    live.place.latitude = s.place.latitude + 12.0;
    live.place.longitude = s.place.longitude;
    find(scene.Render(m_doc, live.At(jd)), n, x1, y1);
    EXPECT_GT(n, 20) << "north of the point below the station";
    live.place.latitude = s.place.latitude - 12.0;
    find(scene.Render(m_doc, live.At(jd)), n, x2, y2);
    EXPECT_GT(n, 20) << "south of it";
    EXPECT_GT(std::hypot(x2 - x1, y2 - y1), 20.0) << "another place, another spot";
    live.place.latitude = -s.place.latitude;
    live.place.longitude = s.place.longitude + 180.0;
    find(scene.Render(m_doc, live.At(jd)), n, x1, y1);
    EXPECT_EQ(n, 0) << "the far side of the Earth hides it";
}

// From space the live camera follows the station: on either side of the Earth it
// stands in the middle of the picture, in front of the textured, sunlit globe,
// flying to the right with its laboratory end ahead.
TEST_F(RenderTest, LiveFromSpaceKeepsTheStationBeforeTheGlobeFlyingLaboratoryFirst) {
    LiveFixture live;
    ASSERT_TRUE(live.ready);
    OffscreenScene &scene = OpenStation(QSize(400, 400));
    m_doc.m_live = true;
    const int32_t list = m_doc.m_modelList;
    // The two pictures of a moment differ only by the model.
    SetMillisecondClock([] { return uint32_t{1000}; });
    auto renderAt = [&](double jd, int32_t model) {
        m_doc.m_modelList = model;
        return scene.Render(m_doc, live.At(jd));
    };
    for (const bool farSide : {false, true}) {
        SCOPED_TRACE(farSide ? "the far side of the fixed camera's Earth" : "the near side");
        // The moment of that side best lit by the Sun, within a day of the epoch.
        double jd = 0.0, best = -1.0;
        for (int minute = 0; minute < 1440; ++minute) {
            const double at = live.orbit.EpochJulianDate() + minute / 1440.0;
            const LiveState s = live.orbit.At(at);
            if ((ToScene(s.position).z > 0.0) == farSide && SunHeight(s) > best) {
                best = SunHeight(s);
                jd = at;
            }
        }
        ASSERT_GT(jd, 0.0);
        const QImage with = renderAt(jd, list), without = renderAt(jd, 0);
        // The ground beside the station: the map's colours, lit.
        for (const QRect &beside : {QRect(90, 190, 40, 20), QRect(270, 190, 40, 20)}) {
            const Area ground = Measure(with, beside);
            EXPECT_GT(ground.r + ground.g, 80.0) << "textured and lit, not the wire frame";
        }
        EXPECT_GT(DifferentPixels(with, without, QRect(170, 170, 60, 60)), 300)
            << "the station in the middle";
        const QRect middle(140, 140, 120, 120);
        EXPECT_LT(
            DifferentPixels(with, without, QRect(0, 0, 400, 400)) - DifferentPixels(with, without, middle), 5)
            << "and nowhere else";

        // Along the middle rows the module chain runs from Zvezda, far aft, to the
        // laboratory and its node, nearer the model's middle: ahead is to the right.
        int left = 400, right = -1;
        for (int y = 197; y <= 203; ++y)
            for (int x = 0; x < 400; ++x)
                if (with.pixel(x, y) != without.pixel(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, 0);
        EXPECT_GT(200 - left, 1.4 * (right - 200)) << "Zvezda trails, Destiny leads";
    }

    // A geostationary orbit is drawn smaller: the satellite still before the eye and
    // the globe, whose sunlit rim shows around it.
    const ElementsFile high =
        ParseElements("1 24208U 96044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600\n"
                      "2 24208   3.8536  80.0121 0026640 311.0977  48.3000  1.00778054 36119\n");
    ASSERT_EQ(high.sets.size(), 1u);
    ASSERT_TRUE(live.orbit.SetElements(high.sets[0]));
    double jd = 0.0, best = -1.0;
    for (int minute = 0; minute < 1440; minute += 10) {
        const double at = live.orbit.EpochJulianDate() + minute / 1440.0;
        if (SunHeight(live.orbit.At(at)) > best) {
            best = SunHeight(live.orbit.At(at));
            jd = at;
        }
    }
    const QImage with = renderAt(jd, list), without = renderAt(jd, 0);
    EXPECT_GT(DifferentPixels(with, without, QRect(170, 170, 60, 60)), 300) << "the satellite in the middle";
    int ground = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            ground += with.pixel(x, y) == without.pixel(x, y) &&
                      qRed(with.pixel(x, y)) + qGreen(with.pixel(x, y)) > 80;
    EXPECT_GT(ground, 2000) << "the lit globe around it";
    m_doc.m_modelList = list;
}
