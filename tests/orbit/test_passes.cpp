// Look angles and passes against an independent reading: tests/data/passes,
// written by make_pass_reference.py beside this file with Skyfield (its wgs84
// observer, altaz and find_events; SOFA's Sun for the light). UT1 is UTC there
// as here.
#include "orbit/observer.h"
#include "orbit/passes.h"
#include "tests/orbit/astro_reference.h"
#include "tests/orbit/tleline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;
const std::string kData = QUOR_SOURCE_DIR "/tests/data/passes/";

std::string Figure(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

// The data lines of a reference file, and its "# name ..." comment lines by name.
struct ReferenceFile {
    std::vector<std::string> rows;
    std::multimap<std::string, std::string> notes;
};

ReferenceFile ReadReference(const std::string &name) {
    std::ifstream in(kData + name);
    ReferenceFile file;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# ", 0) == 0) {
            std::istringstream words(line.substr(2));
            std::string key, rest;
            words >> key;
            std::getline(words, rest);
            file.notes.emplace(key, rest);
        } else if (!line.empty()) {
            file.rows.push_back(line);
        }
    }
    return file;
}

std::map<std::string, Observer> Observers(const ReferenceFile &file) {
    std::map<std::string, Observer> out;
    for (auto [it, end] = file.notes.equal_range("observer"); it != end; ++it) {
        std::istringstream words(it->second);
        std::string name;
        double lat = 0, lon = 0, heightM = 0;
        words >> name >> lat >> lon >> heightM;
        out[name] = MakeObserver(lat, lon, heightM / 1000.0);
    }
    return out;
}

std::map<int, Sgp4> Propagators() {
    std::ifstream in(kData + "elements.tle");
    std::stringstream text;
    text << in.rdbuf();
    std::map<int, Sgp4> out;
    for (const OrbitalElements &set : ParseElements(text.str()).sets)
        EXPECT_TRUE(out[set.catalogNumber].Init(set));
    return out;
}

double Seconds(double jdA, double jdB) {
    return (jdA - jdB) * 86400.0;
}

struct Event {
    int kind = 0; // 0 rise, 1 culmination, 2 set
    double jd = 0, azimuth = 0, elevation = 0;
};

struct Case {
    int catalog = 0;
    std::string observer;
    double minElevation = 0, startJd = 0, endJd = 0;
    std::vector<Event> events;
};

std::string Key(int catalog, const std::string &observer, double minElevation) {
    return std::to_string(catalog) + " " + observer + " " + Figure(minElevation);
}

class PassReference : public ::testing::Test {
protected:
    void SetUp() override {
        events = ReadReference("events.txt");
        observers = Observers(events);
        propagators = Propagators();
        ASSERT_EQ(observers.size(), 5u);
        ASSERT_EQ(propagators.size(), 2u);
        for (auto [it, end] = events.notes.equal_range("case"); it != end; ++it) {
            std::istringstream words(it->second);
            Case c;
            words >> c.catalog >> c.observer >> c.minElevation >> c.startJd >> c.endJd;
            cases[Key(c.catalog, c.observer, c.minElevation)] = c;
        }
        for (const std::string &row : events.rows) {
            std::istringstream words(row);
            int catalog = 0;
            std::string observer, utc;
            double minElevation = 0;
            Event e;
            words >> catalog >> observer >> minElevation >> e.kind >> utc >> e.jd >> e.azimuth >> e.elevation;
            ASSERT_TRUE(words) << row;
            e.jd = JulianDateOfUtc(utc);
            cases.at(Key(catalog, observer, minElevation)).events.push_back(e);
        }
        ASSERT_EQ(cases.size(), 9u);
    }

    std::vector<Pass> Find(const Case &c, double startJd, double endJd, double minElevation) {
        PassSearch search;
        search.startJd = startJd;
        search.endJd = endJd;
        search.minElevation = minElevation;
        PassList found = FindPasses(propagators.at(c.catalog), observers.at(c.observer), search);
        EXPECT_EQ(found.reason, "");
        return found.passes;
    }

    ReferenceFile events;
    std::map<std::string, Observer> observers;
    std::map<int, Sgp4> propagators;
    std::map<std::string, Case> cases;
};

TEST_F(PassReference, LookAngles) {
    const ReferenceFile looks = ReadReference("look.txt");
    ASSERT_GE(looks.rows.size(), 100u);
    double worstAz = 0, worstEl = 0, worstRange = 0, worstRate = 0;
    for (const std::string &row : looks.rows) {
        std::istringstream words(row);
        int catalog = 0;
        std::string observer, utc;
        double jd = 0, az = 0, el = 0, range = 0, rate = 0;
        words >> catalog >> observer >> utc >> jd >> az >> el >> range >> rate;
        ASSERT_TRUE(words) << row;
        LookAngles look;
        ASSERT_TRUE(LookAt(propagators.at(catalog), observers.at(observer), JulianDateOfUtc(utc), look));
        double dAz = std::fabs(look.azimuth - az);
        // Across the sky, not along the horizon: near the zenith azimuth means little.
        dAz = std::min(dAz, 360.0 - dAz) * std::cos(el * kDegree);
        worstAz = std::max(worstAz, dAz);
        worstEl = std::max(worstEl, std::fabs(look.elevation - el));
        worstRange = std::max(worstRange, std::fabs(look.range - range));
        worstRate = std::max(worstRate, std::fabs(look.rangeRate - rate));
    }
    RecordProperty("worstAzimuthDeg", Figure(worstAz));
    RecordProperty("worstElevationDeg", Figure(worstEl));
    RecordProperty("worstRangeKm", Figure(worstRange));
    RecordProperty("worstRangeRateKmS", Figure(worstRate));
    EXPECT_LT(worstAz, 0.02);
    EXPECT_LT(worstEl, 0.02);
    EXPECT_LT(worstRange, 0.1);
    EXPECT_LT(worstRate, 1e-3);
}

TEST_F(PassReference, RiseCulminationAndSet) {
    double worstRiseSet = 0, worstTop = 0, worstTopElevation = 0;
    int compared = 0;
    for (const auto &[key, c] : cases) {
        const std::vector<Pass> passes = Find(c, c.startJd, c.endJd, c.minElevation);
        const long tops =
            std::count_if(c.events.begin(), c.events.end(), [](const Event &e) { return e.kind == 1; });
        EXPECT_EQ(static_cast<long>(passes.size()), tops) << key;
        for (const Event &e : c.events) {
            // The nearest of our events of that kind.
            double best = 1e9, bestElevation = 0;
            for (const Pass &p : passes) {
                const PassPoint &mine = e.kind == 0 ? p.rise : e.kind == 1 ? p.culmination : p.set;
                if (std::fabs(Seconds(mine.jd, e.jd)) < std::fabs(best)) {
                    best = Seconds(mine.jd, e.jd);
                    bestElevation = mine.elevation;
                }
            }
            ++compared;
            if (e.kind == 1) {
                worstTop = std::max(worstTop, std::fabs(best));
                worstTopElevation = std::max(worstTopElevation, std::fabs(bestElevation - e.elevation));
                EXPECT_LT(std::fabs(best), 2.0) << key << " culmination at " << e.jd;
            } else {
                worstRiseSet = std::max(worstRiseSet, std::fabs(best));
                EXPECT_LT(std::fabs(best), 1.0) << key << (e.kind ? " set" : " rise") << " at " << e.jd;
                EXPECT_NEAR(bestElevation, c.minElevation, 1e-4) << key;
            }
        }
        for (const Pass &p : passes) {
            EXPECT_LT(p.rise.jd, p.culmination.jd);
            EXPECT_LT(p.culmination.jd, p.set.jd);
            EXPECT_NEAR(p.duration, Seconds(p.set.jd, p.rise.jd), 1e-3);
        }
    }
    RecordProperty("worstRiseSetS", Figure(worstRiseSet));
    RecordProperty("worstCulminationS", Figure(worstTop));
    RecordProperty("worstCulminationElevationDeg", Figure(worstTopElevation));
    EXPECT_GE(compared, 150);
    EXPECT_LT(worstTopElevation, 0.02);
}

TEST_F(PassReference, PassThatOnlyJustClearsTheMinimumIsFound) {
    // The lowest pass of the grazing observer, and a minimum 0.01 degree under
    // its top: above it for a few seconds only, far less than the search's step.
    const Case &c = cases.at(Key(48274, "grazing", 10));
    const Event *lowest = nullptr;
    for (const Event &e : c.events)
        if (e.kind == 1 && (!lowest || e.elevation < lowest->elevation))
            lowest = &e;
    ASSERT_TRUE(lowest);
    ASSERT_LT(lowest->elevation, 10.1);
    const double from = lowest->jd - 0.5, to = lowest->jd + 0.5;
    std::vector<Pass> passes = Find(c, from, to, lowest->elevation - 0.01);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_LT(passes[0].duration, 30.0);
    EXPECT_LT(std::fabs(Seconds(passes[0].culmination.jd, lowest->jd)), 2.0);
    EXPECT_TRUE(Find(c, from, to, lowest->elevation + 0.01).empty());
}

TEST_F(PassReference, PassUnderWayAtTheStartIsListedWhole) {
    const Case &c = cases.at(Key(43613, "santiago", 0));
    const auto rise =
        std::find_if(c.events.begin(), c.events.end(), [](const Event &e) { return e.kind == 0; });
    ASSERT_NE(rise, c.events.end());
    ASSERT_EQ(rise[1].kind, 1);
    // Started at the top, the pass still rises where it did.
    const std::vector<Pass> passes = Find(c, rise[1].jd, rise[1].jd + 0.01, 0);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_LT(std::fabs(Seconds(passes[0].rise.jd, rise->jd)), 1.0);
    EXPECT_LT(std::fabs(Seconds(passes[0].set.jd, rise[2].jd)), 1.0);
}

TEST_F(PassReference, VisibleWhereSunlitUnderADarkSky) {
    const ReferenceFile light = ReadReference("light.txt");
    ASSERT_GE(light.rows.size(), 1000u);
    struct Sample {
        std::string key;
        double jd = 0;
        bool visible = false;
    };
    std::vector<Sample> samples;
    for (const std::string &row : light.rows) {
        std::istringstream words(row);
        int catalog = 0, sunlit = 0;
        std::string observer, utc;
        double minElevation = 0, jd = 0, sunElevation = 0;
        words >> catalog >> observer >> minElevation >> utc >> jd >> sunlit >> sunElevation;
        ASSERT_TRUE(words) << row;
        samples.push_back(
            {Key(catalog, observer, minElevation), JulianDateOfUtc(utc), sunlit && sunElevation < -6});
    }
    std::map<std::string, std::vector<Pass>> found;
    for (const auto &[key, c] : cases)
        found[key] = Find(c, c.startJd, c.endJd, c.minElevation);
    int visible = 0, dark = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        // Samples of one pass are 10 s apart: the nearest change of the reference's
        // flag in the pass is at least this far.
        double clear = 1e9;
        for (size_t j = i;
             j-- > 0 && samples[j].key == samples[i].key && Seconds(samples[j + 1].jd, samples[j].jd) < 10.5;)
            if (samples[j].visible != samples[i].visible) {
                clear = std::min(clear, Seconds(samples[i].jd, samples[j].jd) - 10.0);
                break;
            }
        for (size_t j = i + 1; j < samples.size() && samples[j].key == samples[i].key &&
                               Seconds(samples[j].jd, samples[j - 1].jd) < 10.5;
             ++j)
            if (samples[j].visible != samples[i].visible) {
                clear = std::min(clear, Seconds(samples[j].jd, samples[i].jd) - 10.0);
                break;
            }
        if (clear <= 30.0)
            continue;
        // A second's grace at the ends: a pass's rise and set bound its visible part too.
        bool mine = false;
        for (const Pass &p : found.at(samples[i].key))
            if (p.visible && Seconds(p.visibleStart.jd, samples[i].jd) <= 1.0 &&
                Seconds(samples[i].jd, p.visibleEnd.jd) <= 1.0)
                mine = true;
        EXPECT_EQ(mine, samples[i].visible) << samples[i].key << " at " << samples[i].jd;
        (samples[i].visible ? visible : dark)++;
    }
    EXPECT_GT(visible, 50);
    EXPECT_GT(dark, 50);
}

TEST_F(PassReference, MagnitudeFromTheRangeAndPhaseAtTheVisibleTop) {
    // The reference gives the phase angle and range at each culmination; a pass
    // whose visible part holds its culmination is estimated there.
    const ReferenceFile phase = ReadReference("phase.txt");
    std::map<std::string, std::vector<std::vector<double>>> tops; // key: {jd, phase, range}
    for (const std::string &row : phase.rows) {
        std::istringstream words(row);
        int catalog = 0;
        std::string observer, utc;
        double minElevation = 0, jd = 0, angle = 0, range = 0;
        words >> catalog >> observer >> minElevation >> utc >> jd >> angle >> range;
        ASSERT_TRUE(words) << row;
        tops[Key(catalog, observer, minElevation)].push_back({JulianDateOfUtc(utc), angle, range});
    }
    int compared = 0;
    double worstPhase = 0, worstRange = 0;
    for (const auto &[key, c] : cases) {
        for (const Pass &p : Find(c, c.startJd, c.endJd, c.minElevation)) {
            if (!p.visible) {
                EXPECT_TRUE(std::isnan(p.magnitude)) << key;
                continue;
            }
            if (Seconds(p.culmination.jd, p.visibleStart.jd) < 1.0 ||
                Seconds(p.visibleEnd.jd, p.culmination.jd) < 1.0)
                continue;
            const std::vector<double> *top = nullptr;
            for (const std::vector<double> &t : tops[key])
                if (std::fabs(Seconds(t[0], p.culmination.jd)) < 2.0)
                    top = &t;
            ASSERT_TRUE(top) << key << " culmination at " << p.culmination.jd;
            worstPhase = std::max(worstPhase, std::fabs(p.phaseAngle - (*top)[1]));
            worstRange = std::max(worstRange, std::fabs(p.range - (*top)[2]));
            EXPECT_NEAR(p.magnitude, SatelliteMagnitude(-1.8, (*top)[2], (*top)[1]), 0.01) << key;
            ++compared;
        }
    }
    RecordProperty("worstPhaseDeg", Figure(worstPhase));
    RecordProperty("compared", compared);
    EXPECT_GE(compared, 5);
    EXPECT_LT(worstPhase, 0.02);
    EXPECT_LT(worstRange, 0.1);
}

// One set made here: its two lines, checksums worked out.
Sgp4 Propagator(const std::string &line1, const std::string &line2) {
    const ElementsFile file = ParseElements(Resum(line1) + "\n" + Resum(line2) + "\n");
    Sgp4 sgp4;
    EXPECT_EQ(file.sets.size(), 1u);
    if (!file.sets.empty()) {
        EXPECT_TRUE(sgp4.Init(file.sets[0]));
    }
    return sgp4;
}

PassList Search(Sgp4 &sgp4, const Observer &observer, double startJd, double days, double minElevation = 10) {
    PassSearch search;
    search.startJd = startJd;
    search.endJd = startJd + days;
    search.minElevation = minElevation;
    return FindPasses(sgp4, observer, search);
}

// Where the elements give no track over the span, the search says so and lists
// nothing, rather than passes whose highest point is below the horizon.
TEST(Passes, NoSearchWhereTheElementsGiveNoTrack) {
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    ASSERT_EQ(file.sets.size(), 1u);
    Sgp4 station;
    ASSERT_TRUE(station.Init(file.sets[0]));
    const double epoch = EpochJulianDate(file.sets[0]);
    const Observer london = MakeObserver(51.48, -0.01, 0.045);

    // 69 years before the epoch (a year read in the wrong century) the propagator
    // runs backwards to an orbit millions of kilometres wide: it listed passes whose
    // tops were 49 degrees below the minimum, with magnitudes of 37.
    PassList found = Search(station, london, epoch - 69 * 365.25, 10);
    EXPECT_TRUE(found.passes.empty());
    EXPECT_EQ(found.reason.rfind("the elements lie 25202.", 0), 0u) << found.reason;
    EXPECT_NE(found.reason.find(" days in the future"), std::string::npos) << found.reason;
    // The live panel's limit, two weeks.
    found = Search(station, london, epoch - 13.9, 1);
    EXPECT_EQ(found.reason, "");
    EXPECT_FALSE(found.passes.empty());
    EXPECT_EQ(Search(station, london, epoch - 14.0, 1).reason, "");
    EXPECT_EQ(Search(station, london, epoch - 14.1, 1).reason, "the elements lie 14.1 days in the future");

    // 69 years after, no elements at all: the list was only empty, now it says why.
    found = Search(station, london, epoch + 69 * 365.25, 10);
    EXPECT_TRUE(found.passes.empty());
    EXPECT_EQ(found.reason,
              std::string("the propagator fails on 2095-12-07 18:00 UTC: ") + Sgp4::ErrorText(1));

    // Decaying a week on: the passes before the decay are not listed either.
    OrbitalElements heavy = file.sets[0];
    heavy.bstar = 0.05;
    Sgp4 falling;
    ASSERT_TRUE(falling.Init(heavy));
    found = Search(falling, london, epoch, 10);
    EXPECT_TRUE(found.passes.empty());
    EXPECT_EQ(found.reason.rfind("the propagator fails on 2026-12-14 ", 0), 0u) << found.reason;
    EXPECT_NE(found.reason.find(Sgp4::ErrorText(6)), std::string::npos) << found.reason;
    found = Search(falling, london, epoch, 5);
    EXPECT_EQ(found.reason, "");
    EXPECT_GE(found.passes.size(), 10u);

    // Eccentricity 0.9976 at 1.77 revolutions a day: perigee deep inside the Earth,
    // the propagator's positions fail or jump every few minutes. A pass came out
    // whose top was 12 degrees below the horizon it rose from.
    Sgp4 plunging = Propagator("1 99999U 24001A   24046.50000000  .00000000  00000-0  00000-0 0  9990",
                               "2 99999   5.0000  10.0000 9976000   0.0000 300.0000  1.77000000    10");
    found = Search(plunging, MakeObserver(70, 150, 0), EpochJulianDate(plunging.Elements()), 1, 0);
    EXPECT_TRUE(found.passes.empty());
    EXPECT_FALSE(found.reason.empty());
    // Eccentricity 0.9967, perigee inside the Earth again: the propagator gives a
    // smooth track but a velocity that climbs where the track falls, and the pass
    // found by it topped out at the minimum while it was seen sunlit 2.6 degrees higher.
    Sgp4 incoherent = Propagator("1 99999U 24001A   24046.00005000  .00000000  00000-0  00000-0 0  9990",
                                 "2 99999   0.0500  11.0000 9967000   0.0000 30.00000  00.6700100    10");
    found = Search(incoherent, MakeObserver(70, 2, 0), EpochJulianDate(incoherent.Elements()), 1, 5);
    EXPECT_TRUE(found.passes.empty());
    EXPECT_EQ(found.reason.rfind("the propagator's velocities contradict its positions near 2024-02-14 ", 0),
              0u)
        << found.reason;

    // No span is no failure; a span of no finite time, or over a year, is not searched.
    EXPECT_EQ(Search(station, london, epoch, 0).reason, "");
    EXPECT_EQ(Search(station, london, epoch, -1).reason, "");
    EXPECT_EQ(Search(station, london, epoch, std::nan("")).reason, "the span to search is not a finite time");
    EXPECT_EQ(Search(station, london, epoch, 367).reason, "the span to search is longer than a year");
}

// The passes of a search against a five-second scan of the elevation: each stretch
// above the minimum is a pass of its own, rising and setting where the scan saw
// it cross, within the scan's step, and culminating no lower than the scan saw it.
void ExpectScanned(Sgp4 &sgp4, const Observer &observer, double startJd, double days, double minElevation,
                   size_t passes) {
    const PassList found = Search(sgp4, observer, startJd, days, minElevation);
    ASSERT_EQ(found.reason, "");
    std::vector<double> rises, sets, highest;
    LookAngles look;
    ASSERT_TRUE(LookAt(sgp4, observer, startJd, look));
    ASSERT_LE(look.elevation, minElevation) << "the case starts between passes";
    bool wasUp = false;
    for (int i = 1; i <= days * 86400 / 5; ++i) {
        const double jd = startJd + i * 5 / 86400.0;
        ASSERT_TRUE(LookAt(sgp4, observer, jd, look));
        const bool up = look.elevation > minElevation;
        if (up != wasUp)
            (up ? rises : sets).push_back(jd);
        if (up && !wasUp)
            highest.push_back(look.elevation);
        if (up)
            highest.back() = std::max(highest.back(), look.elevation);
        wasUp = up;
    }
    ASSERT_FALSE(wasUp) << "the case ends between passes";
    ASSERT_EQ(rises.size(), passes);
    ASSERT_EQ(found.passes.size(), passes);
    for (size_t i = 0; i < passes; ++i) {
        EXPECT_GT(Seconds(rises[i], found.passes[i].rise.jd), 0.0) << i;
        EXPECT_LT(Seconds(rises[i], found.passes[i].rise.jd), 5.0) << i;
        EXPECT_GT(Seconds(sets[i], found.passes[i].set.jd), 0.0) << i;
        EXPECT_LT(Seconds(sets[i], found.passes[i].set.jd), 5.0) << i;
        EXPECT_GE(found.passes[i].culmination.elevation, highest[i] - 1e-3) << i;
    }
}

// Past perigee an orbit of eccentricity 0.96 sweeps round the Earth 34 times
// faster than its mean motion: the elevation sets and rises again within what
// an eighth of the period would step over, and two passes read as one.
TEST(Passes, EccentricOrbitTurnsQuicklyPastPerigee) {
    Sgp4 sgp4 = Propagator("1 99995U 24001A   24046.50000000  .00000000  00000-0  00000-0 0  9990",
                           "2 99995  63.0000  50.0000 9600000 270.0000 355.0000  0.10000000    10");
    ExpectScanned(sgp4, MakeObserver(-25, -40, 0), EpochJulianDate(sgp4.Elements()), 1, 0, 2);
}

// Far below the horizon the elevation of a four-hour orbit wavers: within one
// step it climbs, falls and climbs again by hundredths of a degree. A minimum
// there (an odd one, but any number is taken) is crossed where only a closer
// look finds it.
TEST(Passes, TwoTurnsBetweenSamplesAreLookedAtCloser) {
    Sgp4 sgp4 = Propagator("1 99999U 24001A   24046.50000000  .00000000  00000-0  00000-0 0  9990",
                           "2 99999  51.6383 269.8684 0879425 141.2034  52.6154  4.03631742    10");
    // Started 22.5 hours after the epoch, the search samples 23.5 and 24 hours
    // after it, when the elevation climbs at both but is lower at the second.
    ExpectScanned(sgp4, MakeObserver(27.1866, -148.6283, 0),
                  EpochJulianDate(sgp4.Elements()) + 81000 / 86400.0, 5500 / 86400.0, -14.16, 1);
}

TEST(Passes, MagnitudeOfADiffuseSphere) {
    EXPECT_NEAR(SatelliteMagnitude(-1.8, 1000, 90), -1.8, 1e-12);
    EXPECT_NEAR(SatelliteMagnitude(-1.8, 2000, 90), -1.8 + 5 * std::log10(2.0), 1e-12);
    // Full phase returns π times the light of half phase.
    EXPECT_NEAR(SatelliteMagnitude(-1.8, 1000, 0), -1.8 - 2.5 * std::log10(3.14159265358979), 1e-9);
    EXPECT_GT(SatelliteMagnitude(-1.8, 1000, 150), SatelliteMagnitude(-1.8, 1000, 120));
    EXPECT_TRUE(std::isfinite(SatelliteMagnitude(-1.8, 1000, 180)));
}

TEST(Passes, CompassPoints) {
    EXPECT_STREQ(CompassPoint(0), "N");
    EXPECT_STREQ(CompassPoint(11.2), "N");
    EXPECT_STREQ(CompassPoint(11.3), "NNE");
    EXPECT_STREQ(CompassPoint(90), "E");
    EXPECT_STREQ(CompassPoint(202.5), "SSW");
    EXPECT_STREQ(CompassPoint(348.7), "NNW");
    EXPECT_STREQ(CompassPoint(348.8), "N");
    EXPECT_STREQ(CompassPoint(-22.5), "NNW");
    EXPECT_STREQ(CompassPoint(720 + 45), "NE");
}

TEST(Passes, ObserverPlaceText) {
    double lat = 0, lon = 0, height = 0;
    std::string reason;
    ASSERT_TRUE(ParseObserverPlace("51.48N,0.01W", lat, lon, height, reason)) << reason;
    EXPECT_DOUBLE_EQ(lat, 51.48);
    EXPECT_DOUBLE_EQ(lon, -0.01);
    EXPECT_EQ(height, 0);
    ASSERT_TRUE(ParseObserverPlace("-33.45, -70.67, 570", lat, lon, height, reason)) << reason;
    EXPECT_DOUBLE_EQ(lat, -33.45);
    EXPECT_DOUBLE_EQ(lon, -70.67);
    EXPECT_DOUBLE_EQ(height, 570);
    ASSERT_TRUE(ParseObserverPlace("33.9 s,151.2 e,2000m", lat, lon, height, reason)) << reason;
    EXPECT_DOUBLE_EQ(lat, -33.9);
    EXPECT_DOUBLE_EQ(lon, 151.2);
    EXPECT_DOUBLE_EQ(height, 2000);
    // Degrees with minutes and seconds, in the ways maps and GPS receivers write them.
    const struct {
        const char *text;
        double lat, lon;
    } sexagesimal[] = {{"31\u00b033'S,115\u00b051'E", -31.55, 115.85},
                       {"31 33 12 S, 115 51 36 E", -(31 + 33 / 60.0 + 12 / 3600.0), 115.86},
                       {"31:33S,-115:51:36", -31.55, -115.86},
                       {"-0 30,0\u00b0 0\u2032 36\u2033", -0.5, 0.01},
                       {"51\u00b028'40.1\"N,0\u00b000'05.3''W", 51 + 28 / 60.0 + 40.1 / 3600.0, -5.3 / 3600.0}};
    for (const auto &c : sexagesimal) {
        ASSERT_TRUE(ParseObserverPlace(c.text, lat, lon, height, reason)) << c.text << ": " << reason;
        EXPECT_NEAR(lat, c.lat, 1e-12) << c.text;
        EXPECT_NEAR(lon, c.lon, 1e-12) << c.text;
    }
    for (const char *bad : {"31 60 S,0", "31 59 60,0", "31.5 30,0", "31 30.5 10,0", "91 0 1,0", "31 33 12 5,0",
                            "",           ",",       "51.5",     "51.5,",      "91,0",         "-90.5,0",
                            "0,180.5",    "51.5E,0", "0,10N",    "-51N,0",     "nan,0",        "inf,0",
                            "1e1,0",      "0x10,0",  "51.5,0,",  "51.5,0,abc", "51.5,0,10000", "51.5,0,-600",
                            "51.5,0,1,2", "51.5 0",  "51.5N 0W", ".,0",        "+,0",          "51..5,0"}) {
        lat = lon = height = 7;
        reason.clear();
        EXPECT_FALSE(ParseObserverPlace(bad, lat, lon, height, reason)) << bad;
        EXPECT_FALSE(reason.empty()) << bad;
        EXPECT_EQ(lat, 7) << "left as it was on failure: " << bad;
    }
}

} // namespace
