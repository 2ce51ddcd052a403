#pragma once
// The live orbit as the scene and the panel show it: the program-wide live clock
// (UTC), real positions scaled onto the scene's Earth, the map turned by the
// sidereal time, and the texts of the clock line and the data panel.
#include "../../orbit/liveorbit.h"
#include "orbitsim.h"

#include <cstdint>
#include <string>
#include <vector>

// The live clock: UTC milliseconds since the epoch, 0 until live mode first runs.
extern int64_t g_liveUtcMs;
// The live clock's own time factor (the simulation keeps g_timeFactor): 1 after "Now".
extern float g_liveFactor;
// The elements in use; not ready until elements have been opened.
extern LiveOrbit g_liveOrbit;

// The wall-clock time now, UTC milliseconds since the epoch; replaceable for tests.
int64_t UtcNowMs();
void SetUtcNowSource(int64_t (*source)()); // nullptr restores the system clock
// Milliseconds since boot, suspend included, in 64 bits; replaceable for tests.
int64_t ElapsedMs();
void SetElapsedMsSource(int64_t (*source)()); // nullptr restores the system clock
// "Now": the live clock shows the system's UTC again, at factor 1.
void ResetLiveClock();
// A moment the user chose: the clock runs on from there at the current factor.
void SetLiveClock(int64_t utcMs);
// Moves the live clock on. At factor 1 it keeps its distance to the system's UTC,
// read each frame, so a step of the system clock is followed; at other factors it
// runs the elapsed time since it was last set (or the factor changed) times the
// factor. Returns how far it moved, in ms.
int64_t AdvanceLiveClock();
// How far the live clock was ahead of the system's UTC (negative: behind) when it last moved.
int64_t LiveClockAheadMs();

// The shown time counts as the real time at factor 1 and less than a second off.
bool ShowsRealTime(float factor, int64_t aheadMs);
// A span of time as the panel says it: "45 s", "14 min", "2 h 14 min", "3 days 4 h".
std::string FormatSpan(int64_t ms);
// The panel's lines on a shown time that is not the real time, e.g.
// "Shown time: 30 x real time", "  2 h 14 min ahead"; none at real time.
std::vector<std::string> ShownTimePanelLines(float factor, int64_t aheadMs);
// The same at a glance after the scene's clock line, e.g. "  [30x, +2h14m]"; empty at real time.
std::string ShownTimeSceneMarker(float factor, int64_t aheadMs);

// Scene kilometres for TEME or Earth-fixed kilometres: the real Earth's radius
// becomes the scene's, and the polar axis goes to the scene's y.
ScenePoint ToScene(const double km[3]);
// The Earth angle (degrees) that puts the map's Greenwich meridian under the
// Earth-fixed x axis at that sidereal time (radians).
float EarthAngleForGmst(double gmst);

// "Time(GMT):  h:m:s a.m." on a twelve-hour clock, for a UTC moment.
std::string FormatUtcClockLine(int64_t utcMs);
// The UTC time of day of a moment, as hours (0-23), minutes and seconds.
void UtcTimeOfDay(int64_t utcMs, int &hours, int &minutes, int &seconds);
// The data panel in live mode: name, place, altitude, speed, light, elements' age.
std::vector<std::string> LivePanelLines(const OrbitalElements &elements, const LiveState &state,
                                        double elementsAgeDays);
