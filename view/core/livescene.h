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
// The elements in use; not ready until elements have been opened.
extern LiveOrbit g_liveOrbit;

// The wall-clock time now, UTC milliseconds since the epoch; replaceable for tests.
int64_t UtcNowMs();
void SetUtcNowSource(int64_t (*source)()); // nullptr restores the system clock
// Sets the live clock to now.
void ResetLiveClock();
// Moves the live clock on: the wall-clock time since it was last set (or since the
// factor changed) times the time factor. Returns how far it moved, in ms.
int64_t AdvanceLiveClock();

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
// Elements older than this at the shown time get a warning: their error grows by kilometres a day.
inline constexpr double kStaleElementsDays = 14.0;
