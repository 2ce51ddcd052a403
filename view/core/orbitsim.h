#pragma once
// The orbit simulation shared by every scene view: a simulated clock, the
// Earth's rotation and two circular orbits (station and chaser) in one plane.
// One step runs per drawn frame: AdvanceClock, ComputePositions, AdvanceOrbits.
#include <cstdint>

class CQUORDoc;
class View;

// A point in scene coordinates (km): Earth's centre at the origin, north on +y.
struct ScenePoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Constants of the model. g_pi is deliberately the ten-decimal value.
inline constexpr double g_pi = 3.1415926535;
inline constexpr float g_earthRadius = 5660.52f;
inline constexpr float g_gravity = 0.00981f;
inline constexpr double g_inclination = static_cast<double>(-51.6f);

// Set whenever a scene view is constructed (InitViewSimulation).
extern double g_sinIncl;
extern double g_cosIncl;

extern float g_timeFactor;       // simulated ms per wall-clock ms
extern uint32_t g_lastFrameTime; // millisecond clock at the previous step
extern int64_t g_scaledStep;     // simulated ms of the latest step
extern int g_clockHours;
extern int g_clockMinutes;
extern int g_clockSeconds;
extern int g_clockMillis;
extern float g_earthAngle; // degrees

extern double g_issAngle;  // degrees along the orbit
extern float g_issRadius;  // km
extern float g_issSpeed;   // km/s
extern double g_issPeriod; // ms
extern ScenePoint g_issPos;

extern float g_chaserAngle;
extern float g_chaserRadius;
extern float g_chaserSpeed;
extern double g_chaserPeriod;
extern ScenePoint g_chaserPos;

// Milliseconds since boot, wrapped to 32 bits.
uint32_t MillisecondClock();
// Replaces the clock MillisecondClock reads; nullptr restores the system clock.
void SetMillisecondClock(uint32_t (*clock)());

// Measures the wall-clock step since the previous call, scales it by the time
// factor, advances the clock and the Earth angle. Returns the scaled step (ms),
// also kept in g_scaledStep for AdvanceOrbits.
int64_t AdvanceClock();
// Positions of both vehicles from the previous step's radii and angles; writes
// latitude and longitude into the document and returns the longitude.
float ComputePositions(CQUORDoc *doc);
// Decays both speeds, recomputes radii and periods, writes altitude and speed,
// notifies the document's other views and moves both vehicles by g_scaledStep.
void AdvanceOrbits(CQUORDoc *doc, View *sender);

// What constructing a scene view does to the running simulation.
void InitViewSimulation();
// Back to the program-start state (the clock source is left alone).
void ResetOrbitSimulation();
