#include "render.h"

#include "document/quordoc.h"
#include "framework/cmdline.h"
#include "framework/messages.h"
#include "tools/common/offscreengl.h"
#include "tools/modelreport/report.h"
#include "view/arraysink.h"
#include "view/core/bmpimage.h"
#include "view/core/orbitsim.h"
#include "view/offscreen.h"
#include "view/picturefile.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

// Each frame is a 30 ms step, so a rendering does not depend on how fast it ran.
uint32_t g_fakeNow = 0;
uint32_t SteppedClock() {
    return g_fakeNow += 30;
}

} // namespace

int RenderToPng(const RenderOptions &options) {
    // The model is only read: a picture under its name (or a link to it) would replace it.
    if (IsSameFile(options.file, options.output)) {
        std::fprintf(stderr, "quor-inspect: the output %s is the input file %s itself; nothing written\n",
                     options.output.c_str(), options.file.c_str());
        return 1;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.file, ec)) {
        std::fprintf(stderr, "quor-inspect: cannot open %s\n", options.file.c_str());
        return 1;
    }
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    // One picture: the model is drawn from arrays, not compiled into a list first.
    ClientArraySink models;
    SetDefaultGlSink(&models);
    SetModelArraySink(&models);
    SetMillisecondClock(SteppedClock);

    // The Earth map and the model are read, and the model made ready to draw, while
    // Qt and the GL driver start; neither is needed before the scene's context.
    CQUORDoc doc;
    bool opened = false;
    std::thread reader([&] {
        LoadEarthMapForThisProgram();
        opened = doc.OnOpenDocument(options.file);
    });
    // Qt only for the fonts of the text: the offscreen platform needs no display.
    // The context is EGL's (GLX only where EGL offers none), made without Qt.
    int argc = 1;
    char name[] = "quor-inspect";
    char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    OffscreenGl gl;
    std::string why;
    const bool haveContext = gl.Create(why);
    reader.join();
    if (!haveContext) {
        std::fprintf(stderr, "quor-inspect: no OpenGL context for offscreen rendering (%s)\n", why.c_str());
        return 1;
    }

    std::string renderer;
    QString failure;
    {
        OffscreenScene scene(QSize(options.width, options.height), options.antialias,
                             OffscreenScene::MapLoaded,
                             [&gl](const char *function) { return gl.Proc(function); });
        if (!scene.IsValid()) {
            std::fputs("quor-inspect: no OpenGL framebuffer for offscreen rendering\n", stderr);
            return 1;
        }
        renderer = scene.Renderer().toStdString();
        if (!opened) {
            std::fprintf(stderr, "quor-inspect: cannot open %s\n", options.file.c_str());
            return 1;
        }
        doc.m_viewMode = options.mode;
        QImage image;
        for (int i = 0; i < options.steps; ++i)
            image = scene.Render(doc);
        failure = WritePicture(image, QString::fromStdString(options.output));
        if (failure.isEmpty()) {
            std::string json = "{\"file\": " + JsonString(options.file) +
                               ", \"image\": " + JsonString(options.output) +
                               ", \"mode\": " + std::to_string(options.mode) +
                               ", \"steps\": " + std::to_string(options.steps) +
                               ", \"renderer\": " + JsonString(renderer) + ", \"messages\": [";
            for (size_t i = 0; i < messages.shown.size(); ++i)
                json += (i ? ", " : "") + JsonString(messages.shown[i].text);
            json += "]}\n";
            std::fwrite(json.data(), 1, json.size(), stdout);
            // The picture is on disk: the process ends here rather than taking the
            // context, the driver and a large model apart piece by piece.
            std::_Exit(std::fflush(stdout) == 0 ? 0 : 1);
        }
    }
    SetMillisecondClock(nullptr);
    SetModelArraySink(nullptr);
    SetDefaultGlSink(nullptr);
    std::fprintf(stderr, "quor-inspect: %s\n", failure.simplified().toLocal8Bit().constData());
    return 1;
}
