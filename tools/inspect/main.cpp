// quor-inspect FILE.3ds: opens a model the way the viewer does, without a window,
// and prints what it read and what the display list would hold, as JSON.
#include "inspect.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Options {
    std::string file;
};

void Usage(std::FILE *to) {
    std::fputs("usage: quor-inspect FILE.3ds\n"
               "Prints one JSON object describing the model and its compiled display list.\n",
               to);
}

// Returns false (after saying why) when the command line cannot be used.
bool ParseArguments(int argc, char **argv, Options &options) {
    bool haveFile = false;
    bool optionsEnded = false; // after "--" a name starting with '-' is a file
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (!optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
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
    InspectReport report;
    if (!InspectFile(options.file, report)) {
        std::fprintf(stderr, "quor-inspect: cannot open %s\n", options.file.c_str());
        return 1;
    }
    const std::string json = ReportJson(report);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
