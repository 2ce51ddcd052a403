#pragma once
// Bitmap text for the scene: 96 glyph display lists (characters 32..127) drawn
// at the current raster position. All functions need a current GL context.

// Number of glyph lists behind a list base; list base + k draws character 32 + k.
inline constexpr int kGlyphFirst = 32;
inline constexpr int kGlyphCount = 96;

// Builds the glyph lists of a bold font with the given face name and pixel
// height; returns their list base, or 0 when the font cannot be had (no face
// name, a height outside 1..kMaxGlyphHeight, no GUI application, no current
// context, or a font that yields no visible glyph). A face named "symbol" (any
// case) uses the symbol character set. The font is rasterised once per face,
// height and character set and kept; later calls only recompile the lists.
unsigned BuildFontLists(const char *faceName, int height);

// Draws a zero-terminated string at the current raster position. Bytes
// without a glyph (below 32 or above 127) are left out. Does nothing for list
// base 0 or no text; the list state is left as it was.
void PrintString(unsigned listBase, const char *text);

// Deletes the 96 lists; nothing for list base 0.
void DeleteFontLists(unsigned listBase);

inline constexpr int kMaxGlyphHeight = 1024;

// True when the face name selects the symbol character set.
bool IsSymbolFace(const char *faceName);

// How many fonts have been rasterised so far (tests check that the cache holds).
int FontRasterisations();
