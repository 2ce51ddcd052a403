#pragma once
// One frame of the orbit scene: a simulation step, then the Earth, the station,
// the chaser and the text. The scene view draws with it on screen; tests and
// quor-inspect draw with it into an offscreen framebuffer.
#include <cstdint>
#include <functional>

class CQUORDoc;
class View;

struct SceneFrame {
    CQUORDoc *doc = nullptr;
    View *sender = nullptr;    // the drawing view, not told about its own update
    unsigned earthTexture = 0; // a texture of the current share group, or 0
    std::function<void()> makeCurrent;
    std::function<void()> swapBuffers;
    // Drag navigation of the "From Space" camera; these values give the plain view.
    float spinAngle = 45.0f;
    float tiltAngle = 45.0f;
    float zoom = 1.0f;
};

// The GL state every scene context starts with: depth test, clear values,
// colour-material mode, lighting. Colour material itself is switched on only
// inside the model's list.
void SetFixedSceneState(const float clearColor[3]);
// Replaces the projection with a perspective of the given vertical angle.
void SetSceneProjection(double fovy, float aspect, float nearPlane, float farPlane);

// Eye distance of the "From Space" camera for a zoom value: 12000 km at zoom 1,
// kept where the orbits stay in front of the eye and the Earth inside the far plane.
double SpaceEyeDistance(float zoom);

// Draws one frame and returns the scaled step it advanced the simulation by.
int64_t DrawSceneFrame(const SceneFrame &frame);

// Fixed values of the scene.
namespace scene {
constexpr double kSpaceEyeDistance = 12000.0;
constexpr double kIssCameraFactor = 1.22;
constexpr float kStationScale = 300.0f;
constexpr float kApproachStationScale = 30.0f;
constexpr int kFontHeight = 80;
} // namespace scene
