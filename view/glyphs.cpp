#include "glyphs.h"

#include "shapecache.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

// One glyph as glBitmap wants it: rows bottom-up, each row packed MSB first
// into whole bytes (so it needs an unpack alignment of 1).
struct Glyph {
    int width = 0;
    int height = 0;
    float xorig = 0;
    float yorig = 0;
    float xmove = 0;
    std::vector<unsigned char> bits;
};

struct GlyphSet {
    bool usable = false; // at least one glyph has ink
    std::array<Glyph, kGlyphCount> glyphs;
    GlyphCell cell;
};

// Face names are case-insensitive, as they are for the font matcher.
using GlyphKey = std::tuple<std::string, int, bool>;

std::map<GlyphKey, std::unique_ptr<GlyphSet>> g_glyphCache;
int g_rasterisations = 0;

// The character a code stands for; none for 127, which has no picture. A
// symbol font maps the codes to its own signs (Qt goes through the font's
// symbol table), so both sets pass the code on unchanged.
QString CharacterFor(int code) {
    if (code < kGlyphFirst || code >= kGlyphFirst + kGlyphCount - 1)
        return {};
    return QString(QChar(char16_t(code)));
}

bool IsSymbolFamily(const QString &family) {
    return QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol);
}

// The font matcher's choice for the face, held to the character set: the
// symbol set takes a symbol font when the face is none, and the ordinary set
// never draws with a symbol font, as the window system's font mapper would.
QFont MatchedFont(const char *faceName, int pixelSize, bool symbol) {
    QFont font(QString::fromLocal8Bit(faceName));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    const bool symbolFont = IsSymbolFamily(QFontInfo(font).family());
    if (symbol && !symbolFont) {
        const QStringList symbolFamilies = QFontDatabase::families(QFontDatabase::Symbol);
        if (!symbolFamilies.isEmpty())
            font.setFamily(symbolFamilies.first());
    } else if (!symbol && symbolFont) {
        font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    }
    return font;
}

double CellOf(const QFont &font) {
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

// A font's height is its character cell (ascent + descent), not its em: the
// pixel size whose cell comes nearest to the height asked for.
QFont MakeFont(const char *faceName, int height, bool symbol) {
    QFont font = MatchedFont(faceName, height, symbol);
    const double cell = CellOf(font);
    if (!(cell > 0.0))
        return font;
    const int guess = std::max(1, int(std::lround(height * double(height) / cell)));
    QFont best = font;
    double bestError = 1e300;
    for (int size = std::max(1, guess - 1); size <= guess + 1; ++size) {
        font.setPixelSize(size);
        const double error = std::fabs(CellOf(font) - height);
        if (error < bestError) {
            bestError = error;
            best = font;
        }
    }
    return best;
}

Glyph Rasterise(const QFontMetrics &metrics, const QFont &font, const QString &text) {
    Glyph glyph;
    if (text.isEmpty())
        return glyph;
    glyph.xmove = float(metrics.horizontalAdvance(text));

    // Draw on a canvas with room around the pen for overhangs, then keep only the ink.
    const int pad = metrics.height() / 2 + 2;
    const int canvasWidth = std::max(metrics.maxWidth(), metrics.horizontalAdvance(text)) + 2 * pad;
    const int canvasHeight = metrics.ascent() + metrics.descent() + 2 * pad;
    const int penX = pad;
    const int baseline = pad + metrics.ascent();
    QImage canvas(canvasWidth, canvasHeight, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(penX, baseline), text);
    }

    // Coverage of half a pixel or more counts as ink.
    auto inked = [&canvas](int x, int y) {
        return qRed(reinterpret_cast<const QRgb *>(canvas.constScanLine(y))[x]) >= 128;
    };
    int left = canvasWidth, right = -1, top = canvasHeight, bottom = -1;
    for (int y = 0; y < canvasHeight; ++y)
        for (int x = 0; x < canvasWidth; ++x)
            if (inked(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0)
        return glyph;

    glyph.width = right - left + 1;
    glyph.height = bottom - top + 1;
    // The row just above the baseline is the raster position's own row.
    glyph.xorig = float(penX - left);
    glyph.yorig = float(bottom - (baseline - 1));
    const int rowBytes = (glyph.width + 7) / 8;
    glyph.bits.assign(size_t(rowBytes) * glyph.height, 0);
    for (int row = 0; row < glyph.height; ++row) {
        const int y = bottom - row;
        unsigned char *out = glyph.bits.data() + size_t(row) * rowBytes;
        for (int col = 0; col < glyph.width; ++col)
            if (inked(left + col, y))
                out[col / 8] |= static_cast<unsigned char>(0x80 >> (col % 8));
    }
    return glyph;
}

std::unique_ptr<GlyphSet> RasteriseFont(const char *faceName, int height, bool symbol) {
    ++g_rasterisations;
    const QFont font = MakeFont(faceName, height, symbol);
    const QFontMetrics metrics(font);

    auto set = std::make_unique<GlyphSet>();
    for (int k = 0; k < kGlyphCount; ++k) {
        set->glyphs[k] = Rasterise(metrics, font, CharacterFor(kGlyphFirst + k));
        if (!set->glyphs[k].bits.empty())
            set->usable = true;
    }
    // The cell holds every glyph's ink, even where it pokes out of the font's own cell.
    set->cell = {metrics.ascent(), metrics.descent()};
    for (const Glyph &g : set->glyphs) {
        if (g.bits.empty())
            continue;
        set->cell.above = std::max(set->cell.above, g.height - int(g.yorig));
        set->cell.below = std::max(set->cell.below, int(g.yorig));
    }
    return set;
}

bool FontPossible(const char *faceName, int height) {
    // Fonts come from the GUI application's font database.
    return faceName && *faceName && height > 0 && height <= kMaxGlyphHeight &&
           qobject_cast<QGuiApplication *>(QCoreApplication::instance());
}

const GlyphSet *GlyphsFor(const char *faceName, int height) {
    const bool symbol = IsSymbolFace(faceName);
    std::string face = QString::fromLocal8Bit(faceName).toCaseFolded().toStdString();
    GlyphKey key{std::move(face), height, symbol};
    auto it = g_glyphCache.find(key);
    if (it == g_glyphCache.end())
        it = g_glyphCache.emplace(std::move(key), RasteriseFont(faceName, height, symbol)).first;
    return it->second.get();
}

void CompileGlyphs(unsigned listBase, const GlyphSet &set) {
    // The bitmap is copied into the list under the unpack state of the moment.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    // Mesa reports running out of memory for an empty bitmap in a list, so a
    // glyph without ink (the space) moves the pen with one unset pixel.
    static const unsigned char blank = 0;
    for (int k = 0; k < kGlyphCount; ++k) {
        const Glyph &g = set.glyphs[k];
        glNewList(listBase + k, GL_COMPILE);
        if (g.bits.empty())
            glBitmap(1, 1, 0.0f, 0.0f, g.xmove, 0.0f, &blank);
        else
            glBitmap(g.width, g.height, g.xorig, g.yorig, g.xmove, 0.0f, g.bits.data());
        glEndList();
    }
    glPopClientAttrib();
}

} // namespace

bool IsSymbolFace(const char *faceName) {
    return faceName &&
           QString::fromLocal8Bit(faceName).compare(QLatin1String("symbol"), Qt::CaseInsensitive) == 0;
}

int FontRasterisations() {
    return g_rasterisations;
}

unsigned BuildFontLists(const char *faceName, int height) {
    if (!GlContextCurrent())
        return 0;
    const unsigned listBase = glGenLists(kGlyphCount);
    if (listBase == 0)
        return 0;

    const GlyphSet *set = FontPossible(faceName, height) ? GlyphsFor(faceName, height) : nullptr;
    if (!set || !set->usable) {
        glDeleteLists(listBase, kGlyphCount);
        return 0;
    }
    CompileGlyphs(listBase, *set);
    return listBase;
}

void PrintString(unsigned listBase, const char *text) {
    if (listBase == 0 || !text)
        return;
    // Other bytes would select lists that are not glyphs, possibly someone else's.
    std::vector<unsigned char> codes;
    codes.reserve(std::strlen(text));
    for (const char *p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= kGlyphFirst && c < kGlyphFirst + kGlyphCount)
            codes.push_back(c);
    }
    if (codes.empty())
        return;
    glPushAttrib(GL_LIST_BIT);
    glListBase(listBase - kGlyphFirst);
    glCallLists(GLsizei(codes.size()), GL_UNSIGNED_BYTE, codes.data());
    glPopAttrib();
}

void DeleteFontLists(unsigned listBase) {
    if (listBase != 0)
        glDeleteLists(listBase, kGlyphCount);
}

bool MeasureString(const char *faceName, int height, const char *text, TextInk &ink, GlyphCell *cell) {
    ink = TextInk();
    const GlyphSet *set = FontPossible(faceName, height) ? GlyphsFor(faceName, height) : nullptr;
    if (!set || !set->usable)
        return false;
    if (cell)
        *cell = set->cell;
    // Walks the pen as glBitmap moves the raster position.
    float pen = 0.0f;
    for (const char *p = text; p && *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < kGlyphFirst || c >= kGlyphFirst + kGlyphCount)
            continue;
        const Glyph &g = set->glyphs[c - kGlyphFirst];
        if (!g.bits.empty()) {
            const int left = int(std::floor(pen - g.xorig));
            const TextInk box{left, left + g.width - 1, -int(g.yorig), g.height - 1 - int(g.yorig)};
            if (ink.empty()) {
                ink = box;
            } else {
                ink.left = std::min(ink.left, box.left);
                ink.right = std::max(ink.right, box.right);
                ink.bottom = std::min(ink.bottom, box.bottom);
                ink.top = std::max(ink.top, box.top);
            }
        }
        pen += g.xmove;
    }
    return true;
}

QFont GlyphFont(const char *faceName, int height) {
    return MakeFont(faceName, height, IsSymbolFace(faceName));
}

double TextAdvance(const char *faceName, int height, const char *text) {
    if (!FontPossible(faceName, height) || !text)
        return 0.0;
    const QFontMetricsF metrics(GlyphFont(faceName, height));
    double advance = 0.0;
    for (const char *p = text; *p; ++p) {
        const QString character = CharacterFor(static_cast<unsigned char>(*p));
        if (!character.isEmpty())
            advance += std::round(metrics.horizontalAdvance(character));
    }
    return advance;
}
