// What the live orbit's clock line and data panel say.
#include "view/core/livescene.h"

#include <gtest/gtest.h>

TEST(LiveScene, ClockLineIsUtcOnATwelveHourClock) {
    const int64_t day = 20000LL * 86400000; // a midnight, UTC
    const auto at = [day](int h, int m, int s) {
        return FormatUtcClockLine(day + ((h * 60 + m) * 60 + s) * 1000LL + 999);
    };
    EXPECT_EQ(at(0, 5, 7), "Time(GMT):  12:5:7 a.m.");
    EXPECT_EQ(at(11, 59, 59), "Time(GMT):  11:59:59 a.m.");
    EXPECT_EQ(at(12, 0, 0), "Time(GMT):  12:0:0 p.m.");
    EXPECT_EQ(at(23, 59, 59), "Time(GMT):  11:59:59 p.m.");
    EXPECT_EQ(FormatUtcClockLine(-1000), "Time(GMT):  11:59:59 p.m.") << "before 1970 too";
}

TEST(LiveScene, PanelNamesTheStationItsPlaceItsLightAndOldElements) {
    OrbitalElements elements;
    elements.name = "ISS (ZARYA)";
    elements.catalogNumber = 25544;
    LiveState state;
    state.speed = 7.66;
    state.place = {-4.361, -96.114, 420.06};
    state.sunlit = false;
    const std::vector<std::string> fresh = LivePanelLines(elements, state, 3.0);
    EXPECT_EQ(fresh,
              std::vector<std::string>({"ISS (ZARYA) (25544)", "Speed: 7660 m/sec", "Altitude: 420.1 km",
                                        "Longitude: 96.11 DEG West", "Latitude: 4.36 DEG South",
                                        "In the Earth's shadow", "Elements: 3.0 days old"}));
    state.place = {51.5, 0.5, 410.0};
    state.sunlit = true;
    const std::vector<std::string> old = LivePanelLines(elements, state, 14.5);
    ASSERT_EQ(old.size(), 8u);
    EXPECT_EQ(old[3], "Longitude: 0.50 DEG East");
    EXPECT_EQ(old[4], "Latitude: 51.50 DEG North");
    EXPECT_EQ(old[5], "In sunlight");
    EXPECT_EQ(old[7].rfind("Warning", 0), 0u) << "elements over 14 days old";
    state.error = 6;
    EXPECT_EQ(LivePanelLines(elements, state, 1.0).size(), 2u) << "no place without a position";
}
