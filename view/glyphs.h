#pragma once
// Bitmap text for the scene: 96 glyph display lists (characters 32..127) drawn
// at the current raster position. All functions need a current GL context.

class QFont;

// Number of glyph lists behind a list base; list base + k draws character 32 + k.
inline constexpr int kGlyphFirst = 32;
inline constexpr int kGlyphCount = 96;

// Builds the glyph lists of a bold font with the given face name and height
// in pixels, the height being the character cell (ascent + descent); returns their list base, or 0 when the
// font cannot be had (no face name, a height outside 1..kMaxGlyphHeight, no GUI application, no current
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

// Ink of a string drawn at a raster position, in pixels: columns from the
// raster position, rows up from the raster position's row (the row just above
// the baseline is row 0).
struct TextInk {
    int left = 0;
    int right = -1;
    int bottom = 0;
    int top = -1;
    bool empty() const { return right < left; }
};

// Rows a line of glyphs takes: `above` from row 0 up (row 0 included) and
// `below` under it; every glyph of the font fits.
struct GlyphCell {
    int above = 0;
    int below = 0;
    int height() const { return above + below; }
};

// Where the glyph lists of that face and height put the string's ink, and
// optionally their cell. Rasterises the font if no lists were built with it
// yet; false when the font cannot be had.
bool MeasureString(const char *faceName, int height, const char *text, TextInk &ink,
                   GlyphCell *cell = nullptr);

// The font the glyph lists of that face and height are rasterised from.
QFont GlyphFont(const char *faceName, int height);

// The advance of a string in the font BuildFontLists uses for that face and
// height, from the font's metrics (nothing is rasterised); 0 without a font.
double TextAdvance(const char *faceName, int height, const char *text);
