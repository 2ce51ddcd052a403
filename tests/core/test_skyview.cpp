// The "From Here" view's geometry and the sky's colour.
#include "view/core/skyview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {
float Brightness(const SkyColour &c) {
    return 0.3f * c.r + 0.6f * c.g + 0.1f * c.b;
}
} // namespace

TEST(SkyView, TheSkyDarkensThroughTheTwilightsAndGlowsTowardsALowSun) {
    EXPECT_EQ(SkyLightFor(30.0), SkyLight::Day);
    EXPECT_EQ(SkyLightFor(-0.5), SkyLight::Day) << "the Sun's upper limb still up";
    EXPECT_EQ(SkyLightFor(-3.0), SkyLight::CivilTwilight);
    EXPECT_EQ(SkyLightFor(-6.0), SkyLight::CivilTwilight);
    EXPECT_EQ(SkyLightFor(-9.0), SkyLight::NauticalTwilight);
    EXPECT_EQ(SkyLightFor(-15.0), SkyLight::AstronomicalTwilight);
    EXPECT_EQ(SkyLightFor(-18.5), SkyLight::Night);
    // The zenith, far from the Sun: each step of the Sun down darker, night nearly black.
    float last = 2.0f;
    for (double sun : {45.0, 5.0, -3.0, -9.0, -15.0, -25.0}) {
        const float now = Brightness(SkyColourAt(sun, 120.0, 90.0));
        EXPECT_LT(now, last) << sun;
        last = now;
    }
    EXPECT_LT(last, 0.02f);
    const SkyColour day = SkyColourAt(45.0, 120.0, 90.0);
    EXPECT_GT(day.b, day.r) << "a blue day sky";
    // At sunset the horizon glows warm towards the Sun, not away from it.
    const SkyColour sunward = SkyColourAt(-2.0, 5.0, 2.0), away = SkyColourAt(-2.0, 175.0, 2.0);
    EXPECT_GT(Brightness(sunward), Brightness(away) + 0.1f);
    EXPECT_GT(sunward.r, sunward.b);
}

TEST(SkyView, DirectionsLandWhereAPerspectiveCameraPutsThem) {
    const SkyLook look{250.0, 30.0, 60.0};
    double x = 0, y = 0;
    ASSERT_TRUE(ProjectSky(look, 800, 600, 250.0, 30.0, x, y));
    EXPECT_NEAR(x, 400.0, 1e-9);
    EXPECT_NEAR(y, 300.0, 1e-9);
    ASSERT_TRUE(ProjectSky(look, 800, 600, 250.0, 60.0, x, y));
    EXPECT_NEAR(x, 400.0, 1e-9);
    EXPECT_NEAR(y, 0.0, 1e-9) << "half the field up: the top edge";
    ASSERT_TRUE(ProjectSky(look, 800, 600, 255.0, 30.0, x, y));
    EXPECT_GT(x, 400.0) << "further round to the west: to the right when looking west-south-west";
    EXPECT_FALSE(ProjectSky(look, 800, 600, 70.0, -30.0, x, y)) << "straight behind";
    // Every pixel shows the direction that lands on it.
    for (const auto &[px, py] : {std::pair{0.0, 0.0}, {800.0, 600.0}, {123.0, 456.0}, {400.0, 300.0}}) {
        double az = 0, el = 0;
        UnprojectSky(look, 800, 600, px, py, az, el);
        ASSERT_TRUE(ProjectSky(look, 800, 600, az, el, x, y));
        EXPECT_NEAR(x, px, 1e-6);
        EXPECT_NEAR(y, py, 1e-6);
    }
    // Across north the azimuth wraps without a jump.
    const SkyLook north{359.5, 0.0, 10.0};
    ASSERT_TRUE(ProjectSky(north, 1000, 1000, 0.5, 0.0, x, y));
    EXPECT_NEAR(x, 500.0 + 500.0 * std::tan(std::numbers::pi / 180) / std::tan(5.0 * std::numbers::pi / 180), 1e-6);

    // Dragging moves the sky with the pointer; the elevation stops at the zenith.
    const SkyLook dragged = DraggedLook({180.0, 0.0, 60.0}, 100.0, 50.0, 600);
    ASSERT_TRUE(ProjectSky(dragged, 800, 600, 180.0, 0.0, x, y));
    EXPECT_NEAR(x, 500.0, 2.0);
    EXPECT_NEAR(y, 350.0, 2.0);
    EXPECT_EQ(DraggedLook({180.0, 80.0, 60.0}, 0.0, 1000.0, 600).elevation, 90.0);
    EXPECT_NEAR(DraggedLook({5.0, 0.0, 60.0}, 100.0, 0.0, 600).azimuth, 353.97, 0.01) << "across north";
}

TEST(SkyView, FollowsTheStationOrWaitsWhereTheNextPassRisesAndZoomsWithinItsLimits) {
    Pass next;
    next.rise.azimuth = 297.0;
    SkyLook look = FollowLook(true, 120.0, 45.0, &next, 30.0);
    EXPECT_EQ(look.azimuth, 120.0);
    EXPECT_EQ(look.elevation, 45.0);
    EXPECT_EQ(look.fovDeg, 30.0);
    look = FollowLook(false, 120.0, -5.0, &next, 30.0);
    EXPECT_EQ(look.azimuth, 297.0);
    EXPECT_EQ(look.elevation, 10.0);
    look = FollowLook(false, 120.0, -5.0, nullptr, 30.0);
    EXPECT_EQ(look.azimuth, 180.0);
    EXPECT_DOUBLE_EQ(ZoomedFov(100.0, 1.0), 80.0);
    EXPECT_DOUBLE_EQ(ZoomedFov(0.3, 5.0), kNarrowestFovDeg);
    EXPECT_DOUBLE_EQ(ZoomedFov(90.0, -3.0), kWidestFovDeg);
    const std::vector<HorizonMark> marks = HorizonMarks();
    ASSERT_EQ(marks.size(), 8u);
    EXPECT_EQ(marks[2].label, "E");
    EXPECT_EQ(marks[5].azimuth, 225.0);
}
