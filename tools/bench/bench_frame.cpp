// CPU time per scene frame, offscreen (framebuffer object), for three frames in
// one run: an empty frame (clear only), the bare geometry (the Earth sphere and
// the model list, nothing else) and the full frame (simulation step, cameras,
// light, Earth, station, chaser, text), and the text step alone. For the sample station and for the
// 1,024,000-face model. Usage (with an X display and Weltkart.bmp in the working
// directory): bench_frame [frames] [station.3ds]
#include "document/quordoc.h"
#include "shell/livemodel.h"
#include "tools/bench/bigmodel.h"
#include "view/core/livescene.h"
#include "view/core/orbitsim.h"
#include "view/core/skyview.h"
#include "view/gldisplaylistsink.h"
#include "view/glshared.h"
#include "view/glyphs.h"
#include "view/offscreen.h"
#include "view/scenerenderer.h"
#include "view/wiresphere.h"

#include <QGuiApplication>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Process CPU time: the software renderer's worker threads count too.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

double PerFrame(int frames, const std::function<void()> &draw) {
    draw(); // warm up
    const double start = CpuMs();
    for (int i = 0; i < frames; ++i)
        draw();
    return (CpuMs() - start) / frames;
}

// Best of several rounds, the variants interleaved so that a busy machine
// weighs on all of them alike.
std::vector<double> Interleaved(int frames, const std::vector<std::function<void()>> &variants) {
    constexpr int kRounds = 5;
    std::vector<double> best(variants.size(), 1e300);
    for (int r = 0; r < kRounds; ++r)
        for (size_t v = 0; v < variants.size(); ++v)
            best[v] = std::min(best[v], PerFrame(std::max(1, frames / kRounds), variants[v]));
    return best;
}

// `antialiased` is a scene of the same size drawn through an 8-sample (or the most
// the driver offers) framebuffer, sharing the document's model list.
void Measure(OffscreenScene &scene, OffscreenScene &antialiased, CQUORDoc &doc, LiveModel &model,
             const char *name, int frames) {
    scene.MakeCurrent();
    const auto emptyFrame = [] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
    };
    const unsigned texture = scene.EarthTexture();
    const int32_t list = doc.m_modelList;
    const auto bareFrame = [texture, list] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        gluLookAt(0.0, 0.0, -12000.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        gluQuadricTexture(g_quadric, GL_TRUE);
        glPushMatrix();
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        gluSphere(g_quadric, g_earthRadius, 90, 90);
        glPopMatrix();
        glDisable(GL_TEXTURE_2D);
        glPushMatrix();
        glTranslatef(0.0f, 0.0f, -6000.0f);
        glScalef(300.0f, 300.0f, 300.0f);
        glEnable(GL_NORMALIZE);
        glCallList(static_cast<GLuint>(list));
        glPopMatrix();
        glFinish();
    };
    const auto fullFrame = [&] { scene.Draw(doc); };
    fullFrame(); // the first frame of the run rasterises the font
    const int rasterisedBefore = FontRasterisations();
    // The text step as a frame runs it: glyph lists built, three lines drawn, lists deleted.
    const auto textStep = [] {
        DeleteFontLists(DrawSceneText(ViewFromSpace, -179.97f, 900, 1.0));
        glFinish();
    };
    // The same document on the live orbit (elements of the test data), ground track off and on,
    // and the sky from Greenwich with every star that night allows: the clock's tick and the
    // frame, as the viewer makes them.
    SkyLook look{220.0, 35.0, 100.0};
    const auto liveFrame = [&](bool track, int mode) {
        doc.m_live = true;
        doc.m_groundTrack = track;
        doc.m_viewMode = mode;
        model.Tick();
        const LiveSceneInput input = model.SceneInput();
        SceneFrame navigation;
        navigation.live = &input;
        navigation.skyLook = &look;
        navigation.skyFollow = false;
        scene.Draw(doc, navigation);
        doc.m_live = false;
        doc.m_groundTrack = false;
        doc.m_viewMode = ViewFromSpace;
    };
    // The other scene's context is left current only inside its own variant.
    const auto antialiasedFrame = [&] {
        antialiased.Draw(doc);
        scene.MakeCurrent();
    };
    const std::vector<double> t =
        Interleaved(frames, {emptyFrame, bareFrame, fullFrame, textStep, [&] { liveFrame(false, ViewFromSpace); },
                             [&] { liveFrame(true, ViewFromSpace); }, antialiasedFrame,
                             [&] { liveFrame(false, ViewFromHere); }});
    const double empty = t[0], bare = t[1], full = t[2], text = t[3], live = t[4], tracked = t[5],
                 smooth = t[6], here = t[7];
    std::printf("%-22s faces %8d  empty %7.2f ms  bare %7.2f ms  full %7.2f ms  full/bare %.3f\n"
                "%-22s text step %.2f ms = %.1f %% of the full frame; fonts rasterised during the measured "
                "frames: %d\n",
                name, doc.m_faceCount, empty, bare, full, full / bare, name, text, 100.0 * text / full,
                FontRasterisations() - rasterisedBefore);
    std::printf("%-22s antialiased (%d samples) %.2f ms = %.3f x the frame without\n", name,
                antialiased.Samples(), smooth, smooth / full);
    if (model.Ready())
        std::printf(
            "%-22s live frame %.2f ms = %.3f x the simulated frame; with the ground track %.2f ms = %.3f x\n",
            name, live, live / full, tracked, tracked / full);
    if (model.Ready() && model.Place().set)
        std::printf("%-22s From Here frame (night, stars to 5.5) %.2f ms = %.3f x the live From Space frame "
                    "(goal 1.5) %s\n",
                    name, here, here / live, here <= 1.5 * live ? "PASS" : "FAIL");
}

} // namespace

int main(int argc, char **argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const std::string station = argc > 2 ? argv[2] : std::string(QUOR_SOURCE_DIR) + "/data/station.3ds";
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    InitWireSphere(&argc, argv);
    SetDefaultGlSink(&ViewerGlSink());

    OffscreenScene scene(QSize(1280, 720));
    OffscreenScene antialiased(QSize(1280, 720), true);
    scene.MakeCurrent();
    if (!scene.IsValid() || !antialiased.IsValid()) {
        std::fputs("bench_frame: no OpenGL context\n", stderr);
        return 1;
    }
    std::printf("GL renderer: %s, 1280 x 720, %d frames each, CPU ms per frame\n",
                scene.Renderer().toLatin1().constData(), frames);

    LiveModel model;
    model.SetShownBy([] { return true; });
    {
        std::string text, reason;
        const std::string elements = std::string(QUOR_SOURCE_DIR) + "/tests/data/live/station.tle";
        const ElementsFile parsed =
            ReadElementsText(elements, text, reason) ? ParseElements(text) : ElementsFile();
        if (!parsed.sets.empty() && model.SetElements(parsed.sets[0]))
            // 20:00 UTC: night over Greenwich, every star out.
            model.SetTime(UnixMsFromJulianDate(model.Orbit().EpochJulianDate() + 8.0 / 24.0));
        ObserverPlace greenwich;
        greenwich.set = true;
        greenwich.name = "Greenwich";
        greenwich.latitude = 51.4769;
        model.SetPlace(greenwich);
    }

    CQUORDoc sample;
    if (!scene.Open(sample, station)) {
        std::fprintf(stderr, "bench_frame: cannot open %s\n", station.c_str());
        return 1;
    }
    Measure(scene, antialiased, sample, model, "sample station", frames);

    char path[] = "/tmp/quor-bench-frame-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || !MakeBigModel().Save(path)) {
        std::fputs("bench_frame: cannot write the large model\n", stderr);
        return 1;
    }
    close(fd);
    CQUORDoc big;
    const bool opened = scene.Open(big, path);
    unlink(path);
    if (!opened)
        return 1;
    Measure(scene, antialiased, big, model, "1,024,000-face model", std::max(1, frames / 6));
    return 0;
}
