// Time, frames, the Earth's figure and the Sun against an independent reading:
// tests/data/astro/reference.txt, written by make_reference.py beside this file
// with Skyfield (and SOFA's ephemeris for the Sun). UT1 is UTC there as here.
#include "orbit/astro.h"
#include "tests/orbit/astro_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

using Row = AstroReferenceRow;

std::string Figure(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

double AngleDegrees(const double a[3], const double b[3]) {
    // atan2 of the cross and dot products keeps small angles exact.
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return std::atan2(std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]),
                      a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) /
           kDegree;
}

class AstroReference : public ::testing::Test {
protected:
    void SetUp() override {
        rows = ReadAstroReference(QUOR_SOURCE_DIR "/tests/data/astro/reference.txt");
        ASSERT_GE(rows.size(), 40u) << "the reference data is missing or cut short";
    }
    std::vector<Row> rows;
};

TEST_F(AstroReference, JulianDatesOfTheCalendar) {
    // J2000.0 is 2000-01-01 12:00, and 946728000 s after 1970 began.
    EXPECT_EQ(JulianDate(2000, 1, 1, 12, 0, 0.0), 2451545.0);
    EXPECT_EQ(JulianDateFromUnixMs(946728000000), 2451545.0);
    double worstMs = 0;
    for (const Row &r : rows) {
        const double jd = JulianDateOfUtc(r.utc);
        worstMs = std::max(worstMs, std::fabs(jd - r.jd) * 86400000.0);
        // Back to the whole millisecond it came from, whatever its last bits.
        const int64_t ms = UnixMsFromJulianDate(jd);
        EXPECT_EQ(UnixMsFromJulianDate(JulianDateFromUnixMs(ms)), ms) << r.utc;
        EXPECT_NEAR(JulianDateFromUnixMs(ms), jd, 0.51 / 86400000.0) << r.utc;
    }
    EXPECT_LT(worstMs, 0.1) << "Julian dates drift from the reference's";
}

TEST_F(AstroReference, GeodeticPlaceFromTeme) {
    double worstLat = 0, worstLon = 0, worstAlt = 0;
    for (const Row &r : rows) {
        double ecef[3];
        TemeToEcef(r.position, Gmst(JulianDateOfUtc(r.utc)), ecef);
        const Geodetic g = EcefToGeodetic(ecef);
        ASSERT_GE(g.longitude, -180.0);
        ASSERT_LE(g.longitude, 180.0);
        double dLon = std::fabs(g.longitude - r.longitude);
        dLon = std::min(dLon, 360.0 - dLon) * std::cos(r.latitude * kDegree);
        worstLat = std::max(worstLat, std::fabs(g.latitude - r.latitude));
        worstLon = std::max(worstLon, dLon);
        worstAlt = std::max(worstAlt, std::fabs(g.altitude - r.altitude));
    }
    RecordProperty("worstLatitudeDeg", Figure(worstLat));
    RecordProperty("worstLongitudeDeg", Figure(worstLon));
    RecordProperty("worstAltitudeKm", Figure(worstAlt));
    EXPECT_LT(worstLat, 1e-6);
    EXPECT_LT(worstLon, 1e-6) << "east-west, scaled by the cosine of the latitude";
    EXPECT_LT(worstAlt, 1e-5);
}

TEST_F(AstroReference, SunDirection) {
    double worst = 0;
    for (const Row &r : rows) {
        double sun[3];
        SunDirection(JulianDateOfUtc(r.utc), sun);
        EXPECT_NEAR(std::hypot(sun[0], sun[1], sun[2]), 1.0, 1e-12);
        worst = std::max(worst, AngleDegrees(sun, r.sun));
    }
    RecordProperty("worstSunDeg", Figure(worst));
    EXPECT_LT(worst, 0.01);
}

TEST_F(AstroReference, SunlitAwayFromTheShadowEdge) {
    // Within half a degree of the limb the reference's Sun (at its distance, seen
    // from the satellite) and ours (parallel rays, low precision) may disagree.
    int lit = 0, dark = 0;
    for (const Row &r : rows) {
        if (std::fabs(r.margin) < 0.5)
            continue;
        EXPECT_EQ(Sunlit(r.position, r.sun), r.sunlit == 1) << r.catalog << " at " << r.utc;
        (r.sunlit ? lit : dark)++;
    }
    EXPECT_GE(lit, 5);
    EXPECT_GE(dark, 5);
}

TEST(Geodetic, PolesAndEquatorAtAnyHeight) {
    // Points placed by the closed forward formula on WGS-84, the poles included,
    // from below the ground to past geostationary height.
    const double a = 6378.137, f = 1 / 298.257223563, e2 = f * (2 - f);
    for (double lat : {-90.0, -89.9999, -45.0, 0.0, 0.0001, 30.0, 89.9999, 90.0}) {
        for (double lon : {-179.5, -90.0, 0.0, 45.0, 180.0}) {
            for (double h : {-5.0, 0.0, 400.0, 20200.0, 42000.0}) {
                const double s = std::sin(lat * kDegree), c = std::cos(lat * kDegree);
                const double n = a / std::sqrt(1 - e2 * s * s);
                const double p[3] = {(n + h) * c * std::cos(lon * kDegree),
                                     (n + h) * c * std::sin(lon * kDegree), (n * (1 - e2) + h) * s};
                const Geodetic g = EcefToGeodetic(p);
                EXPECT_NEAR(g.latitude, lat, 1e-9) << lat << " " << lon << " " << h;
                EXPECT_NEAR(g.altitude, h, 1e-6) << lat << " " << lon << " " << h;
                if (std::fabs(lat) < 90) {
                    double dLon = std::fabs(g.longitude - lon);
                    EXPECT_NEAR(std::min(dLon, 360.0 - dLon), 0.0, 1e-9) << lat << " " << lon << " " << h;
                }
            }
        }
    }
}

} // namespace
