#include "sky.h"


#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sys/stat.h>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kAuKm = ERFA_DAU / 1000.0;
constexpr double kSunRadiusKm = 695700.0;
constexpr double kMoonRadiusKm = 1737.4;
// The catalogue is some 600 KiB; anything far larger is not it.
constexpr long long kMaxCatalogueBytes = 8 * 1024 * 1024;

double Length(const double v[3]) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The Julian dates ERFA takes, each in two pieces, of UTC and of TT, for a moment.
bool Dates(long long utcMs, double &utc1, double &utc2, double &tt1, double &tt2) {
    const double days = static_cast<double>(utcMs / 86400000) + static_cast<double>(utcMs % 86400000) / 86400000.0;
    utc1 = 2440587.5;
    utc2 = days;
    double tai1 = 0, tai2 = 0;
    // Status 1 is a year the leap-second table does not know: close enough.
    return eraUtctai(utc1, utc2, &tai1, &tai2) >= 0 && eraTaitt(tai1, tai2, &tt1, &tt2) == 0;
}

} // namespace

bool ReadStarCatalogue(const std::string &path, double faintest, std::vector<CatalogueStar> &stars,
                       std::string &reason) {
    stars.clear();
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        reason = "it is missing";
        return false;
    }
    // A pipe or a device would hold up the start; a huge file is not a catalogue.
    if (!S_ISREG(info.st_mode)) {
        reason = "it is not a regular file";
        return false;
    }
    if (info.st_size > kMaxCatalogueBytes) {
        reason = "it is far too large for a star catalogue";
        return false;
    }
    std::ifstream in(path);
    if (!in) {
        reason = "it cannot be read";
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const char *p = line.c_str();
        char *end = nullptr;
        double values[3];
        bool ok = true;
        for (double &value : values) {
            value = std::strtod(p, &end);
            ok = ok && end != p && std::isfinite(value);
            p = end;
        }
        if (!ok || std::fabs(values[0]) > 90.0 || values[1] < 0.0 || values[1] >= 24.0 || values[2] > faintest)
            continue;
        CatalogueStar star;
        star.declination = values[0] * kDegree;
        star.rightAscension = values[1] * 15.0 * kDegree;
        star.magnitude = values[2];
        const size_t open = line.find('"', static_cast<size_t>(p - line.c_str()));
        const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close != std::string::npos) {
            star.name = line.substr(open + 1, close - open - 1);
            const size_t from = star.name.find_first_not_of(' ');
            star.name = from == std::string::npos ? std::string() : star.name.substr(from);
        }
        stars.push_back(std::move(star));
    }
    if (stars.empty()) {
        reason = "it holds no stars";
        return false;
    }
    return true;
}

SkyAt::SkyAt(const ObserverPlace &place, long long utcMs) {
    double utc1 = 0, utc2 = 0, tt1 = 0, tt2 = 0;
    if (!Dates(utcMs, utc1, utc2, tt1, tt2))
        return;
    double eo = 0;
    // No refraction (pressure 0): every direction here is geometric; UT1 taken as UTC
    // and no polar motion, as everywhere in the viewer.
    if (eraApco13(utc1, utc2, 0.0, place.longitude * kDegree, place.latitude * kDegree, place.heightM, 0.0, 0.0,
                  0.0, 0.0, 0.0, 0.0, &m_astrom, &eo) < 0)
        return;
    double heliocentric[2][3], barycentric[2][3];
    eraEpv00(tt1, tt2, heliocentric, barycentric); // TDB taken as TT: 2 ms at most
    for (int i = 0; i < 3; ++i)
        m_observerAu[i] = m_astrom.eb[i] - barycentric[0][i];
    double sun[3];
    for (int i = 0; i < 3; ++i)
        sun[i] = -heliocentric[0][i];
    double moon[2][3];
    eraMoon98(tt1, tt2, moon);
    m_sun = Body(sun, kSunRadiusKm);
    m_moon = Body(moon[0], kMoonRadiusKm);
    // The phase from the Sun-Moon-observer angle.
    double toSun[3], toObserver[3];
    for (int i = 0; i < 3; ++i) {
        toSun[i] = sun[i] - moon[0][i];
        toObserver[i] = m_observerAu[i] - moon[0][i];
    }
    const double cosPhase = (toSun[0] * toObserver[0] + toSun[1] * toObserver[1] + toSun[2] * toObserver[2]) /
                            (Length(toSun) * Length(toObserver));
    m_moonLit = (1.0 + cosPhase) / 2.0;
    m_valid = true;
}

SkyDirection SkyAt::FromIcrs(double rightAscension, double declination) const {
    double ri = 0, di = 0, azimuth = 0, zenith = 0, hour = 0, dec = 0, ra = 0;
    eraAtciqz(rightAscension, declination, &m_astrom, &ri, &di);
    eraAtioq(ri, di, &m_astrom, &azimuth, &zenith, &hour, &dec, &ra);
    return {eraAnp(azimuth) / kDegree, 90.0 - zenith / kDegree};
}

SkyDirection SkyAt::Star(const CatalogueStar &star) const {
    return FromIcrs(star.rightAscension, star.declination);
}

SkyBody SkyAt::Body(const double geocentricAu[3], double radiusKm) const {
    // Seen from the place rather than the Earth's centre: the Moon moves by up to a degree.
    double topocentric[3];
    for (int i = 0; i < 3; ++i)
        topocentric[i] = geocentricAu[i] - m_observerAu[i];
    double ra = 0, dec = 0;
    eraC2s(topocentric, &ra, &dec);
    SkyBody body;
    body.direction = FromIcrs(eraAnp(ra), dec);
    body.distanceKm = Length(topocentric) * kAuKm;
    body.radiusDeg = std::asin(std::min(1.0, radiusKm / body.distanceKm)) / kDegree;
    return body;
}
