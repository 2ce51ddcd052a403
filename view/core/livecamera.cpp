#include "livecamera.h"

#include <cmath>

namespace {

ScenePoint Scaled(const ScenePoint &a, double k) {
    return {a.x * k, a.y * k, a.z * k};
}
ScenePoint Plus(const ScenePoint &a, const ScenePoint &b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
double Dot(const ScenePoint &a, const ScenePoint &b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
ScenePoint Cross(const ScenePoint &a, const ScenePoint &b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
ScenePoint Unit(const ScenePoint &a) {
    const double n = std::sqrt(Dot(a, a));
    return n > 0.0 ? Scaled(a, 1.0 / n) : ScenePoint{};
}

constexpr double kDegrees = 3.14159265358979323846 / 180.0;

} // namespace

OrbitFrame OrbitFrameAt(const ScenePoint &position, const ScenePoint &velocity) {
    OrbitFrame f;
    f.up = Unit(position);
    f.starboard = Unit(Cross(velocity, f.up));
    // No orbit to go by (no position, no motion across the radial, not a number):
    // the fixed view from space, from -z with +y up.
    if (!(Dot(f.up, f.up) > 0.5 && Dot(f.starboard, f.starboard) > 0.5))
        return {{-1.0, 0.0, 0.0}, {0.0, 0.0, -1.0}, {0.0, -1.0, 0.0}};
    f.forward = Cross(f.up, f.starboard);
    return f;
}

std::array<double, 16> StationAttitudeMatrix(const ScenePoint &position, const ScenePoint &velocity) {
    const OrbitFrame f = OrbitFrameAt(position, velocity);
    // The list's x, y and z axes: the file's x (starboard), z (up) and -y (aft).
    return {f.starboard.x, f.starboard.y, f.starboard.z, 0.0, f.up.x,     f.up.y,     f.up.z,     0.0,
            -f.forward.x,  -f.forward.y,  -f.forward.z,  0.0, position.x, position.y, position.z, 1.0};
}

CameraPose LiveSpaceCamera(const ScenePoint &position, const ScenePoint &velocity, double distance,
                           float spinAngle, float tiltAngle) {
    const OrbitFrame f = OrbitFrameAt(position, velocity);
    const ScenePoint normal = Scaled(f.starboard, -1.0);
    // The spin swings the eye back along the track, so the globe follows the mouse
    // sideways; the tilt then swings it towards the starboard side, the picture's bottom.
    const double spin = (spinAngle - 45.0) * kDegrees, tilt = (tiltAngle - 45.0) * kDegrees;
    const ScenePoint level = Plus(Scaled(f.up, std::cos(spin)), Scaled(f.forward, -std::sin(spin)));
    const ScenePoint toEye = Plus(Scaled(level, std::cos(tilt)), Scaled(normal, -std::sin(tilt)));
    CameraPose pose;
    pose.eye = Scaled(toEye, distance);
    pose.up = Plus(Scaled(normal, std::cos(tilt)), Scaled(level, std::sin(tilt)));
    return pose;
}

double LiveSpaceSceneScale(const ScenePoint &station, double eyeDistance) {
    // A tenth of the eye's distance between the eye and the station: as near as the
    // lowest orbits come with the camera zoomed all the way in.
    const double farthest = 0.9 * eyeDistance, r = std::sqrt(Dot(station, station));
    return std::isfinite(r) && r > farthest ? farthest / r : 1.0;
}
