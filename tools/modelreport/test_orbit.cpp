// quor-inspect --orbit and --passes as whole processes: the element sets of the
// reference propagated and placed, against tests/data/astro/reference.txt
// (Skyfield and its sgp4, SOFA's Sun), look angles and passes against
// tests/data/passes (Skyfield's altaz and find_events); and the refusals, each
// with its reason on stderr.
#include "orbitreport.h"
#include "tests/orbit/astro_reference.h"
#include "tests/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "testfiles.h"

namespace {

const std::string kData = QUOR_SOURCE_DIR "/tests/data/astro/";
constexpr double kDegree = std::numbers::pi / 180.0;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines;
};

// Runs quor-inspect with `args` (already quoted), its output kept in `dir`. The
// time limit turns a hang (a pipe opened for reading, say) into a failure.
Outcome Inspect(const ScratchDir &dir, const std::string &args) {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const std::string command = "timeout 60 " + Quoted(QUOR_INSPECT) + " " + args + " </dev/null >" +
                                Quoted(out) + " 2>" + Quoted(err);
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        run.lines.push_back(line);
    return run;
}

// The number after "key": in one line of our own output.
double Number(const std::string &line, const std::string &key) {
    const size_t at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << key << " in " << line;
        return NAN;
    }
    return std::strtod(line.c_str() + at + key.size() + 4, nullptr);
}

void Triple(const std::string &line, const std::string &key, double v[3]) {
    const size_t at = line.find("\"" + key + "\": [");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << key << " in " << line;
        v[0] = v[1] = v[2] = NAN;
        return;
    }
    char *p = const_cast<char *>(line.c_str()) + at + key.size() + 5;
    for (int i = 0; i < 3; ++i) {
        v[i] = std::strtod(p, &p);
        if (*p == ',')
            ++p;
    }
}

std::string Figure(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

double Distance(const double a[3], const double b[3]) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

double AngleDegrees(const double a[3], const double b[3]) {
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return std::atan2(std::hypot(c[0], c[1], c[2]), a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / kDegree;
}

struct Worst {
    double position = 0, velocity = 0, latitude = 0, longitude = 0, altitude = 0, speed = 0, sun = 0;
};

// One line of output against the reference row for the same set and time.
void Compare(const std::string &line, const AstroReferenceRow &r, Worst &worst) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Number(line, "satellite"), r.catalog);
    EXPECT_EQ(line.find("\"error\""), std::string::npos);
    const size_t utc = line.find("\"utc\": \"");
    ASSERT_NE(utc, std::string::npos);
    const std::string printed = line.substr(utc + 8, line.find('"', utc + 8) - utc - 8);
    ASSERT_EQ(printed.size(), 24u) << "YYYY-MM-DDTHH:MM:SS.mmmZ";
    EXPECT_NEAR(JulianDateOfUtc(printed), r.jd, 0.6 / 86400000.0) << "to the nearest millisecond";
    EXPECT_NEAR(Number(line, "minutes"), r.minutes, 1e-6);

    double position[3], velocity[3], sun[3];
    Triple(line, "position", position);
    Triple(line, "velocity", velocity);
    Triple(line, "sunDirection", sun);
    worst.position = std::max(worst.position, Distance(position, r.position));
    worst.velocity = std::max(worst.velocity, Distance(velocity, r.velocity));
    worst.latitude = std::max(worst.latitude, std::fabs(Number(line, "latitude") - r.latitude));
    double dLon = std::fabs(Number(line, "longitude") - r.longitude);
    worst.longitude =
        std::max(worst.longitude, std::min(dLon, 360.0 - dLon) * std::cos(r.latitude * kDegree));
    EXPECT_LE(std::fabs(Number(line, "longitude")), 180.0);
    worst.altitude = std::max(worst.altitude, std::fabs(Number(line, "altitude") - r.altitude));
    worst.speed = std::max(worst.speed, std::fabs(Number(line, "speed") - r.speed));
    worst.sun = std::max(worst.sun, AngleDegrees(sun, r.sun));
    // Within half a degree of the limb the two Suns may disagree; see test_astro.
    if (std::fabs(r.margin) >= 0.5) {
        const bool lit = line.find("\"sunlit\": true") != std::string::npos;
        EXPECT_TRUE(lit || line.find("\"sunlit\": false") != std::string::npos);
        EXPECT_EQ(lit, r.sunlit == 1);
    }
}

class InspectOrbit : public ::testing::Test {
protected:
    void SetUp() override {
        rows = ReadAstroReference(kData + "reference.txt");
        ASSERT_GE(rows.size(), 40u) << "the reference data is missing or cut short";
    }
    std::vector<AstroReferenceRow> rows;
    const ScratchDir dir;
    const std::string tle = Quoted(kData + "reference.tle");
};

TEST_F(InspectOrbit, MatchesTheReferenceByMinutesAndByUtc) {
    Worst worst;
    for (const AstroReferenceRow &r : rows) {
        // The geostationary set's times fall on whole seconds and can be named in
        // UTC; the others by minutes after the epoch.
        const bool byUtc = r.catalog == 41866;
        const std::string when = byUtc ? "--at " + r.utc : "--minutes " + std::to_string(r.minutes);
        const Outcome run =
            Inspect(dir, "--orbit " + tle + " --satellite " + std::to_string(r.catalog) + " " + when);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        ASSERT_EQ(run.lines.size(), 1u) << run.out;
        Compare(run.lines[0], r, worst);
    }
    RecordProperty("worstPositionKm", Figure(worst.position));
    RecordProperty("worstVelocityKmPerS", Figure(worst.velocity));
    RecordProperty("worstLatitudeDeg", Figure(worst.latitude));
    RecordProperty("worstLongitudeDeg", Figure(worst.longitude));
    RecordProperty("worstAltitudeKm", Figure(worst.altitude));
    RecordProperty("worstSpeedKmPerS", Figure(worst.speed));
    RecordProperty("worstSunDeg", Figure(worst.sun));
    EXPECT_LT(worst.position, 1e-6);
    EXPECT_LT(worst.velocity, 1e-9);
    EXPECT_LT(worst.latitude, 1e-6);
    EXPECT_LT(worst.longitude, 1e-6);
    EXPECT_LT(worst.altitude, 1e-5);
    EXPECT_LT(worst.speed, 1e-6);
    EXPECT_LT(worst.sun, 0.01);
}

TEST_F(InspectOrbit, EverySetOverSeveralSteps) {
    // Without --satellite every set of the file, in file order, each over the
    // times: here 240, 480 and 720 minutes after each epoch.
    const Outcome run = Inspect(dir, "--orbit " + tle + " --minutes 240 --count 3 --step 14400");
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::pair<int, double>, const AstroReferenceRow *> byTime;
    for (const AstroReferenceRow &r : rows)
        byTime[{r.catalog, r.minutes}] = &r;
    const int sets[] = {48274, 43613, 25847, 41866, 44804};
    ASSERT_EQ(run.lines.size(), 15u) << run.out;
    Worst worst;
    for (size_t i = 0; i < run.lines.size(); ++i) {
        const int catalog = sets[i / 3];
        const double minutes = 240.0 * (1 + i % 3);
        EXPECT_EQ(Number(run.lines[i], "satellite"), catalog);
        EXPECT_EQ(Number(run.lines[i], "minutes"), minutes);
        const auto found = byTime.find({catalog, minutes});
        if (found != byTime.end())
            Compare(run.lines[i], *found->second, worst);
    }
    EXPECT_LT(worst.position, 1e-6);
}

TEST_F(InspectOrbit, PropagatorFailuresAreLinesOfTheirOwn) {
    std::ifstream expected(kData + "reentry.txt");
    int checked = 0, failures = 0;
    for (std::string line; std::getline(expected, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        int catalog = 0, code = -1;
        double minutes = 0;
        std::istringstream(line) >> catalog >> minutes >> code;
        const Outcome run = Inspect(dir, "--orbit " + Quoted(kData + "reentry.tle") + " --minutes " +
                                             std::to_string(minutes));
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(run.lines.size(), 1u) << run.out;
        const std::string &out = run.lines[0];
        if (code == 0) {
            EXPECT_EQ(out.find("\"error\""), std::string::npos) << out;
            EXPECT_NE(out.find("\"position\""), std::string::npos) << out;
        } else {
            ++failures;
            EXPECT_NE(out.find("\"error\": {\"number\": " + std::to_string(code) + ", \"text\": \""),
                      std::string::npos)
                << out;
            EXPECT_EQ(out.find("\"position\""), std::string::npos) << out;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 4);
    EXPECT_GE(failures, 1);
}

TEST_F(InspectOrbit, RefusesWhatItCannotUseAndSaysWhy) {
    const std::string bad = dir.File("bad.tle");
    {
        // The reference sets with one digit of the sixth line changed: its checksum fails.
        std::string text = ReadAll(kData + "reference.tle");
        const size_t fifth = text.find("2 43613");
        ASSERT_NE(fifth, std::string::npos);
        text[fifth + 10] = text[fifth + 10] == '8' ? '7' : '8';
        std::ofstream(bad) << text;
    }
    const std::string fifo = dir.File("pipe.tle");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.File("big.tle");
    std::ofstream{big};
    ASSERT_EQ(truncate(big.c_str(), 17 << 20), 0); // sparse: costs no disk

    struct Case {
        std::string args;
        std::string reason; // what stderr must hold
    };
    const std::vector<Case> cases = {
        {"--orbit " + Quoted(dir.File("missing.tle")) + " --minutes 0", dir.File("missing.tle")},
        {"--orbit " + Quoted(dir.Path()) + " --minutes 0", dir.Path()},
        {"--orbit " + Quoted(fifo) + " --minutes 0", fifo + ": is not a regular file"},
        {"--orbit " + Quoted(big) + " --minutes 0", big + ": is larger than 16 MiB"},
        {"--orbit " + Quoted(bad) + " --minutes 0", bad + ":6: column 69"},
        {"--orbit " + tle + " --satellite 12345 --minutes 0", "no satellite numbered 12345"},
        {"--orbit " + tle + " --at 2024-02-30T00:00:00Z", "bad value for --at"},
        {"--orbit " + tle + " --at yesterday", "bad value for --at"},
        {"--orbit " + tle, "needs one of --at"},
        {"--orbit " + tle + " --minutes 0 --at 2024-02-15T00:00:00Z", "needs one of --at"},
        {"--orbit " + tle + " --minutes 0 --count 0", "bad value for --count"},
        // Numbers are plain decimal, not the hex or the spaces strtol and strtod take.
        {"--orbit " + tle + " --minutes 0x10", "bad value for --minutes"},
        {"--orbit " + tle + " --minutes 0 --step 0x3C", "bad value for --step"},
        {"--orbit " + tle + " --minutes 0 --count ' 2'", "bad value for --count"},
        {"--orbit " + tle + " --minutes 0 --observer 51.5N", "bad value for --observer"},
        {"--passes " + tle + " --from 2024-02-15T00:00:00Z", "needs --observer"},
        {"--passes " + tle + " --observer 0,0 --minutes 0", "not an option of --passes"},
        {"--passes " + tle + " --observer 91,0", "latitude is beyond 90"},
        {"--passes " + tle + " --observer 10,20,30,40", "unexpected text"},
        {"--passes " + tle + " --observer 0,0 --days 31", "bad value for --days"},
        {"--passes " + tle + " --observer 0,0 --days -1", "bad value for --days"},
        {"--passes " + tle + " --observer 0,0 --min-elevation 90.5", "bad value for --min-elevation"},
        {"--passes " + tle + " --observer 0,0 --min-elevation -1", "bad value for --min-elevation"},
        {"--passes " + tle + " --observer 0,0 --twilight nan", "bad value for --twilight"},
        {"--passes " + tle + " --observer 0,0 --days 0x10", "bad value for --days"},
        {"--passes " + tle + " --observer 0,0 --min-elevation 0x1p3", "bad value for --min-elevation"},
        {"--passes " + tle + " --observer 0,0 --from now", "bad value for --from"},
        // Times printed past the year 9999 could not be read back.
        {"--passes " + tle + " --observer 0,0 --from 9999-12-31T00:00:00", "bad value for --from"},
        {"--passes " + tle + " --observer 0,0 --from 9999-12-30T00:00:00 --days 2", "run past the year 9999"},
        {"--passes " + tle + " --observer 0,0 --satellite 12345", "no satellite numbered 12345"},
        // A year read in the wrong century: the elements give no position then.
        {"--passes " + tle + " --observer 0,0 --from 1955-02-15T00:00:00Z",
         "quor-inspect: " + kData + "reference.tle: satellite 48274: no passes: the elements lie 25202."},
        {"--passes " + Quoted(fifo) + " --observer 0,0", fifo + ": is not a regular file"},
    };
    for (const Case &c : cases) {
        const Outcome run = Inspect(dir, c.args);
        EXPECT_NE(run.status, 0) << c.args;
        EXPECT_TRUE(run.status != -1 && run.status != 124) << c.args << ": killed or timed out";
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.args << "\nstderr: " << run.err;
    }
}

// Every mode refuses a bad command line with status 2, one line saying why and
// the usage; the options --orbit, --passes and --transits share are refused in
// the same words.
TEST_F(InspectOrbit, EveryModeRefusesBadArgumentsAlike) {
    const std::string orbit = "--orbit " + tle + " --minutes 0 ",
                      passes = "--passes " + tle + " --observer 0,0 ",
                      transits = "--transits " + tle + " --observer 0,0 ";
    const auto refused = [&](const std::string &args) {
        const Outcome run = Inspect(dir, args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        const size_t end = run.err.find('\n');
        EXPECT_EQ(run.err.compare(end + 1, 20, "Usage: quor-inspect "), 0) << args << "\n" << run.err;
        return run.err.substr(0, end);
    };
    for (const char *shared :
         {"--satellite 12x", "--satellite ' 5'", "--observer 51.5N,200E", "--observer 1,2,3,4"}) {
        const std::string said = refused(orbit + shared);
        const std::string name(shared, std::strchr(shared, ' '));
        EXPECT_EQ(said.rfind("quor-inspect: bad value for " + name + ": '", 0), 0u) << said;
        EXPECT_EQ(refused(passes + shared), said);
        EXPECT_EQ(refused(transits + shared), said);
    }
    const std::pair<std::string, std::string> cases[] = {
        {"--render", "quor-inspect: --render needs a value"},
        {orbit + "--count", "quor-inspect: --count needs a value"},
        {passes + "--satellite", "quor-inspect: --satellite needs a value"},
        {"--days 1 model.3ds", "quor-inspect: unknown option --days"},
        {orbit + "--days 1", "quor-inspect: --days is not an option of --orbit"},
        {passes + "--antialias", "quor-inspect: --antialias is not an option of --passes"},
        {"model.3ds other.3ds", "quor-inspect: only one file at a time"},
        {"--", "quor-inspect: no file given"},
    };
    for (const auto &[args, said] : cases)
        EXPECT_EQ(refused(args), said);
}

// --at and --from read, and every printed time is written, as YYYY-MM-DDTHH:MM:SS.mmmZ:
// each year 0000 to 9999, leap days by the Gregorian rules, nothing past the last day.
TEST(InspectUtc, ReadsBackWhatItWritesInEveryFourDigitYear) {
    for (const char *text :
         {"0000-01-01T00:00:00.000Z", "0000-02-29T12:00:00.000Z", "1899-12-31T23:59:59.999Z",
          "1900-03-01T00:00:00.000Z", "1970-01-01T00:00:00.000Z", "2000-02-29T00:00:00.500Z",
          "2024-02-29T09:00:00.000Z", "2100-03-01T00:00:00.000Z", "9999-12-31T23:59:59.999Z"}) {
        int64_t ms = 0;
        ASSERT_TRUE(ParseUtc(text, ms)) << text;
        EXPECT_EQ(FormatUtc(ms), text);
    }
    int64_t ms = -1;
    ASSERT_TRUE(ParseUtc("1970-01-02 00:00:01.5", ms));
    EXPECT_EQ(ms, 86401500);
    ASSERT_TRUE(ParseUtc("9999-12-31T23:59:59.999Z", ms));
    EXPECT_EQ(ms, 253402300799999);
    for (const char *text :
         {"1900-02-29T00:00:00", "2023-02-29T00:00:00", "2024-04-31T00:00:00", "2024-06-31T00:00:00",
          "2024-08-32T00:00:00", "2024-11-31T00:00:00", "2024-13-01T00:00:00", "2024-00-10T00:00:00",
          "10000-01-01T00:00:00", "2024-02-15T24:00:00", "2024-02-15T12:60:00", "2024-02-15T12:00:60",
          "2024-02-15T12:00:00.", "2024-02-15T12:00:00ZZ", "2024-02-15T12:00", ""}) {
        EXPECT_FALSE(ParseUtc(text, ms)) << text;
    }
}

// Look angles from --orbit --observer, and passes from --passes, against the
// pass reference.
class InspectPasses : public ::testing::Test {
protected:
    const ScratchDir dir;
    const std::string passes = QUOR_SOURCE_DIR "/tests/data/passes/";
    const std::string tle = Quoted(passes + "elements.tle");

    // The "# observer NAME LAT LON HEIGHT" lines as --observer values.
    std::map<std::string, std::string> Observers() {
        std::map<std::string, std::string> out;
        std::ifstream in(passes + "events.txt");
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string hash, key, name, lat, lon, height;
            if (words >> hash >> key >> name >> lat >> lon >> height && key == "observer")
                out[name] = lat + "," + lon + "," + height;
        }
        return out;
    }
};

std::string Utc(const std::string &line, const std::string &key) {
    const size_t at = line.find("\"" + key + "\": {\"utc\": \"");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << key << " in " << line;
        return "";
    }
    return line.substr(at + key.size() + 13, 24);
}

// The number after "key": inside the object that follows "object":.
double Inner(const std::string &line, const std::string &object, const std::string &key) {
    const size_t at = line.find("\"" + object + "\": {");
    return at == std::string::npos ? NAN : Number(line.substr(at), key);
}

TEST_F(InspectPasses, LookAnglesFromAnObserver) {
    const std::map<std::string, std::string> observers = Observers();
    std::ifstream in(passes + "look.txt");
    int checked = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string catalog, observer, utc;
        double jd = 0, az = 0, el = 0, range = 0, rate = 0;
        if (line[0] == '#' || !(words >> catalog >> observer >> utc >> jd >> az >> el >> range >> rate))
            continue;
        if (observer != "highland")
            continue;
        int64_t ms = 0;
        ASSERT_TRUE(ParseUtc(utc, ms)) << utc;
        const Outcome run = Inspect(dir, "--orbit " + tle + " --satellite " + catalog + " --at " +
                                             FormatUtc(ms) + " --observer " + observers.at(observer));
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(run.lines.size(), 1u);
        const std::string &out = run.lines[0];
        // The printed time drops the microseconds: the station moves up to 4 m.
        double dAz = std::fabs(Number(out, "azimuth") - az);
        EXPECT_LT(std::min(dAz, 360 - dAz) * std::cos(el * kDegree), 0.02) << out;
        EXPECT_NEAR(Number(out, "elevation"), el, 0.02) << out;
        EXPECT_NEAR(Number(out, "range"), range, 0.1) << out;
        EXPECT_NEAR(Number(out, "rangeRate"), rate, 0.01) << out;
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

TEST_F(InspectPasses, NoPassesIsSaidNotLeftSilent) {
    // From near the pole a station inclined 51.6 degrees never rises 10 degrees.
    const Outcome run = Inspect(
        dir, "--passes " + tle + " --satellite 48274 --observer 89,0 --from 2024-02-15T11:24:11Z --days 1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quor-inspect: no passes of satellite 48274 above 10 degrees from "
                       "2024-02-15T11:24:11.000Z to 2024-02-16T11:24:11.000Z\n");
}

TEST_F(InspectPasses, PassesOfTwoCasesInTimeOrder) {
    const std::map<std::string, std::string> observers = Observers();
    struct Expected {
        std::string catalog, observer, from;
        double days, minElevation;
    };
    int visible = 0, total = 0;
    // From the cases' starts, rounded to the millisecond, over their two days.
    for (const Expected &c : {Expected{"43613", "santiago", "2023-07-21T01:00:38.000Z", 2, 0},
                              Expected{"48274", "highland", "2024-02-15T11:24:11.000Z", 2, 10}}) {
        std::vector<std::string> rises, tops, sets;
        std::vector<double> topElevations;
        std::ifstream in(passes + "events.txt");
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string catalog, observer, utc;
            double minElevation = 0, jd = 0, az = 0, el = 0;
            int kind = 0;
            if (line[0] == '#' ||
                !(words >> catalog >> observer >> minElevation >> kind >> utc >> jd >> az >> el) ||
                catalog != c.catalog || observer != c.observer || minElevation != c.minElevation)
                continue;
            (kind == 0 ? rises : kind == 1 ? tops : sets).push_back(utc);
            if (kind == 1)
                topElevations.push_back(el);
        }
        char days[32], minimum[32];
        std::snprintf(days, sizeof days, "%g", c.days);
        std::snprintf(minimum, sizeof minimum, "%g", c.minElevation);
        const Outcome run = Inspect(dir, "--passes " + tle + " --satellite " + c.catalog + " --observer " +
                                             observers.at(c.observer) + " --from " + c.from + " --days " +
                                             days + " --min-elevation " + minimum);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(run.lines.size(), tops.size()) << run.out;
        ASSERT_EQ(rises.size(), tops.size()) << "the cases start and end between passes";
        for (size_t i = 0; i < run.lines.size(); ++i) {
            const std::string &out = run.lines[i];
            SCOPED_TRACE(out);
            EXPECT_NEAR(JulianDateOfUtc(Utc(out, "rise")), JulianDateOfUtc(rises[i]), 1.0 / 86400);
            EXPECT_NEAR(JulianDateOfUtc(Utc(out, "culmination")), JulianDateOfUtc(tops[i]), 2.0 / 86400);
            EXPECT_NEAR(JulianDateOfUtc(Utc(out, "set")), JulianDateOfUtc(sets[i]), 1.0 / 86400);
            EXPECT_NEAR(Inner(out, "culmination", "elevation"), topElevations[i], 0.02);
            EXPECT_NEAR(Inner(out, "rise", "elevation"), c.minElevation, 1e-3);
            EXPECT_NEAR(Number(out, "duration"),
                        (JulianDateOfUtc(Utc(out, "set")) - JulianDateOfUtc(Utc(out, "rise"))) * 86400, 2e-3);
            if (out.find("\"visible\": false") != std::string::npos) {
                EXPECT_NE(out.find("\"magnitude\": null}"), std::string::npos);
            } else {
                ++visible;
                EXPECT_GE(Inner(out, "visible", "maxElevation"), c.minElevation);
                EXPECT_LE(Inner(out, "visible", "maxElevation"), topElevations[i] + 0.02);
                EXPECT_GE(JulianDateOfUtc(Utc(out, "start")), JulianDateOfUtc(Utc(out, "rise")));
                EXPECT_LE(JulianDateOfUtc(Utc(out, "end")), JulianDateOfUtc(Utc(out, "set")));
                const double magnitude = Number(out, "magnitude");
                EXPECT_TRUE(magnitude > -5 && magnitude < 6) << magnitude;
            }
        }
        total += static_cast<int>(run.lines.size());
    }
    EXPECT_GE(visible, 1);
    EXPECT_LT(visible, total);
}

} // namespace

// --transits: one line per approach in a fixed shape, the crossing's own keys
// left out of a miss; a day without one said on stderr; a bad place or span
// refused before any search. Places from tests/data/transits/cases.txt.
TEST(InspectTransits, ApproachesAsJsonLinesAndRefusals) {
    const ScratchDir dir;
    const std::string tle = Quoted(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    const std::string day = " --from 2026-12-07T00:00:00Z --days 1";
    const std::regex crossing(
        R"(\{"body": "Sun", "utc": "2026-12-07T12:00:00\.[0-9]{3}Z", "separation_deg": 0\.[0-9]{5}, )"
        R"("radius_deg": 0\.[0-9]{5}, "range_km": [0-9]+\.[0-9], "crossing": true, "duration_s": [0-9]+\.[0-9]{3}, )"
        R"("centre_line_azimuth_deg": [0-9]+\.[0-9]{2}, "centre_line_km": [0-9]+\.[0-9]{3}\})");
    const Outcome cross = Inspect(dir, "--transits " + tle + " --observer 2.3320,-49.6054" + day);
    ASSERT_EQ(cross.status, 0) << cross.err;
    ASSERT_EQ(cross.lines.size(), 1u) << cross.out;
    const std::string &line = cross.lines[0];
    EXPECT_TRUE(std::regex_match(line, crossing)) << line;
    // Each figure under its own name: the station 660 km off, a third of the way
    // in from the Sun's edge, for two thirds of a second, the centre line 3 km to the south-east.
    EXPECT_NEAR(Number(line, "separation_deg"), 0.173, 0.002) << line;
    EXPECT_NEAR(Number(line, "radius_deg"), 0.2705, 0.0005) << line;
    EXPECT_NEAR(Number(line, "range_km"), 659, 2) << line;
    EXPECT_NEAR(Number(line, "duration_s"), 0.65, 0.02) << line;
    EXPECT_NEAR(Number(line, "centre_line_azimuth_deg"), 126, 2) << line;
    EXPECT_NEAR(Number(line, "centre_line_km"), 3.27, 0.05) << line;

    const Outcome miss = Inspect(dir, "--transits " + tle + " --observer 2.4820,-49.6054,0" + day);
    ASSERT_EQ(miss.status, 0) << miss.err;
    ASSERT_EQ(miss.lines.size(), 1u) << miss.out;
    EXPECT_TRUE(std::regex_match(
        miss.lines[0], std::regex(R"(\{"body": "Sun", "utc": "[-0-9T:.]{23}Z", "separation_deg": [0-9.]+, )"
                                  R"("radius_deg": [0-9.]+, "range_km": [0-9.]+, "crossing": false\})")))
        << miss.lines[0];

    const Outcome none = Inspect(dir, "--transits " + tle +
                                          " --observer 2.3320,-49.6054 --from "
                                          "2026-12-07T13:00:00Z --days 0.5");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("within a degree of neither the Sun nor the Moon"), std::string::npos)
        << none.err;

    const std::pair<std::string, std::string> refusals[] = {
        {"--observer 2.3320", "bad value for --observer: '2.3320': a longitude must follow"},
        {"--observer 91,0", "bad value for --observer: '91,0': the latitude is beyond 90"},
        {"--observer 0,0 --days 0", "bad value for --days: '0' (more than 0, at most 366)"},
        {"--observer 0,0 --days 367", "bad value for --days: '367'"},
        {"--observer 0,0 --days 1e", "bad value for --days: '1e'"},
        {"--days 1", "--transits needs --observer"},
        {"--observer 0,0 --min-elevation 5", "--min-elevation is not an option of --transits"},
    };
    for (const auto &[args, said] : refusals) {
        const Outcome run = Inspect(dir, "--transits " + tle + " " + args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err.rfind("quor-inspect: " + said, 0), 0u) << args << "\n" << run.err;
    }
}
