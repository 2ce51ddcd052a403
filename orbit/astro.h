#pragma once
// Time, the Earth's rotation, the Earth's figure and the Sun: the conversions that
// take a TEME state to a place over the map and tell day from night.
#include <cstdint>

// WGS-84: the Earth's equatorial radius (km) and flattening.
constexpr double kEarthEquatorialRadiusKm = 6378.137;
constexpr double kEarthFlattening = 1.0 / 298.257223563;

// Julian date of a UTC calendar moment (proleptic Gregorian).
double JulianDate(int year, int month, int day, int hour, int minute, double second);
double JulianDateFromUnixMs(int64_t unixMs);
int64_t UnixMsFromJulianDate(double jd);

// Greenwich mean sidereal time (IAU 1982) in radians, 0 to 2π, with UT1 taken as UTC.
double Gmst(double jdUt1);

// TEME to Earth-fixed: a turn about the polar axis by the sidereal time (polar motion neglected).
void TemeToEcef(const double teme[3], double gmst, double ecef[3]);

struct Geodetic {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive, -180 to 180
    double altitude = 0;  // km above the WGS-84 ellipsoid
};
Geodetic EcefToGeodetic(const double ecef[3]);

// Unit vector from the Earth's centre towards the Sun, TEME, by a low-precision
// solar formula (better than 0.01 degrees).
void SunDirection(double jdUtc, double direction[3]);

// Whether a point (TEME, km) sees the Sun's centre above the limb of the Earth,
// taken as a sphere of the equatorial radius.
bool Sunlit(const double position[3], const double sunDirection[3]);
