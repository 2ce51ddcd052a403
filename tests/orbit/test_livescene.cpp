// What the live orbit's clock line and data panel say.
#include "tests/orbit/astro_reference.h"
#include "view/core/livescene.h"
#include "view/core/observerpanel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

TEST(LiveScene, ClockLineIsUtcOnATwelveHourClock) {
    const int64_t day = 20000LL * 86400000; // a midnight, UTC
    const auto at = [day](int h, int m, int s) {
        return FormatUtcClockLine(day + ((h * 60 + m) * 60 + s) * 1000LL + 999);
    };
    EXPECT_EQ(at(0, 5, 7), "Time(GMT):  12:5:7 a.m.");
    EXPECT_EQ(at(11, 59, 59), "Time(GMT):  11:59:59 a.m.");
    EXPECT_EQ(at(12, 0, 0), "Time(GMT):  12:0:0 p.m.");
    EXPECT_EQ(at(23, 59, 59), "Time(GMT):  11:59:59 p.m.");
    EXPECT_EQ(FormatUtcClockLine(day), "Time(GMT):  12:0:0 a.m.") << "midnight itself";
    EXPECT_EQ(FormatUtcClockLine(-1000), "Time(GMT):  11:59:59 p.m.") << "before 1970 too";
}

namespace {
int64_t g_elapsed = 0, g_utc = 0;
} // namespace

// The live clock in hand: fixed sources, factor 1, not yet started; left as found.
class LiveClock : public ::testing::Test {
protected:
    void SetUp() override {
        g_elapsed = 5000;
        g_utc = 1765000000000;
        SetElapsedMsSource([] { return g_elapsed; });
        SetUtcNowSource([] { return g_utc; });
        g_liveUtcMs = 0;
        g_liveFactor = 1.0f;
    }
    void TearDown() override {
        SetElapsedMsSource(nullptr);
        SetUtcNowSource(nullptr);
        g_liveUtcMs = 0;
        g_liveFactor = 1.0f;
    }
};

TEST_F(LiveClock, RunsAtItsFactorFromWhereItWasSetAndNowBringsBackRealTime) {
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, 1765000000000) << "starts now";
    EXPECT_TRUE(ShowsRealTime(g_liveFactor, LiveClockAheadMs()));
    g_liveFactor = 10.0f;
    AdvanceLiveClock();
    g_elapsed += 70;
    g_utc += 3600000; // the system clock steps: nothing to a sped-up clock
    EXPECT_EQ(AdvanceLiveClock(), 700) << "a slow frame loses nothing";
    g_elapsed += 930;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, 1765000000000 + 10000);
    g_liveFactor = 60.0f; // a new factor runs on from where the clock stands
    AdvanceLiveClock();
    g_elapsed += 500;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, 1765000000000 + 10000 + 30000);
    EXPECT_EQ(LiveClockAheadMs(), 40000 - 3600000);

    // Fifty days at one factor: more milliseconds than 32 bits hold.
    g_elapsed += 50LL * 86400000;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, 1765000000000 + 40000 + 3000LL * 86400000);

    ResetLiveClock(); // "Now", after a factor change
    EXPECT_EQ(g_liveFactor, 1.0f);
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, g_utc);
    g_elapsed += 100;
    g_utc += 100;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, g_utc) << "real speed";
    g_utc -= 7200000; // at factor 1 a step of the system clock is followed
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, g_utc);
    EXPECT_EQ(LiveClockAheadMs(), 0);
}

TEST_F(LiveClock, AChosenMomentRunsOnAtTheFactorInUse) {
    AdvanceLiveClock();
    SetLiveClock(0); // even the epoch itself is a moment, not "unset"
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, 0);
    const int64_t moment = 1800000000000;
    SetLiveClock(moment);
    AdvanceLiveClock();
    g_elapsed += 1000;
    g_utc += 1000;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, moment + 1000) << "factor 1: real speed from the moment";
    EXPECT_EQ(LiveClockAheadMs(), moment - 1765000000000);
    EXPECT_FALSE(ShowsRealTime(g_liveFactor, LiveClockAheadMs()));
    g_liveFactor = 30.0f;
    SetLiveClock(moment);
    AdvanceLiveClock();
    g_elapsed += 1000;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, moment + 30000) << "and at the factor chosen";
    // A time written straight into the clock (as a test picture does) counts as chosen,
    // even over a "Now" not yet run; 0 means not started.
    g_liveUtcMs = moment;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, moment);
    ResetLiveClock();
    g_liveUtcMs = moment;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, moment);
    SetLiveClock(moment);
    g_liveUtcMs = 0;
    AdvanceLiveClock();
    EXPECT_EQ(g_liveUtcMs, g_utc);
}

TEST(LiveClockReal, FollowsTheSystemsUtcAtFactorOne) {
    SetUtcNowSource(nullptr);
    SetElapsedMsSource(nullptr);
    ResetLiveClock();
    const auto system = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    for (int i = 0; i < 3; ++i) {
        const int64_t before = system();
        AdvanceLiveClock();
        const int64_t after = system();
        EXPECT_GE(g_liveUtcMs, before);
        EXPECT_LE(g_liveUtcMs, after);
        EXPECT_EQ(LiveClockAheadMs(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    g_liveUtcMs = 0;
}

TEST(LiveScene, ShownTimeIsMarkedWheneverItIsNotNow) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(ShownTimePanelLines(1.0f, 0), Lines{});
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, 999), "") << "under a second is now";
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, -999), "");
    const int64_t m = 60000, h = 60 * m, day = 24 * h;
    EXPECT_EQ(ShownTimePanelLines(30.0f, 2 * h + 14 * m + 59999),
              (Lines{"Shown time: 30 \u00d7 real time", "  2 h 14 min ahead"}));
    EXPECT_EQ(ShownTimePanelLines(10.0f, 500), Lines{"Shown time: 10 \u00d7 real time"});
    EXPECT_EQ(ShownTimePanelLines(1.0f, -(3 * day + 4 * h + 5 * m)), Lines{"Shown time: 3 days 4 h behind"});
    EXPECT_EQ(ShownTimePanelLines(1.0f, day + 1000), Lines{"Shown time: 1 day 0 h ahead"});
    EXPECT_EQ(ShownTimePanelLines(60.0f, -45999),
              (Lines{"Shown time: 60 \u00d7 real time", "  45 s behind"}));
    EXPECT_EQ(ShownTimePanelLines(1.0f, 59 * m + 59999), Lines{"Shown time: 59 min ahead"});
    EXPECT_EQ(ShownTimeSceneMarker(30.0f, 2 * h + 4 * m), "  [30x, +2h04m]");
    EXPECT_EQ(ShownTimeSceneMarker(10.0f, 0), "  [10x]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, -(400 * day + 5 * h)), "  [-400d5h]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, 12 * m), "  [+12m]");
    EXPECT_EQ(ShownTimeSceneMarker(60.0f, -1000), "  [60x, -1s]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, m + 500), "  [+1m]");
    // Each unit from its first whole one.
    EXPECT_EQ(ShownTimePanelLines(60.0f, -1000), (Lines{"Shown time: 60 \u00d7 real time", "  1 s behind"}));
    EXPECT_EQ(FormatSpan(h), "1 h 0 min");
    EXPECT_EQ(FormatSpan(m), "1 min");
    // The span of any 64-bit difference is said without overflow.
    EXPECT_EQ(FormatSpan(INT64_MIN + 1).find('-'), std::string::npos);
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
    EXPECT_EQ(LivePanelLines(elements, state, 14.0).size(), 7u) << "at 14 days, not yet";
    // Elements from the future: how far, never a negative age; years ahead, no place at all.
    const std::vector<std::string> ahead = LivePanelLines(elements, state, -0.3);
    ASSERT_EQ(ahead.size(), 7u);
    EXPECT_EQ(ahead[6], "Elements lie 0.3 days in the future");
    elements.name.clear();
    EXPECT_EQ(LivePanelLines(elements, state, -10615.84),
              std::vector<std::string>(
                  {"Satellite (25544)", "No position: the elements lie 10615.8 days in the future"}));
    state.error = 6;
    EXPECT_EQ(LivePanelLines(elements, state, 1.0).size(), 2u) << "no place without a position";
}

TEST(LiveOrbit, StatesAndTrackAgreeWithTheIndependentReading) {
    std::string text, why;
    ASSERT_TRUE(ReadElementsText(QUOR_SOURCE_DIR "/tests/data/astro/reference.tle", text, why)) << why;
    const ElementsFile file = ParseElements(text);
    const std::vector<AstroReferenceRow> rows =
        ReadAstroReference(QUOR_SOURCE_DIR "/tests/data/astro/reference.txt");
    ASSERT_FALSE(rows.empty());
    int compared = 0;
    for (const OrbitalElements &set : file.sets) {
        LiveOrbit orbit;
        ASSERT_TRUE(orbit.SetElements(set));
        for (const AstroReferenceRow &row : rows) {
            if (row.catalog != set.catalogNumber)
                continue;
            SCOPED_TRACE(row.utc);
            const LiveState s = orbit.At(row.jd);
            ASSERT_EQ(s.error, 0);
            // A Julian date holds the time to some tens of microseconds: tolerances to match.
            EXPECT_NEAR(s.place.latitude, row.latitude, 1e-5);
            // The longitude too: a wrong Earth angle moves nothing else.
            const double dLon = std::fabs(s.place.longitude - row.longitude);
            EXPECT_LT(std::min(dLon, 360.0 - dLon), 1e-5) << s.place.longitude << " vs " << row.longitude;
            EXPECT_NEAR(s.place.altitude, row.altitude, 1e-3);
            EXPECT_NEAR(s.speed, row.speed, 1e-6);
            EXPECT_EQ(s.sunlit, row.sunlit != 0) << "margin " << row.margin;
            ++compared;
        }
        // The track: half an orbit behind to one ahead, the moment itself a third of the way along.
        const double jd = orbit.EpochJulianDate() + 0.1;
        const auto track = orbit.Track(jd, 241);
        if (orbit.At(jd).error != 0)
            continue;
        ASSERT_EQ(track.size(), 241u);
        double now[3];
        TemeToEcef(orbit.At(jd).position, Gmst(jd), now);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(track[80][i], now[i], 1.0) << "the station's own point";
        double first[3], r[3], v[3];
        Sgp4 propagator;
        ASSERT_TRUE(propagator.Init(set));
        const double startMinutes = 0.1 * 1440.0 - orbit.PeriodMinutes() / 2.0;
        ASSERT_EQ(propagator.Propagate(startMinutes, r, v), 0);
        TemeToEcef(r, Gmst(orbit.EpochJulianDate() + startMinutes / 1440.0), first);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(track[0][i], first[i], 1.0) << "half an orbit behind";
    }
    EXPECT_GT(compared, 40);
}

namespace {

// The time zone for one test, put back after it.
class ZoneFor {
public:
    explicit ZoneFor(const char *zone) {
        const char *old = std::getenv("TZ");
        m_had = old != nullptr;
        m_old = old ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneFor() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

} // namespace

// Where to look from the observer: straight up from under the station, below the
// horizon from the far side of the Earth; without a place, how to set one.
TEST(ObserverPanel, SaysWhereToLookAndWhenTheNextPassRises) {
    const ZoneFor zone("Asia/Kolkata"); // half an hour off the hour
    std::string text, why;
    ASSERT_TRUE(ReadElementsText(QUOR_SOURCE_DIR "/tests/data/live/station.tle", text, why)) << why;
    const ElementsFile file = ParseElements(text);
    ASSERT_EQ(file.sets.size(), 1u);
    LiveOrbit orbit;
    ASSERT_TRUE(orbit.SetElements(file.sets[0]));
    const double jd = JulianDate(2026, 12, 8, 0, 0, 0);
    const LiveState state = orbit.At(jd);
    ASSERT_EQ(state.error, 0);

    EXPECT_EQ(ObserverPanelLines(ObserverPlace(), state, jd, nullptr),
              std::vector<std::string>{"Set a location (File > Set Location\u2026) to see where to look."});

    ObserverPlace under;
    under.set = true;
    under.name = "Below";
    under.latitude = state.place.latitude;
    under.longitude = state.place.longitude;
    const std::vector<std::string> up = ObserverPanelLines(under, state, jd, nullptr);
    ASSERT_EQ(up.size(), 5u);
    EXPECT_EQ(up[0], "From Below:");
    EXPECT_EQ(up[1].rfind("Azimuth: ", 0), 0u);
    ASSERT_EQ(up[2].rfind("Elevation: ", 0), 0u) << up[2];
    EXPECT_NEAR(std::stod(up[2].substr(11)), 90.0, 0.1) << "straight up from under the station";
    EXPECT_EQ(up[3], "Range: " + std::to_string(static_cast<int>(std::lround(state.place.altitude))) + " km")
        << "straight down, the range is the height";
    EXPECT_EQ(up[4], "No pass in the next 2 days");
    EXPECT_EQ(ObserverPanelLines(under, state, jd, nullptr, "why not")[4], "No passes: why not")
        << "no search made: its reason";

    ObserverPlace far = under;
    far.name.clear();
    far.latitude = -state.place.latitude;
    far.longitude = state.place.longitude + 180.0;
    const std::vector<std::string> below = ObserverPanelLines(far, state, jd, nullptr);
    ASSERT_EQ(below.size(), 5u);
    EXPECT_EQ(below[0], "From your location:");
    EXPECT_NE(below[2].find("(below the horizon)"), std::string::npos) << below[2];
    EXPECT_EQ(below[2].rfind("Elevation: -", 0), 0u) << below[2];

    // The next pass over London, in local time with the zone's name.
    ObserverPlace london;
    london.set = true;
    london.latitude = 51.5;
    london.longitude = -0.13;
    NextPassFinder finder;
    const Pass *next = finder.Next(file.sets[0], london, jd);
    ASSERT_NE(next, nullptr);
    EXPECT_GT(next->rise.jd, jd);
    EXPECT_LT(next->rise.jd, jd + 1.0) << "the station passes London every day";
    const std::vector<std::string> lines = ObserverPanelLines(london, state, jd, next);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "Next pass: " + FormatLocalTime(UnixMsFromJulianDate(next->rise.jd)) +
                            (next->visible ? ", visible" : ""));
    EXPECT_EQ(FormatLocalTime(UnixMsFromJulianDate(jd)), "08 Dec 05:30:00 IST");
    EXPECT_EQ(ObserverPanelLines(london, orbit.At(next->culmination.jd), next->culmination.jd, next)[4].rfind(
                  "Passing now, sets " + FormatLocalTime(UnixMsFromJulianDate(next->set.jd)), 0),
              0u);

    // Just risen above the horizon, not yet above the pass's 10 degrees: no longer below it.
    double jdLow = next->rise.jd;
    for (LiveState s = orbit.At(jdLow); jdLow > jd; jdLow -= 1.0 / 86400.0, s = orbit.At(jdLow)) {
        const std::vector<std::string> low = ObserverPanelLines(london, s, jdLow, next);
        const double elevation = std::stod(low[2].substr(11));
        if (elevation < 0.5) {
            ASSERT_GT(elevation, 0.0);
            EXPECT_EQ(low[2].find("below"), std::string::npos) << low[2];
            break;
        }
    }
    EXPECT_GT(jdLow, jd);
}

// The next pass is searched again only when something jumps or it is over.
TEST(ObserverPanel, SearchesForTheNextPassOnlyWhenSomethingChanges) {
    std::string text, why;
    ASSERT_TRUE(ReadElementsText(QUOR_SOURCE_DIR "/tests/data/live/station.tle", text, why)) << why;
    const ElementsFile file = ParseElements(text);
    ASSERT_EQ(file.sets.size(), 1u);
    ObserverPlace place;
    place.set = true;
    place.latitude = 51.5;
    place.longitude = -0.13;
    const double jd = JulianDate(2026, 12, 8, 0, 0, 0);
    NextPassFinder finder;
    const Pass *first = finder.Next(file.sets[0], place, jd);
    ASSERT_NE(first, nullptr);
    const double rise = first->rise.jd, set = first->set.jd;
    EXPECT_EQ(finder.Searches(), 1);
    for (double t = jd; t <= set; t += 1.0 / 1440.0)
        ASSERT_EQ(finder.Next(file.sets[0], place, t)->rise.jd, rise);
    EXPECT_EQ(finder.Searches(), 1) << "time running on within the pass";
    const Pass *after = finder.Next(file.sets[0], place, set + 1e-5);
    EXPECT_EQ(finder.Searches(), 2) << "the pass is over";
    ASSERT_NE(after, nullptr);
    EXPECT_GT(after->rise.jd, set);
    EXPECT_EQ(finder.Reason(), "");
    finder.Next(file.sets[0], place, jd);
    EXPECT_EQ(finder.Searches(), 3) << "the time jumped back";
    place.heightM = 100;
    finder.Next(file.sets[0], place, jd);
    EXPECT_EQ(finder.Searches(), 4) << "the place changed";
    OrbitalElements other = file.sets[0];
    other.epochDay += 0.5;
    finder.Next(other, place, jd);
    EXPECT_EQ(finder.Searches(), 5) << "new elements";
    finder.Next(other, place, jd);
    EXPECT_EQ(finder.Searches(), 5);
    place.latitude = -89.0; // too far south for the station to rise 10 degrees
    EXPECT_EQ(finder.Next(other, place, jd), nullptr);
    EXPECT_EQ(finder.Searches(), 6);
    EXPECT_EQ(finder.Next(other, place, jd + 0.9), nullptr);
    EXPECT_EQ(finder.Searches(), 6) << "no pass: the span searched still holds";
    finder.Next(other, place, jd + 1.1);
    EXPECT_EQ(finder.Searches(), 7) << "half the span gone: search further ahead";

    // Elements that decay within the span: no pass, and why, until elements that do not.
    OrbitalElements falling = file.sets[0];
    falling.bstar = 0.5;
    falling.epochDay += 0.25; // other elements, as the finder tells them
    place.latitude = 51.5;
    EXPECT_EQ(finder.Next(falling, place, jd), nullptr);
    EXPECT_EQ(finder.Reason().rfind("the propagator fails on 2026-12-08 ", 0), 0u) << finder.Reason();
    EXPECT_NE(finder.Reason().find(Sgp4::ErrorText(6)), std::string::npos) << finder.Reason();
    EXPECT_NE(finder.Next(file.sets[0], place, jd), nullptr);
    EXPECT_EQ(finder.Reason(), "");
}
