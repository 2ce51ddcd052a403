// The two-line element parser: the values of well-formed sets in the forms found
// in the wild, and the line and words of the first fault in broken ones.
#include "orbit/elements.h"
#include "tleline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Sets from the published SGP4 verification set, checksums and all.
const std::string k5Line1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const std::string k5Line2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";
const std::string k4632Line1 = "1 04632U 70093B   04031.91070959 -.00000084  00000-0  10000-3 0  9955";
const std::string k4632Line2 = "2 04632  11.4628 273.1101 1450506 207.6000 143.9350  1.20231981 44145";
const std::string k88888Line1 = "1 88888U          80275.98708465  .00073094  13844-3  66816-4 0    87";
const std::string k88888Line2 = "2 88888  72.8435 115.9689 0086731  52.6988 110.5714 16.05824518  1058";

std::string Edit(std::string line, size_t column, const std::string &text) {
    line.replace(column - 1, text.size(), text);
    return Resum(line);
}

TEST(Elements, ReadsNamedAndUnnamedSetsWithBlankLinesCrlfAndByteOrderMark) {
    const std::string text = "\xEF\xBB\xBFVANGUARD 1   \r\n" + k5Line1 + "\r\n" + k5Line2 + "\r\n\r\n  \r\n" +
                             k4632Line1 + "  \r\n" + k4632Line2 + "\r\n0 STR3 TEST\n" + k88888Line1 + "\n" +
                             k88888Line2;
    const ElementsFile file = ParseElements(text);
    ASSERT_FALSE(file.error) << file.error->message;
    ASSERT_EQ(file.sets.size(), 3u);

    const OrbitalElements &a = file.sets[0];
    EXPECT_EQ(a.name, "VANGUARD 1");
    EXPECT_EQ(a.line, 1);
    EXPECT_EQ(a.catalogNumber, 5);
    EXPECT_EQ(a.classification, 'U');
    EXPECT_EQ(a.designator, "58002B");
    EXPECT_EQ(a.epochYear, 2000);
    EXPECT_DOUBLE_EQ(a.epochDay, 179.78495062);
    EXPECT_DOUBLE_EQ(a.meanMotionDot, 0.00000023);
    EXPECT_EQ(a.meanMotionDdot, 0.0);
    EXPECT_DOUBLE_EQ(a.bstar, 0.28098e-4);
    EXPECT_EQ(a.elementSetNumber, 475);
    EXPECT_DOUBLE_EQ(a.inclination, 34.2682);
    EXPECT_DOUBLE_EQ(a.raan, 348.7242);
    EXPECT_DOUBLE_EQ(a.eccentricity, 0.1859667);
    EXPECT_DOUBLE_EQ(a.argPerigee, 331.7664);
    EXPECT_DOUBLE_EQ(a.meanAnomaly, 19.3264);
    EXPECT_DOUBLE_EQ(a.meanMotion, 10.82419157);
    EXPECT_EQ(a.revolutionNumber, 41366);
    // 2000 day 179.78495062: 1 January 2000 0h is JD 2451544.5.
    EXPECT_NEAR(EpochJulianDate(a), 2451544.5 + 178.78495062, 1e-8);

    const OrbitalElements &b = file.sets[1];
    EXPECT_EQ(b.name, "");
    EXPECT_EQ(b.line, 6);
    EXPECT_EQ(b.catalogNumber, 4632);
    EXPECT_EQ(b.epochYear, 2004);
    EXPECT_DOUBLE_EQ(b.meanMotionDot, -0.00000084);
    EXPECT_DOUBLE_EQ(b.bstar, 1e-4);
    EXPECT_DOUBLE_EQ(b.eccentricity, 0.1450506);

    const OrbitalElements &c = file.sets[2];
    EXPECT_EQ(c.name, "STR3 TEST"); // space-track's "0 " before the name is not part of it
    EXPECT_EQ(c.line, 8);
    EXPECT_EQ(c.catalogNumber, 88888);
    EXPECT_EQ(c.designator, "");
    EXPECT_EQ(c.epochYear, 1980);
    EXPECT_DOUBLE_EQ(c.meanMotionDdot, 0.13844e-3);
    EXPECT_DOUBLE_EQ(c.bstar, 0.66816e-4);
    EXPECT_EQ(c.elementSetNumber, 8);
    EXPECT_EQ(c.revolutionNumber, 105);
    EXPECT_DOUBLE_EQ(c.meanMotion, 16.05824518);
}

TEST(Elements, Alpha5CatalogueNumbers) {
    // A letter for the ten-thousands, I and O left out: A is 10, J is 18, Z is 33.
    const ElementsFile file =
        ParseElements(Edit(k5Line1, 3, "A0005") + "\n" + Edit(k5Line2, 3, "A0005") + "\n" +
                      Edit(k5Line1, 3, "J0005") + "\n" + Edit(k5Line2, 3, "J0005") + "\n" +
                      Edit(k5Line1, 3, "Z9999") + "\n" + Edit(k5Line2, 3, "Z9999") + "\n");
    ASSERT_FALSE(file.error) << file.error->message;
    ASSERT_EQ(file.sets.size(), 3u);
    EXPECT_EQ(file.sets[0].catalogNumber, 100005);
    EXPECT_EQ(file.sets[1].catalogNumber, 180005);
    EXPECT_EQ(file.sets[2].catalogNumber, 339999);

    const ElementsFile bad =
        ParseElements(Edit(k5Line1, 3, "I0005") + "\n" + Edit(k5Line2, 3, "I0005") + "\n");
    ASSERT_TRUE(bad.error);
    EXPECT_EQ(bad.error->line, 1);
    EXPECT_EQ(bad.error->message,
              "line 1, column 3: catalogue number \"I0005\" begins with I or O, which Alpha-5 "
              "leaves out");
}

TEST(Elements, BlankCountersReadAsZero) {
    // Some generators leave the element set number and the revolution number blank.
    const ElementsFile file =
        ParseElements(Edit(k4632Line1, 65, "    ") + "\n" + Edit(k4632Line2, 64, "     ") + "\n");
    ASSERT_FALSE(file.error) << file.error->message;
    ASSERT_EQ(file.sets.size(), 1u);
    EXPECT_EQ(file.sets[0].elementSetNumber, 0);
    EXPECT_EQ(file.sets[0].revolutionNumber, 0);
    EXPECT_DOUBLE_EQ(file.sets[0].meanMotion, 1.20231981);
}

TEST(Elements, TheFirstBadLineIsNamedAndNoSetsAreKept) {
    const std::string good = "VANGUARD 1\n" + k5Line1 + "\n" + k5Line2 + "\n\n"; // lines 1 to 4
    struct Case {
        std::string text;
        int line;
        std::string message;
    };
    std::string badChecksum = k4632Line1;
    badChecksum[68] = '6';
    const Case cases[] = {
        {good + badChecksum + "\n" + k4632Line2, 5,
         "line 5, column 69: checksum is 5, but the line ends in 6"},
        {good + k4632Line1 + "\n" + k5Line2, 6,
         "line 6, column 3: catalogue number 5 differs from 4632 on the line before"},
        {good + "3" + k4632Line1.substr(1) + "\n" + k4632Line2, 5,
         "line 5, column 1: expected line 1 of a set, but the line starts with \"3\""},
        {good + k4632Line1 + "\n" + "3" + k4632Line2.substr(1), 6,
         "line 6, column 1: expected line 2 of a set, but the line starts with \"3\""},
        {good + k4632Line2 + "\n" + k4632Line1, 5,
         "line 5, column 1: line 2 of a set must follow its line 1"},
        {good + k4632Line1 + "0\n" + k4632Line2, 5,
         "line 5: an element line has 69 columns, but this one has 70"},
        {good + "NAME\n" + k4632Line1 + "\n", 7, "line 7: the text ends where line 2 of the set should be"},
        {good + k4632Line1 + "\n" + Edit(k4632Line2, 27, "14505O6"), 6,
         "line 6, column 27: the eccentricity must be seven digits (read after a decimal point), found "
         "\"14505O6\""},
        {good + Edit(k4632Line1, 54, " 10000 3") + "\n" + k4632Line2, 5,
         "line 5, column 54: the drag term (B*) must be a sign or blank, five digits, and a signed one-digit "
         "exponent (like \" 12345-3\"), found \" 10000 3\""},
        {good + Edit(k4632Line1, 21, "366.50000000") + "\n" + k4632Line2, -1, ""}, // 2004 is a leap year
        {good + Edit(k4632Line1, 19, "05366.00000000") + "\n" + k4632Line2, 5,
         "line 5, column 21: the epoch's day of the year \"366.00000000\" is not in 2005"},
        {good + k4632Line1 + "\n" + Edit(k4632Line2, 9, " 180.001"), 6,
         "line 6, column 9: the inclination must lie between 0 and 180 degrees, found \" 180.001\""},
        {good + k4632Line1 + "\n" + Edit(k4632Line2, 44, "360.0001"), 6,
         "line 6, column 44: the mean anomaly must lie between 0 and 360 degrees, found \"360.0001\""},
    };
    for (const Case &c : cases) {
        const ElementsFile file = ParseElements(c.text);
        if (c.line < 0) {
            EXPECT_FALSE(file.error) << file.error->message;
            EXPECT_EQ(file.sets.size(), 2u);
            continue;
        }
        ASSERT_TRUE(file.error) << c.message;
        EXPECT_EQ(file.error->line, c.line) << c.message;
        EXPECT_EQ(file.error->message, c.message);
        EXPECT_TRUE(file.sets.empty()) << c.message;
    }
}

// Three unnamed sets of one number, the newest in the middle, and another number
// after them: the newest of the wanted number is found by epoch, not by place.
TEST(Elements, NewestSetOfANumberIsFoundByEpochAndUnnamedSetsHaveOneName) {
    const std::string text = Edit(k5Line1, 19, "00179.5") + "\n" + k5Line2 + "\n" +
                             Edit(k5Line1, 19, "00189.5") + "\n" + k5Line2 + "\n" +
                             Edit(k5Line1, 19, "00184.5") + "\n" + k5Line2 + "\nLATER\n" +
                             Edit(k4632Line1, 19, "00199.5") + "\n" + k4632Line2 + "\n";
    const ElementsFile file = ParseElements(text);
    ASSERT_FALSE(file.error) << file.error->message;
    ASSERT_EQ(file.sets.size(), 4u);
    EXPECT_EQ(NewestSet(file.sets, 5), 1);
    EXPECT_EQ(NewestSet(file.sets, 4632), 3);
    EXPECT_EQ(NewestSet(file.sets, 25544), -1);
    EXPECT_EQ(NewestSet({file.sets[0], file.sets[0]}, 5), 0) << "the first of equals";
    EXPECT_EQ(DisplayName(file.sets[0]), "Satellite");
    EXPECT_EQ(DisplayName(file.sets[3]), "LATER");
}

} // namespace
