// The propagator against the published verification set of "Revisiting Spacetrack
// Report #3": every record of SGP4-VER.TLE at every time it lists, compared with
// tcppver.out, and the records that end in an error ending in the same one.
#include "orbit/elements.h"
#include "orbit/sgp4.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kData = std::string(QUOR_SOURCE_DIR) + "/tests/data/sgp4/";

std::vector<std::string> ReadLines(const std::string &path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The error cases at the end of the file were made by editing sets without
// setting their checksums again; the propagator, not the checksum, is on test here.
std::string WithChecksum(std::string line) {
    int sum = 0;
    for (size_t i = 0; i + 1 < line.size(); ++i)
        sum += std::isdigit(static_cast<unsigned char>(line[i])) ? line[i] - '0' : line[i] == '-';
    if (!line.empty())
        line.back() = static_cast<char>('0' + sum % 10);
    return line;
}

struct TestCase {
    std::string line1, line2; // 69 columns each
    double start = 0, stop = 0, step = 0;
};

// The records of SGP4-VER.TLE; line 2 carries start, stop and step (minutes) after column 69.
std::vector<TestCase> ReadCases() {
    std::vector<TestCase> cases;
    std::string line1;
    for (const std::string &line : ReadLines(kData + "SGP4-VER.TLE")) {
        if (line.rfind("1 ", 0) == 0) {
            line1 = line.substr(0, 69);
        } else if (line.rfind("2 ", 0) == 0) {
            TestCase c;
            c.line1 = WithChecksum(line1);
            c.line2 = WithChecksum(line.substr(0, 69));
            std::istringstream times(line.substr(69));
            times >> c.start >> c.stop >> c.step;
            EXPECT_FALSE(times.fail()) << "no start, stop and step after " << c.line2;
            cases.push_back(c);
        }
    }
    return cases;
}

struct Sample {
    double t = 0, r[3] = {}, v[3] = {};
};

struct Record {
    int catalogue = 0;
    std::vector<Sample> samples;
};

// tcppver.out: a "<catalogue> xx" line, then one line per time: minutes, position, velocity, ...
std::vector<Record> ReadRecords() {
    std::vector<Record> records;
    for (const std::string &line : ReadLines(kData + "tcppver.out")) {
        if (line.find("xx") != std::string::npos) {
            records.push_back(Record{std::atoi(line.c_str()), {}});
            continue;
        }
        std::istringstream in(line);
        Sample s;
        if (!(in >> s.t >> s.r[0] >> s.r[1] >> s.r[2] >> s.v[0] >> s.v[1] >> s.v[2]))
            continue;
        EXPECT_FALSE(records.empty()) << "a state before any record: " << line;
        if (!records.empty())
            records.back().samples.push_back(s);
    }
    return records;
}

struct ExpectedError {
    int catalogue = 0;
    double t = 0;
    int code = 0;
};

std::vector<ExpectedError> ReadErrors() {
    std::vector<ExpectedError> errors;
    for (const std::string &line : ReadLines(kData + "errors.txt")) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        ExpectedError e;
        in >> e.catalogue >> e.t >> e.code;
        EXPECT_FALSE(in.fail()) << line;
        errors.push_back(e);
    }
    return errors;
}

// The times the verification program visits: epoch first, then start to stop by
// step, the last step cut short to end on stop.
std::vector<double> Times(const TestCase &c) {
    std::vector<double> times{0.0};
    double t = c.start;
    if (std::fabs(t) > 1e-8)
        t -= c.step;
    while (t < c.stop) {
        t = std::min(t + c.step, c.stop);
        times.push_back(t);
    }
    return times;
}

double Distance(const double a[3], const double b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

TEST(Sgp4, AgreesWithTheVerificationSet) {
    const std::vector<TestCase> cases = ReadCases();
    const std::vector<Record> records = ReadRecords();
    const std::vector<ExpectedError> errors = ReadErrors();
    ASSERT_EQ(cases.size(), 33u);
    ASSERT_EQ(records.size(), cases.size());
    ASSERT_FALSE(errors.empty());

    size_t nextError = 0, compared = 0, errorsMatched = 0;
    double worstPosition = 0, worstVelocity = 0; // km, km/s
    for (size_t i = 0; i < cases.size(); ++i) {
        const TestCase &c = cases[i];
        const Record &record = records[i];
        const ElementsFile parsed = ParseElements(c.line1 + "\n" + c.line2 + "\n");
        ASSERT_FALSE(parsed.error) << parsed.error->message;
        ASSERT_EQ(parsed.sets.size(), 1u);
        const OrbitalElements &elements = parsed.sets[0];
        ASSERT_EQ(elements.catalogNumber, record.catalogue) << "record " << i;
        SCOPED_TRACE("catalogue number " + std::to_string(record.catalogue));

        Sgp4 sgp4;
        sgp4.Init(elements);
        size_t sample = 0;
        for (double t : Times(c)) {
            double r[3], v[3];
            const int code = sgp4.Propagate(t, r, v);
            if (code != 0) {
                ASSERT_LT(nextError, errors.size()) << "error " << code << " (" << Sgp4::ErrorText(code)
                                                    << ") at " << t << " min, where none is expected";
                const ExpectedError &expected = errors[nextError++];
                EXPECT_EQ(expected.catalogue, record.catalogue);
                EXPECT_NEAR(expected.t, t, 1e-6);
                EXPECT_EQ(expected.code, code) << Sgp4::ErrorText(code);
                // The verification program prints the epoch line even when it fails
                // there (with what an earlier record left); nothing after an error.
                EXPECT_EQ(record.samples.size(), t == 0.0 ? 1u : sample) << "an error at " << t << " min";
                ++errorsMatched;
                sample = record.samples.size();
                break;
            }
            ASSERT_LT(sample, record.samples.size())
                << "the propagator goes on at " << t << " min, where the "
                << "verification record has ended";
            const Sample &s = record.samples[sample++];
            ASSERT_NEAR(s.t, t, 1e-6);
            const double dr = Distance(r, s.r), dv = Distance(v, s.v);
            EXPECT_LT(dr, 1e-6) << "position off by " << dr * 1e6 << " mm at " << t << " min";
            EXPECT_LT(dv, 1e-6) << "velocity off by " << dv * 1e6 << " mm/s at " << t << " min";
            worstPosition = std::max(worstPosition, dr);
            worstVelocity = std::max(worstVelocity, dv);
            ++compared;
        }
        EXPECT_EQ(sample, record.samples.size()) << "the record lists times the propagator never reached";
    }
    EXPECT_EQ(nextError, errors.size()) << "expected errors that never came";
    std::printf(
        "verification set: %zu records, %zu states compared, %zu errors matched; worst position %.3g mm, "
        "worst velocity %.3g mm/s\n",
        cases.size(), compared, errorsMatched, worstPosition * 1e6, worstVelocity * 1e6);
}

} // namespace
