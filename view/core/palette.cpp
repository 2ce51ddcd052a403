#include "palette.h"

#include <algorithm>

namespace {

constexpr uint8_t kOneBit[2] = {0, 255};
constexpr uint8_t kTwoBits[4] = {0, 85, 170, 255};
constexpr uint8_t kThreeBits[8] = {0, 36, 73, 109, 146, 182, 219, 255};

struct FixedColour {
    int index;
    PaletteEntry colour;
};

// The system colours pinned in a 3-3-2 palette. The first row (black at 0)
// is never applied: the expansion gives it already.
constexpr FixedColour kFixedColours[13] = {
    {0, {0, 0, 0, 0}},         {3, {128, 0, 0, 0}},       {24, {0, 128, 0, 0}},
    {27, {128, 128, 0, 0}},    {64, {0, 0, 128, 0}},      {67, {128, 0, 128, 0}},
    {88, {0, 128, 128, 0}},    {173, {192, 192, 192, 0}}, {181, {192, 220, 192, 0}},
    {236, {166, 202, 240, 0}}, {247, {255, 251, 240, 0}}, {164, {160, 160, 164, 0}},
    {91, {128, 128, 128, 0}},
};

} // namespace

uint8_t PaletteComponent(int index, uint8_t bits, uint8_t shift) {
    // Widened so that any shift count is defined; large shifts leave the sign.
    const auto v = static_cast<uint8_t>(static_cast<int64_t>(index) >> std::min<int>(shift, 63));
    switch (bits) {
    case 1:
        return kOneBit[v & 1];
    case 2:
        return kTwoBits[v & 3];
    case 3:
        return kThreeBits[v & 7];
    default:
        return 0;
    }
}

std::vector<PaletteEntry> BuildPaletteEntries(uint8_t colorBits, uint8_t redBits, uint8_t redShift,
                                              uint8_t greenBits, uint8_t greenShift, uint8_t blueBits,
                                              uint8_t blueShift) {
    std::vector<PaletteEntry> entries;
    if (colorBits < 1 || colorBits > 8)
        return entries;
    const int count = 1 << colorBits;
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries.push_back({PaletteComponent(i, redBits, redShift), PaletteComponent(i, greenBits, greenShift),
                           PaletteComponent(i, blueBits, blueShift), 0});
    }
    const bool layout332 = colorBits == 8 && redBits == 3 && redShift == 0 && greenBits == 3 &&
                           greenShift == 3 && blueBits == 2 && blueShift == 6;
    if (layout332) {
        for (int row = 1; row < 13; ++row)
            entries[static_cast<size_t>(kFixedColours[row].index)] = kFixedColours[row].colour;
    }
    return entries;
}
