#pragma once
// Passes of a satellite over an observer: when it rises above a minimum
// elevation, culminates and sets again, and which part of the pass can be seen
// (the satellite sunlit while the observer's sky is dark). UTC Julian dates in
// and out; the caller turns them into local time.
#include "observer.h"
#include "sgp4.h"

#include <string>
#include <vector>

struct PassPoint {
    double jd = 0;        // UTC Julian date
    double azimuth = 0;   // degrees from north through east
    double elevation = 0; // degrees, geometric
};

struct Pass {
    PassPoint rise, culmination, set;
    double duration = 0; // seconds from rise to set
    bool visible = false;
    // The visible part (meaningful when `visible`): where it starts and ends, and
    // its highest elevation; with two visible stretches in one pass (in and out
    // of a short shadow), the one that climbs higher.
    PassPoint visibleStart, visibleEnd;
    double visibleMaxElevation = 0;
    double magnitude = 0;  // estimate at the visible part's highest point; NaN when not visible
    double range = 0;      // km, at that point
    double phaseAngle = 0; // degrees, Sun-satellite-observer, at that point
};

struct PassSearch {
    double startJd = 0;              // UTC; a pass already up at the start is listed whole
    double endJd = 0;                // passes that rise after this are left out
    double minElevation = 10;        // degrees: rise and set are the crossings of this
    double twilight = 6;             // degrees the Sun must be below the horizon for a dark sky
    double standardMagnitude = -1.8; // at 1000 km, half lit (phase angle 90 degrees)
};

struct PassList {
    std::vector<Pass> passes; // in time order
    // Empty when the search was made. Otherwise why it could not be, for a person
    // ("the elements lie 30.5 days in the future"), and `passes` is empty: the
    // search starts more than kStaleElementsDays before the elements' epoch, spans
    // no finite time or more than a year, or somewhere in it the propagator fails
    // (decay, elements out of range), its track jumps or its velocities contradict
    // its positions, so that no pass found could be trusted.
    std::string reason;
};

// The passes in the search's span; every one climbs above the minimum elevation,
// rising and setting across it (or cut where followed a day past the span).
// A span that is empty or runs backwards holds no pass and is no failure.
PassList FindPasses(Sgp4 &propagator, const Observer &observer, const PassSearch &search);

// "2024-02-15 13:24 UTC": a moment in a reason given to a person.
std::string UtcMinuteText(double jd);

// The magnitude of a diffusely reflecting sphere of standard magnitude `standard`
// (at 1000 km and phase angle 90 degrees) seen at `rangeKm` and `phaseDeg`.
double SatelliteMagnitude(double standard, double rangeKm, double phaseDeg);

// The coarse step of the search, seconds: short enough that each interval holds
// at most one turn of the elevation, from the orbit's period and eccentricity.
double PassSearchStep(double periodMinutes, double eccentricity);
