#include "observerpanel.h"

#include "../../orbit/astro.h"
#include "livescene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>


namespace {

std::string Printed(const char *format, double value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

const Pass *NextPassFinder::Next(const OrbitalElements &elements, const ObserverPlace &place, double jdUtc) {
    const double epoch = EpochJulianDate(elements);
    const bool same = m_searched && epoch == m_epoch && elements.catalogNumber == m_catalogNumber &&
                      place.latitude == m_latitude && place.longitude == m_longitude &&
                      place.heightM == m_heightM && jdUtc >= m_from && jdUtc <= m_until;
    if (same)
        return m_found ? &m_pass : nullptr;
    m_searched = true;
    m_epoch = epoch;
    m_catalogNumber = elements.catalogNumber;
    m_latitude = place.latitude;
    m_longitude = place.longitude;
    m_heightM = place.heightM;
    m_from = jdUtc;
    m_found = false;
    m_reason.clear();
    ++m_searches;
    PassSearch search;
    search.startJd = jdUtc;
    search.endJd = jdUtc + kNextPassSearchDays;
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    if (m_sgp4.Init(elements)) {
        const PassList found = FindPasses(m_sgp4, observer, search);
        m_reason = found.reason;
        for (const Pass &pass : found.passes) {
            if (pass.set.jd >= jdUtc) {
                m_pass = pass;
                m_found = true;
                break;
            }
        }
    } else {
        m_reason = std::string("the elements cannot be propagated: ") + Sgp4::ErrorText(m_sgp4.Error());
    }
    // Without a pass, search again once half the span has gone by, so the horizon stays ahead.
    m_until = m_found ? m_pass.set.jd : jdUtc + kNextPassSearchDays / 2;
    return m_found ? &m_pass : nullptr;
}

std::string FormatLocalTime(int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(std::floor(utcMs / 1000.0));
    std::tm local{};
    if (!localtime_r(&seconds, &local))
        return "?";
    char text[64];
    if (std::strftime(text, sizeof text, "%d %b %H:%M:%S %Z", &local) == 0)
        return "?";
    return text;
}

std::vector<std::string> ObserverPanelLines(const ObserverPlace &place, const LiveState &state, double jdUtc,
                                            const Pass *next, const std::string &noSearch) {
    std::vector<std::string> lines;
    if (!place.set) {
        lines.push_back("Set a location (File > Set Location\u2026) to see where to look.");
        return lines;
    }
    if (state.error != 0)
        return lines;
    lines.push_back("From " + (place.name.empty() ? std::string("your location") : place.name) + ":");
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    const LookAngles look = Look(observer, state.position, state.velocity, state.gmst);
    lines.push_back(Printed("Azimuth: %.1f DEG ", look.azimuth) + CompassPoint(look.azimuth));
    lines.push_back(Printed("Elevation: %.1f DEG", look.elevation) +
                    (look.elevation < 0 ? " (below the horizon)" : ""));
    lines.push_back(Printed("Range: %.0f km", look.range));
    if (!next) {
        lines.push_back(noSearch.empty()
                            ? Printed("No pass in the next %.0f days", NextPassFinder::kNextPassSearchDays)
                            : "No passes: " + noSearch);
        return lines;
    }
    const std::string visible = next->visible ? ", visible" : "";
    if (next->rise.jd <= jdUtc)
        lines.push_back("Passing now, sets " + FormatLocalTime(UnixMsFromJulianDate(next->set.jd)) + visible);
    else
        lines.push_back("Next pass: " + FormatLocalTime(UnixMsFromJulianDate(next->rise.jd)) + visible);
    return lines;
}

std::vector<ScenePoint> ObserverMark(const ObserverPlace &place, double gmst, double radiusKm,
                                     int rimPoints) {
    // On the ellipsoid whatever the height, lifted as the ground track is, so the globe does not hide it.
    const Observer o = MakeObserver(place.latitude, place.longitude, 0.0);
    constexpr double kLiftKm = kEarthEquatorialRadiusKm * 0.004;
    const double c = std::cos(gmst), sn = std::sin(gmst);
    const auto toScene = [&](const double fixed[3]) {
        const double teme[3] = {c * fixed[0] - sn * fixed[1], sn * fixed[0] + c * fixed[1], fixed[2]};
        return ToScene(teme);
    };
    std::vector<ScenePoint> points;
    double centre[3];
    for (int k = 0; k < 3; ++k)
        centre[k] = o.ecef[k] + kLiftKm * o.up[k];
    points.push_back(toScene(centre));
    for (int i = 0; i <= rimPoints; ++i) {
        const double a = 2.0 * 3.14159265358979323846 * i / std::max(rimPoints, 1);
        double rim[3];
        for (int k = 0; k < 3; ++k)
            rim[k] = centre[k] + radiusKm * (std::cos(a) * o.east[k] + std::sin(a) * o.north[k]);
        points.push_back(toScene(rim));
    }
    return points;
}
