// The passes window's pure side: the sky chart's projection, which passes are
// listed, the cells' texts, and the paths drawn on the chart.
#include "orbit/astro.h"
#include "orbit/elements.h"
#include "view/core/passlist.h"
#include "view/core/skychart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace {

constexpr double kCentreX = 200, kCentreY = 150, kRadius = 100;

void ExpectAt(double az, double el, double x, double y) {
    const ChartPoint p = SkyChartPosition(az, el, kCentreX, kCentreY, kRadius);
    EXPECT_NEAR(p.x, x, 1e-9) << "azimuth " << az << ", elevation " << el;
    EXPECT_NEAR(p.y, y, 1e-9) << "azimuth " << az << ", elevation " << el;
}

Pass PassAt(double riseJd, double minutes, bool visible) {
    Pass pass;
    pass.rise.jd = riseJd;
    pass.set.jd = riseJd + minutes / 1440.0;
    pass.visible = visible;
    pass.magnitude = visible ? -2.46 : std::nan("");
    return pass;
}

} // namespace

// Looking up with north at the top: the zenith in the middle, the horizon the
// circle, east on the LEFT and west on the right, elevation linear in the radius.
TEST(SkyChart, NorthUpEastLeftZenithCentreHorizonCircle) {
    ExpectAt(123, 90, kCentreX, kCentreY);
    ExpectAt(0, 0, kCentreX, kCentreY - kRadius);
    ExpectAt(90, 0, kCentreX - kRadius, kCentreY);
    ExpectAt(180, 0, kCentreX, kCentreY + kRadius);
    ExpectAt(270, 0, kCentreX + kRadius, kCentreY);
    ExpectAt(90, 45, kCentreX - kRadius / 2, kCentreY);
    ExpectAt(0, 60, kCentreX, kCentreY - kRadius / 3);
    ExpectAt(270, -5, kCentreX + kRadius, kCentreY); // below the horizon: on it
    // The arrow points the way the path goes: each barb its size back from the tip,
    // 25 degrees off the shaft, one either side; with no way to go, it points up.
    const struct {
        ChartPoint from, tip;
        double ux, uy;
    } arrows[] = {{{0, 0}, {10, 0}, 1, 0},
                  {{3, 4}, {9, 12}, 0.6, 0.8},
                  {{5, 5}, {5, 4.5}, 0, -1},
                  {{2, 2}, {2, 2}, 0, -1}};
    for (const auto &a : arrows) {
        const ArrowHead head = ArrowHeadAt(a.from, a.tip, 4);
        EXPECT_EQ(head.tip.x, a.tip.x);
        EXPECT_EQ(head.tip.y, a.tip.y);
        double side[2];
        int k = 0;
        for (const ChartPoint &barb : {head.left, head.right}) {
            const double bx = barb.x - a.tip.x, by = barb.y - a.tip.y;
            EXPECT_NEAR(std::hypot(bx, by), 4, 1e-9) << a.tip.x << "," << a.tip.y;
            EXPECT_NEAR(-(bx * a.ux + by * a.uy) / 4, std::cos(25 * 3.14159265358979323846 / 180), 1e-9);
            side[k++] = a.ux * by - a.uy * bx;
        }
        EXPECT_LT(side[0] * side[1], 0) << "one barb either side of the shaft";
    }
}

// A pass under way stays listed until it sets; the filter keeps the visible ones.
TEST(PassList, ShownUntilSetAndFilteredToVisible) {
    const double t = 2461383.0;
    const std::vector<Pass> passes = {PassAt(t - 0.02, 6, true), PassAt(t - 0.001, 5, false),
                                      PassAt(t + 0.06, 4, false), PassAt(t + 0.12, 7, true)};
    EXPECT_EQ(ShownPasses(passes, t, false), (std::vector<size_t>{1, 2, 3})) << "the first one is over";
    EXPECT_EQ(ShownPasses(passes, t, true), (std::vector<size_t>{3}));
    EXPECT_EQ(ShownPasses(passes, passes[1].set.jd, false), (std::vector<size_t>{1, 2, 3})) << "setting now";
    EXPECT_EQ(ShownPasses(passes, t - 1, true), (std::vector<size_t>{0, 3}));
    EXPECT_EQ(AzimuthText(359.7), "0\u00b0 N");
    EXPECT_EQ(AzimuthText(247.4), "247\u00b0 WSW");
    EXPECT_EQ(DurationText(365.4), "6:05");
    EXPECT_EQ(DurationText(59.6), "1:00");
    EXPECT_EQ(MagnitudeText(passes[0]), "-2.5");
    EXPECT_EQ(MagnitudeText(passes[1]), "") << "not visible: no estimate";
}

// Each path runs from the rise to the set, in time order, and is marked visible
// exactly over the pass's visible part.
TEST(PassList, PathsRunFromRiseToSetMarkedWhereVisible) {
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    ASSERT_FALSE(file.sets.empty());
    PassRequest request;
    request.elements = file.sets[0];
    request.place.set = true;
    request.place.latitude = 51.48;
    request.place.longitude = -0.0;
    request.place.heightM = 46;
    request.search.startJd = JulianDate(2026, 12, 8, 0, 0, 0);
    request.search.endJd = request.search.startJd + 3;
    const PassListing listing = ListPasses(request, 12);
    ASSERT_FALSE(listing.failed);
    ASSERT_GE(listing.passes.size(), 3u);
    ASSERT_EQ(listing.tracks.size(), listing.passes.size());
    int visible = 0;
    for (size_t i = 0; i < listing.passes.size(); ++i) {
        const Pass &pass = listing.passes[i];
        const std::vector<SkyTrackPoint> &track = listing.tracks[i];
        ASSERT_EQ(track.size(), pass.visible ? 15u : 13u);
        EXPECT_DOUBLE_EQ(track.front().jd, pass.rise.jd);
        EXPECT_DOUBLE_EQ(track.back().jd, pass.set.jd);
        EXPECT_NEAR(track.front().azimuth, pass.rise.azimuth, 1e-4);
        EXPECT_NEAR(track.front().elevation, request.search.minElevation, 1e-3);
        EXPECT_NEAR(track.back().azimuth, pass.set.azimuth, 1e-4);
        double highest = -90;
        for (size_t k = 0; k < track.size(); ++k) {
            if (k > 0) {
                EXPECT_GE(track[k].jd, track[k - 1].jd);
            }
            highest = std::max(highest, track[k].elevation);
            const bool inside =
                pass.visible && track[k].jd >= pass.visibleStart.jd && track[k].jd <= pass.visibleEnd.jd;
            EXPECT_EQ(track[k].visible, inside);
            visible += track[k].visible;
        }
        EXPECT_NEAR(highest, pass.culmination.elevation, 1e-4) << "the path goes through the top";
    }
    EXPECT_GT(visible, 0) << "December evenings over London show some of them";
    // A search that cannot be made lists nothing and says why, for the window's status.
    request.search.startJd -= 69 * 365.25; // the elements lie in the future
    request.search.endJd -= 69 * 365.25;
    const PassListing ahead = ListPasses(request, 12);
    EXPECT_TRUE(ahead.failed);
    EXPECT_TRUE(ahead.passes.empty());
    EXPECT_TRUE(ahead.tracks.empty());
    EXPECT_EQ(ahead.reason, "the elements lie 25201.8 days in the future");
    request.elements.meanMotion = 0; // no orbit
    const PassListing none = ListPasses(request, 12);
    EXPECT_TRUE(none.failed);
    EXPECT_EQ(none.reason.rfind("the elements cannot be propagated: ", 0), 0u) << none.reason;
}
