#include "skyview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

float Mix(float a, float b, double t) {
    return static_cast<float>(a + (b - a) * std::clamp(t, 0.0, 1.0));
}

SkyColour Mix(const SkyColour &a, const SkyColour &b, double t) {
    return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)};
}

// The zenith's colour at a few heights of the Sun, between which it is mixed.
struct Stop {
    double sunElevation;
    SkyColour zenith;
};
constexpr Stop kStops[] = {
    {-18.0, {0.00f, 0.00f, 0.01f}}, // night
    {-12.0, {0.01f, 0.02f, 0.06f}}, // astronomical twilight
    {-6.0, {0.04f, 0.08f, 0.22f}},  // nautical twilight
    {0.0, {0.20f, 0.35f, 0.62f}},   // civil twilight ends at sunrise
    {10.0, {0.25f, 0.48f, 0.85f}},  // day
};

double Wrap(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0.0 ? degrees + 360.0 : degrees;
}

} // namespace

SkyLight SkyLightFor(double sunElevationDeg) {
    if (sunElevationDeg >= -0.833) // the upper limb on the horizon, as almanacs count sunrise
        return SkyLight::Day;
    if (sunElevationDeg >= -6.0)
        return SkyLight::CivilTwilight;
    if (sunElevationDeg >= -12.0)
        return SkyLight::NauticalTwilight;
    if (sunElevationDeg >= -18.0)
        return SkyLight::AstronomicalTwilight;
    return SkyLight::Night;
}

SkyColour SkyColourAt(double sunElevationDeg, double fromSunDeg, double elevationDeg) {
    SkyColour zenith = kStops[0].zenith;
    for (size_t i = 1; i < std::size(kStops); ++i) {
        if (sunElevationDeg >= kStops[i - 1].sunElevation)
            zenith = Mix(kStops[i - 1].zenith, kStops[i].zenith,
                         (sunElevationDeg - kStops[i - 1].sunElevation) /
                             (kStops[i].sunElevation - kStops[i - 1].sunElevation));
    }
    // Near the horizon the sky is paler; towards a low Sun it glows warm.
    const double low = 1.0 - std::clamp(elevationDeg / 30.0, 0.0, 1.0);
    const double light = std::clamp((sunElevationDeg + 18.0) / 28.0, 0.0, 1.0); // 0 at night
    SkyColour colour = Mix(zenith, Mix(zenith, SkyColour{0.75f, 0.82f, 0.92f}, light), low * 0.5);
    const double nearSun = std::exp(-fromSunDeg / 35.0);
    const double lowSun = std::clamp(1.0 - std::fabs(sunElevationDeg + 3.0) / 12.0, 0.0, 1.0);
    colour = Mix(colour, SkyColour{1.0f, 0.62f, 0.30f}, nearSun * lowSun * low * 0.8);
    colour = Mix(colour, SkyColour{1.0f, 1.0f, 0.95f}, nearSun * nearSun * light * 0.35);
    return colour;
}

double ZoomedFov(double fovDeg, double steps) {
    return std::clamp(fovDeg * std::pow(0.8, steps), kNarrowestFovDeg, kWidestFovDeg);
}

SkyLook DraggedLook(const SkyLook &look, double dx, double dy, int height) {
    SkyLook moved = look;
    // Degrees a pixel spans at the picture's middle, where the pointer is looked at.
    const double perPixel = 2.0 * std::tan(look.fovDeg / 2.0 * kDegree) / std::max(1, height) / kDegree;
    // The sky stays under the pointer: dragging right brings what was on the left.
    const double cosEl = std::max(0.05, std::cos(look.elevation * kDegree));
    moved.azimuth = Wrap(look.azimuth - dx * perPixel / cosEl);
    moved.elevation = std::clamp(look.elevation + dy * perPixel, -90.0, 90.0);
    return moved;
}

bool ProjectSky(const SkyLook &look, int width, int height, double azimuthDeg, double elevationDeg, double &x,
                double &y) {
    // The direction in the camera's frame: forward along the look, right, and up.
    const auto unit = [](double az, double el) {
        return std::array<double, 3>{std::cos(el * kDegree) * std::sin(az * kDegree),
                                     std::cos(el * kDegree) * std::cos(az * kDegree), std::sin(el * kDegree)};
    };
    const auto d = unit(azimuthDeg, elevationDeg);
    const auto f = unit(look.azimuth, look.elevation);
    // Right: horizontal, 90 degrees clockwise of the look; up completes the frame.
    const std::array<double, 3> r{std::cos(look.azimuth * kDegree), -std::sin(look.azimuth * kDegree), 0.0};
    const std::array<double, 3> u{r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2], r[0] * f[1] - r[1] * f[0]};
    const double df = d[0] * f[0] + d[1] * f[1] + d[2] * f[2];
    if (df <= 1e-9)
        return false;
    const double dr = d[0] * r[0] + d[1] * r[1] + d[2] * r[2];
    const double du = d[0] * u[0] + d[1] * u[1] + d[2] * u[2];
    const double scale = (height / 2.0) / std::tan(look.fovDeg / 2.0 * kDegree);
    x = width / 2.0 + scale * dr / df;
    y = height / 2.0 - scale * du / df;
    return true;
}

void UnprojectSky(const SkyLook &look, int width, int height, double x, double y, double &azimuthDeg,
                  double &elevationDeg) {
    const double ca = std::cos(look.azimuth * kDegree), sa = std::sin(look.azimuth * kDegree);
    const double ce = std::cos(look.elevation * kDegree), se = std::sin(look.elevation * kDegree);
    const std::array<double, 3> f{ce * sa, ce * ca, se}, r{ca, -sa, 0.0};
    const std::array<double, 3> u{r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2], r[0] * f[1] - r[1] * f[0]};
    const double scale = (height / 2.0) / std::tan(look.fovDeg / 2.0 * kDegree);
    const double a = (x - width / 2.0) / scale, b = -(y - height / 2.0) / scale;
    double d[3];
    for (int i = 0; i < 3; ++i)
        d[i] = f[i] + a * r[i] + b * u[i];
    const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    azimuthDeg = Wrap(std::atan2(d[0], d[1]) / kDegree);
    elevationDeg = std::asin(std::clamp(d[2] / n, -1.0, 1.0)) / kDegree;
}

SkyLook FollowLook(bool stationUp, double stationAzimuth, double stationElevation, const Pass *next,
                   double fovDeg) {
    SkyLook look;
    look.fovDeg = fovDeg;
    if (stationUp) {
        look.azimuth = stationAzimuth;
        look.elevation = stationElevation;
    } else if (next) {
        look.azimuth = next->rise.azimuth;
        look.elevation = 10.0;
    }
    return look;
}

std::vector<HorizonMark> HorizonMarks() {
    static const char *const kNames[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    std::vector<HorizonMark> marks;
    for (int i = 0; i < 8; ++i)
        marks.push_back({45.0 * i, kNames[i]});
    return marks;
}
