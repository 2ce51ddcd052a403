#include "view/core/palette.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::tuple<int, int, int, int> Rgbf(const PaletteEntry &e) {
    return {e.red, e.green, e.blue, e.flags};
}

using Colour = std::tuple<int, int, int, int>;

} // namespace

TEST(Palette, ComponentExpandsOneToThreeBits) {
    EXPECT_EQ(PaletteComponent(0, 1, 0), 0);
    EXPECT_EQ(PaletteComponent(1, 1, 0), 255);
    EXPECT_EQ(PaletteComponent(2, 2, 0), 170);
    EXPECT_EQ(PaletteComponent(0b10100000, 3, 5), 182);
    EXPECT_EQ(PaletteComponent(0b00011000, 3, 3), 109);
    EXPECT_EQ(PaletteComponent(0b11000000, 2, 6), 255);
    EXPECT_EQ(PaletteComponent(0x1FF, 3, 0), 255);
    EXPECT_EQ(PaletteComponent(0x100, 1, 0), 0); // only the low 8 bits after the shift count
    EXPECT_EQ(PaletteComponent(0x300, 2, 8), 255);
}

TEST(Palette, ComponentOfZeroOrWideChannelsIsZero) {
    for (int index : {0, 1, 7, 91, 255}) {
        EXPECT_EQ(PaletteComponent(index, 0, 0), 0);
        EXPECT_EQ(PaletteComponent(index, 4, 0), 0);
        EXPECT_EQ(PaletteComponent(index, 8, 0), 0);
    }
    EXPECT_EQ(PaletteComponent(255, 3, 200), 0); // shifted out entirely, no undefined shift
    EXPECT_EQ(PaletteComponent(-1, 3, 200), 255);
}

TEST(Palette, ThreeThreeTwoLayoutPinsTheSystemColours) {
    const auto p = BuildPaletteEntries(8, 3, 0, 3, 3, 2, 6);
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(Rgbf(p[0]), Colour(0, 0, 0, 0));
    EXPECT_EQ(Rgbf(p[3]), Colour(128, 0, 0, 0));
    EXPECT_EQ(Rgbf(p[91]), Colour(128, 128, 128, 0));
    EXPECT_EQ(Rgbf(p[164]), Colour(160, 160, 164, 0));
    EXPECT_EQ(Rgbf(p[173]), Colour(192, 192, 192, 0));
    EXPECT_EQ(Rgbf(p[247]), Colour(255, 251, 240, 0));
    EXPECT_EQ(Rgbf(p[255]), Colour(255, 255, 255, 0));
    // Untouched entries keep the expansion: 5 is red 5, 0b10'010'001 is 1, 2, 2.
    EXPECT_EQ(Rgbf(p[5]), Colour(182, 0, 0, 0));
    EXPECT_EQ(Rgbf(p[0b10010001]), Colour(36, 73, 170, 0));
}

TEST(Palette, OtherLayoutsKeepTheExpansion) {
    auto p = BuildPaletteEntries(8, 3, 5, 3, 2, 2, 0);
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(Rgbf(p[3]), Colour(0, 0, 255, 0));
    EXPECT_EQ(Rgbf(p[173]), Colour(182, 109, 85, 0));

    p = BuildPaletteEntries(4, 1, 0, 2, 1, 1, 3);
    ASSERT_EQ(p.size(), 16u);
    EXPECT_EQ(Rgbf(p[3]), Colour(255, 85, 0, 0));
    EXPECT_EQ(Rgbf(p[15]), Colour(255, 255, 255, 0));

    // A 4-bit channel in an 8-bit format contributes nothing.
    p = BuildPaletteEntries(8, 4, 0, 2, 4, 2, 6);
    EXPECT_EQ(Rgbf(p[0xFF]), Colour(0, 255, 255, 0));
}

TEST(Palette, OnlyOneToEightColourBitsMakeAPalette) {
    EXPECT_TRUE(BuildPaletteEntries(0, 3, 0, 3, 3, 2, 6).empty());
    EXPECT_TRUE(BuildPaletteEntries(9, 3, 0, 3, 3, 2, 6).empty());
    EXPECT_TRUE(BuildPaletteEntries(24, 8, 16, 8, 8, 8, 0).empty());
    EXPECT_EQ(BuildPaletteEntries(1, 1, 0, 1, 0, 1, 0).size(), 2u);
}
