#pragma once
// What the command-line programs read from their arguments, read one way by all
// of them: numbers in plain decimal, and whether an output names an input.
#include <string>

// A whole number in decimal, an optional sign and digits only, from `low` to
// `high`. Nothing else is taken: no spaces, no hex, no trailing text.
bool ParseWholeNumber(const char *text, long long low, long long high, long long &value);
bool ParseWholeNumber(const char *text, int low, int high, int &value);

// A number in decimal (an optional sign, digits with an optional fraction, an
// optional exponent: "-1.5", ".5", "2e3"), finite and from `low` to `high`. No
// hex, no "inf" or "nan", no spaces or trailing text, which strtod would take.
bool ParseDecimalNumber(const char *text, double low, double high, double &value);

// Whether `a` and `b` name the same file: one inode (through symbolic and hard
// links alike) where both exist, or one path once made absolute and resolved.
bool IsSameFile(const std::string &a, const std::string &b);
