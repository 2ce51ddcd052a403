#include "astro.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kDegree = kPi / 180.0;

constexpr double kJ2000 = 2451545.0;       // 2000-01-01 12:00
constexpr double kUnixEpochJd = 2440587.5; // 1970-01-01 00:00
constexpr double kMsPerDay = 86400000.0;

// WGS-84
constexpr double kEarthA = kEarthEquatorialRadiusKm;
constexpr double kEarthF = kEarthFlattening;
constexpr double kEarthB = kEarthA * (1.0 - kEarthF);
constexpr double kEarthE2 = kEarthF * (2.0 - kEarthF);    // first eccentricity squared
constexpr double kEarthEp2 = kEarthE2 / (1.0 - kEarthE2); // second eccentricity squared

// Whole days from 1970-01-01 in the proleptic Gregorian calendar, for any year:
// counts 400-year eras, then the days of the era from 1 March, so that the leap
// day falls at the end of the counted year.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

double Wrap360(double degrees) {
    double d = std::fmod(degrees, 360.0);
    return d < 0 ? d + 360.0 : d;
}

} // namespace

double JulianDate(int year, int month, int day, int hour, int minute, double second) {
    const double days = static_cast<double>(DaysFromCivil(year, month, day));
    return kUnixEpochJd + days + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

double JulianDateFromUnixMs(int64_t unixMs) {
    return kUnixEpochJd + static_cast<double>(unixMs) / kMsPerDay;
}

int64_t UnixMsFromJulianDate(double jd) {
    // A date near today carries about 40 microseconds in its last bit: rounding
    // to the nearest millisecond gives back the time it was made from.
    const double ms = std::round((jd - kUnixEpochJd) * kMsPerDay);
    if (std::isnan(ms))
        return 0;
    if (ms >= 9.2e18)
        return std::numeric_limits<int64_t>::max();
    if (ms <= -9.2e18)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(ms);
}

double Gmst(double jdUt1) {
    // Aoki et al. (1982), in seconds of time:
    //   67310.54841 + (876600 h + 8640184.812866 s) T + 0.093104 T² - 6.2e-6 T³,
    // T in Julian centuries of UT1 from J2000. 876600 h is 36525 days, so that
    // term is whole days plus the day's fraction since J2000 noon; taking the
    // fraction directly keeps the ten-digit product out of the sum.
    const double days = jdUt1 - kJ2000;
    const double t = days / 36525.0;
    const double dayFraction = days - std::floor(days);
    double seconds =
        67310.54841 + 86400.0 * dayFraction + 8640184.812866 * t + 0.093104 * t * t - 6.2e-6 * t * t * t;
    seconds = std::fmod(seconds, 86400.0);
    if (seconds < 0)
        seconds += 86400.0;
    double angle = seconds * (kTwoPi / 86400.0);
    if (angle >= kTwoPi)
        angle -= kTwoPi;
    return angle;
}

void TemeToEcef(const double teme[3], double gmst, double ecef[3]) {
    // The Earth-fixed frame is the TEME one turned eastwards by the sidereal time.
    const double c = std::cos(gmst);
    const double s = std::sin(gmst);
    const double x = c * teme[0] + s * teme[1];
    const double y = -s * teme[0] + c * teme[1];
    ecef[0] = x;
    ecef[1] = y;
    ecef[2] = teme[2];
}

Geodetic EcefToGeodetic(const double ecef[3]) {
    // Bowring's iteration on the reduced latitude: one pass is already good to a
    // few millimetres for points near the ground, and a few more settle it to the
    // last bits for any height, from low orbit to beyond geostationary.
    const double x = ecef[0], y = ecef[1], z = ecef[2];
    const double p = std::hypot(x, y);
    Geodetic out;
    out.longitude = (x == 0 && y == 0) ? 0.0 : std::atan2(y, x) / kDegree;
    if (p == 0 && z == 0) {
        out.altitude = -kEarthA; // the centre: no direction to speak of
        return out;
    }
    double beta = std::atan2(z, (1.0 - kEarthF) * p);
    double phi = 0;
    for (int i = 0; i < 8; ++i) {
        const double sb = std::sin(beta), cb = std::cos(beta);
        phi = std::atan2(z + kEarthEp2 * kEarthB * sb * sb * sb, p - kEarthE2 * kEarthA * cb * cb * cb);
        const double next = std::atan2((1.0 - kEarthF) * std::sin(phi), std::cos(phi));
        const bool settled = std::fabs(next - beta) < 1e-15;
        beta = next;
        if (settled)
            break;
    }
    const double sp = std::sin(phi), cp = std::cos(phi);
    out.latitude = phi / kDegree;
    // Written this way the height holds at the poles too, where p / cos(phi) fails.
    out.altitude = p * cp + z * sp - kEarthA * std::sqrt(1.0 - kEarthE2 * sp * sp);
    return out;
}

void SunDirection(double jdUtc, double direction[3]) {
    // The Astronomical Almanac's low-precision formula for the Sun (section C,
    // "Sun"): 0.01 degrees from 1950 to 2050. L is the mean longitude corrected
    // for aberration, g the mean anomaly, lambda the apparent ecliptic longitude,
    // epsilon the obliquity; all of date, which is what TEME is to within the
    // nutation, a few thousandths of a degree.
    const double n = jdUtc - kJ2000;
    const double meanLongitude = Wrap360(280.460 + 0.9856474 * n);
    const double g = Wrap360(357.528 + 0.9856003 * n) * kDegree;
    const double lambda = (meanLongitude + 1.915 * std::sin(g) + 0.020 * std::sin(2.0 * g)) * kDegree;
    const double epsilon = (23.439 - 0.0000004 * n) * kDegree;
    const double sl = std::sin(lambda);
    direction[0] = std::cos(lambda);
    direction[1] = std::cos(epsilon) * sl;
    direction[2] = std::sin(epsilon) * sl;
}

bool Sunlit(const double position[3], const double sunDirection[3]) {
    // Seen from the point, the Sun's centre stands above the limb exactly when the
    // ray from the point towards the Sun misses the sphere. The rays count as
    // parallel: even from geostationary height the Sun's direction differs from
    // the one seen from the centre by under 0.02 degrees.
    const double r2 = position[0] * position[0] + position[1] * position[1] + position[2] * position[2];
    if (r2 < kEarthA * kEarthA)
        return false; // inside the Earth nothing sees the Sun
    const double along =
        position[0] * sunDirection[0] + position[1] * sunDirection[1] + position[2] * sunDirection[2];
    if (along >= 0)
        return true; // the day side: the Earth is behind the point
    // On the night side, lit when the ray passes the centre farther than the radius.
    const double s2 = sunDirection[0] * sunDirection[0] + sunDirection[1] * sunDirection[1] +
                      sunDirection[2] * sunDirection[2];
    return r2 - along * along / s2 > kEarthA * kEarthA;
}
