// The transit search against the once-a-second reference (transit_reference.h)
// at the places of tests/data/transits/cases.txt; the centre line it reports
// checked by going there; the Sun's and the Moon's interpolated track against
// ERFA's sky at moments between its samples.
#include "orbit/astro.h"
#include "orbit/elements.h"
#include "orbit/observer.h"
#include "orbit/sky.h"
#include "orbit/transits.h"
#include "tests/orbit/transit_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Case {
    ObserverPlace place;
    double startJd = 0;
    double days = 0;
    std::string kind; // crossing, graze, miss
    TransitBody body = TransitBody::Sun;
    std::string line;
};

double JulianDateOf(const std::string &iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &s);
    return JulianDate(y, mo, d, h, mi, s);
}

std::vector<Case> Cases() {
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/transits/cases.txt");
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        Case c;
        std::string from, body;
        words >> c.place.latitude >> c.place.longitude >> c.place.heightM >> from >> c.days >> c.kind >> body;
        c.place.set = true;
        c.startJd = JulianDateOf(from);
        c.body = body == "Moon" ? TransitBody::Moon : TransitBody::Sun;
        c.line = line;
        if (words)
            cases.push_back(c);
    }
    return cases;
}

Sgp4 Station() {
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    Sgp4 propagator;
    EXPECT_FALSE(file.sets.empty());
    if (!file.sets.empty()) {
        EXPECT_TRUE(propagator.Init(file.sets.front()));
    }
    return propagator;
}

// The place `km` away towards `azimuthDeg`, along the ground, at the same height.
ObserverPlace Moved(const ObserverPlace &place, double azimuthDeg, double km) {
    const Observer o = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    const double a = azimuthDeg * std::numbers::pi / 180.0;
    double p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = o.ecef[i] + km * (std::sin(a) * o.east[i] + std::cos(a) * o.north[i]);
    const Geodetic g = EcefToGeodetic(p);
    ObserverPlace moved = place;
    moved.latitude = g.latitude;
    moved.longitude = g.longitude;
    return moved;
}

} // namespace

TEST(Transits, FindsWhatTheOnceASecondReferenceFinds) {
    const std::vector<Case> cases = Cases();
    ASSERT_EQ(cases.size(), 4u);
    Sgp4 propagator = Station();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        TransitSearch search;
        search.startJd = c.startJd;
        search.endJd = c.startJd + c.days;
        const TransitList found = FindTransits(propagator, c.place, search);
        ASSERT_EQ(found.reason, "");
        const std::vector<ReferenceApproach> reference =
            ReferenceApproaches(propagator, c.place, search.startJd, search.endJd, search.within);
        ASSERT_EQ(found.transits.size(), reference.size());
        int ofTheBody = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            const Transit &t = found.transits[i];
            const ReferenceApproach &r = reference[i];
            EXPECT_EQ(t.body, r.body);
            EXPECT_NEAR(t.jd, r.jd, 1.0 / 86400.0);
            if (r.interior) {
                EXPECT_NEAR(t.separation, r.separation, 0.01);
            }
            EXPECT_NEAR(t.radius, r.radius, 1e-4);
            EXPECT_EQ(t.crossing, r.separation < r.radius);
            if (!t.crossing) {
                EXPECT_EQ(t.duration, 0.0);
            }
            if (t.body != c.body)
                continue;
            ++ofTheBody;
            if (c.kind == "crossing") {
                EXPECT_TRUE(t.crossing);
            } else if (c.kind == "graze") {
                // Just outside the disc, and no crossing for it.
                EXPECT_GT(t.separation, t.radius);
                EXPECT_LT(t.separation, 1.1 * t.radius);
                EXPECT_FALSE(t.crossing);
            } else {
                EXPECT_GT(t.separation, 2.0 * t.radius);
            }
        }
        EXPECT_EQ(ofTheBody, 1);
    }
}

// Where the search says the centre line is, the station crosses the centre; the
// crossing there lasts longer, as a chord through the centre against one at the
// separation off it.
TEST(Transits, GoingToTheCentreLineCrossesTheCentre) {
    Sgp4 propagator = Station();
    int crossings = 0;
    for (const Case &c : Cases()) {
        if (c.kind != "crossing")
            continue;
        SCOPED_TRACE(c.line);
        TransitSearch search;
        search.startJd = c.startJd;
        search.endJd = c.startJd + c.days;
        const TransitList here = FindTransits(propagator, c.place, search);
        ASSERT_EQ(here.transits.size(), 1u);
        const Transit &off = here.transits[0];
        ASSERT_TRUE(off.crossing);
        EXPECT_GT(off.separation, 0.15 * off.radius) << "the case starts well off the centre line";
        EXPECT_GT(off.centreLineKm, 1.0);

        search.startJd = off.jd - 0.01;
        search.endJd = off.jd + 0.01;
        const TransitList there =
            FindTransits(propagator, Moved(c.place, off.centreLineAzimuth, off.centreLineKm), search);
        ASSERT_EQ(there.transits.size(), 1u);
        const Transit &centre = there.transits[0];
        EXPECT_EQ(centre.body, c.body);
        EXPECT_NEAR(centre.jd, off.jd, 5.0 / 86400.0);
        // Ten degrees astray would leave more than a hundredth of the way
        // across the line still to go.
        EXPECT_LT(centre.separation, 0.01 * centre.radius);
        EXPECT_LT(centre.centreLineKm, 0.01 * off.centreLineKm);
        const double chord = std::sqrt(1.0 - std::pow(off.separation / off.radius, 2));
        EXPECT_NEAR(off.duration / centre.duration, chord, 0.015);
        ++crossings;
    }
    EXPECT_EQ(crossings, 2);
}

// What cannot be searched says why and lists nothing; an empty span is no failure.
TEST(Transits, RefusesWhatItCannotSearch) {
    Sgp4 propagator = Station();
    ObserverPlace place;
    place.set = true;
    place.latitude = 2.332;
    place.longitude = -49.6054;
    TransitSearch search;
    search.startJd = JulianDate(2026, 12, 7, 0, 0, 0);
    search.endJd = search.startJd + 1.0;
    const auto reason = [&](const ObserverPlace &where, const TransitSearch &span) {
        const TransitList found = FindTransits(propagator, where, span);
        EXPECT_TRUE(found.transits.empty() || found.reason.empty());
        return found.reason;
    };
    EXPECT_EQ(reason(place, search), "");
    ObserverPlace nowhere = place;
    nowhere.latitude = NAN;
    EXPECT_EQ(reason(nowhere, search), "the place is not one on the ground");
    TransitSearch wide = search;
    wide.within = 0;
    EXPECT_NE(reason(place, wide), "");
    wide.within = NAN;
    EXPECT_NE(reason(place, wide), "");
    TransitSearch backwards = search;
    std::swap(backwards.startJd, backwards.endJd);
    EXPECT_EQ(reason(place, backwards), "");
    TransitSearch early = search;
    early.startJd -= 400;
    EXPECT_NE(reason(place, early).find("the span to search is longer than a year"), std::string::npos);
    early.endJd = early.startJd + 1;
    EXPECT_NE(reason(place, early).find("days in the future"), std::string::npos);
}

// Between its minute samples the track stays on ERFA's Sun and Moon far closer
// than the transits need (a station crosses a disc in a second or so, moving a
// degree).
TEST(SkyTrack, FollowsTheSkyBetweenItsSamples) {
    ObserverPlace place;
    place.set = true;
    place.latitude = -33.9;
    place.longitude = 18.4;
    place.heightM = 300;
    const double start = JulianDate(2026, 12, 20, 0, 0, 0);
    const SkyTrack track(place, start, start + 1.0);
    ASSERT_TRUE(track.Valid());
    double worst[2] = {0, 0}, worstRadius = 0;
    // Every 7 minutes 23.5 seconds: all through the minute, both bodies high and low.
    for (long long ms = UnixMsFromJulianDate(start) + 500; ms < UnixMsFromJulianDate(start + 1.0);
         ms += 443500) {
        const SkyAt sky(place, ms);
        ASSERT_TRUE(sky.Valid());
        const SkyBody bodies[2] = {sky.Sun(), sky.Moon()};
        for (int k = 0; k < 2; ++k) {
            const TransitBody body = k == 0 ? TransitBody::Sun : TransitBody::Moon;
            double expected[3], got[3];
            EnuFromAzimuthElevation(bodies[k].direction.azimuth, bodies[k].direction.elevation, expected);
            track.Direction(body, JulianDateFromUnixMs(ms), got);
            worst[k] = std::max(worst[k], SeparationDegrees(expected, got));
            worstRadius = std::max(
                worstRadius, std::fabs(track.Radius(body, JulianDateFromUnixMs(ms)) - bodies[k].radiusDeg));
        }
    }
    EXPECT_LT(worst[0], 5e-4) << "the Sun";
    EXPECT_LT(worst[1], 5e-4) << "the Moon";
    EXPECT_LT(worstRadius, 1e-6);
}
