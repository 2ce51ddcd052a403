#pragma once
// A place on the ground and how the station looks from it: azimuth, elevation,
// range and range rate, geometric (no refraction), in the observer's local
// east-north-up frame on the WGS-84 ellipsoid.
#include "astro.h"
#include "sgp4.h"

#include <string>

struct Observer {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double height = 0;    // km above the WGS-84 ellipsoid
    double ecef[3] = {};  // Earth-fixed position, km
    double east[3] = {};  // unit vectors of the local frame, Earth-fixed
    double north[3] = {};
    double up[3] = {}; // the ellipsoid's normal
};

// The observer at a geodetic place; the height in km.
Observer MakeObserver(double latitudeDeg, double longitudeDeg, double heightKm);

struct LookAngles {
    double azimuth = 0;       // degrees from north through east, 0 to 360
    double elevation = 0;     // degrees above the horizon
    double range = 0;         // km
    double rangeRate = 0;     // km/s, positive when receding
    double elevationRate = 0; // degrees per second
};

// Look angles of a TEME state (km, km/s) at a moment whose sidereal time is `gmst`.
LookAngles Look(const Observer &observer, const double teme[3], const double temeVelocity[3], double gmst);

// The elements' satellite seen from the observer at a UTC Julian date; false
// when the propagator cannot give a state there.
bool LookAt(Sgp4 &propagator, const Observer &observer, double jdUtc, LookAngles &out);

// Elevation of the Sun's centre seen from the observer, degrees, geometric;
// `sunTeme` the unit vector towards the Sun (SunDirection), `gmst` the sidereal time.
double SunElevation(const Observer &observer, const double sunTeme[3], double gmst);

// The 16-point compass name of an azimuth in degrees: "N", "NNE", ... "NNW".
const char *CompassPoint(double azimuthDeg);

// Reads "LAT,LON[,HEIGHT_M]": degrees, signed or with an N/S (E/W) suffix
// ("51.48N,0.01W"), as decimals or with minutes and seconds ("31°33'12\"S",
// "31 33 12 S", "31:33S"), the height in metres above the ellipsoid (-500 to
// 9000). False with a reason for a person when the text is no such place.
bool ParseObserverPlace(const std::string &text, double &latitudeDeg, double &longitudeDeg, double &heightM,
                        std::string &reason);
