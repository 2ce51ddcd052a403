#pragma once
// What the "From Here" picture holds, free of GL: the sky's light, and the
// stars, the Sun, the Moon, the station and its pass's minute ticks at their
// pixels, sized and shaded as they are to be drawn.
#include "../../orbit/sky.h"
#include "skyview.h"

#include <string>
#include <vector>

// The station as seen from the place.
struct StationInSky {
    bool placed = false; // the elements give a position
    double azimuth = 0, elevation = 0, rangeKm = 0;
    bool sunlit = false;
};

// One minute of the pass along its track, to be ticked and labelled.
struct SkyTrackTick {
    double azimuth = 0, elevation = 0;
    std::string label; // "21:34", local time
    bool visible = false;
};

struct SkyMark {
    enum class Kind { Star, Sun, Moon, Station, TrackTick } kind = Kind::Star;
    double x = 0, y = 0;    // pixel, from the top-left corner
    double radiusPx = 1;    // as drawn
    float brightness = 1;   // 0 to 1
    std::string label;      // a tick's time
    double litFraction = 1; // the Moon's phase
    double sunwardDeg = 0;  // the Moon: the picture angle (counter-clockwise from the right) towards the Sun
};

struct SkyPicture {
    SkyLight light = SkyLight::Night;
    double sunElevation = 0;
    double stationMagnitude = 0; // NaN when it is not to be seen (shadow, or down)
    std::vector<SkyMark> marks;  // drawn in this order: stars, ticks, Moon, Sun, station
};

// The faintest star to be seen in a sky of that light (magnitude).
double FaintestStarFor(SkyLight light);

SkyPicture ComposeSky(const SkyAt &sky, const std::vector<CatalogueStar> &stars, const StationInSky &station,
                      const std::vector<SkyTrackTick> &track, const SkyLook &look, int width, int height);
