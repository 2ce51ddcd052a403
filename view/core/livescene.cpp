#include "livescene.h"

#include <chrono>
#include <cmath>
#include <cstdio>

int64_t g_liveUtcMs = 0;
LiveOrbit g_liveOrbit;

namespace {

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t (*g_utcSource)() = SystemUtcMs;
// Where the live clock last started running: its time, the wall clock then, the factor.
struct LiveAnchor {
    int64_t utc = 0;
    uint32_t wall = 0;
    float factor = 0.0f;
} g_anchor;
int64_t g_liveShown = 0; // the time the clock last gave

// The real Earth's equatorial radius (WGS-84), onto which the scene's is mapped.
constexpr double kEarthRadiusKm = 6378.137;

std::string Printed(const char *format, double a, double b = 0.0) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

} // namespace

int64_t UtcNowMs() {
    return g_utcSource();
}

void SetUtcNowSource(int64_t (*source)()) {
    g_utcSource = source ? source : SystemUtcMs;
}

void ResetLiveClock() {
    g_liveUtcMs = UtcNowMs();
}

int64_t AdvanceLiveClock() {
    if (g_liveUtcMs == 0)
        ResetLiveClock();
    const uint32_t now = MillisecondClock();
    // Set from outside ("Now", a chosen moment) or a new time factor: the clock runs on from there.
    if (g_liveUtcMs != g_liveShown || g_timeFactor != g_anchor.factor)
        g_anchor = {g_liveUtcMs, now, g_timeFactor};
    // Derived from the wall-clock time since then, not summed frame by frame, so that
    // slow frames lose no time: at a factor of 1 the clock stays with UTC.
    const double run = static_cast<double>(now - g_anchor.wall) * static_cast<double>(g_anchor.factor);
    const int64_t next = g_anchor.utc + (std::fabs(run) < 9.0e18 ? std::llround(run) : 0);
    const int64_t step = next - g_liveUtcMs;
    g_liveUtcMs = g_liveShown = next;
    return step;
}

ScenePoint ToScene(const double km[3]) {
    const double k = g_earthRadius / kEarthRadiusKm;
    // (x, y, z) to (y, z, x) is a turn, so the scene stays right-handed with north up.
    return {k * km[1], k * km[2], k * km[0]};
}

float EarthAngleForGmst(double gmst) {
    // The unturned map faces -z with Greenwich; the Earth-fixed x axis lies at
    // (sin θ, 0, cos θ) in the scene, half a turn on.
    double degrees = std::fmod(gmst * 180.0 / 3.14159265358979323846 + 180.0, 360.0);
    if (degrees < 0.0)
        degrees += 360.0;
    return static_cast<float>(degrees);
}

void UtcTimeOfDay(int64_t utcMs, int &hours, int &minutes, int &seconds) {
    const int64_t dayMs = 86400000;
    int64_t ms = utcMs % dayMs;
    if (ms < 0)
        ms += dayMs;
    const int inDay = static_cast<int>(ms / 1000);
    hours = inDay / 3600;
    minutes = inDay / 60 % 60;
    seconds = inDay % 60;
}

std::string FormatUtcClockLine(int64_t utcMs) {
    int hours = 0, minutes = 0, secs = 0;
    UtcTimeOfDay(utcMs, hours, minutes, secs);
    const int twelve = hours % 12 == 0 ? 12 : hours % 12;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Time(GMT):  %d:%d:%d %s", twelve, minutes, secs,
                  hours < 12 ? "a.m." : "p.m.");
    return buffer;
}

std::vector<std::string> LivePanelLines(const OrbitalElements &elements, const LiveState &state,
                                        double elementsAgeDays) {
    std::vector<std::string> lines;
    lines.push_back(DisplayName(elements) + " (" + std::to_string(elements.catalogNumber) + ")");
    if (state.error != 0) {
        lines.push_back("No position: " + std::string(Sgp4::ErrorText(state.error)));
        return lines;
    }
    // Far ahead of the shown time (a two-digit year read in the wrong century, say),
    // the propagator runs backwards for years and its place is nonsense.
    if (-elementsAgeDays > kStaleElementsDays) {
        lines.push_back(Printed("No position: the elements lie %.1f days in the future", -elementsAgeDays));
        return lines;
    }
    lines.push_back(Printed("Speed: %.0f m/sec", state.speed * 1000.0));
    lines.push_back(Printed("Altitude: %.1f km", state.place.altitude));
    const double lon = state.place.longitude, lat = state.place.latitude;
    lines.push_back(
        Printed(lon >= 0.0 ? "Longitude: %.2f DEG East" : "Longitude: %.2f DEG West", std::fabs(lon)));
    lines.push_back(
        Printed(lat >= 0.0 ? "Latitude: %.2f DEG North" : "Latitude: %.2f DEG South", std::fabs(lat)));
    lines.push_back(state.sunlit ? "In sunlight" : "In the Earth's shadow");
    if (elementsAgeDays < 0.0)
        lines.push_back(Printed("Elements lie %.1f days in the future", -elementsAgeDays));
    else
        lines.push_back(Printed("Elements: %.1f days old", elementsAgeDays));
    if (elementsAgeDays > kStaleElementsDays)
        lines.push_back("Warning: elements over 14 days old; the position may be off by many km");
    return lines;
}
