// The launcher's run in this process, with the driver and the viewer replaced.
#include "launcher/launcher.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

// A probe with a fixed answer that lets the test look around while probing.
class WatchedProbe : public MultisampleProbe {
public:
    WatchedProbe(std::optional<int> answer, std::function<void()> watch)
        : m_answer(answer), m_watch(std::move(watch)) {}
    std::optional<int> FindFormat() override {
        if (m_watch)
            m_watch();
        return m_answer;
    }

private:
    std::optional<int> m_answer;
    std::function<void()> m_watch;
};

class FakeViewer : public ViewerStarter {
public:
    explicit FakeViewer(int status) : m_status(status) {}
    int Run() override {
        ++runs;
        title = g_hWnd ? g_hWnd->windowTitle() : QString();
        contextHeld = g_hRC != nullptr;
        clipboard = QGuiApplication::clipboard()->text();
        return m_status;
    }
    int runs = 0;
    QString title;
    bool contextHeld = true;
    QString clipboard;

private:
    int m_status;
};

class LauncherFlow : public ::testing::Test {
protected:
    void TearDown() override { DestroyDummyContext(); }

    int Launch(MultisampleProbe &probe, ViewerStarter &viewer) {
        LauncherParts parts;
        parts.probe = &probe;
        parts.viewer = &viewer;
        parts.messages = &messages;
        parts.pause = [this] { ++pauses; };
        return LauncherMain(parts);
    }

    RecordingMessageService messages;
    int pauses = 0;
};

struct Projection {
    GLint viewport[4] = {};
    GLfloat matrix[16] = {};
};

Projection CurrentProjection() {
    Projection p;
    glGetIntegerv(GL_VIEWPORT, p.viewport);
    glGetFloatv(GL_PROJECTION_MATRIX, p.matrix);
    return p;
}

// Without a format: the probe window and its context, which follows resizing,
// stay to the end; the user is told, the viewer is not run.
TEST_F(LauncherFlow, WithoutAFormatReportsItOnTheProbeWindowAndStartsNoViewer) {
    QString title;
    QRect geometry;
    bool hasIcon = false;
    bool black = false;
    bool current = false;
    Projection resized, flattened;
    WatchedProbe probe(std::nullopt, [&] {
        title = g_hWnd->windowTitle();
        geometry = g_hWnd->geometry();
        hasIcon = !g_hWnd->windowIcon().availableSizes().isEmpty();
        black = g_hWnd->palette().color(QPalette::Window) == Qt::black && g_hWnd->autoFillBackground();
        current = IsCurrentOn(g_hRC, g_hWnd->winId());
        g_hWnd->resize(320, 200);
        resized = CurrentProjection();
        g_hWnd->resize(320, 0);
        flattened = CurrentProjection();
    });
    FakeViewer viewer(0);
    QGuiApplication::clipboard()->setText("earlier");
    ASSERT_EQ(Launch(probe, viewer), kRunFinished);

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kNoAntialiasingText);
    EXPECT_EQ(messages.shown[0].caption, kErrorCaption);
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(viewer.runs, 0);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    ASSERT_NE(g_hWnd, nullptr);
    EXPECT_EQ(g_hWnd->windowTitle(), kProbeTitle);
    EXPECT_TRUE(IsCurrentOn(g_hRC, g_hWnd->winId()));

    EXPECT_EQ(title, kProbeTitle);
    EXPECT_EQ(geometry.size(), QSize(640, 480));
    EXPECT_TRUE(hasIcon);
    EXPECT_TRUE(black);
    ASSERT_TRUE(current);
    EXPECT_EQ(resized.viewport[2], 320);
    EXPECT_EQ(resized.viewport[3], 200);
    // gluPerspective(45, 1.6, ...): y scale cot(22.5 degrees), x scale that over the aspect.
    const double f = 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0);
    EXPECT_NEAR(resized.matrix[5], f, 1e-4);
    EXPECT_NEAR(resized.matrix[0], f / 1.6, 1e-4);
    // A window with no height still gets a finite projection.
    for (GLfloat v : flattened.matrix)
        EXPECT_TRUE(std::isfinite(v));
}

TEST_F(LauncherFlow, HandsTheNumberToTheViewerFromAFreshWindowAndClearsItAfterwards) {
    for (int status : {0, 3}) {
        SCOPED_TRACE(status);
        messages.shown.clear();
        WatchedProbe probe(1234567, nullptr);
        FakeViewer viewer(status);

        EXPECT_EQ(Launch(probe, viewer), kRunFinished);
        EXPECT_EQ(viewer.runs, 1);
        EXPECT_EQ(viewer.title, kHandOffTitle);
        EXPECT_FALSE(viewer.contextHeld);
        EXPECT_EQ(viewer.clipboard, "1234567");
        EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
        EXPECT_EQ(pauses, 0);
        if (status == 0) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, kViewerFailedText);
            EXPECT_EQ(messages.shown[0].caption, kErrorCaption);
        }
        DestroyDummyContext();
    }
}

// Esc and a close request ask the application to quit, which ends every
// running loop (in the launcher, an open message box) with status 0; the
// window stays.
TEST(LauncherWindowEvents, EscapeAndCloseRequestQuitWithoutClosingTheWindow) {
    LauncherWindow window("events");
    const auto runLoop = [](const std::function<void()> &request) {
        QTimer::singleShot(0, request);
        QTimer::singleShot(2000, [] { QCoreApplication::exit(42); });
        return QCoreApplication::exec();
    };
    const auto press = [&](Qt::Key key, const QString &text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(&window, &event);
    };
    EXPECT_EQ(runLoop([&] { press(Qt::Key_Escape, QStringLiteral("\x1b")); }), 0);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(runLoop([&] { window.close(); }), 0);
    EXPECT_TRUE(window.isVisible());
    // Other keys do nothing: only the time limit ends the loop.
    EXPECT_EQ(runLoop([&] { press(Qt::Key_A, QStringLiteral("a")); }), 42);
}

// The driver's answer to the request must agree with a full look at every
// configuration it has.
TEST(GlxMultisampleProbe, AgreesWithEveryConfigurationOfTheScreen) {
    Display *display = QtX11Display();
    ASSERT_NE(display, nullptr);
    const int screen = DefaultScreenNumber(display);
    const std::vector<FbConfigInfo> all = AllFbConfigs(display, screen);
    ASSERT_FALSE(all.empty());
    GlxMultisampleProbe probe(display, screen);
    const std::optional<int> found = probe.FindFormat();

    int maxSamples = 0;
    for (const FbConfigInfo &c : all)
        maxSamples = std::max(maxSamples, c.samples);
    std::printf("%zu configurations, at most %d samples; antialiasing format: %s\n", all.size(), maxSamples,
                found ? std::to_string(*found).c_str() : "none");

    EXPECT_EQ(found.has_value(), ChooseMultisampleFormat(all).has_value());
    for (const FbConfigInfo &c : probe.Candidates())
        EXPECT_GE(c.samples, 8) << "configuration " << c.id;
    if (found) {
        const auto it =
            std::find_if(all.begin(), all.end(), [&](const FbConfigInfo &c) { return c.id == *found; });
        ASSERT_NE(it, all.end());
        EXPECT_EQ(it->samples, 8);
    }
}

} // namespace
