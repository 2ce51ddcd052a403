#pragma once
// One frame of the orbit scene: a simulation step, then the Earth, the station,
// the chaser and the text. The scene view draws with it on screen; tests and
// quor-inspect draw with it into an offscreen framebuffer.
#include "../orbit/liveclock.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CQUORDoc;
class LiveOrbit;
class View;
struct ObserverPlace;
struct Pass;
struct SkyLook;

// What a frame of the live orbit shows: the tracked orbits (the station's first),
// the clock's moment and how it runs, and the watcher's place. The frame reads
// them and moves nothing on.
struct LiveSceneInput {
    std::vector<LiveOrbit *> orbits;
    ClockReading clock;
    const ObserverPlace *place = nullptr; // none, or not set: no mark on the globe
    const Pass *pass = nullptr;           // the pass up at the clock's moment or the next, over the place
};

struct SceneFrame {
    CQUORDoc *doc = nullptr;
    View *sender = nullptr;    // the drawing view, not told about its own update
    unsigned earthTexture = 0; // a texture of the current share group, or 0
    std::function<void()> makeCurrent;
    std::function<void()> swapBuffers;
    // After the scene and before the text: an antialiased scene is resolved into
    // the picture here, so that the text is drawn as it is without antialiasing.
    std::function<void()> finishScene;
    // Drag navigation of the "From Space" camera; these values give the plain view.
    float spinAngle = 45.0f;
    float tiltAngle = 45.0f;
    float zoom = 1.0f;
    // Device pixels per logical pixel: text keeps its size on screen.
    double pixelRatio = 1.0;
    // A document showing the live orbit draws this when its station's elements are ready.
    const LiveSceneInput *live = nullptr;
    // The "From Here" camera's look (its field always; its direction unless following),
    // given back as drawn; none: following with the widest field.
    SkyLook *skyLook = nullptr;
    bool skyFollow = true;
};

// The three text lines of a frame.
struct SceneLines {
    std::string clock;
    std::string longitude;
    std::string fps;
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

// The text step of a frame, under its camera and in its viewport: builds the
// glyph lists and draws the three lines. From space they stand in the
// picture's corners; the other cameras place them at points of the scene.
// Returns the list base for DeleteFontLists (0: no text).
unsigned DrawSceneText(int mode, float longitude, int64_t scaledStep, double pixelRatio);

// The glyph height (character cell, device pixels) of the corner lines in a
// pane of that size: the full height when the widest line fits with margins,
// else the largest that fits; 0 when not even the smallest does.
int CornerTextHeight(const SceneLines &lines, int width, int height, double pixelRatio);
// Distance of the corner lines from the picture's edges, device pixels.
int TextMargin(double pixelRatio);

class ClientArraySink;
// Where model lists are drawn from: null (the default) calls the GL display
// list; a process that compiles its models into client arrays names that sink,
// and every list is then one of its.
void SetModelArraySink(const ClientArraySink *sink);

// Draws one frame and returns the scaled step it advanced the simulation by (a
// live frame: the step its clock last moved).
int64_t DrawSceneFrame(const SceneFrame &frame);

// Fixed values of the scene.
namespace scene {
constexpr double kSpaceEyeDistance = 12000.0;
constexpr double kIssCameraFactor = 1.22;
constexpr float kStationScale = 300.0f;
constexpr float kApproachStationScale = 30.0f;
constexpr int kFontHeight = 80;    // character cell, logical pixels
constexpr int kMinFontHeight = 12; // smaller corner text is not drawn
constexpr int kTextMargin = 8;
constexpr const char *kTextFace = "Arial";
} // namespace scene
