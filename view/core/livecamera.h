#pragma once
// Where the live orbit's station points and where the "From Space" camera
// looks from: geometry in scene coordinates, free of GL.
#include "orbitsim.h"

#include <array>

// The station's local orbital frame in the scene, all unit vectors: up away from
// the Earth's centre, forward along the track (the velocity without its radial
// part) and starboard, to the right of the way it goes (against the orbit's normal).
struct OrbitFrame {
    ScenePoint forward;
    ScenePoint up;
    ScenePoint starboard;
};
OrbitFrame OrbitFrameAt(const ScenePoint &position, const ScenePoint &velocity);

// The matrix (column-major, as glMultMatrixd takes it) that flies a model as the
// real station flies: the model's +Y (in its file) forward along the track, its +Z
// away from the Earth (so -Z, the Earth-facing side, down) and its +X to starboard.
// It applies to the model's display list, whose coordinates are the file's turned
// from z up to y up: file (x, y, z) is list (x, z, -y).
std::array<double, 16> StationAttitudeMatrix(const ScenePoint &position, const ScenePoint &velocity);

struct CameraPose {
    ScenePoint eye;
    ScenePoint centre;
    ScenePoint up;
};

// The "From Space" camera of the live orbit: `distance` from the Earth's centre on
// the station's side, looking at the centre, so that the station is seen in front of
// the globe. The orbit's normal is up, and the station flies to the right. Dragging
// turns the eye about the centre from there: the spin about the picture's vertical,
// the tilt about its horizontal, both in degrees from their starting 45.
CameraPose LiveSpaceCamera(const ScenePoint &position, const ScenePoint &velocity, double distance,
                           float spinAngle, float tiltAngle);

// How much the live scene is drawn smaller about the Earth's centre for a "From
// Space" eye `eyeDistance` from it, so that a station on a high orbit (above about
// 8,000 km) still flies in front of the eye rather than behind it, and the globe
// within the far plane: 1 for every orbit that already does.
double LiveSpaceSceneScale(const ScenePoint &station, double eyeDistance);
