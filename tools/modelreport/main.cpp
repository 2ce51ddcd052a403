// quor-inspect FILE.3ds: opens a model the way the viewer does, without a window,
// and prints what it read and what the display list would hold, as JSON.
// quor-inspect --orbit FILE: where element sets put their satellites, per time.
// quor-inspect --passes FILE --observer PLACE: the passes over a place.
// quor-inspect --transits FILE --observer PLACE: close approaches to the Sun and Moon.
#include "framework/cmdline.h"
#include "orbit/observer.h"
#include "orbitreport.h"
#include "render.h"
#include "report.h"
#include "tools/common/hugepages.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

void Usage(std::FILE *to) {
    std::fputs(
        "Usage: quor-inspect FILE.3ds\n"
        "  or:  quor-inspect --render OUT.png [--mode 1|2|3] [--steps N] [--size WxH] [--antialias] "
        "FILE.3ds\n"
        "  or:  quor-inspect --orbit ELEMENTS [--satellite NUMBER] (--at UTC | --minutes M) [--count N] "
        "[--step SECONDS] [--observer LAT,LON[,HEIGHT_M]]\n"
        "  or:  quor-inspect --passes ELEMENTS --observer LAT,LON[,HEIGHT_M] [--satellite N] [--from UTC] "
        "[--days D] [--min-elevation DEG] [--twilight DEG]\n"
        "  or:  quor-inspect --transits ELEMENTS --observer LAT,LON[,HEIGHT_M] [--satellite N] [--from UTC] "
        "[--days D]\n"
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
        "With --transits, lists the moments satellite N comes within a degree of the\n"
        "Sun's or the Moon's centre seen from the place, both above the horizon, from\n"
        "UTC (now unless given) for D days (30; at most 366), one JSON object per\n"
        "approach: the least separation, the body's radius, the range and whether it\n"
        "crosses the disc; for a crossing how long it lasts and which way and how far\n"
        "to go to see it cross the centre.\n"
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

// The things quor-inspect does; bits, so that one option can belong to several.
enum Mode : unsigned { kReport = 1, kOrbit = 2, kPasses = 4, kTransits = 8 };

// The option that picks a mode, named in what is said about that mode's options.
const char *ModeOption(Mode mode) {
    return mode == kOrbit      ? "--orbit"
           : mode == kPasses   ? "--passes"
           : mode == kTransits ? "--transits"
                               : nullptr;
}

// What the command line asks for, whichever mode reads it.
struct Request {
    std::string file; // the model, or the element sets
    bool haveFile = false;
    RenderOptions render; // its output is the picture to draw, or empty for the report
    OrbitRequest orbit;
    PassesRequest passes;
    TransitsRequest transits;
    std::optional<int> satellite;
    std::optional<ObserverPlace> observer;
    const char *from = nullptr; // --from as given, for the message about the year 9999
    int64_t fromUnixMs = 0;     // and as read
};

constexpr const char *kUtcHint = " (a UTC time like 2024-02-15T09:00:00.000Z)";

// WxH, each side a whole number of pixels.
bool ReadSize(const char *text, Request &request, std::string &) {
    const char *x = std::strchr(text, 'x');
    return x && ParseWholeNumber(std::string(text, x).c_str(), 1, 8192, request.render.width) &&
           ParseWholeNumber(x + 1, 1, 8192, request.render.height);
}

// --orbit's, --passes' or --transits' file, named once.
bool ReadElementsFile(const char *text, Request &request, std::string &) {
    const bool first = !request.haveFile;
    request.file = text;
    request.haveFile = true;
    return first && *text;
}

bool ReadObserver(const char *text, Request &request, std::string &why) {
    ObserverPlace place;
    std::string reason;
    if (!ParseObserverPlace(text, place.latitude, place.longitude, place.heightM, reason)) {
        why = ": " + reason;
        return false;
    }
    request.observer = place;
    return true;
}

struct Option {
    const char *name;
    unsigned modes; // the modes that take it
    bool takesValue;
    const char *hint; // after a bad value: what a good one looks like
    // Stores the value; false when it is no good, `why` then may tell more.
    bool (*read)(const char *value, Request &request, std::string &why);
};

const Option kOptions[] = {
    {"--render", kReport, true, "",
     [](const char *v, Request &r, std::string &) {
         r.render.output = v;
         return *v != '\0';
     }},
    {"--mode", kReport, true, "",
     [](const char *v, Request &r, std::string &) { return ParseWholeNumber(v, 1, 3, r.render.mode); }},
    {"--steps", kReport, true, "",
     [](const char *v, Request &r, std::string &) {
         return ParseWholeNumber(v, 1, 1000000, r.render.steps);
     }},
    {"--size", kReport, true, "", ReadSize},
    {"--antialias", kReport, false, "",
     [](const char *, Request &r, std::string &) {
         r.render.antialias = true;
         return true;
     }},
    {"--orbit", kOrbit, true, "", ReadElementsFile},
    {"--passes", kPasses, true, "", ReadElementsFile},
    {"--transits", kTransits, true, "", ReadElementsFile},
    {"--satellite", kOrbit | kPasses | kTransits, true, "",
     [](const char *v, Request &r, std::string &) {
         return ParseWholeNumber(v, 0, 999999999, r.satellite.emplace());
     }},
    {"--observer", kOrbit | kPasses | kTransits, true, "", ReadObserver},
    {"--at", kOrbit, true, kUtcHint,
     [](const char *v, Request &r, std::string &) { return ParseUtc(v, r.orbit.atUnixMs.emplace()); }},
    {"--minutes", kOrbit, true, "",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, -1e9, 1e9, r.orbit.startMinutes.emplace());
     }},
    {"--count", kOrbit, true, "",
     [](const char *v, Request &r, std::string &) { return ParseWholeNumber(v, 1, 1000000, r.orbit.count); }},
    {"--step", kOrbit, true, "",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, -1e9, 1e9, r.orbit.stepSeconds);
     }},
    {"--from", kPasses | kTransits, true, kUtcHint,
     [](const char *v, Request &r, std::string &) {
         r.from = v;
         return ParseUtc(v, r.fromUnixMs);
     }},
    {"--days", kPasses, true, " (more than 0, at most 30)",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, 0, 30, r.passes.days) && r.passes.days > 0;
     }},
    {"--days", kTransits, true, " (more than 0, at most 366)",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, 0, 366, r.transits.days) && r.transits.days > 0;
     }},
    {"--min-elevation", kPasses, true, " (0 to 90 degrees)",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, 0, 90, r.passes.minElevation);
     }},
    {"--twilight", kPasses, true, " (0 to 90 degrees of the Sun below the horizon)",
     [](const char *v, Request &r, std::string &) {
         return ParseDecimalNumber(v, 0, 90, r.passes.twilight);
     }},
};

const Option *FindOption(const char *name, Mode mode) {
    for (const Option &option : kOptions)
        if ((option.modes & mode) && std::strcmp(option.name, name) == 0)
            return &option;
    return nullptr;
}

bool BadValue(const char *name, const char *value, const std::string &hint) {
    std::fprintf(stderr, "quor-inspect: bad value for %s: '%s'%s\n", name, value, hint.c_str());
    return false;
}

// Whether the command line holds `option` before any "--".
bool HasOption(int argc, char **argv, const char *option) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

// The last moment a printed time can name: --from and --at read four-digit years.
constexpr int64_t kLastUtcMs = 253402300799999; // 9999-12-31T23:59:59.999Z

// What no single option can check; false after saying what is missing.
bool Complete(Mode mode, Request &request) {
    if (mode == kReport) {
        if (!request.haveFile)
            std::fputs("quor-inspect: no file given\n", stderr);
        request.render.file = request.file;
        return request.haveFile;
    }
    if (mode == kOrbit) {
        if (request.orbit.atUnixMs.has_value() == request.orbit.startMinutes.has_value()) {
            std::fputs("quor-inspect: --orbit needs one of --at UTC and --minutes M\n", stderr);
            return false;
        }
        request.orbit.file = request.file;
        request.orbit.satellite = request.satellite;
        request.orbit.observer = request.observer;
        return true;
    }
    if (!request.observer) {
        std::fprintf(stderr, "quor-inspect: %s needs --observer LAT,LON[,HEIGHT_M]\n", ModeOption(mode));
        return false;
    }
    const double days = mode == kPasses ? request.passes.days : request.transits.days;
    const int64_t from = request.from ? request.fromUnixMs
                                      : std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count();
    // The times found are printed in the form --from reads: a search running
    // past the year 9999 would print times nothing can read back.
    if (from > kLastUtcMs - std::llround(days * 86400000.0)) {
        char hint[80];
        std::snprintf(hint, sizeof hint, " (%g days from it run past the year 9999)", days);
        return BadValue("--from", request.from ? request.from : "now", hint);
    }
    if (mode == kPasses) {
        request.passes.file = request.file;
        request.passes.satellite = request.satellite;
        request.passes.observer = *request.observer;
        request.passes.fromUnixMs = from;
    } else {
        request.transits.file = request.file;
        request.transits.satellite = request.satellite;
        request.transits.observer = *request.observer;
        request.transits.fromUnixMs = from;
    }
    return true;
}

// Reads the command line for `mode`; false after saying what is wrong.
bool ParseArguments(int argc, char **argv, Mode mode, Request &request) {
    bool optionsEnded = false; // after "--" a name starting with '-' is a file
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        // Only the report takes a plain word: its model, the others' files follow their option.
        if (mode == kReport && !optionsEnded && std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (mode == kReport && (optionsEnded || arg[0] != '-' || arg[1] == '\0')) {
            if (request.haveFile) {
                std::fputs("quor-inspect: only one file at a time\n", stderr);
                return false;
            }
            request.file = arg;
            request.haveFile = true;
            continue;
        }
        const Option *option = FindOption(arg, mode);
        if (!option) {
            if (const char *modeOption = ModeOption(mode))
                std::fprintf(stderr, "quor-inspect: %s is not an option of %s\n", arg, modeOption);
            else
                std::fprintf(stderr, "quor-inspect: unknown option %s\n", arg);
            return false;
        }
        const char *value = nullptr;
        if (option->takesValue) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "quor-inspect: %s needs a value\n", arg);
                return false;
            }
            value = argv[++i];
        }
        std::string why;
        if (!option->read(value, request, why))
            return BadValue(arg, value, option->hint + why);
    }
    return Complete(mode, request);
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
    const Mode mode = HasOption(argc, argv, "--transits") ? kTransits
                      : HasOption(argc, argv, "--passes") ? kPasses
                      : HasOption(argc, argv, "--orbit")  ? kOrbit
                                                          : kReport;
    Request request;
    if (!ParseArguments(argc, argv, mode, request)) {
        Usage(stderr);
        return 2;
    }
    if (mode == kPasses)
        return RunPasses(request.passes, stdout, stderr);
    if (mode == kTransits)
        return RunTransits(request.transits, stdout, stderr);
    if (mode == kOrbit)
        return RunOrbit(request.orbit, stdout, stderr);
    if (!request.render.output.empty()) {
#ifdef QUOR_INSPECT_RENDER
        UseHugePagesForMalloc(argv);
        return RenderToPng(request.render);
#else
        std::fputs("quor-inspect: this build cannot render (built without the viewer)\n", stderr);
        return 2;
#endif
    }
    InspectReport report;
    if (!InspectFile(request.file, report)) {
        std::fprintf(stderr, "quor-inspect: cannot open %s\n", request.file.c_str());
        return 1;
    }
    const std::string json = ReportJson(report);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
