// quor-thumbnailer: a picture of a .3ds model for file managers, drawn offscreen
// with no X display and no Qt, so that it starts fast.
//   quor-thumbnailer [--time-limit SECONDS] -s SIZE INPUT OUTPUT
#include "document/chunkfile.h"
#include "document/quordoc.h"
#include "framework/cmdline.h"
#include "framework/messages.h"
#include "meshsink.h"
#include "render.h"
#include "thumbfile.h"
#include "tools/common/hugepages.h"
#include "tools/common/offscreengl.h"
#include "viewfit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr const char *kProgram = "quor-thumbnailer";
constexpr int kMaxSize = 4096;
constexpr double kDefaultTimeLimit = 5.0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char *const kUsage = "usage: quor-thumbnailer [--time-limit SECONDS] -s SIZE INPUT OUTPUT\n";
const char *const kHelp = "Usage: quor-thumbnailer [--time-limit SECONDS] -s SIZE INPUT OUTPUT\n"
                          "Draws the .3ds model INPUT into OUTPUT, a SIZE x SIZE PNG with a transparent\n"
                          "background, for file managers. Needs no X display. On a file it cannot draw it\n"
                          "says why on stderr, exits with status 1 and writes nothing.\n"
                          "\n"
                          "Options:\n"
                          "  -s, --size SIZE         the picture's width and height in pixels (1 to 4096)\n"
                          "  --time-limit SECONDS    give up after SECONDS (default 5; 0: never)\n"
                          "  --                      every argument after this is a file name\n"
                          "  -h, --help              print this help and exit\n"
                          "  --version               print the version and exit\n"
                          "\n"
                          "Environment:\n"
                          "  DISPLAY    an X display to draw on with GLX, only when EGL offers no context\n";

struct Options {
    bool help = false;
    bool version = false;
    int size = 0;
    double timeLimit = kDefaultTimeLimit;
    std::string input;
    std::string output;
};

bool ParseSize(const char *text, int &size) {
    return ParseWholeNumber(text, 1, kMaxSize, size);
}

bool ParseSeconds(const char *text, double &seconds) {
    return ParseDecimalNumber(text, 0.0, 86400.0, seconds);
}

// False with `error` set on a usage error.
bool ParseArguments(int argc, char **argv, Options &options, std::string &error) {
    std::vector<std::string> files;
    bool haveSize = false;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
            return true;
        } else if (arg == "--version") {
            options.version = true;
            return true;
        } else if (arg == "-s" || arg == "--size" || arg == "--time-limit") {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            const char *value = argv[++i];
            if (arg == "--time-limit") {
                if (!ParseSeconds(value, options.timeLimit)) {
                    error = std::string("bad time limit '") + value + "': seconds from 0 to 86400";
                    return false;
                }
            } else if (!ParseSize(value, options.size)) {
                error = std::string("bad size '") + value + "': a whole number of pixels from 1 to " +
                        std::to_string(kMaxSize);
                return false;
            } else {
                haveSize = true;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (!haveSize) {
        error = "the size (-s SIZE) is missing";
        return false;
    }
    if (files.size() != 2) {
        error = "expected an input and an output file, got " + std::to_string(files.size()) + " file name(s)";
        return false;
    }
    options.input = files[0];
    options.output = files[1];
    return true;
}

// Why ChunkFile::Open refused a file; it only looks, so it cannot block either.
std::string WhyNotOpened(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "is a folder, not a model file";
    if (!S_ISREG(st.st_mode))
        return "is not a regular file";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::strerror(errno);
    close(fd);
    return "cannot be read";
}

// Messages are single lines on stderr; the reader's may be anything.
std::string OneLine(std::string text) {
    for (char &c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool Fail(const Options &options, const std::string &why) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, OneLine(options.input).c_str(), OneLine(why).c_str());
    return false;
}

bool Run(const Options &options) {
    std::string error;
    if (!CheckOutput(options.input, options.output, error))
        return Fail(options, error);

    ChunkFile file;
    if (!file.Open(options.input))
        return Fail(options, WhyNotOpened(options.input));
    if (file.Size() == 0)
        return Fail(options, "empty file");

    // Starting OpenGL takes about as long as reading a big model: both at once.
    OffscreenGl gl;
    std::string glError;
    bool glMade = false;
    std::jthread glStarter;
    {
        WatchdogSignalsHeld held; // the watchdog's signals stay with this thread
        glStarter = std::jthread([&] {
            try {
                glMade = gl.Create(glError);
                if (glMade)
                    gl.Detach();
            } catch (const std::bad_alloc &) {
                glError = "out of memory";
            }
        });
    }

    // The reader's message boxes become part of the one line said on failure.
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    CQUORDoc doc;
    doc.Read3dsFile(file);
    MeshSink mesh(g_lastColour);
    mesh.Reserve(static_cast<size_t>(doc.m_faceCount) * 3);
    doc.CompileModelList(mesh);
    doc.FreeModel();
    if (mesh.VertexCount() == 0) {
        std::string why = "no faces to draw: not a .3ds model, or one without triangles";
        for (const std::string &text : messages.Texts())
            why += " (" + text + ")";
        return Fail(options, why);
    }

    const ViewFit fit = FitView(mesh.Vertices(), mesh.VertexCount(), sizeof(MeshVertex), kViewAzimuthDegrees,
                                kViewElevationDegrees, kViewMargin);
    if (!fit.ok)
        return Fail(options, "the model has no extent to draw");

    glStarter.join();
    if (!glMade)
        return Fail(options, "no offscreen OpenGL: " + glError);
    if (!gl.MakeCurrent())
        return Fail(options, "cannot use the offscreen OpenGL context");
    std::vector<uint8_t> rgba;
    if (!RenderThumbnail(gl, mesh, fit, options.size, rgba, error))
        return Fail(options, error);
    bool drawn = false;
    for (size_t i = 3; i < rgba.size() && !drawn; i += 4)
        drawn = rgba[i] != 0;
    if (!drawn)
        return Fail(options, "the model's faces cover no pixel");

    if (!WritePng(options.output, rgba, options.size, error))
        return Fail(options, error);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "%s: %s\n%s", kProgram, error.c_str(), kUsage);
        return kExitUsage;
    }
    if (options.help || options.version) {
        if (options.help)
            std::fputs(kHelp, stdout);
        else
            std::printf("%s %s\n", kProgram, QUOR_VERSION);
        return std::fflush(stdout) == 0 ? 0 : kExitFailed;
    }
    UseHugePagesForMalloc(argv);
    // A big model's tables and GL's vertex buffers are large and short-lived: keep
    // freed memory for the next block rather than give it back and fault it in again.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", options.timeLimit);
    StartWatchdog(options.timeLimit,
                  std::string(kProgram) + ": " + OneLine(options.input) + ": gave up after " + limit + " s");
    try {
        return Run(options) ? 0 : kExitFailed;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "%s: %s: out of memory\n", kProgram, OneLine(options.input).c_str());
        return kExitFailed;
    }
}
