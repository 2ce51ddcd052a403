#pragma once
// The plain way to find the station's close approaches to the Sun and the Moon:
// the separation every second, the Sun and the Moon placed by ERFA at each of
// those seconds while the station is up, each minimum below the threshold taken
// from a parabola through the squared separations of its sample and the two
// either side. A reference for the transit search, in the tests and the
// benchmark.
#include "orbit/astro.h"
#include "orbit/elements.h"
#include "orbit/observer.h"
#include "orbit/sgp4.h"
#include "orbit/sky.h"
#include "orbit/transits.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

struct ReferenceApproach {
    TransitBody body = TransitBody::Sun;
    double jd = 0;         // UTC
    double separation = 0; // degrees
    double radius = 0;     // degrees, at the nearest second
    bool interior = true;  // false where the minimum is the first or last second either is up
};

inline std::vector<ReferenceApproach> ReferenceApproaches(Sgp4 &propagator, const ObserverPlace &place,
                                                          double startJd, double endJd, double within) {
    constexpr double kDegree = std::numbers::pi / 180.0;
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    const double epochJd = EpochJulianDate(propagator.Elements());
    const long long startMs = UnixMsFromJulianDate(startJd);
    const long long seconds = static_cast<long long>((endJd - startJd) * 86400.0);
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<ReferenceApproach> found;
    // Per body: the last two separations of the current run (infinite before it)
    // and the radius and time of the last.
    double before[2] = {inf, inf}, last[2] = {inf, inf}, lastRadius[2] = {0, 0}, lastJd[2] = {0, 0};
    auto close = [&](int k, double nextS) {
        const double s0 = before[k], s1 = last[k], s2 = nextS;
        if (!(s1 <= s0 && s1 <= s2 && s1 < within + 2.0))
            return;
        ReferenceApproach approach;
        approach.body = k == 0 ? TransitBody::Sun : TransitBody::Moon;
        approach.radius = lastRadius[k];
        approach.jd = lastJd[k];
        approach.separation = s1;
        approach.interior = std::isfinite(s0) && std::isfinite(s2);
        if (approach.interior) {
            const double y0 = s0 * s0, y1 = s1 * s1, y2 = s2 * s2;
            const double curvature = y0 - 2.0 * y1 + y2;
            if (curvature > 0) {
                approach.jd += (y0 - y2) / (2.0 * curvature) / 86400.0;
                approach.separation =
                    std::sqrt(std::fmax(0.0, y1 - (y0 - y2) * (y0 - y2) / (8.0 * curvature)));
            }
        }
        if (approach.separation < within)
            found.push_back(approach);
    };
    for (long long i = 0; i <= seconds; ++i) {
        const long long ms = startMs + i * 1000;
        const double jd = JulianDateFromUnixMs(ms);
        double position[3], velocity[3], fixed[3];
        double s[2] = {inf, inf}, radius[2] = {0, 0};
        if (propagator.Propagate((jd - epochJd) * 1440.0, position, velocity) == 0) {
            TemeToEcef(position, Gmst(jd), fixed);
            double d[3], enu[3] = {0, 0, 0};
            for (int j = 0; j < 3; ++j)
                d[j] = fixed[j] - observer.ecef[j];
            for (int j = 0; j < 3; ++j) {
                enu[0] += d[j] * observer.east[j];
                enu[1] += d[j] * observer.north[j];
                enu[2] += d[j] * observer.up[j];
            }
            if (enu[2] > 0) {
                const SkyAt sky(place, ms);
                const SkyBody bodies[2] = {sky.Sun(), sky.Moon()};
                const double range = std::sqrt(enu[0] * enu[0] + enu[1] * enu[1] + enu[2] * enu[2]);
                for (int k = 0; k < 2; ++k) {
                    if (bodies[k].direction.elevation <= 0)
                        continue;
                    const double a = bodies[k].direction.azimuth * kDegree;
                    const double e = bodies[k].direction.elevation * kDegree;
                    const double b[3] = {std::cos(e) * std::sin(a), std::cos(e) * std::cos(a), std::sin(e)};
                    const double cosine = (enu[0] * b[0] + enu[1] * b[1] + enu[2] * b[2]) / range;
                    const double cross[3] = {enu[1] * b[2] - enu[2] * b[1], enu[2] * b[0] - enu[0] * b[2],
                                             enu[0] * b[1] - enu[1] * b[0]};
                    const double sine =
                        std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]) / range;
                    s[k] = std::atan2(sine, cosine) / kDegree;
                    radius[k] = bodies[k].radiusDeg;
                }
            }
        }
        for (int k = 0; k < 2; ++k) {
            if (std::isfinite(last[k]))
                close(k, s[k]);
            before[k] = last[k];
            last[k] = s[k];
            lastRadius[k] = radius[k];
            lastJd[k] = jd;
        }
    }
    for (int k = 0; k < 2; ++k)
        if (std::isfinite(last[k]))
            close(k, inf);
    std::stable_sort(found.begin(), found.end(),
                     [](const ReferenceApproach &a, const ReferenceApproach &b) { return a.jd < b.jd; });
    return found;
}
