// What the "From Here" picture holds: the Moon and the stars where the sky puts
// them, the stars gone by day, the station bright in sunlight and dark in shadow.
#include "orbit/astro.h"
#include "view/core/skyscene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

ObserverPlace Place(double latitude, double longitude) {
    ObserverPlace place;
    place.set = true;
    place.latitude = latitude;
    place.longitude = longitude;
    return place;
}

const std::vector<CatalogueStar> &Stars() {
    static const std::vector<CatalogueStar> stars = [] {
        std::vector<CatalogueStar> read;
        std::string why;
        ReadStarCatalogue(kBrightStarCatalogue, 5.5, read, why);
        return read;
    }();
    return stars;
}

std::vector<SkyMark> OfKind(const SkyPicture &picture, SkyMark::Kind kind) {
    std::vector<SkyMark> marks;
    std::copy_if(picture.marks.begin(), picture.marks.end(), std::back_inserter(marks),
                 [kind](const SkyMark &m) { return m.kind == kind; });
    return marks;
}

} // namespace

TEST(SkyScene, TheMoonAndAStarStandAtTheirPixelsAndStarsGoByDay) {
    ASSERT_FALSE(Stars().empty());
    // Sydney on a June night, the Moon 19 degrees up.
    const SkyAt night(Place(-33.8688, 151.2093), UnixMsFromJulianDate(JulianDate(2026, 6, 21, 12, 0, 0)));
    const SkyBody moon = night.Moon();
    ASSERT_GT(moon.direction.elevation, 10.0);
    const SkyLook atMoon{moon.direction.azimuth, moon.direction.elevation, 2.0};
    const SkyPicture zoomed = ComposeSky(night, Stars(), {}, {}, atMoon, 800, 600);
    EXPECT_EQ(zoomed.light, SkyLight::Night);
    const auto moons = OfKind(zoomed, SkyMark::Kind::Moon);
    ASSERT_EQ(moons.size(), 1u);
    EXPECT_NEAR(moons[0].x, 400.0, 0.01);
    EXPECT_NEAR(moons[0].y, 300.0, 0.01);
    // Its true size at a 2 degree field: 600 pixels span 2 degrees.
    EXPECT_NEAR(moons[0].radiusPx, moon.radiusDeg * 300.0, 1.0);
    EXPECT_TRUE(OfKind(zoomed, SkyMark::Kind::Sun).empty()) << "below the horizon, behind the camera";
    // Looking down at the ground: nothing of the sky is drawn on it.
    const SkyPicture ground = ComposeSky(night, Stars(), {true, 10.0, -5.0, 900.0, true}, {}, {0.0, -45.0, 100.0}, 800, 600);
    for (const SkyMark &mark : ground.marks) {
        double az = 0, el = 0;
        UnprojectSky({0.0, -45.0, 100.0}, 800, 600, mark.x, mark.y, az, el);
        EXPECT_GT(el, -0.3) << int(mark.kind) << " at " << az;
    }

    // The whole night sky: thousands of stars in a wide field, the brightest largest.
    const SkyPicture wide = ComposeSky(night, Stars(), {}, {}, {180.0, 45.0, 100.0}, 1200, 900);
    const auto stars = OfKind(wide, SkyMark::Kind::Star);
    EXPECT_GT(stars.size(), 400u);
    // Vega from Quito at dusk: where the sky puts it, at the middle of the picture.
    const ObserverPlace quito = Place(-0.1807, -78.4678);
    const SkyAt dusk(quito, UnixMsFromJulianDate(JulianDate(2026, 12, 9, 0, 30, 0)));
    const auto vega = std::find_if(Stars().begin(), Stars().end(), [](const CatalogueStar &s) { return s.name == "3Alp Lyr"; });
    ASSERT_NE(vega, Stars().end());
    const SkyDirection v = dusk.Star(*vega);
    const SkyPicture atVega = ComposeSky(dusk, Stars(), {}, {}, {v.azimuth, v.elevation, 1.0}, 800, 600);
    const auto seen = OfKind(atVega, SkyMark::Kind::Star);
    ASSERT_FALSE(seen.empty()) << "Vega stands out at dusk";
    const auto nearest = std::min_element(seen.begin(), seen.end(), [](const SkyMark &a, const SkyMark &b) {
        return std::hypot(a.x - 400, a.y - 300) < std::hypot(b.x - 400, b.y - 300);
    });
    EXPECT_LT(std::hypot(nearest->x - 400, nearest->y - 300), 0.01);
    EXPECT_GT(nearest->radiusPx, 2.0) << "a bright star";

    // Quito at noon: the Sun, no stars.
    const SkyAt noon(quito, UnixMsFromJulianDate(JulianDate(2026, 12, 8, 17, 30, 0)));
    const SkyPicture day = ComposeSky(noon, Stars(), {}, {}, {180.0, 60.0, 100.0}, 800, 600);
    EXPECT_EQ(day.light, SkyLight::Day);
    EXPECT_TRUE(OfKind(day, SkyMark::Kind::Star).empty());
    EXPECT_EQ(OfKind(day, SkyMark::Kind::Sun).size(), 1u);
}

TEST(SkyScene, TheStationShinesInSunlightAndGoesDarkInTheShadow) {
    const SkyAt dusk(Place(51.4769, -0.0005), UnixMsFromJulianDate(JulianDate(2026, 12, 8, 17, 30, 0)));
    StationInSky station{true, 200.0, 40.0, 600.0, true};
    std::vector<SkyTrackTick> track{{190.0, 30.0, "17:29", true}, {200.0, 40.0, "17:30", true}, {20.0, 10.0, "17:36", false}};
    const SkyLook look{200.0, 40.0, 60.0};
    const SkyPicture lit = ComposeSky(dusk, {}, station, track, look, 800, 600);
    const auto marks = OfKind(lit, SkyMark::Kind::Station);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_NEAR(marks[0].x, 400.0, 1e-9);
    EXPECT_TRUE(std::isfinite(lit.stationMagnitude));
    EXPECT_LT(lit.stationMagnitude, -1.0);
    EXPECT_GT(lit.stationMagnitude, -4.5);
    const auto ticks = OfKind(lit, SkyMark::Kind::TrackTick);
    ASSERT_EQ(ticks.size(), 2u) << "the tick behind the camera is left out";
    EXPECT_EQ(ticks[0].label, "17:29");
    station.rangeKm = 1800.0;
    EXPECT_GT(ComposeSky(dusk, {}, station, {}, look, 800, 600).stationMagnitude, lit.stationMagnitude)
        << "farther, fainter";
    station.sunlit = false;
    const SkyPicture shadow = ComposeSky(dusk, {}, station, {}, look, 800, 600);
    EXPECT_TRUE(std::isnan(shadow.stationMagnitude));
    ASSERT_EQ(OfKind(shadow, SkyMark::Kind::Station).size(), 1u);
    EXPECT_LT(OfKind(shadow, SkyMark::Kind::Station)[0].brightness, 0.5f);
    station.placed = false;
    EXPECT_TRUE(OfKind(ComposeSky(dusk, {}, station, {}, look, 800, 600), SkyMark::Kind::Station).empty());
}
