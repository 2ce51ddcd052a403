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

// The live clock in hand: sources the test moves, starting at factor 1.
class ClockInHand : public ::testing::Test {
protected:
    int64_t elapsed = 5000, utc = 1765000000000;
    LiveClock clock{[this] { return utc; }, [this] { return elapsed; }};
    int64_t Shown() const { return clock.Time(); }
};

TEST_F(ClockInHand, RunsAtItsFactorFromWhereItWasSetAndNowBringsBackRealTime) {
    clock.Advance();
    EXPECT_EQ(Shown(), 1765000000000) << "starts now";
    EXPECT_TRUE(ShowsRealTime(clock.Factor(), clock.Reading().aheadMs));
    clock.SetFactor(10.0f);
    elapsed += 70;
    utc += 3600000; // the system clock steps: nothing to a sped-up clock
    EXPECT_EQ(clock.Advance(), 700) << "a slow frame loses nothing";
    elapsed += 930;
    clock.Advance();
    EXPECT_EQ(Shown(), 1765000000000 + 10000);
    clock.SetFactor(60.0f); // a new factor runs on from where the clock stands
    elapsed += 500;
    clock.Advance();
    EXPECT_EQ(Shown(), 1765000000000 + 10000 + 30000);
    EXPECT_EQ(clock.Reading().aheadMs, 40000 - 3600000);

    // Fifty days at one factor: more milliseconds than 32 bits hold.
    elapsed += 50LL * 86400000;
    clock.Advance();
    EXPECT_EQ(Shown(), 1765000000000 + 40000 + 3000LL * 86400000);

    clock.Now(); // after a factor change
    EXPECT_EQ(clock.Factor(), 1.0f);
    EXPECT_EQ(Shown(), utc);
    elapsed += 100;
    utc += 100;
    clock.Advance();
    EXPECT_EQ(Shown(), utc) << "real speed";
    utc -= 7200000; // at factor 1 a step of the system clock is followed
    clock.Advance();
    EXPECT_EQ(Shown(), utc);
    EXPECT_EQ(clock.Reading().aheadMs, 0);
}

TEST_F(ClockInHand, AChosenMomentRunsOnAtTheFactorInUseAndAPauseHoldsIt) {
    clock.SetTime(0); // even 1970 itself is a moment
    clock.Advance();
    EXPECT_EQ(Shown(), 0);
    const int64_t moment = 1800000000000;
    clock.SetTime(moment);
    elapsed += 1000;
    utc += 1000;
    EXPECT_EQ(clock.Advance(), 1000);
    EXPECT_EQ(Shown(), moment + 1000) << "factor 1: real speed from the moment";
    EXPECT_EQ(clock.Reading().aheadMs, moment - 1765000000000);
    EXPECT_FALSE(ShowsRealTime(clock.Factor(), clock.Reading().aheadMs));
    clock.SetFactor(30.0f);
    clock.SetTime(moment);
    elapsed += 1000;
    clock.Advance();
    EXPECT_EQ(Shown(), moment + 30000) << "and at the factor chosen";

    // Paused where it stood when stopped, however long; running again from there.
    elapsed += 100;
    clock.SetPaused(true);
    EXPECT_EQ(Shown(), moment + 33000);
    elapsed += 60000;
    utc += 60000;
    EXPECT_EQ(clock.Advance(), 0);
    EXPECT_EQ(Shown(), moment + 33000);
    EXPECT_EQ(clock.Reading().aheadMs, moment + 33000 - utc) << "falls behind the real time";
    EXPECT_TRUE(clock.Reading().paused);
    clock.SetPaused(false);
    elapsed += 10;
    clock.Advance();
    EXPECT_EQ(Shown(), moment + 33300);
    // Paused at real time: no longer the real time.
    clock.Now();
    clock.SetPaused(true);
    EXPECT_FALSE(ShowsRealTime(clock.Factor(), clock.Reading().aheadMs, true));
    clock.Now();
    EXPECT_FALSE(clock.Paused()) << "\"Now\" runs";
}

TEST(LiveClockReal, FollowsTheSystemsUtcAtFactorOne) {
    LiveClock clock(UtcNowMs, ElapsedMs);
    const auto system = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    for (int i = 0; i < 3; ++i) {
        const int64_t before = system();
        clock.Advance();
        const int64_t after = system();
        EXPECT_GE(clock.Time(), before);
        EXPECT_LE(clock.Time(), after);
        EXPECT_EQ(clock.Reading().aheadMs, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
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
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, day + 2 * h), "  [+1d2h]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, 12 * m), "  [+12m]");
    EXPECT_EQ(ShownTimeSceneMarker(60.0f, -1000), "  [60x, -1s]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, m + 500), "  [+1m]");
    // Paused: said whatever the factor, with how far behind it falls.
    EXPECT_EQ(ShownTimeSceneMarker(30.0f, 0, true), "  [paused]");
    EXPECT_EQ(ShownTimeSceneMarker(1.0f, -5 * m, true), "  [paused, -5m]");
    EXPECT_EQ(ShownTimePanelLines(1.0f, -5 * m, true),
              (Lines{"Shown time: paused (Timer > Start / Stop)", "  5 min behind"}));
    // Each unit from its first whole one.
    EXPECT_EQ(ShownTimePanelLines(60.0f, -1000), (Lines{"Shown time: 60 \u00d7 real time", "  1 s behind"}));
    EXPECT_EQ(FormatSpan(h), "1 h 0 min");
    EXPECT_EQ(FormatSpan(m), "1 min");
    // The span of any 64-bit difference is said without overflow.
    EXPECT_EQ(FormatSpan(INT64_MIN + 1).find('-'), std::string::npos);
}

TEST(LiveScene, PanelNamesTheStationItsPlaceItsLightOrWhyItHasNone) {
    OrbitalElements elements;
    elements.name = "ISS (ZARYA)";
    elements.catalogNumber = 25544;
    elements.epochYear = 2026;
    elements.epochDay = 342.5; // 8 December, noon
    LiveState state;
    state.speed = 7.66;
    state.place = {-4.361, -96.114, 420.06};
    state.sunlit = false;
    state.minutes = 3.0 * 1440;
    const std::vector<std::string> fresh = LivePanelLines(elements, state);
    EXPECT_EQ(fresh,
              std::vector<std::string>({"ISS (ZARYA) (25544)", "Speed: 7660 m/sec", "Altitude: 420.1 km",
                                        "Longitude: 96.11 DEG West", "Latitude: 4.36 DEG South",
                                        "In the Earth's shadow", "Elements: 3.0 days old"}));
    state.place = {51.5, 0.5, 410.0};
    state.sunlit = true;
    state.minutes = 14.0 * 1440;
    const std::vector<std::string> old = LivePanelLines(elements, state);
    ASSERT_EQ(old.size(), 7u) << "at 14 days, still a place";
    EXPECT_EQ(old[3], "Longitude: 0.50 DEG East");
    EXPECT_EQ(old[4], "Latitude: 51.50 DEG North");
    EXPECT_EQ(old[5], "In sunlight");
    // Elements from the future: how far, never a negative age.
    state.minutes = -0.3 * 1440;
    const std::vector<std::string> ahead = LivePanelLines(elements, state);
    ASSERT_EQ(ahead.size(), 7u);
    EXPECT_EQ(ahead[6], "Elements lie 0.3 days in the future");

    // Beyond 14 days either way, or where the propagator fails, no place: why, and what to do.
    using Lines = std::vector<std::string>;
    const Lines far{"ISS (ZARYA) (25544)", "No position at the shown time.", "These elements describe the orbit",
                    "around 8 Dec 2026: pick a time", "within 14 days of it, or update", "the elements."};
    for (double days : {14.01, -14.01, -44.0, -69.0 * 365.25, 74.0 * 365.25}) {
        state.minutes = days * 1440;
        EXPECT_FALSE(HasPosition(state)) << days;
        EXPECT_EQ(LivePanelLines(elements, state), far) << days;
    }
    state.error = 1; // years away the propagator fails too; the time is the reason given
    EXPECT_EQ(LivePanelLines(elements, state), far);
    state.minutes = 1440;
    state.error = Sgp4::kErrorDecayed;
    EXPECT_FALSE(HasPosition(state));
    EXPECT_EQ(LivePanelLines(elements, state),
              (Lines{"ISS (ZARYA) (25544)", "No position at the shown time.", "By then these elements have the",
                     "station fall back to the Earth.", "Pick a time nearer 8 Dec 2026,", "or update the elements."}));
    state.error = 1;
    const Lines failed = LivePanelLines(elements, state);
    ASSERT_EQ(failed.size(), 6u);
    EXPECT_EQ(failed[2], "These elements give no orbit") << "never the propagator's own words";
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
