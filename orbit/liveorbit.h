#pragma once
// The real station where it is at a given moment: its elements propagated with
// SGP4, turned onto the rotating Earth, with the Sun's direction and whether the
// station sees it. One place for what the viewer, its panel and the inspector show.
#include "astro.h"
#include "elements.h"
#include "sgp4.h"

#include <array>
#include <vector>

struct LiveState {
    int error = 0;           // the propagator's error code; 0 when the state holds
    double minutes = 0;      // since the elements' epoch
    double position[3] = {}; // TEME, km
    double velocity[3] = {}; // TEME, km/s
    Geodetic place;          // WGS-84
    double speed = 0;        // km/s, inertial
    double sun[3] = {};      // unit vector towards the Sun, TEME
    bool sunlit = false;
    double gmst = 0; // radians
};

class LiveOrbit {
public:
    // False (with the propagator's error text) when the elements cannot be propagated.
    bool SetElements(const OrbitalElements &elements);
    bool Ready() const { return m_ready; }
    const OrbitalElements &Elements() const { return m_elements; }
    double EpochJulianDate() const { return m_epoch; }
    double PeriodMinutes() const;
    const char *ErrorText() const;

    LiveState At(double jdUtc);
    // The ground track: Earth-fixed positions (km) from half a period before the
    // moment to one period after, evenly spaced; points the propagator cannot give
    // are left out.
    std::vector<std::array<double, 3>> Track(double jdUtc, int points);
    // The same track of kTrackPoints, made again only when the moment has moved on
    // by more than a few seconds or the elements changed: it costs far more than a frame.
    const std::vector<std::array<double, 3>> &TrackNear(double jdUtc);
    // The station's own moment falls on a point, a third of the way along.
    static constexpr int kTrackPoints = 241;

private:
    Sgp4 m_sgp4;
    OrbitalElements m_elements;
    double m_epoch = 0;
    bool m_ready = false;
    std::vector<std::array<double, 3>> m_track;
    double m_trackJd = 0;
};
