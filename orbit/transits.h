#pragma once
// Transits: the station passing close to the Sun's or the Moon's centre as seen
// from a place on the ground, and for one that crosses the disc, how long it
// takes and where to stand to see it cross the centre. UTC Julian dates in and
// out.
#include "place.h"
#include "sgp4.h"

#include <string>
#include <vector>

enum class TransitBody { Sun, Moon };
const char *TransitBodyName(TransitBody body); // "Sun", "Moon"

struct Transit {
    TransitBody body = TransitBody::Sun;
    double jd = 0;         // UTC, the moment of least separation
    double separation = 0; // degrees between the station and the body's centre then
    double radius = 0;     // the body's angular radius then, degrees
    double range = 0;      // the station's distance from the place then, km
    bool crossing = false; // the station crosses the disc: separation < radius
    // For a crossing only (0 otherwise):
    double duration = 0;          // seconds the separation stays below the radius (while both are up)
    double centreLineAzimuth = 0; // degrees from north through east: which way to move ...
    double centreLineKm = 0;      // ... and how far, to where the station crosses the centre
};

struct TransitSearch {
    double startJd = 0; // UTC; approaches whose least separation falls in [startJd, endJd)
    double endJd = 0;
    double within = 1.0; // degrees (more than 0, at most 10): closer approaches are listed
};

struct TransitList {
    std::vector<Transit> transits; // in time order
    // Empty when the search was made; otherwise why not, for a person: the pass
    // search's reasons (see PassList), a place off the globe or a threshold not
    // from 0 to 10 degrees, a moment the Sun and Moon cannot be placed.
    std::string reason;
};

// Every approach closer than `within` while the station and the body are both
// above the horizon (geometric elevations). The station is only looked at in
// its passes above the horizon, and in them it skips ahead as far as the
// separation cannot fall below `within`, by the fastest the station can cross
// the sky and the body move; minima are refined to a millisecond.
TransitList FindTransits(Sgp4 &propagator, const ObserverPlace &place, const TransitSearch &search);

// The Sun's and the Moon's directions from one place over a span, from the ERFA
// sky on whole minutes and interpolated between: the direction as a unit vector
// in the place's east-north-up frame, the angular radius in degrees. A minute's
// sky is computed when first asked for (each costs tens of microseconds), so
// one track is for one thread.
class SkyTrack {
public:
    static constexpr double kStepSeconds = 60.0;

    // Covers [startJd, endJd] (UTC); false from Valid() for a span that is not
    // finite or is longer than 400 days, or when ERFA refuses a moment in it.
    SkyTrack(const ObserverPlace &place, double startJd, double endJd);
    bool Valid() const { return m_valid; }
    double StartJd() const { return m_startJd; } // on a whole minute

    // At `jd` (clamped to the span).
    void Direction(TransitBody body, double jd, double enu[3]) const;
    double Radius(TransitBody body, double jd) const;
    double DistanceKm(TransitBody body, double jd) const;

private:
    struct Sample {
        bool made = false;
        double enu[2][3];
        double radius[2];
        double distance[2];
    };
    // The samples either side of `jd`, made if need be, and the fraction of the
    // step past the first.
    void Around(double jd, const Sample *&a, const Sample *&b, double &fraction) const;
    // A sampled quantity of the body, straight between the samples around `jd`.
    double Between(TransitBody body, double jd, const double (Sample::*field)[2]) const;
    bool Make(size_t index) const;

    ObserverPlace m_place;
    long long m_startMs = 0;
    double m_startJd = 0;
    mutable std::vector<Sample> m_samples;
    bool m_valid = false;
};

// The unit vector, east-north-up, of an azimuth and elevation in degrees.
void EnuFromAzimuthElevation(double azimuthDeg, double elevationDeg, double enu[3]);
// The angle between two unit vectors, degrees, accurate at small angles too.
double SeparationDegrees(const double a[3], const double b[3]);
