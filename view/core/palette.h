#pragma once
// Logical palette for indexed-colour pixel formats: the format's colour cube,
// with the usual system colours fixed in the common 8-bit 3-3-2 layout.
#include <cstdint>
#include <vector>

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
};

// One colour channel of palette index `index`, for a channel of `bits` bits
// at bit `shift`; channels of 0 or more than 3 bits give 0.
uint8_t PaletteComponent(int index, uint8_t bits, uint8_t shift);

// All 2^colorBits entries of the palette for a format with these channel
// layouts. Palettes exist only for 1 to 8 colour bits; other counts give none.
std::vector<PaletteEntry> BuildPaletteEntries(uint8_t colorBits, uint8_t redBits, uint8_t redShift,
                                              uint8_t greenBits, uint8_t greenShift, uint8_t blueBits,
                                              uint8_t blueShift);
