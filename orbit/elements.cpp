#include "elements.h"

#include <vector>

#include <unistd.h>

#include <sys/stat.h>

#include <fcntl.h>

#include <cstring>

#include <cerrno>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Lines 1 and 2 of a set have exactly this many columns; the last is the checksum.
constexpr size_t kElementColumns = 69;
// A catalogue of everything in orbit holds some tens of thousands of sets; a text
// with more is not one we are meant to read, and stopping keeps memory bounded.
constexpr size_t kMaxSets = 100000;

struct Line {
    std::string_view text; // without the line break, trailing blanks or CR
    int number = 0;        // from 1
};

// Splits off one line of `text` from `pos`; false at the end of the text.
bool NextLine(std::string_view text, size_t &pos, int &number, Line &line) {
    if (pos >= text.size())
        return false;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view s = text.substr(pos, end - pos);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t'))
        s.remove_suffix(1);
    pos = end + 1;
    line.text = s;
    line.number = ++number;
    return true;
}

std::string Quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Where(int line, int column) {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

std::string Where(int line) {
    return "line " + std::to_string(line) + ": ";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The checksum both element lines end in: digits count their value, a minus sign one.
int Checksum(std::string_view line) {
    int sum = 0;
    for (size_t i = 0; i + 1 < kElementColumns && i < line.size(); ++i) {
        if (IsDigit(line[i]))
            sum += line[i] - '0';
        else if (line[i] == '-')
            ++sum;
    }
    return sum % 10;
}

// Reads the fixed-column fields of one element line; the first fault found is kept.
class Fields {
public:
    Fields(const Line &line, std::string &error) : m_line(line), m_error(error) {}

    bool Ok() const { return m_error.empty(); }

    // The text of columns first..last (1-based, inclusive).
    std::string_view Columns(int first, int last) const {
        return m_line.text.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
    }

    void Fail(int column, const std::string &what) {
        if (m_error.empty())
            m_error = Where(m_line.number, column) + what;
    }

    void Blank(int column) {
        const char c = m_line.text[static_cast<size_t>(column - 1)];
        if (c != ' ')
            Fail(column, "expected a space between fields, found " + Quoted(std::string_view(&c, 1)));
    }

    // An unsigned integer right-aligned in its columns (leading blanks allowed);
    // all blank reads as `blankValue` when that is not negative.
    long Integer(int first, int last, const char *what, long blankValue = -1) {
        std::string_view s = Columns(first, last);
        size_t i = 0;
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i == s.size()) {
            if (blankValue >= 0)
                return blankValue;
            Fail(first, std::string(what) + " is missing");
            return 0;
        }
        long value = 0;
        for (size_t k = i; k < s.size(); ++k) {
            if (!IsDigit(s[k])) {
                Fail(first + static_cast<int>(k), std::string(what) + " must be digits, found " + Quoted(s));
                return 0;
            }
            value = value * 10 + (s[k] - '0');
        }
        return value;
    }

    // A decimal number as the format writes it: blanks before, an optional sign,
    // digits with at most one point, nothing after.
    double Decimal(int first, int last, const char *what) {
        std::string_view s = Columns(first, last);
        size_t i = 0;
        while (i < s.size() && s[i] == ' ')
            ++i;
        std::string number;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
            if (s[i] == '-')
                number += '-';
            ++i;
        }
        int digits = 0, points = 0;
        for (size_t k = i; k < s.size(); ++k) {
            if (IsDigit(s[k]))
                ++digits;
            else if (s[k] == '.')
                ++points;
            else
                digits = -1000; // anything else spoils the field
            number += s[k];
        }
        if (digits <= 0 || points > 1) {
            Fail(first, std::string(what) + " is not a decimal number: " + Quoted(s));
            return 0;
        }
        if (number[number.size() - 1] == '.')
            number += '0'; // "12." reads as 12
        const char *begin = number.data();
        if (number[0] == '.' || (number[0] == '-' && number[1] == '.')) {
            number.insert(number[0] == '-' ? 1 : 0, "0");
            begin = number.data();
        }
        double value = 0;
        const auto result = std::from_chars(begin, number.data() + number.size(), value);
        if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
            Fail(first, std::string(what) + " is not a decimal number: " + Quoted(s));
            return 0;
        }
        return value;
    }

    // The format's compact exponent form in 8 columns: a sign or blank, five digits
    // read after an implied decimal point, the exponent's sign and one digit;
    // " 12345-3" is 0.12345e-3.
    double ImpliedDecimal(int first, const char *what) {
        std::string_view s = Columns(first, first + 7);
        const bool signOk = s[0] == ' ' || s[0] == '+' || s[0] == '-';
        bool digitsOk = true;
        for (size_t k = 1; k <= 5; ++k)
            digitsOk = digitsOk && IsDigit(s[k]);
        const bool exponentOk = (s[6] == '-' || s[6] == '+') && IsDigit(s[7]);
        if (!signOk || !digitsOk || !exponentOk) {
            Fail(first, std::string(what) +
                            " must be a sign or blank, five digits, and a signed one-digit exponent "
                            "(like \" 12345-3\"), found " +
                            Quoted(s));
            return 0;
        }
        std::string number = s[0] == '-' ? "-0." : "0.";
        number.append(s.substr(1, 5));
        number += 'e';
        number += s[6];
        number += s[7];
        double value = 0;
        std::from_chars(number.data(), number.data() + number.size(), value);
        return value;
    }

    // A catalogue number: up to five digits, or the "Alpha-5" form of a letter
    // (I and O left out) standing for 10 to 33 and four digits.
    int Catalogue(int first) {
        std::string_view s = Columns(first, first + 4);
        const char c = s[0];
        if (c >= 'A' && c <= 'Z') {
            if (c == 'I' || c == 'O') {
                Fail(first,
                     "catalogue number " + Quoted(s) + " begins with I or O, which Alpha-5 leaves out");
                return 0;
            }
            int lead = 10 + (c - 'A');
            if (c > 'I')
                --lead;
            if (c > 'O')
                --lead;
            int rest = 0;
            for (size_t k = 1; k < 5; ++k) {
                if (!IsDigit(s[k])) {
                    Fail(first, "catalogue number must be five digits or a letter and four digits, found " +
                                    Quoted(s));
                    return 0;
                }
                rest = rest * 10 + (s[k] - '0');
            }
            return lead * 10000 + rest;
        }
        return static_cast<int>(Integer(first, first + 4, "catalogue number"));
    }

    double Angle(int first, int last, const char *what, double maximum) {
        const double value = Decimal(first, last, what);
        if (Ok() && !(value >= 0 && value <= maximum))
            Fail(first, std::string(what) + " must lie between 0 and " +
                            std::to_string(static_cast<int>(maximum)) + " degrees, found " +
                            Quoted(Columns(first, last)));
        return value;
    }

private:
    const Line &m_line;
    std::string &m_error;
};

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Checks what every element line shares: printable text, 69 columns, the line
// number in column 1 and the checksum in column 69.
std::string CheckElementLine(const Line &line, char expected) {
    const std::string_view s = line.text;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto u = static_cast<unsigned char>(s[i]);
        if (u < 0x20 || u >= 0x7f)
            return Where(line.number, static_cast<int>(i) + 1) +
                   "element lines hold only printable ASCII characters, found byte " + std::to_string(u);
    }
    if (s.empty() || s[0] != expected)
        return Where(line.number, 1) + "expected line " + expected + " of a set, but the line starts with " +
               Quoted(s.substr(0, 1));
    if (s.size() != kElementColumns)
        return Where(line.number) + "an element line has 69 columns, but this one has " +
               std::to_string(s.size());
    const char last = s[kElementColumns - 1];
    if (!IsDigit(last))
        return Where(line.number, 69) + "the checksum must be a digit, found " +
               Quoted(std::string_view(&last, 1));
    const int sum = Checksum(s);
    if (sum != last - '0')
        return Where(line.number, 69) + "checksum is " + std::to_string(sum) + ", but the line ends in " +
               last;
    return {};
}

std::string ParseLine1(const Line &line, OrbitalElements &set) {
    std::string error = CheckElementLine(line, '1');
    if (!error.empty())
        return error;
    Fields f(line, error);
    for (int column : {2, 9, 18, 33, 44, 53, 62, 64})
        f.Blank(column);
    set.catalogNumber = f.Catalogue(3);
    const char classification = line.text[7];
    if (classification != 'U' && classification != 'C' && classification != 'S' && classification != ' ')
        f.Fail(8, "classification must be U, C, S or blank, found " +
                      Quoted(std::string_view(&classification, 1)));
    set.classification = classification == ' ' ? 'U' : classification;
    std::string_view designator = f.Columns(10, 17);
    while (!designator.empty() && designator.back() == ' ')
        designator.remove_suffix(1);
    while (!designator.empty() && designator.front() == ' ')
        designator.remove_prefix(1);
    set.designator = std::string(designator);

    const std::string_view year = f.Columns(19, 20);
    if (!IsDigit(year[0]) || !IsDigit(year[1]))
        f.Fail(19, "the epoch year must be two digits, found " + Quoted(year));
    const int yy = (year[0] - '0') * 10 + (year[1] - '0');
    set.epochYear = yy < 57 ? 2000 + yy : 1900 + yy; // the first satellite flew in 1957
    set.epochDay = f.Decimal(21, 32, "the epoch's day of the year");
    if (f.Ok() && !(set.epochDay >= 1 && set.epochDay < (IsLeapYear(set.epochYear) ? 367 : 366)))
        f.Fail(21, "the epoch's day of the year " + Quoted(f.Columns(21, 32)) + " is not in " +
                       std::to_string(set.epochYear));
    set.meanMotionDot = f.Decimal(34, 43, "the mean motion's first derivative");
    set.meanMotionDdot = f.ImpliedDecimal(45, "the mean motion's second derivative");
    set.bstar = f.ImpliedDecimal(54, "the drag term (B*)");
    const char ephemeris = line.text[62];
    if (ephemeris != ' ' && !IsDigit(ephemeris))
        f.Fail(63, "the ephemeris type must be a digit or blank, found " +
                       Quoted(std::string_view(&ephemeris, 1)));
    set.elementSetNumber = static_cast<int>(f.Integer(65, 68, "the element set number", 0));
    return error;
}

std::string ParseLine2(const Line &line, OrbitalElements &set) {
    std::string error = CheckElementLine(line, '2');
    if (!error.empty())
        return error;
    Fields f(line, error);
    for (int column : {2, 8, 17, 26, 34, 43, 52})
        f.Blank(column);
    const int catalogue = f.Catalogue(3);
    if (f.Ok() && catalogue != set.catalogNumber)
        f.Fail(3, "catalogue number " + std::to_string(catalogue) + " differs from " +
                      std::to_string(set.catalogNumber) + " on the line before");
    set.inclination = f.Angle(9, 16, "the inclination", 180);
    set.raan = f.Angle(18, 25, "the right ascension of the node", 360);
    const std::string_view eccentricity = f.Columns(27, 33);
    long digits = 0;
    for (char c : eccentricity) {
        if (!IsDigit(c)) {
            f.Fail(27, "the eccentricity must be seven digits (read after a decimal point), found " +
                           Quoted(eccentricity));
            break;
        }
        digits = digits * 10 + (c - '0');
    }
    set.eccentricity = static_cast<double>(digits) * 1e-7;
    set.argPerigee = f.Angle(35, 42, "the argument of perigee", 360);
    set.meanAnomaly = f.Angle(44, 51, "the mean anomaly", 360);
    set.meanMotion = f.Decimal(53, 63, "the mean motion");
    if (f.Ok() && !(set.meanMotion > 0))
        f.Fail(53, "the mean motion must be above 0 revolutions a day, found " + Quoted(f.Columns(53, 63)));
    set.revolutionNumber = static_cast<int>(f.Integer(64, 68, "the revolution number", 0));
    return error;
}

// A name line: any text without control characters, trimmed. Space-track's
// three-line form puts "0 " before the name; that is not part of it.
std::string ParseName(const Line &line, std::string &name) {
    const std::string_view s = line.text;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto u = static_cast<unsigned char>(s[i]);
        if (u < 0x20 || u == 0x7f)
            return Where(line.number, static_cast<int>(i) + 1) +
                   "a name line holds a control character (byte " + std::to_string(u) + ")";
    }
    if (s.size() > kElementColumns)
        return Where(line.number) + "a name line may have 69 columns, but this one has " +
               std::to_string(s.size());
    std::string_view trimmed = s;
    if (trimmed.size() >= 2 && trimmed[0] == '0' && trimmed[1] == ' ')
        trimmed.remove_prefix(2);
    while (!trimmed.empty() && trimmed.front() == ' ')
        trimmed.remove_prefix(1);
    name = std::string(trimmed);
    return {};
}

bool StartsWith(const Line &line, char number) {
    return !line.text.empty() && line.text[0] == number && (line.text.size() < 2 || line.text[1] == ' ');
}

} // namespace

ElementsFile ParseElements(std::string_view text) {
    ElementsFile file;
    // Editors on some systems start a UTF-8 file with a byte-order mark.
    size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    int number = 0;
    Line line;
    auto fail = [&](int at, std::string message) {
        file.sets.clear();
        file.error = ElementsError{at, std::move(message)};
        return file;
    };

    while (NextLine(text, pos, number, line)) {
        if (line.text.empty())
            continue;
        OrbitalElements set;
        set.line = line.number;
        Line first = line;
        if (!StartsWith(line, '1')) {
            if (StartsWith(line, '2'))
                return fail(line.number, Where(line.number, 1) + "line 2 of a set must follow its line 1");
            std::string error = ParseName(line, set.name);
            if (!error.empty())
                return fail(line.number, error);
            Line next;
            if (!NextLine(text, pos, number, next))
                return fail(line.number + 1, Where(line.number + 1) + "the text ends after a name line");
            if (StartsWith(next, '2')) // a line 1 that starts wrong, not a name
                return fail(line.number, ParseLine1(line, set));
            first = next;
        }
        std::string error = ParseLine1(first, set);
        if (!error.empty())
            return fail(first.number, error);
        Line second;
        if (!NextLine(text, pos, number, second))
            return fail(first.number + 1,
                        Where(first.number + 1) + "the text ends where line 2 of the set should be");
        error = ParseLine2(second, set);
        if (!error.empty())
            return fail(second.number, error);
        if (file.sets.size() >= kMaxSets)
            return fail(set.line, Where(set.line) + "more than " + std::to_string(kMaxSets) +
                                      " element sets; this is more than any catalogue holds");
        file.sets.push_back(std::move(set));
    }
    return file;
}

double EpochJulianDate(const OrbitalElements &elements) {
    // Julian date of 1 January, 0h, of the epoch year (proleptic Gregorian).
    const int64_t y = static_cast<int64_t>(elements.epochYear) - 1; // years before it
    const int64_t daysBefore = 365 * y + y / 4 - y / 100 + y / 400; // since 1 Jan of year 1
    const double january1 = 1721425.5 + static_cast<double>(daysBefore);
    // Whole days first, then the fraction, so the one rounding is the sum's.
    const double whole = std::floor(elements.epochDay);
    return (january1 + (whole - 1.0)) + (elements.epochDay - whole);
}

std::string DisplayName(const OrbitalElements &elements) {
    return elements.name.empty() ? "Satellite" : elements.name;
}

int NewestSet(const std::vector<OrbitalElements> &sets, int catalogNumber) {
    int newest = -1;
    for (size_t i = 0; i < sets.size(); ++i) {
        if (sets[i].catalogNumber != catalogNumber)
            continue;
        if (newest < 0 || EpochJulianDate(sets[i]) > EpochJulianDate(sets[static_cast<size_t>(newest)]))
            newest = static_cast<int>(i);
    }
    return newest;
}

bool ReadElementsText(const std::string &path, std::string &text, std::string &reason) {
    // Without O_NONBLOCK, opening a pipe would wait for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = false;
    if (fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "is a folder, not an elements file" : "is not a regular file";
    } else if (st.st_size > kMaxElementsFileBytes) {
        reason = "is larger than " + std::to_string(kMaxElementsFileBytes >> 20) + " MiB";
    } else {
        // Read to the cap and one byte past it, in case the file grows meanwhile.
        text.clear();
        std::vector<char> buffer(1 << 16);
        ok = true;
        for (;;) {
            const ssize_t n = read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                reason = std::strerror(errno);
                ok = false;
                break;
            }
            if (n == 0)
                break;
            text.append(buffer.data(), static_cast<size_t>(n));
            if (static_cast<int64_t>(text.size()) > kMaxElementsFileBytes) {
                reason = "is larger than " + std::to_string(kMaxElementsFileBytes >> 20) + " MiB";
                ok = false;
                break;
            }
        }
    }
    close(fd);
    return ok;
}
