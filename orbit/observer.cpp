#include "observer.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kEarthA = kEarthEquatorialRadiusKm;
constexpr double kEarthF = kEarthFlattening;
constexpr double kEarthE2 = kEarthF * (2.0 - kEarthF);
// The Earth's rotation rate against the equinox, rad/s: the rate the sidereal
// time advances, which is what turns TEME velocities into Earth-fixed ones.
constexpr double kEarthRotation = 7.292115146706979e-5;

double Dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Skips blanks at text[i].
void SkipBlanks(const std::string &text, size_t &i) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
}

// A plain decimal number ("-12", "0.5", "12."): no exponent, no "nan" or "inf".
bool Decimal(const std::string &text, size_t &i, double &value) {
    const size_t begin = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0 || i - begin > 30)
        return false;
    value = std::strtod(text.substr(begin, i - begin).c_str(), nullptr);
    return std::isfinite(value);
}

// Skips one of the marks at text[i], if there is one.
void SkipMark(const std::string &text, size_t &i, std::initializer_list<const char *> marks) {
    for (const char *mark : marks) {
        if (text.compare(i, std::char_traits<char>::length(mark), mark) == 0) {
            i += std::char_traits<char>::length(mark);
            return;
        }
    }
}

// One angle with an optional hemisphere letter; `positive`/`negative` are the
// letters that keep or turn its sign ('N'/'S' or 'E'/'W').
bool Angle(const std::string &text, size_t &i, char positive, char negative, double limit, const char *what,
           double &value, std::string &reason) {
    SkipBlanks(text, i);
    const bool signedNumber = i < text.size() && (text[i] == '+' || text[i] == '-');
    const bool negativeNumber = signedNumber && text[i] == '-';
    if (!Decimal(text, i, value)) {
        reason = std::string("the ") + what + " is not a number";
        return false;
    }
    // Degrees may go on in minutes and seconds: 31°33'12", 31 33 12, 31:33:12.
    SkipMark(text, i, {"\xc2\xb0"}); // the degree sign
    SkipBlanks(text, i);
    double parts[2] = {0, 0};
    int count = 0;
    while (count < 2) {
        size_t j = i;
        if (j < text.size() && text[j] == ':')
            ++j;
        SkipBlanks(text, j);
        if (j >= text.size() || text[j] < '0' || text[j] > '9')
            break;
        if (!Decimal(text, j, parts[count])) {
            reason = std::string("the ") + what + " is not a number";
            return false;
        }
        i = j;
        SkipMark(text, i, count == 0 ? std::initializer_list<const char *>{"'", "\xe2\x80\xb2"}
                                     : std::initializer_list<const char *>{"\"", "''", "\xe2\x80\xb3"});
        SkipBlanks(text, i);
        ++count;
    }
    if (count > 0) {
        const double whole = std::fabs(value);
        if (whole != std::floor(whole) || (count == 2 && parts[0] != std::floor(parts[0]))) {
            reason = std::string("the ") + what + " has a fraction before its minutes or seconds";
            return false;
        }
        if (parts[0] >= 60 || parts[1] >= 60) {
            reason = std::string("the ") + what + "'s minutes and seconds must be below 60";
            return false;
        }
        const double total = whole + parts[0] / 60.0 + parts[1] / 3600.0;
        value = negativeNumber ? -total : total;
    }
    if (i < text.size() && text[i] != ',') {
        const char letter = static_cast<char>(text[i] & ~0x20); // upper case
        if (letter != positive && letter != negative) {
            reason = std::string("the ") + what + " ends in '" + text[i] + "' (use " + positive + " or " +
                     negative + ")";
            return false;
        }
        if (signedNumber) {
            reason = std::string("the ") + what + " has both a sign and " + positive + "/" + negative;
            return false;
        }
        if (letter == negative)
            value = -value;
        ++i;
        SkipBlanks(text, i);
    }
    if (std::fabs(value) > limit) {
        reason = std::string("the ") + what + " is beyond " + (limit == 90 ? "90" : "180") + " degrees";
        return false;
    }
    return true;
}

} // namespace

Observer MakeObserver(double latitudeDeg, double longitudeDeg, double heightKm) {
    Observer o;
    o.latitude = latitudeDeg;
    o.longitude = longitudeDeg;
    o.height = heightKm;
    const double sp = std::sin(latitudeDeg * kDegree), cp = std::cos(latitudeDeg * kDegree);
    const double sl = std::sin(longitudeDeg * kDegree), cl = std::cos(longitudeDeg * kDegree);
    const double n = kEarthA / std::sqrt(1.0 - kEarthE2 * sp * sp); // prime vertical radius
    o.ecef[0] = (n + heightKm) * cp * cl;
    o.ecef[1] = (n + heightKm) * cp * sl;
    o.ecef[2] = (n * (1.0 - kEarthE2) + heightKm) * sp;
    o.east[0] = -sl;
    o.east[1] = cl;
    o.east[2] = 0;
    o.north[0] = -sp * cl;
    o.north[1] = -sp * sl;
    o.north[2] = cp;
    o.up[0] = cp * cl;
    o.up[1] = cp * sl;
    o.up[2] = sp;
    return o;
}

LookAngles Look(const Observer &observer, const double teme[3], const double temeVelocity[3], double gmst) {
    double r[3], v[3];
    TemeToEcef(teme, gmst, r);
    TemeToEcef(temeVelocity, gmst, v);
    // Earth-fixed velocity: less the frame's turning, ω × r about the pole.
    v[0] += kEarthRotation * r[1];
    v[1] -= kEarthRotation * r[0];
    const double d[3] = {r[0] - observer.ecef[0], r[1] - observer.ecef[1], r[2] - observer.ecef[2]};
    const double e = Dot(d, observer.east), n = Dot(d, observer.north), u = Dot(d, observer.up);
    const double de = Dot(v, observer.east), dn = Dot(v, observer.north), du = Dot(v, observer.up);
    LookAngles out;
    const double horizontal2 = e * e + n * n;
    const double horizontal = std::sqrt(horizontal2);
    out.range = std::sqrt(horizontal2 + u * u);
    out.rangeRate = out.range > 0 ? (e * de + n * dn + u * du) / out.range : 0;
    out.elevation = std::atan2(u, horizontal) / kDegree;
    double azimuth = std::atan2(e, n) / kDegree;
    out.azimuth = azimuth < 0 ? azimuth + 360.0 : azimuth;
    // d/dt atan2(u, h) = (u' h - u h') / (h² + u²), with h' = (e e' + n n') / h.
    if (horizontal > 0)
        out.elevationRate =
            (du * horizontal - u * (e * de + n * dn) / horizontal) / (out.range * out.range) / kDegree;
    return out;
}

bool LookAt(Sgp4 &propagator, const Observer &observer, double jdUtc, LookAngles &out) {
    const double minutes = (jdUtc - EpochJulianDate(propagator.Elements())) * 1440.0;
    double position[3], velocity[3];
    const int code = propagator.Propagate(minutes, position, velocity);
    if (code != 0 && code != 6)
        return false;
    out = Look(observer, position, velocity, Gmst(jdUtc));
    return code == 0;
}

double SunElevation(const Observer &observer, const double sunTeme[3], double gmst) {
    // The Sun is far enough that its direction from the observer is the one from
    // the centre (8.8 arcseconds of parallax at most).
    double s[3];
    TemeToEcef(sunTeme, gmst, s);
    const double len = std::sqrt(Dot(s, s));
    return std::asin(std::fmax(-1.0, std::fmin(1.0, Dot(s, observer.up) / len))) / kDegree;
}

const char *CompassPoint(double azimuthDeg) {
    static const char *const kPoints[16] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                            "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
    if (!std::isfinite(azimuthDeg))
        return "N";
    double a = std::fmod(azimuthDeg, 360.0);
    if (a < 0)
        a += 360.0;
    // Each point covers 22.5 degrees centred on its own direction.
    const int index = static_cast<int>(std::floor(a / 22.5 + 0.5)) % 16;
    return kPoints[index];
}

bool ParseObserverPlace(const std::string &text, double &latitudeDeg, double &longitudeDeg, double &heightM,
                        std::string &reason) {
    size_t i = 0;
    double latitude = 0, longitude = 0, height = 0;
    if (!Angle(text, i, 'N', 'S', 90, "latitude", latitude, reason))
        return false;
    if (i >= text.size() || text[i] != ',') {
        reason = "a longitude must follow the latitude after a comma";
        return false;
    }
    ++i;
    if (!Angle(text, i, 'E', 'W', 180, "longitude", longitude, reason))
        return false;
    if (i < text.size() && text[i] == ',') {
        ++i;
        SkipBlanks(text, i);
        if (!Decimal(text, i, height)) {
            reason = "the height is not a number of metres";
            return false;
        }
        SkipBlanks(text, i);
        if (i < text.size() && (text[i] == 'm' || text[i] == 'M'))
            ++i;
        SkipBlanks(text, i);
        if (height < -500 || height > 9000) {
            reason = "the height is not between -500 and 9000 metres";
            return false;
        }
    }
    if (i != text.size()) {
        reason = "unexpected text after the place (LAT,LON or LAT,LON,HEIGHT_M)";
        return false;
    }
    latitudeDeg = latitude;
    longitudeDeg = longitude;
    heightM = height;
    return true;
}
