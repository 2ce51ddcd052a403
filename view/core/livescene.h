#pragma once
// The live orbit as the scene and the panel show it: real positions scaled onto
// the scene's Earth, the map turned by the sidereal time, and the texts of the
// clock line and the data panel.
#include "../../orbit/liveclock.h"
#include "../../orbit/liveorbit.h"
#include "orbitsim.h"

#include <cstdint>
#include <string>
#include <vector>

// The shown time counts as the real time running at factor 1 and less than a second off.
bool ShowsRealTime(float factor, int64_t aheadMs, bool paused = false);
// A span of time as the panel says it: "45 s", "14 min", "2 h 14 min", "3 days 4 h".
std::string FormatSpan(int64_t ms);
// The panel's lines on a shown time that is not the real time, e.g.
// "Shown time: 30 x real time", "  2 h 14 min ahead", or "Shown time: paused"; none at real time.
std::vector<std::string> ShownTimePanelLines(float factor, int64_t aheadMs, bool paused = false);
// The same at a glance after the scene's clock line, e.g. "  [30x, +2h14m]" or
// "  [paused, -5m]"; empty at real time.
std::string ShownTimeSceneMarker(float factor, int64_t aheadMs, bool paused = false);
std::vector<std::string> ShownTimePanelLines(const ClockReading &clock);
std::string ShownTimeSceneMarker(const ClockReading &clock);

// Whether the elements give the station's place in that state: the propagator
// gave one, no further than kStaleElementsDays from the elements' epoch. Beyond
// that the place is guesswork, and years away it is nonsense.
bool HasPosition(const LiveState &state);
// The scene's longitude line where there is no position.
inline constexpr const char *kNoLongitudeLine = "Longitude: --";

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
// The data panel in live mode: name, place, altitude, speed, light, elements' age;
// where there is no position, why and what to do, in a watcher's words.
std::vector<std::string> LivePanelLines(const OrbitalElements &elements, const LiveState &state);
