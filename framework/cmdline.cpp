#include "cmdline.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips the digits at `p`; returns how many there were.
size_t SkipDigits(const char *&p) {
    const char *start = p;
    while (IsDigit(*p))
        ++p;
    return static_cast<size_t>(p - start);
}

// from_chars reads no leading '+'.
const char *WithoutPlus(const char *text) {
    return *text == '+' ? text + 1 : text;
}

// `path` made absolute, its links and dot components resolved as far as it exists.
bool Resolved(const std::string &path, std::filesystem::path &out) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return false;
    out = std::filesystem::weakly_canonical(absolute, ec);
    return !ec;
}

} // namespace

bool ParseWholeNumber(const char *text, long long low, long long high, long long &value) {
    const char *p = text;
    if (*p == '+' || *p == '-')
        ++p;
    if (SkipDigits(p) == 0 || *p != '\0')
        return false;
    long long v = 0;
    const char *first = WithoutPlus(text);
    const std::from_chars_result r = std::from_chars(first, p, v, 10);
    if (r.ec != std::errc() || r.ptr != p || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool ParseWholeNumber(const char *text, int low, int high, int &value) {
    long long v = 0;
    if (!ParseWholeNumber(text, static_cast<long long>(low), static_cast<long long>(high), v))
        return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseDecimalNumber(const char *text, double low, double high, double &value) {
    const char *p = text;
    if (*p == '+' || *p == '-')
        ++p;
    size_t digits = SkipDigits(p);
    if (*p == '.') {
        ++p;
        digits += SkipDigits(p);
    }
    if (digits == 0)
        return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-')
            ++p;
        if (SkipDigits(p) == 0)
            return false;
    }
    if (*p != '\0')
        return false;
    // from_chars rather than strtod: the same reading whatever the locale.
    double v = 0;
    const char *first = WithoutPlus(text);
    const std::from_chars_result r = std::from_chars(first, p, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != p || !(v >= low && v <= high))
        return false;
    value = v;
    return true;
}

bool IsSameFile(const std::string &a, const std::string &b) {
    struct stat sa {};
    struct stat sb {};
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
        sa.st_ino == sb.st_ino)
        return true;
    // Where either is missing (or cannot be looked at), the names themselves.
    std::filesystem::path ca, cb;
    return Resolved(a, ca) && Resolved(b, cb) && ca == cb;
}
