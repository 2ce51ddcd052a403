#include "livescene.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// The real Earth's equatorial radius, onto which the scene's is mapped.
constexpr double kEarthRadiusKm = kEarthEquatorialRadiusKm;

std::string Printed(const char *format, double a, double b = 0.0) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

} // namespace

bool ShowsRealTime(float factor, int64_t aheadMs, bool paused) {
    return !paused && factor == 1.0f && aheadMs > -1000 && aheadMs < 1000;
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

std::vector<std::string> ShownTimePanelLines(float factor, int64_t aheadMs, bool paused) {
    if (ShowsRealTime(factor, aheadMs, paused))
        return {};
    const bool off = aheadMs <= -1000 || aheadMs >= 1000;
    const std::string span = FormatSpan(aheadMs) + (aheadMs > 0 ? " ahead" : " behind");
    if (paused) {
        std::vector<std::string> lines{"Shown time: paused (Timer > Start / Stop)"};
        if (off)
            lines.push_back("  " + span);
        return lines;
    }
    if (factor == 1.0f)
        return {"Shown time: " + span};
    // Two short lines: the panel is narrow.
    std::vector<std::string> lines{"Shown time: " + FactorText(factor) + " \u00d7 real time"};
    if (off)
        lines.push_back("  " + span);
    return lines;
}

std::string ShownTimeSceneMarker(float factor, int64_t aheadMs, bool paused) {
    if (ShowsRealTime(factor, aheadMs, paused))
        return {};
    std::string marker = "  [";
    // Paused, the speed it would run at says nothing.
    const bool showFactor = paused || factor != 1.0f;
    if (paused)
        marker += "paused";
    else if (factor != 1.0f)
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
        marker += std::string(showFactor ? ", " : "") + (aheadMs > 0 ? "+" : "-") + buffer;
    }
    return marker + "]";
}

std::vector<std::string> ShownTimePanelLines(const ClockReading &clock) {
    return ShownTimePanelLines(clock.factor, clock.aheadMs, clock.paused);
}

std::string ShownTimeSceneMarker(const ClockReading &clock) {
    return ShownTimeSceneMarker(clock.factor, clock.aheadMs, clock.paused);
}

bool HasPosition(const LiveState &state) {
    return state.error == 0 && std::fabs(state.minutes) <= kStaleElementsDays * 1440.0;
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

namespace {

// "8 Dec 2026": the day of a Julian date, UTC.
std::string DayText(double jd) {
    const time_t t = static_cast<time_t>(std::floor((jd - 2440587.5) * 86400.0));
    tm parts{};
    char buffer[32] = "";
    if (gmtime_r(&t, &parts))
        std::strftime(buffer, sizeof buffer, "%e %b %Y", &parts);
    const std::string text = buffer;
    return text.empty() || text[0] != ' ' ? text : text.substr(1);
}

} // namespace

std::vector<std::string> LivePanelLines(const OrbitalElements &elements, const LiveState &state) {
    std::vector<std::string> lines;
    lines.push_back(DisplayName(elements) + " (" + std::to_string(elements.catalogNumber) + ")");
    const double ageDays = state.minutes / 1440.0;
    if (!HasPosition(state)) {
        // Short lines: the panel is narrow and does not wrap.
        const std::string day = DayText(EpochJulianDate(elements));
        lines.push_back("No position at the shown time.");
        // Far from the epoch that is the reason, whatever the propagator made of it.
        if (state.error == 0 || std::fabs(ageDays) > kStaleElementsDays) {
            lines.push_back("These elements describe the orbit");
            lines.push_back("around " + day + ": pick a time");
            lines.push_back("within " + Printed("%.0f", kStaleElementsDays) + " days of it, or update");
            lines.push_back("the elements.");
        } else {
            lines.push_back(state.error == Sgp4::kErrorDecayed ? "By then these elements have the"
                                             : "These elements give no orbit");
            lines.push_back(state.error == Sgp4::kErrorDecayed ? "station fall back to the Earth."
                                             : "at that time.");
            lines.push_back("Pick a time nearer " + day + ",");
            lines.push_back("or update the elements.");
        }
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
    if (ageDays < 0.0)
        lines.push_back(Printed("Elements lie %.1f days in the future", -ageDays));
    else
        lines.push_back(Printed("Elements: %.1f days old", ageDays));
    return lines;
}
