// quor-inspect FILE.3ds: opens a model the way the viewer does, without a window,
// and prints what it read and what the display list would hold, as JSON.
// quor-inspect --orbit FILE: where element sets put their satellites, per time.
// quor-inspect --passes FILE --observer PLACE: the passes over a place.
#include "framework/cmdline.h"
#include "orbit/observer.h"
#include "orbitreport.h"
#include "report.h"
#include "tools/common/hugepages.h"
#ifdef QUOR_INSPECT_RENDER
#include "render.h"
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
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
    bool antialias = false;
};

void Usage(std::FILE *to) {
    std::fputs(
        "Usage: quor-inspect FILE.3ds\n"
        "  or:  quor-inspect --render OUT.png [--mode 1|2|3] [--steps N] [--size WxH] [--antialias] "
        "FILE.3ds\n"
        "  or:  quor-inspect --orbit ELEMENTS [--satellite NUMBER] (--at UTC | --minutes M) [--count N] "
        "[--step SECONDS] [--observer LAT,LON[,HEIGHT_M]]\n"
        "  or:  quor-inspect --passes ELEMENTS --observer LAT,LON[,HEIGHT_M] [--satellite N] [--from UTC] "
        "[--days D] [--min-elevation DEG] [--twilight DEG]\n"
        "Prints one JSON object describing the model and its compiled display list.\n"
        "\n"
        "With --render, draws the scene after N simulation steps of 30 ms into a\n"
        "picture instead, PNG or JPEG (.jpg) by OUT's name, antialiased with --antialias\n"
        "(the Earth map found as the viewer finds it; no display needed).\n"
        "\n"
        "With --orbit, propagates the two-line element sets of ELEMENTS (every set, or\n"
        "the one numbered NUMBER) to a UTC time such as 2024-02-15T09:00:00Z, or to M\n"
        "minutes after each set's epoch, and to N-1 more times SECONDS apart (60 unless\n"
        "given), printing one JSON object per set and time: TEME state, WGS-84 place,\n"
        "speed, Sun and shadow; with --observer also azimuth, elevation, range and range\n"
        "rate.\n"
        "\n"
        "With --passes, lists the passes of satellite N (the file's first set unless\n"
        "given) over the place (degrees, or with N/S/E/W: 51.48N,0.01W; height in\n"
        "metres) from UTC (now unless given) for D days (10; at most 30), above DEG\n"
        "degrees of elevation (10), one JSON object per pass (a line on stderr when\n"
        "there is none); visible while the satellite is sunlit and the Sun is at least\n"
        "the twilight DEG (6) below the horizon.\n"
        "\n"
        "Options:\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and exit\n"
        "\n"
        "Environment:\n"
        "  DISPLAY    an X display for --render to draw on with GLX, only when EGL\n"
        "             offers no context\n",
        to);
}

bool ParseInt(const char *text, int low, int high, int &out) {
    return ParseWholeNumber(text, low, high, out);
}

bool ParseDouble(const char *text, double limit, double &out) {
    return ParseDecimalNumber(text, -limit, limit, out);
}

// WxH, each side a whole number of pixels.
bool ParseSize(const char *text, Options &options) {
    const char *x = std::strchr(text, 'x');
    if (!x)
        return false;
    int w = 0, h = 0;
    if (!ParseWholeNumber(std::string(text, x).c_str(), 1, 8192, w) || !ParseWholeNumber(x + 1, 1, 8192, h))
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
    if (std::strcmp(name, "--render") == 0) {
        options.render = value;
        ok = *value != '\0';
    } else if (std::strcmp(name, "--mode") == 0) {
        ok = ParseInt(value, 1, 3, options.mode);
    } else if (std::strcmp(name, "--steps") == 0) {
        ok = ParseInt(value, 1, 1000000, options.steps);
    } else {
        ok = ParseSize(value, options);
    }
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
        } else if (!optionsEnded && std::strcmp(arg, "--antialias") == 0) {
            options.antialias = true;
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

// Whether the command line holds `option` before any "--".
bool HasOption(int argc, char **argv, const char *option) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

// --observer's value; false after saying what is wrong.
bool ParsePlace(const char *value, ObserverPlace &place) {
    std::string reason;
    if (ParseObserverPlace(value, place.latitude, place.longitude, place.heightM, reason))
        return true;
    std::fprintf(stderr, "quor-inspect: bad value for --observer: '%s': %s\n", value, reason.c_str());
    return false;
}

// The last moment a printed time can name: --from and --at read four-digit years.
constexpr int64_t kLastUtcMs = 253402300799999; // 9999-12-31T23:59:59.999Z

// The options of --passes, every one with a value; false after saying what is wrong.
bool ParsePassesArguments(int argc, char **argv, PassesRequest &request) {
    bool haveFile = false, haveObserver = false;
    const char *from = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *name = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        static const char *const kKnown[] = {"--passes", "--observer",      "--satellite", "--from",
                                             "--days",   "--min-elevation", "--twilight"};
        if (std::none_of(std::begin(kKnown), std::end(kKnown),
                         [&](const char *k) { return !std::strcmp(name, k); })) {
            std::fprintf(stderr, "quor-inspect: %s is not an option of --passes\n", name);
            return false;
        }
        if (!value) {
            std::fprintf(stderr, "quor-inspect: %s needs a value\n", name);
            return false;
        }
        ++i;
        bool ok = true;
        int number = 0;
        const char *hint = "";
        if (std::strcmp(name, "--passes") == 0) {
            ok = !haveFile && *value;
            request.file = value;
            haveFile = true;
        } else if (std::strcmp(name, "--observer") == 0) {
            if (!ParsePlace(value, request.observer))
                return false;
            haveObserver = true;
        } else if (std::strcmp(name, "--satellite") == 0) {
            ok = ParseInt(value, 0, 999999999, number);
            request.satellite = number;
        } else if (std::strcmp(name, "--from") == 0) {
            ok = ParseUtc(value, request.fromUnixMs);
            from = value;
            hint = " (a UTC time like 2024-02-15T09:00:00.000Z)";
        } else if (std::strcmp(name, "--days") == 0) {
            ok = ParseDouble(value, 30, request.days) && request.days > 0;
            hint = " (more than 0, at most 30)";
        } else if (std::strcmp(name, "--min-elevation") == 0) {
            ok = ParseDouble(value, 90, request.minElevation) && request.minElevation >= 0;
            hint = " (0 to 90 degrees)";
        } else {
            ok = ParseDouble(value, 90, request.twilight) && request.twilight >= 0;
            hint = " (0 to 90 degrees of the Sun below the horizon)";
        }
        if (!ok) {
            std::fprintf(stderr, "quor-inspect: bad value for %s: '%s'%s\n", name, value, hint);
            return false;
        }
    }
    if (!haveObserver) {
        std::fputs("quor-inspect: --passes needs --observer LAT,LON[,HEIGHT_M]\n", stderr);
        return false;
    }
    if (!from)
        request.fromUnixMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    // The passes' times are printed in the form --from reads: a search running
    // past the year 9999 would print times nothing can read back.
    if (request.fromUnixMs > kLastUtcMs - std::llround(request.days * 86400000.0)) {
        std::fprintf(stderr,
                     "quor-inspect: bad value for --from: '%s' (%g days from it run past the year 9999)\n",
                     from ? from : "now", request.days);
        return false;
    }
    return true;
}

// The options of --orbit, every one with a value; false after saying what is wrong.
bool ParseOrbitArguments(int argc, char **argv, OrbitRequest &request) {
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const char *name = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        const bool known = std::strcmp(name, "--orbit") == 0 || std::strcmp(name, "--satellite") == 0 ||
                           std::strcmp(name, "--at") == 0 || std::strcmp(name, "--minutes") == 0 ||
                           std::strcmp(name, "--count") == 0 || std::strcmp(name, "--step") == 0 ||
                           std::strcmp(name, "--observer") == 0;
        if (!known) {
            std::fprintf(stderr, "quor-inspect: %s is not an option of --orbit\n", name);
            return false;
        }
        if (!value) {
            std::fprintf(stderr, "quor-inspect: %s needs a value\n", name);
            return false;
        }
        ++i;
        bool ok = true;
        int number = 0;
        double real = 0;
        int64_t ms = 0;
        if (std::strcmp(name, "--orbit") == 0) {
            ok = !haveFile && *value;
            request.file = value;
            haveFile = true;
        } else if (std::strcmp(name, "--satellite") == 0) {
            ok = ParseInt(value, 0, 999999999, number);
            request.satellite = number;
        } else if (std::strcmp(name, "--at") == 0) {
            ok = ParseUtc(value, ms);
            request.atUnixMs = ms;
        } else if (std::strcmp(name, "--minutes") == 0) {
            ok = ParseDouble(value, 1e9, real);
            request.startMinutes = real;
        } else if (std::strcmp(name, "--count") == 0) {
            ok = ParseInt(value, 1, 1000000, request.count);
        } else if (std::strcmp(name, "--observer") == 0) {
            ObserverPlace place;
            ok = ParsePlace(value, place);
            request.observer = place;
            if (!ok)
                return false;
        } else {
            ok = ParseDouble(value, 1e9, request.stepSeconds);
        }
        if (!ok) {
            std::fprintf(stderr, "quor-inspect: bad value for %s: '%s'%s\n", name, value,
                         std::strcmp(name, "--at") == 0 ? " (a UTC time like 2024-02-15T09:00:00.000Z)" : "");
            return false;
        }
    }
    if (request.atUnixMs.has_value() == request.startMinutes.has_value()) {
        std::fputs("quor-inspect: --orbit needs one of --at UTC and --minutes M\n", stderr);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("quor-inspect " QUOR_VERSION "\n", stdout);
        return 0;
    }
    if (HasOption(argc, argv, "--passes")) {
        PassesRequest request;
        if (!ParsePassesArguments(argc, argv, request)) {
            Usage(stderr);
            return 2;
        }
        return RunPasses(request, stdout, stderr);
    }
    if (HasOption(argc, argv, "--orbit")) {
        OrbitRequest request;
        if (!ParseOrbitArguments(argc, argv, request)) {
            Usage(stderr);
            return 2;
        }
        return RunOrbit(request, stdout, stderr);
    }
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        Usage(stderr);
        return 2;
    }
    if (!options.render.empty()) {
#ifdef QUOR_INSPECT_RENDER
        UseHugePagesForMalloc(argv);
        return RenderToPng({options.file, options.render, options.mode, options.steps, options.width,
                            options.height, options.antialias});
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
