#include "livescene.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

int64_t g_liveUtcMs = 0;
float g_liveFactor = 1.0f;
LiveOrbit g_liveOrbit;

namespace {

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t SystemElapsedMs() {
    timespec ts{};
    // Boot time keeps counting through suspend: a sped-up clock runs on across it.
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t (*g_utcSource)() = SystemUtcMs;
int64_t (*g_elapsedSource)() = SystemElapsedMs;

// Where the live clock last started running: its time, the system's UTC and the
// elapsed-time clock then, and the factor.
struct LiveAnchor {
    int64_t shown = 0;
    int64_t utc = 0;
    int64_t elapsed = 0;
    float factor = 0.0f;
} g_anchor;
int64_t g_liveShown = 0; // the time the clock last gave
int64_t g_aheadMs = 0;
// Set by "Now" and a chosen moment, with the time they wrote; a value written into
// g_liveUtcMs since then (or instead) counts as a chosen moment, 0 as "not started".
enum class Pending { None, Now, Moment } g_pending = Pending::None;
int64_t g_pendingUtc = 0;

// The real Earth's equatorial radius, onto which the scene's is mapped.
constexpr double kEarthRadiusKm = kEarthEquatorialRadiusKm;

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

int64_t ElapsedMs() {
    return g_elapsedSource();
}

void SetElapsedMsSource(int64_t (*source)()) {
    g_elapsedSource = source ? source : SystemElapsedMs;
}

void ResetLiveClock() {
    g_liveFactor = 1.0f;
    g_liveUtcMs = g_pendingUtc = UtcNowMs();
    g_pending = Pending::Now;
}

void SetLiveClock(int64_t utcMs) {
    g_liveUtcMs = g_pendingUtc = utcMs;
    g_pending = Pending::Moment;
}

int64_t AdvanceLiveClock() {
    const bool written = g_pending != Pending::None && g_liveUtcMs == g_pendingUtc;
    if (g_liveUtcMs == 0 && !(written && g_pending == Pending::Moment))
        ResetLiveClock();
    const int64_t utc = UtcNowMs(), elapsed = ElapsedMs();
    if (g_pending == Pending::Now && g_liveUtcMs == g_pendingUtc)
        g_anchor = {utc, utc, elapsed, g_liveFactor}; // exactly the system's time, no stray offset
    else if (g_pending != Pending::None || g_liveUtcMs != g_liveShown || g_liveFactor != g_anchor.factor)
        g_anchor = {g_liveUtcMs, utc, elapsed, g_liveFactor};
    g_pending = Pending::None;
    int64_t next = 0;
    if (g_anchor.factor == 1.0f) {
        next = utc + (g_anchor.shown - g_anchor.utc);
    } else {
        // From the elapsed time since the anchor, not summed frame by frame, so that
        // slow frames lose no time; 64 bits, so no wrap however long it runs.
        const double run =
            static_cast<double>(elapsed - g_anchor.elapsed) * static_cast<double>(g_anchor.factor);
        next = g_anchor.shown + (std::fabs(run) < 9.0e18 ? std::llround(run) : 0);
    }
    const int64_t step = next - g_liveUtcMs;
    g_liveUtcMs = g_liveShown = next;
    g_aheadMs = next - utc;
    return step;
}

int64_t LiveClockAheadMs() {
    return g_aheadMs;
}

bool ShowsRealTime(float factor, int64_t aheadMs) {
    return factor == 1.0f && aheadMs > -1000 && aheadMs < 1000;
}

namespace {

struct Span {
    int64_t days;
    int hours, minutes, seconds;
};

Span SpanOf(int64_t ms) {
    // Whole seconds towards zero, as a clock shows them.
    const int64_t s = (ms < 0 ? -(ms / 1000) : ms / 1000);
    return {s / 86400, static_cast<int>(s / 3600 % 24), static_cast<int>(s / 60 % 60),
            static_cast<int>(s % 60)};
}

std::string FactorText(float factor) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(factor));
    return buffer;
}

} // namespace

std::string FormatSpan(int64_t ms) {
    const Span t = SpanOf(ms);
    char buffer[64];
    if (t.days > 0)
        std::snprintf(buffer, sizeof buffer, "%lld %s %d h", static_cast<long long>(t.days),
                      t.days == 1 ? "day" : "days", t.hours);
    else if (t.hours > 0)
        std::snprintf(buffer, sizeof buffer, "%d h %d min", t.hours, t.minutes);
    else if (t.minutes > 0)
        std::snprintf(buffer, sizeof buffer, "%d min", t.minutes);
    else
        std::snprintf(buffer, sizeof buffer, "%d s", t.seconds);
    return buffer;
}

std::vector<std::string> ShownTimePanelLines(float factor, int64_t aheadMs) {
    if (ShowsRealTime(factor, aheadMs))
        return {};
    const bool off = aheadMs <= -1000 || aheadMs >= 1000;
    const std::string span = FormatSpan(aheadMs) + (aheadMs > 0 ? " ahead" : " behind");
    if (factor == 1.0f)
        return {"Shown time: " + span};
    // Two short lines: the panel is narrow.
    std::vector<std::string> lines{"Shown time: " + FactorText(factor) + " \u00d7 real time"};
    if (off)
        lines.push_back("  " + span);
    return lines;
}

std::string ShownTimeSceneMarker(float factor, int64_t aheadMs) {
    if (ShowsRealTime(factor, aheadMs))
        return {};
    std::string marker = "  [";
    if (factor != 1.0f)
        marker += FactorText(factor) + "x";
    if (aheadMs <= -1000 || aheadMs >= 1000) {
        const Span t = SpanOf(aheadMs);
        char buffer[48];
        if (t.days > 0)
            std::snprintf(buffer, sizeof buffer, "%lldd%dh", static_cast<long long>(t.days), t.hours);
        else if (t.hours > 0)
            std::snprintf(buffer, sizeof buffer, "%dh%02dm", t.hours, t.minutes);
        else if (t.minutes > 0)
            std::snprintf(buffer, sizeof buffer, "%dm", t.minutes);
        else
            std::snprintf(buffer, sizeof buffer, "%ds", t.seconds);
        marker += std::string(factor != 1.0f ? ", " : "") + (aheadMs > 0 ? "+" : "-") + buffer;
    }
    return marker + "]";
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
