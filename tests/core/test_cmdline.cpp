// The numbers the command-line programs read: plain decimal, nothing strtol and
// strtod take besides (hex, inf, nan, spaces), their limits included.
#include "framework/cmdline.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    const char *text;
    bool ok;
    double value; // when ok
};

} // namespace

TEST(CommandLineNumbers, DecimalNumbersOnly) {
    const Case cases[] = {
        {"2.5", true, 2.5},     {"-1.5", true, -1.5}, {"+1.5", true, 1.5}, {".5", true, 0.5},
        {"5.", true, 5},        {"007", true, 7},     {"2e3", true, 2000}, {"2.5E-3", true, 0.0025},
        {"1e+2", true, 100},    {"-0", true, 0},      {"", false, 0},      {"+", false, 0},
        {"-", false, 0},        {".", false, 0},      {"e3", false, 0},    {"0x10", false, 0},
        {"0x1p3", false, 0},    {"inf", false, 0},    {"-inf", false, 0},  {"nan", false, 0},
        {"infinity", false, 0}, {" 1", false, 0},     {"1 ", false, 0},    {"1e", false, 0},
        {"1e+", false, 0},      {"1e1.5", false, 0},  {"1.5.2", false, 0}, {"1,5", false, 0},
        {"+-1", false, 0},      {"--1", false, 0},    {"1e999", false, 0}, {"2e9", false, 0},
    };
    for (const Case &c : cases) {
        double value = -123;
        EXPECT_EQ(ParseDecimalNumber(c.text, -1e9, 1e9, value), c.ok) << "'" << c.text << "'";
        if (c.ok) {
            EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        }
    }
    // Both ends of the range are in it.
    double value = -1;
    EXPECT_TRUE(ParseDecimalNumber("0", 0, 30, value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseDecimalNumber("30", 0, 30, value));
    EXPECT_EQ(value, 30);
    EXPECT_FALSE(ParseDecimalNumber("30.001", 0, 30, value));
    EXPECT_FALSE(ParseDecimalNumber("-0.001", 0, 30, value));
}

TEST(CommandLineNumbers, WholeNumbersOnly) {
    const Case cases[] = {
        {"12", true, 12},   {"+12", true, 12},   {"-7", true, -7},  {"0", true, 0},    {"0012", true, 12},
        {"", false, 0},     {"+", false, 0},     {"-", false, 0},   {" 64", false, 0}, {"64 ", false, 0},
        {"0x40", false, 0}, {"1.0", false, 0},   {"1e3", false, 0}, {"+-1", false, 0}, {"12a", false, 0},
        {"4097", false, 0}, {"-4097", false, 0},
    };
    for (const Case &c : cases) {
        int value = -123;
        EXPECT_EQ(ParseWholeNumber(c.text, -4096, 4096, value), c.ok) << "'" << c.text << "'";
        if (c.ok) {
            EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        }
    }
    // Both ends of the range are in it; beyond what the type holds is refused, not wrapped.
    int value = 0;
    EXPECT_TRUE(ParseWholeNumber("1", 1, 4096, value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(ParseWholeNumber("4096", 1, 4096, value));
    EXPECT_EQ(value, 4096);
    EXPECT_FALSE(ParseWholeNumber("4294967297", INT_MIN, INT_MAX, value));
    long long wide = 0;
    EXPECT_TRUE(ParseWholeNumber("-9223372036854775808", LLONG_MIN, LLONG_MAX, wide));
    EXPECT_EQ(wide, LLONG_MIN);
    EXPECT_FALSE(ParseWholeNumber("9223372036854775808", LLONG_MIN, LLONG_MAX, wide));
}
