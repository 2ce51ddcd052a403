#include "orbitreport.h"

#include "orbit/astro.h"
#include "orbit/elements.h"
#include "orbit/observer.h"
#include "orbit/passes.h"
#include "orbit/sgp4.h"
#include "orbit/transits.h"
#include "report.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Shortest text that reads back as the same double; JSON has no NaN or infinity.
std::string Number(double value) {
    if (!std::isfinite(value))
        return "null";
    char text[40];
    for (int digits = 6; digits < 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value)
            return text;
    }
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string Triple(const double v[3]) {
    return "[" + Number(v[0]) + ", " + Number(v[1]) + ", " + Number(v[2]) + "]";
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Reads `count` decimal digits at text[i] into `value`.
bool Digits(const std::string &text, size_t &i, int count, int &value) {
    value = 0;
    for (int k = 0; k < count; ++k, ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool Expect(const std::string &text, size_t &i, char c) {
    if (i >= text.size() || text[i] != c)
        return false;
    ++i;
    return true;
}

// One line for one set at one time; after a failed Init the propagator answers
// every time with Init's error.
std::string OrbitLine(Sgp4 &propagator, int64_t unixMs, double jd, double minutes, const Observer *observer) {
    std::string line = "{\"satellite\": " + std::to_string(propagator.Elements().catalogNumber) +
                       ", \"utc\": " + JsonString(FormatUtc(unixMs)) + ", \"minutes\": " + Number(minutes);
    double position[3] = {}, velocity[3] = {};
    const int code = propagator.Propagate(minutes, position, velocity);
    if (code != 0)
        return line + ", \"error\": {\"number\": " + std::to_string(code) +
               ", \"text\": " + JsonString(Sgp4::ErrorText(code)) + "}}\n";
    double ecef[3], sun[3];
    TemeToEcef(position, Gmst(jd), ecef);
    const Geodetic place = EcefToGeodetic(ecef);
    SunDirection(jd, sun);
    const double speed =
        std::sqrt(velocity[0] * velocity[0] + velocity[1] * velocity[1] + velocity[2] * velocity[2]);
    line += ", \"position\": " + Triple(position) + ", \"velocity\": " + Triple(velocity);
    line += ", \"latitude\": " + Number(place.latitude) + ", \"longitude\": " + Number(place.longitude);
    line += ", \"altitude\": " + Number(place.altitude) + ", \"speed\": " + Number(speed);
    line += std::string(", \"sunlit\": ") + (Sunlit(position, sun) ? "true" : "false");
    line += ", \"sunDirection\": " + Triple(sun);
    if (observer) {
        const LookAngles look = Look(*observer, position, velocity, Gmst(jd));
        line += ", \"azimuth\": " + Number(look.azimuth) + ", \"elevation\": " + Number(look.elevation);
        line += ", \"range\": " + Number(look.range) + ", \"rangeRate\": " + Number(look.rangeRate);
    }
    return line + "}\n";
}

// The epoch in milliseconds since 1970, fraction kept: a Julian date in one double
// holds the time to only some tens of microseconds, a few centimetres of orbit.
double EpochUnixMs(const OrbitalElements &set) {
    const double january1 = JulianDate(set.epochYear, 1, 1, 0, 0, 0.0) - 2440587.5; // whole days
    return january1 * 86400000.0 + (set.epochDay - 1.0) * 86400000.0;
}

// The parser's message names the line already ("line 6, column 69: ..."); the
// file and line go in front once.
std::string WithoutLinePrefix(const std::string &message, int line) {
    for (const char *tail : {", ", ": "}) {
        const std::string prefix = "line " + std::to_string(line) + tail;
        if (message.compare(0, prefix.size(), prefix) == 0)
            return message.substr(prefix.size());
    }
    return message;
}

std::string PointJson(const PassPoint &point) {
    return "{\"utc\": " + JsonString(FormatUtc(UnixMsFromJulianDate(point.jd))) +
           ", \"azimuth\": " + Number(point.azimuth) + ", \"elevation\": " + Number(point.elevation) + "}";
}

// Reads and parses the file, saying on `err` what is wrong; false then.
bool ReadSets(const std::string &file, std::vector<OrbitalElements> &sets, std::FILE *err) {
    std::string text, reason;
    if (!ReadElementsText(file, text, reason)) {
        std::fprintf(err, "quor-inspect: %s: %s\n", file.c_str(), reason.c_str());
        return false;
    }
    ElementsFile parsed = ParseElements(text);
    if (parsed.error) {
        std::fprintf(err, "quor-inspect: %s:%d: %s\n", file.c_str(), parsed.error->line,
                     WithoutLinePrefix(parsed.error->message, parsed.error->line).c_str());
        return false;
    }
    if (parsed.sets.empty()) {
        std::fprintf(err, "quor-inspect: %s: no element sets in the file\n", file.c_str());
        return false;
    }
    sets = std::move(parsed.sets);
    return true;
}

// The newest set of the satellite asked for (the file's first when none is),
// its propagator started; false after saying on `err` why there is none.
bool StartPropagator(const std::string &file, std::optional<int> satellite,
                     std::vector<OrbitalElements> &sets, int &index, Sgp4 &propagator, std::FILE *err) {
    if (!ReadSets(file, sets, err))
        return false;
    index = NewestSet(sets, satellite ? *satellite : sets.front().catalogNumber);
    if (index < 0) {
        std::fprintf(err, "quor-inspect: %s: no satellite numbered %d in the file\n", file.c_str(),
                     *satellite);
        return false;
    }
    if (!propagator.Init(sets[index])) {
        std::fprintf(err, "quor-inspect: %s: satellite %d: %s\n", file.c_str(), sets[index].catalogNumber,
                     Sgp4::ErrorText(propagator.Error()));
        return false;
    }
    return true;
}

// A figure to so many decimals: more would only be noise.
std::string Fixed(double value, int decimals) {
    if (!std::isfinite(value))
        return "null";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

bool ParseUtc(const std::string &text, int64_t &unixMs) {
    size_t i = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, i, 4, year) || !Expect(text, i, '-') || !Digits(text, i, 2, month) ||
        !Expect(text, i, '-') || !Digits(text, i, 2, day))
        return false;
    if (i >= text.size() || (text[i] != 'T' && text[i] != ' '))
        return false;
    ++i;
    if (!Digits(text, i, 2, hour) || !Expect(text, i, ':') || !Digits(text, i, 2, minute) ||
        !Expect(text, i, ':') || !Digits(text, i, 2, second))
        return false;
    int64_t ms = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        int scale = 100, digits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            if (scale > 0)
                ms += (text[i] - '0') * scale;
            scale /= 10; // digits past the millisecond are dropped
        }
        if (digits == 0)
            return false;
    }
    if (i < text.size() && text[i] == 'Z')
        ++i;
    if (i != text.size() || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    const double jd = JulianDate(year, month, day, hour, minute, second);
    unixMs = UnixMsFromJulianDate(jd) + ms;
    return true;
}

std::string FormatUtc(int64_t unixMs) {
    // Civil date from days since 1970 (proleptic Gregorian, 400-year eras).
    int64_t days = unixMs / 86400000;
    int64_t msOfDay = unixMs % 86400000;
    if (msOfDay < 0) {
        msOfDay += 86400000;
        --days;
    }
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(msOfDay / 3600000), static_cast<long long>(msOfDay / 60000 % 60),
                  static_cast<long long>(msOfDay / 1000 % 60), static_cast<long long>(msOfDay % 1000));
    return text;
}

int RunOrbit(const OrbitRequest &request, std::FILE *out, std::FILE *err) {
    std::vector<OrbitalElements> sets;
    if (!ReadSets(request.file, sets, err))
        return 1;
    std::optional<Observer> observer;
    if (request.observer)
        observer = MakeObserver(request.observer->latitude, request.observer->longitude,
                                request.observer->heightM / 1000.0);
    std::vector<const OrbitalElements *> chosen;
    for (const OrbitalElements &set : sets)
        if (!request.satellite || set.catalogNumber == *request.satellite)
            chosen.push_back(&set);
    if (chosen.empty()) {
        std::fprintf(err, "quor-inspect: %s: no satellite numbered %d in the file\n", request.file.c_str(),
                     *request.satellite);
        return 1;
    }
    for (const OrbitalElements *set : chosen) {
        Sgp4 propagator;
        propagator.Init(*set); // a failure shows in every line
        const double epochJd = EpochJulianDate(*set);
        const double epochMs = EpochUnixMs(*set);
        for (int i = 0; i < request.count; ++i) {
            double jd = 0, minutes = 0;
            int64_t unixMs = 0;
            if (request.atUnixMs) {
                unixMs = *request.atUnixMs + std::llround(i * request.stepSeconds * 1000.0);
                jd = JulianDateFromUnixMs(unixMs);
                minutes = (static_cast<double>(unixMs) - epochMs) / 60000.0;
            } else {
                minutes = *request.startMinutes + i * request.stepSeconds / 60.0;
                jd = epochJd + minutes / 1440.0;
                unixMs = UnixMsFromJulianDate(jd);
            }
            const std::string line =
                OrbitLine(propagator, unixMs, jd, minutes, observer ? &*observer : nullptr);
            std::fwrite(line.data(), 1, line.size(), out);
        }
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

int RunPasses(const PassesRequest &request, std::FILE *out, std::FILE *err) {
    std::vector<OrbitalElements> sets;
    Sgp4 propagator;
    int index = 0;
    if (!StartPropagator(request.file, request.satellite, sets, index, propagator, err))
        return 1;
    const Observer observer = MakeObserver(request.observer.latitude, request.observer.longitude,
                                           request.observer.heightM / 1000.0);
    PassSearch search;
    search.startJd = JulianDateFromUnixMs(request.fromUnixMs);
    search.endJd = search.startJd + request.days;
    search.minElevation = request.minElevation;
    search.twilight = request.twilight;
    const PassList found = FindPasses(propagator, observer, search);
    if (!found.reason.empty()) {
        std::fprintf(err, "quor-inspect: %s: satellite %d: no passes: %s\n", request.file.c_str(),
                     sets[index].catalogNumber, found.reason.c_str());
        return 1;
    }
    if (found.passes.empty())
        std::fprintf(err, "quor-inspect: no passes of satellite %d above %g degrees from %s to %s\n",
                     sets[index].catalogNumber, request.minElevation, FormatUtc(request.fromUnixMs).c_str(),
                     FormatUtc(UnixMsFromJulianDate(search.endJd)).c_str());
    for (const Pass &pass : found.passes) {
        std::string line = "{\"satellite\": " + std::to_string(sets[index].catalogNumber);
        line += ", \"rise\": " + PointJson(pass.rise) + ", \"culmination\": " + PointJson(pass.culmination);
        line += ", \"set\": " + PointJson(pass.set) +
                ", \"duration\": " + Number(std::round(pass.duration * 1000) / 1000);
        if (pass.visible)
            line += ", \"visible\": {\"start\": " + PointJson(pass.visibleStart) +
                    ", \"end\": " + PointJson(pass.visibleEnd) +
                    ", \"maxElevation\": " + Number(pass.visibleMaxElevation) + "}";
        else
            line += ", \"visible\": false";
        line += ", \"magnitude\": " + (pass.visible ? Number(std::round(pass.magnitude * 10) / 10) : "null");
        line += "}\n";
        std::fwrite(line.data(), 1, line.size(), out);
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

int RunTransits(const TransitsRequest &request, std::FILE *out, std::FILE *err) {
    std::vector<OrbitalElements> sets;
    Sgp4 propagator;
    int index = 0;
    if (!StartPropagator(request.file, request.satellite, sets, index, propagator, err))
        return 1;
    TransitSearch search;
    search.startJd = JulianDateFromUnixMs(request.fromUnixMs);
    search.endJd = search.startJd + request.days;
    const TransitList found = FindTransits(propagator, request.observer, search);
    if (!found.reason.empty()) {
        std::fprintf(err, "quor-inspect: %s: satellite %d: no transits: %s\n", request.file.c_str(),
                     sets[index].catalogNumber, found.reason.c_str());
        return 1;
    }
    if (found.transits.empty())
        std::fprintf(
            err,
            "quor-inspect: satellite %d comes within a degree of neither the Sun nor the Moon from %s "
            "to %s\n",
            sets[index].catalogNumber, FormatUtc(request.fromUnixMs).c_str(),
            FormatUtc(UnixMsFromJulianDate(search.endJd)).c_str());
    for (const Transit &transit : found.transits) {
        std::string line = "{\"body\": " + JsonString(TransitBodyName(transit.body));
        line += ", \"utc\": " + JsonString(FormatUtc(UnixMsFromJulianDate(transit.jd)));
        line += ", \"separation_deg\": " + Fixed(transit.separation, 5);
        line += ", \"radius_deg\": " + Fixed(transit.radius, 5);
        line += ", \"range_km\": " + Fixed(transit.range, 1);
        line += std::string(", \"crossing\": ") + (transit.crossing ? "true" : "false");
        if (transit.crossing) {
            line += ", \"duration_s\": " + Fixed(transit.duration, 3);
            line += ", \"centre_line_azimuth_deg\": " + Fixed(transit.centreLineAzimuth, 2);
            line += ", \"centre_line_km\": " + Fixed(transit.centreLineKm, 3);
        }
        line += "}\n";
        std::fwrite(line.data(), 1, line.size(), out);
    }
    return std::fflush(out) == 0 ? 0 : 1;
}
