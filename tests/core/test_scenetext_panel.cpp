#include "panel/core/paneltext.h"
#include "view/core/scenetext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

TEST(SceneText, ClockAndLongitudeLines) {
    EXPECT_EQ(FormatClockLine(8, 0, 0), "Time(GMT):  8:0:0 a.m.");
    EXPECT_EQ(FormatClockLine(25, 3, 59), "Time(GMT):  25:3:59 a.m.");
    EXPECT_EQ(FormatLongitudeLine(179.99625f), "Longitude: 180.00 DEG");
    EXPECT_EQ(FormatLongitudeLine(-90.5f), "Longitude: -90.50 DEG");
    // The largest float still fits, digit for digit.
    const std::string huge = FormatLongitudeLine(std::numeric_limits<float>::max());
    EXPECT_EQ(huge.rfind("Longitude: 340282346638528859811704183484516925440.00 DEG", 0), 0u);
}

TEST(SceneText, FrameRateIsRecoveredFromTheScaledStep) {
    EXPECT_EQ(FormatFpsLine(30, 1.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(900, 30.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(1800, 60.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(1200, 30.0f), " 25 fps");
    EXPECT_EQ(FormatFpsLine(20, 1.0f), " 50 fps");
    EXPECT_EQ(FormatFpsLine(10, 10.0f), " 1000 fps");
}

TEST(SceneText, FrameRateNeverShowsUndefinedValues) {
    // A zero factor gives a zero step; nothing to divide by.
    EXPECT_EQ(FormatFpsLine(0, 0.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(900, 0.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(0, 30.0f), " 33 fps");
    EXPECT_EQ(FormatFpsLine(900, std::numeric_limits<float>::quiet_NaN()), " 33 fps");
    EXPECT_EQ(FormatFpsLine(-900, 30.0f), " 33 fps");
}

TEST(PanelText, SpeedAndAltitude) {
    auto lines = PanelLines(7.68737f, 363.5f, 0.0f, 0.0f);
    EXPECT_EQ(lines[0], "ISS Data:");
    EXPECT_EQ(lines[1], "Speed: 7687 m/sec");
    EXPECT_EQ(lines[2], "Altitude: 363.5 km");

    lines = PanelLines(0.0f, -12.25f, 0.0f, 0.0f);
    EXPECT_EQ(lines[1], "Speed: 0 m/sec");
    EXPECT_EQ(lines[2], "Altitude: -12.2 km"); // -12.25 is exact: printf rounds half to even
}

TEST(PanelText, LongitudeEastAndWestOfTheMapMiddle) {
    struct Case {
        float longitude;
        const char *line;
    };
    const Case cases[] = {
        {-90.0f, "Longitude: 90.00  DEG East"},   {90.0f, "Longitude: 90.00 DEG West"},
        {-180.0f, "Longitude: 0.00  DEG East"},   {180.0f, "Longitude: 0.00 DEG West"},
        {0.0f, "Longitude: 180.00 DEG West"},     {179.99625f, "Longitude: 0.00 DEG West"},
        {-0.004f, "Longitude: 180.00  DEG East"}, {-179.99f, "Longitude: 0.01  DEG East"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PanelLines(7.0f, 300.0f, c.longitude, 0.0f)[3], c.line) << c.longitude;
}

TEST(PanelText, LatitudeNorthAndSouth) {
    EXPECT_EQ(PanelLines(7.0f, 300.0f, 0.0f, 0.0f)[4], "Latitude: 0.00 DEG North");
    EXPECT_EQ(PanelLines(7.0f, 300.0f, 0.0f, -51.6f)[4], "Latitude: 51.60 DEG South");
    EXPECT_EQ(PanelLines(7.0f, 300.0f, 0.0f, 51.6f)[4], "Latitude: 51.60 DEG North");
}

TEST(PanelText, UndefinedValuesAreFormattedNotFatal) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto lines = PanelLines(nan, inf, nan, nan);
    EXPECT_EQ(lines[1], "Speed: nan m/sec");
    EXPECT_EQ(lines[2], "Altitude: inf km");
    // A NaN longitude passes neither test; the shared line buffer still holds the altitude.
    EXPECT_EQ(lines[3], "Altitude: inf km");
    EXPECT_EQ(lines[4], "Latitude: nan DEG South");
    EXPECT_EQ(PanelLines(1.0f, 1.0f, -inf, 1.0f)[3], "Longitude: -inf  DEG East");
}
