#pragma once
// The sky from a place on the ground: where the Sun, the Moon and the bright stars
// stand (azimuth and elevation, no refraction) at a moment, from the ERFA
// routines (the free SOFA): precession, nutation, the Earth's rotation,
// aberration, the Moon's and the Earth's ephemerides.
#include "place.h"

#include <erfa.h>
#include <erfam.h>

#include <cstddef>
#include <string>
#include <vector>

struct SkyDirection {
    double azimuth = 0;   // degrees from north through east, 0 to 360
    double elevation = 0; // degrees above the horizon, geometric
};

struct SkyBody {
    SkyDirection direction;
    double distanceKm = 0; // from the place
    double radiusDeg = 0;  // angular radius of the disc
};

// A star of the catalogue: its place at J2000 and its brightness.
struct CatalogueStar {
    double rightAscension = 0; // radians, J2000
    double declination = 0;    // radians, J2000
    double magnitude = 0;
    std::string name; // as the catalogue names it, trimmed ("9Alp CMa")
};

// Reads the stars no fainter than `faintest` from a text catalogue of lines
// "DEC RA MAG [\"NAME\" ...]" (degrees, hours, magnitude), as xplanet's copy of
// the Yale Bright Star Catalogue holds them; comments (#) and blank lines are
// skipped, and so is any line that is not such a star. False with a reason for a
// person when the file cannot be read or holds no star at all.
bool ReadStarCatalogue(const std::string &path, double faintest, std::vector<CatalogueStar> &stars,
                       std::string &reason);
// Where Debian's xplanet package installs the catalogue.
inline constexpr const char *kBrightStarCatalogue = "/usr/share/xplanet/stars/BSC";

// The sky over one place at one moment: made once, then asked for many directions.
class SkyAt {
public:
    // `utcMs`: the moment (UTC ms since 1970); false from Valid() for a moment the
    // routines refuse (before the calendar they know).
    SkyAt(const ObserverPlace &place, long long utcMs);
    bool Valid() const { return m_valid; }

    // A catalogue star, precessed and nutated to the date, with annual aberration.
    SkyDirection Star(const CatalogueStar &star) const;
    // The Sun's and the Moon's centres seen from the place (topocentric), with their
    // distances and angular radii.
    SkyBody Sun() const { return m_sun; }
    SkyBody Moon() const { return m_moon; }
    // The Moon's illuminated fraction: 0 new, 1 full. Its bright limb faces the Sun.
    double MoonIlluminated() const { return m_moonLit; }

private:
    SkyDirection FromIcrs(double rightAscension, double declination) const;
    SkyBody Body(const double geocentricAu[3], double radiusKm) const;

    bool m_valid = false;
    mutable eraASTROM m_astrom{}; // what every transformation shares, whatever the star (ERFA reads it non-const)
    double m_observerAu[3] = {}; // the place, geocentric, au (GCRS axes)
    SkyBody m_sun, m_moon;
    double m_moonLit = 0;
};
