#pragma once
// The expected values of tests/data/astro/reference.txt, written by
// tests/orbit/make_reference.py (Skyfield, the sgp4 package and SOFA's Sun).
#include "orbit/astro.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct AstroReferenceRow {
    int catalog = 0;
    double minutes = 0; // after the set's epoch
    std::string utc;    // ISO 8601, microseconds, Z
    double jd = 0;      // UTC (= UT1 there)
    double position[3] = {};
    double velocity[3] = {};
    double latitude = 0, longitude = 0, altitude = 0, speed = 0;
    double sun[3] = {};
    int sunlit = 0;
    double margin = 0; // degrees of the Sun's centre above the Earth's limb
};

inline std::vector<AstroReferenceRow> ReadAstroReference(const std::string &path) {
    std::ifstream in(path);
    std::vector<AstroReferenceRow> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        AstroReferenceRow r;
        fields >> r.catalog >> r.minutes >> r.utc >> r.jd;
        for (double &v : r.position)
            fields >> v;
        for (double &v : r.velocity)
            fields >> v;
        fields >> r.latitude >> r.longitude >> r.altitude >> r.speed;
        for (double &v : r.sun)
            fields >> v;
        fields >> r.sunlit >> r.margin;
        if (!fields) {
            ADD_FAILURE() << "unreadable reference line: " << line;
            continue;
        }
        rows.push_back(r);
    }
    return rows;
}

// The Julian date of "YYYY-MM-DDTHH:MM:SS.ffffffZ" through JulianDate.
inline double JulianDateOfUtc(const std::string &utc) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    char z = 0;
    if (std::sscanf(utc.c_str(), "%d-%d-%dT%d:%d:%lf%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 || z != 'Z')
        ADD_FAILURE() << "unreadable time " << utc;
    return JulianDate(y, mo, d, h, mi, s);
}
