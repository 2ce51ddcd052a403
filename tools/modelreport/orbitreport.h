#pragma once
// quor-inspect --orbit: element sets propagated to given times and turned into
// what the live orbit shows (place over the map, speed, day or night), one JSON
// object per line. Pure core: no Qt, no GL, no display.
#include "orbit/place.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

struct OrbitRequest {
    std::string file;
    std::optional<int> satellite;       // catalogue number; every set of the file when absent
    std::optional<int64_t> atUnixMs;    // a UTC moment ...
    std::optional<double> startMinutes; // ... or minutes after each set's epoch
    int count = 1;
    double stepSeconds = 60;
    std::optional<ObserverPlace> observer; // adds the look angles from there
};

// quor-inspect --passes: the passes of one satellite over one observer.
struct PassesRequest {
    std::string file;
    std::optional<int> satellite; // catalogue number; the file's first set when absent
    ObserverPlace observer;
    int64_t fromUnixMs = 0;
    double days = 10;
    double minElevation = 10;
    double twilight = 6;
};

// quor-inspect --transits: the close approaches of one satellite to the Sun and
// the Moon seen from one place.
struct TransitsRequest {
    std::string file;
    std::optional<int> satellite; // catalogue number; the file's first set when absent
    ObserverPlace observer;
    int64_t fromUnixMs = 0;
    double days = 30;
};

// "YYYY-MM-DDTHH:MM:SS[.fff]Z" (a space may stand for the T, the Z may be left
// out) to milliseconds since 1970 UTC; false when it is no such time.
bool ParseUtc(const std::string &text, int64_t &unixMs);

// ISO 8601 with milliseconds and Z.
std::string FormatUtc(int64_t unixMs);

// Runs the request: JSON lines on `out`, reasons on `err`. Returns the exit
// status: 0, or 1 when the file cannot be read or holds no such satellite.
int RunOrbit(const OrbitRequest &request, std::FILE *out, std::FILE *err);

// One JSON object per pass, in time order, or a line on `err` saying there is
// none; the same exit status as RunOrbit, and 1 also when the propagator cannot
// start or no search can be made over the span (elements too far in the future,
// the propagator failing in it).
int RunPasses(const PassesRequest &request, std::FILE *out, std::FILE *err);

// One JSON object per approach within a degree, in time order, or a line on
// `err` saying there is none; exit status as RunPasses.
int RunTransits(const TransitsRequest &request, std::FILE *out, std::FILE *err);
