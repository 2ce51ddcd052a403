#include "skyscene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// The station's standard magnitude (1000 km, half lit), as the passes use.
constexpr double kStationStandardMagnitude = -1.8;

double Separation(double az1, double el1, double az2, double el2) {
    const double c = std::sin(el1 * kDegree) * std::sin(el2 * kDegree) +
                     std::cos(el1 * kDegree) * std::cos(el2 * kDegree) * std::cos((az1 - az2) * kDegree);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDegree;
}

// Pixels a degree spans at the picture's middle.
double PixelsPerDegree(const SkyLook &look, int height) {
    return (height / 2.0) / std::tan(look.fovDeg / 2.0 * kDegree) * kDegree;
}

bool Inside(double x, double y, double margin, int width, int height) {
    return x >= -margin && y >= -margin && x <= width + margin && y <= height + margin;
}

} // namespace

double FaintestStarFor(SkyLight light) {
    switch (light) {
    case SkyLight::Night:
        return 5.5;
    case SkyLight::AstronomicalTwilight:
        return 4.5;
    case SkyLight::NauticalTwilight:
        return 2.5;
    case SkyLight::CivilTwilight:
        return 0.0;
    case SkyLight::Day:
        break;
    }
    return -std::numeric_limits<double>::infinity();
}

SkyPicture ComposeSky(const SkyAt &sky, const std::vector<CatalogueStar> &stars, const StationInSky &station,
                      const std::vector<SkyTrackTick> &track, const SkyLook &look, int width, int height) {
    SkyPicture picture;
    const SkyBody sun = sky.Sun(), moon = sky.Moon();
    picture.sunElevation = sun.direction.elevation;
    picture.light = SkyLightFor(sun.direction.elevation);
    const double faintest = FaintestStarFor(picture.light);
    const double perDegree = PixelsPerDegree(look, height);
    double x = 0, y = 0;
    for (const CatalogueStar &star : stars) {
        if (star.magnitude > faintest)
            continue;
        const SkyDirection d = sky.Star(star);
        // The ground hides what is below the horizon.
        if (d.elevation < 0.0 || !ProjectSky(look, width, height, d.azimuth, d.elevation, x, y) ||
            !Inside(x, y, 4.0, width, height))
            continue;
        SkyMark mark;
        mark.kind = SkyMark::Kind::Star;
        mark.x = x;
        mark.y = y;
        // Each magnitude a step smaller and dimmer, the brightest a few pixels across.
        mark.radiusPx = std::clamp(2.6 - 0.35 * star.magnitude, 0.7, 3.5);
        mark.brightness = static_cast<float>(std::clamp(1.0 - 0.14 * (star.magnitude + 1.5), 0.25, 1.0));
        picture.marks.push_back(mark);
    }
    for (const SkyTrackTick &tick : track) {
        if (!ProjectSky(look, width, height, tick.azimuth, tick.elevation, x, y) || !Inside(x, y, 40.0, width, height))
            continue;
        SkyMark mark;
        mark.kind = SkyMark::Kind::TrackTick;
        mark.x = x;
        mark.y = y;
        mark.radiusPx = 3.0;
        mark.brightness = tick.visible ? 1.0f : 0.45f;
        mark.label = tick.label;
        picture.marks.push_back(mark);
    }
    const auto body = [&](const SkyBody &b, SkyMark::Kind kind) {
        if (b.direction.elevation < -b.radiusDeg || !ProjectSky(look, width, height, b.direction.azimuth, b.direction.elevation, x, y))
            return;
        SkyMark mark;
        mark.kind = kind;
        mark.x = x;
        mark.y = y;
        // The true size once zoomed in; never smaller than a few pixels.
        mark.radiusPx = std::max(3.0, b.radiusDeg * perDegree);
        if (!Inside(x, y, mark.radiusPx, width, height))
            return;
        if (kind == SkyMark::Kind::Moon) {
            mark.litFraction = sky.MoonIlluminated();
            double sx = 0, sy = 0;
            // Towards the Sun along the sky: a point a little way along the great circle.
            const double sep = Separation(b.direction.azimuth, b.direction.elevation, sun.direction.azimuth,
                                          sun.direction.elevation);
            const double t = std::min(1.0, 2.0 / std::max(sep, 1e-6));
            const double az = b.direction.azimuth +
                              t * std::remainder(sun.direction.azimuth - b.direction.azimuth, 360.0);
            const double el = b.direction.elevation + t * (sun.direction.elevation - b.direction.elevation);
            if (ProjectSky(look, width, height, az, el, sx, sy))
                mark.sunwardDeg = std::atan2(-(sy - y), sx - x) / kDegree;
        }
        picture.marks.push_back(mark);
    };
    body(moon, SkyMark::Kind::Moon);
    body(sun, SkyMark::Kind::Sun);

    picture.stationMagnitude = std::numeric_limits<double>::quiet_NaN();
    if (station.placed && ProjectSky(look, width, height, station.azimuth, station.elevation, x, y) &&
        Inside(x, y, 4.0, width, height) && station.elevation >= 0.0) {
        SkyMark mark;
        mark.kind = SkyMark::Kind::Station;
        mark.x = x;
        mark.y = y;
        if (station.sunlit && station.rangeKm > 0.0) {
            // From the station the Sun lies where it does from here; the place lies back along the sight line.
            const double phase = 180.0 - Separation(station.azimuth, station.elevation, sun.direction.azimuth,
                                                    sun.direction.elevation);
            picture.stationMagnitude = SatelliteMagnitude(kStationStandardMagnitude, station.rangeKm, phase);
            mark.radiusPx = std::clamp(2.6 - 0.35 * picture.stationMagnitude, 1.5, 4.0);
            mark.brightness = 1.0f;
        } else {
            mark.radiusPx = 1.5;
            mark.brightness = 0.15f; // in the Earth's shadow: dark, only just marked
        }
        picture.marks.push_back(mark);
    }
    return picture;
}
