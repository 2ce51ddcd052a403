// quor-inspect FILE.3ds: opens a model the way the viewer does, without a window,
// and prints what it read and what the display list would hold, as JSON.
#include "report.h"
#ifdef QUOR_INSPECT_RENDER
#include "render.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    std::string file;
    std::string render; // PNG to draw the scene into, or empty
    int mode = 1;
    int steps = 1;
    int width = 1280;
    int height = 720;
};

void Usage(std::FILE *to) {
    std::fputs("usage: quor-inspect FILE.3ds\n"
               "       quor-inspect --render OUT.png [--mode 1|2|3] [--steps N] [--size WxH] FILE.3ds\n"
               "Prints one JSON object describing the model and its compiled display list; with\n"
               "--render, draws the scene after N simulation steps of 30 ms into a PNG instead\n"
               "(needs an X display and Weltkart.bmp in the working directory, like the viewer).\n",
               to);
}

bool ParseInt(const char *text, int low, int high, int &out) {
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseSize(const char *text, Options &options) {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 8192 || h > 8192)
        return false;
    options.width = w;
    options.height = h;
    return true;
}

// Handles one option that takes a value; false after saying what is wrong.
bool ParseValueOption(const char *name, const char *value, Options &options) {
    if (!value) {
        std::fprintf(stderr, "quor-inspect: %s needs a value\n", name);
        return false;
    }
    bool ok = true;
    if (std::strcmp(name, "--render") == 0)
        options.render = value;
    else if (std::strcmp(name, "--mode") == 0)
        ok = ParseInt(value, 1, 3, options.mode);
    else if (std::strcmp(name, "--steps") == 0)
        ok = ParseInt(value, 1, 1000000, options.steps);
    else
        ok = ParseSize(value, options);
    if (!ok)
        std::fprintf(stderr, "quor-inspect: bad value for %s: %s\n", name, value);
    return ok;
}

bool TakesValue(const char *arg) {
    return std::strcmp(arg, "--render") == 0 || std::strcmp(arg, "--mode") == 0 ||
           std::strcmp(arg, "--steps") == 0 || std::strcmp(arg, "--size") == 0;
}

// Returns false (after saying why) when the command line cannot be used.
bool ParseArguments(int argc, char **argv, Options &options) {
    bool haveFile = false;
    bool optionsEnded = false; // after "--" a name starting with '-' is a file
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && TakesValue(arg)) {
            if (!ParseValueOption(arg, i + 1 < argc ? argv[i + 1] : nullptr, options))
                return false;
            ++i;
        } else if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "quor-inspect: unknown option %s\n", arg);
            return false;
        } else if (haveFile) {
            std::fputs("quor-inspect: only one file at a time\n", stderr);
            return false;
        } else {
            options.file = arg;
            haveFile = true;
        }
    }
    if (!haveFile)
        std::fputs("quor-inspect: no file given\n", stderr);
    return haveFile;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout);
        return 0;
    }
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        Usage(stderr);
        return 2;
    }
    if (!options.render.empty()) {
#ifdef QUOR_INSPECT_RENDER
        return RenderToPng(
            {options.file, options.render, options.mode, options.steps, options.width, options.height});
#else
        std::fputs("quor-inspect: this build cannot render (built without the viewer)\n", stderr);
        return 2;
#endif
    }
    InspectReport report;
    if (!InspectFile(options.file, report)) {
        std::fprintf(stderr, "quor-inspect: cannot open %s\n", options.file.c_str());
        return 1;
    }
    const std::string json = ReportJson(report);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
