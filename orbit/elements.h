#pragma once
// Two-line orbital element sets, as catalogues and trackers publish them: an
// optional name line, then lines 1 and 2 of fixed columns with a checksum each.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct OrbitalElements {
    std::string name; // the name line, trimmed; empty when the set has none
    int catalogNumber = 0;
    char classification = 'U';
    std::string designator;    // international designator, trimmed
    int epochYear = 0;         // four digits
    double epochDay = 0;       // day of the year with its fraction; 1.0 is 1 January, 0h UTC
    double meanMotionDot = 0;  // first derivative of the mean motion / 2, rev/day²
    double meanMotionDdot = 0; // second derivative / 6, rev/day³
    double bstar = 0;          // drag term, 1/earth radii
    int elementSetNumber = 0;
    double inclination = 0; // degrees
    double raan = 0;        // right ascension of the ascending node, degrees
    double eccentricity = 0;
    double argPerigee = 0;  // degrees
    double meanAnomaly = 0; // degrees
    double meanMotion = 0;  // revolutions per day
    int revolutionNumber = 0;
    int line = 0; // line of the file where the set starts (its name line, if any), from 1

    bool operator==(const OrbitalElements &) const = default;
};

struct ElementsError {
    int line = 0;        // line of the file, from 1
    std::string message; // what is wrong there, for a person to read
};

struct ElementsFile {
    std::vector<OrbitalElements> sets;  // in file order
    std::optional<ElementsError> error; // the first bad line; then sets is empty
};

// Reads every set of the text. Blank lines between sets are allowed; anything
// else that is not a set is an error naming its line.
ElementsFile ParseElements(std::string_view text);

// Elements files larger than this are refused rather than read into memory.
constexpr long long kMaxElementsFileBytes = 16 * 1024 * 1024;

// Reads a regular file of at most kMaxElementsFileBytes; false with a reason
// ("is not a regular file", ...) to put after the file's name. A pipe or a folder
// is refused without waiting on it.
bool ReadElementsText(const std::string &path, std::string &text, std::string &reason);

// Julian date (UTC) of the elements' epoch.
double EpochJulianDate(const OrbitalElements &elements);

// Elements give no position further than this many days from their epoch: their
// error grows by kilometres a day, and a propagator run back years (a two-digit
// year read in the wrong century, say) gives nonsense. Passes searched with
// older elements are flagged.
inline constexpr double kStaleElementsDays = 14.0;

// The set's name for people: its name line, or "Satellite" where it has none.
std::string DisplayName(const OrbitalElements &elements);

// The set of that catalogue number with the latest epoch (the first of equals);
// -1 when there is none.
int NewestSet(const std::vector<OrbitalElements> &sets, int catalogNumber);
