// The sky from the ground against the readings of tests/data/sky/reference.txt
// (tests/orbit/make_sky_reference.py), and the star catalogue's reader.
#include "orbit/astro.h"
#include "orbit/sky.h"
#include "tests/scratchdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The angle between two directions on the sky, degrees.
double Separation(double az1, double el1, double az2, double el2) {
    const double c = std::sin(el1 * kDegree) * std::sin(el2 * kDegree) +
                     std::cos(el1 * kDegree) * std::cos(el2 * kDegree) * std::cos((az1 - az2) * kDegree);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kDegree;
}

long long UtcMs(const std::string &iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &s);
    return UnixMsFromJulianDate(JulianDate(y, mo, d, h, mi, s));
}

} // namespace

TEST(Sky, SunMoonAndStarsStandWhereTheReferenceSeesThem) {
    std::vector<CatalogueStar> stars;
    std::string why;
    ASSERT_TRUE(ReadStarCatalogue(kBrightStarCatalogue, 5.5, stars, why)) << why;
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/sky/reference.txt");
    ASSERT_TRUE(in);
    std::string line;
    int rows = 0;
    double worst[3] = {0, 0, 0}; // sun, moon, stars
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string kind, name, utc;
        ObserverPlace place;
        double az = 0, el = 0, km = 0;
        fields >> kind >> name >> utc >> place.latitude >> place.longitude >> place.heightM >> az >> el >> km;
        place.set = true;
        SCOPED_TRACE(line);
        const SkyAt sky(place, UtcMs(utc));
        ASSERT_TRUE(sky.Valid());
        if (kind == "sun" || kind == "moon") {
            const SkyBody body = kind == "sun" ? sky.Sun() : sky.Moon();
            const double off = Separation(body.direction.azimuth, body.direction.elevation, az, el);
            EXPECT_LT(off, kind == "sun" ? 0.01 : 0.02);
            EXPECT_NEAR(body.distanceKm, km, kind == "sun" ? 2000.0 : 2.0) << "seen from the place";
            worst[kind == "moon"] = std::max(worst[kind == "moon"], off);
        } else {
            for (char &c : name)
                c = c == '_' ? ' ' : c;
            const auto star = std::find_if(stars.begin(), stars.end(), [&](const CatalogueStar &s) { return s.name == name; });
            ASSERT_NE(star, stars.end()) << name;
            const SkyDirection d = sky.Star(*star);
            const double off = Separation(d.azimuth, d.elevation, az, el);
            EXPECT_LT(off, 0.05);
            worst[2] = std::max(worst[2], off);
        }
        ++rows;
    }
    EXPECT_GT(rows, 100);
    std::printf("worst: Sun %.5f deg, Moon %.5f deg, stars %.5f deg\n", worst[0], worst[1], worst[2]);
}

TEST(Sky, TheMoonsPhaseAndSizeAndTheSunsSize) {
    ObserverPlace greenwich;
    greenwich.latitude = 51.48;
    // Full moon 2026-12-24 01:28 UTC, new moon 2026-12-09 00:52 UTC.
    const SkyAt full(greenwich, UnixMsFromJulianDate(JulianDate(2026, 12, 24, 1, 28, 0)));
    const SkyAt fresh(greenwich, UnixMsFromJulianDate(JulianDate(2026, 12, 9, 0, 52, 0)));
    EXPECT_GT(full.MoonIlluminated(), 0.99);
    EXPECT_LT(fresh.MoonIlluminated(), 0.01);
    EXPECT_NEAR(full.Moon().radiusDeg, 0.283, 0.002) << "a full moon near perigee, 351,000 km away";
    EXPECT_NEAR(full.Sun().radiusDeg, 0.271, 0.003) << "near perihelion";
}

TEST(Sky, CatalogueReaderTakesStarsAndRefusesWhatIsNoCatalogue) {
    std::vector<CatalogueStar> stars;
    std::string why;
    ASSERT_TRUE(ReadStarCatalogue(kBrightStarCatalogue, 5.5, stars, why)) << why;
    EXPECT_GT(stars.size(), 2500u);
    EXPECT_LT(stars.size(), 3500u) << "to magnitude 5.5 only";
    EXPECT_EQ(stars[0].name, "9Alp CMa") << "Sirius first";
    EXPECT_NEAR(stars[0].magnitude, -1.46, 1e-9);
    EXPECT_NEAR(stars[0].rightAscension / kDegree, 6.7525 * 15.0, 1e-9);

    const ScratchDir dir;
    const std::string odd = dir.Path() + "/odd";
    {
        std::ofstream out(odd);
        out << "# a comment\n\n  12.5  3.25  2.0 \"  1Tst Aaa\" 1\n"
               "nonsense\n 95.0 1.0 1.0\n 10.0 24.0 1.0\n 10.0 1.0 nan\n 10.0 1.0 6.0 \"faint\"\n"
               " -45.0 23.5 0.5\n 1e400 1 1\n 10";
    }
    ASSERT_TRUE(ReadStarCatalogue(odd, 5.5, stars, why)) << why;
    ASSERT_EQ(stars.size(), 2u) << "the two good, bright lines only";
    EXPECT_EQ(stars[0].name, "1Tst Aaa");
    EXPECT_NEAR(stars[1].declination / kDegree, -45.0, 1e-12);
    EXPECT_TRUE(stars[1].name.empty());

    const std::string empty = dir.Path() + "/empty", pipe = dir.Path() + "/pipe";
    std::ofstream(empty).put('\n');
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const auto &[path, reason] : {std::pair<std::string, std::string>{empty, "it holds no stars"},
                                       {pipe, "it is not a regular file"},
                                       {dir.Path(), "it is not a regular file"},
                                       {dir.Path() + "/missing", "it is missing"},
                                       {"/dev/zero", "it is not a regular file"}}) {
        EXPECT_FALSE(ReadStarCatalogue(path, 5.5, stars, why)) << path;
        EXPECT_EQ(why, reason) << path;
        EXPECT_TRUE(stars.empty());
    }
}
