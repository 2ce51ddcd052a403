// Bitmap text and the shape display-list cache, drawn into an offscreen framebuffer.
#include "view/glyphs.h"
#include "view/shapecache.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QRawFont>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr int kSize = 320;

struct InkBox {
    int left = kSize, right = -1, bottom = kSize, top = -1, count = 0;
    bool empty() const { return count == 0; }
    int width() const { return right - left + 1; }
};

// A compatibility context with a framebuffer, its pixel grid mapped 1:1 to
// window coordinates. Each test gets its own application when none is running.
class GlUtil : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QCoreApplication::instance())
            m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
        m_context = MakeContext();
        ASSERT_TRUE(m_context);
        m_surface = std::make_unique<QOffscreenSurface>();
        m_surface->setFormat(m_context->format());
        m_surface->create();
        ASSERT_TRUE(m_context->makeCurrent(m_surface.get()));
        m_fbo = std::make_unique<QOpenGLFramebufferObject>(kSize, kSize,
                                                           QOpenGLFramebufferObject::CombinedDepthStencil);
        ASSERT_TRUE(m_fbo->bind());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        Clear();
    }

    void TearDown() override {
        if (m_context && m_context->makeCurrent(m_surface.get())) {
            m_fbo.reset();
            m_context->doneCurrent();
        }
        m_fbo.reset();
        m_context.reset();
        m_surface.reset();
        m_app.reset();
    }

    static std::unique_ptr<QOpenGLContext> MakeContext(QOpenGLContext *shareWith = nullptr) {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        auto context = std::make_unique<QOpenGLContext>();
        context->setFormat(format);
        context->setShareContext(shareWith);
        if (!context->create())
            return nullptr;
        return context;
    }

    static void Clear() {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    static std::vector<unsigned char> Pixels() {
        std::vector<unsigned char> rgba(size_t(kSize) * kSize * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    // Window-coordinate bounds (y up) of the pixels that are clearly magenta.
    static InkBox Magenta() {
        const auto rgba = Pixels();
        InkBox box;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const unsigned char *p = &rgba[(size_t(y) * kSize + x) * 4];
                if (p[0] > 200 && p[1] < 60 && p[2] > 200) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.bottom = std::min(box.bottom, y);
                    box.top = std::max(box.top, y);
                    ++box.count;
                }
            }
        return box;
    }

    static InkBox DrawText(unsigned base, const char *text, int x = 20, int y = 100) {
        Clear();
        glColor3f(1, 0, 1);
        glRasterPos2i(x, y);
        PrintString(base, text);
        return Magenta();
    }

    static QFont BoldFont(const char *face, int height) {
        QFont font(face);
        font.setPixelSize(height);
        font.setWeight(QFont::Bold);
        return font;
    }

    // Bold Arial at the pixel size whose cell (ascent + descent) comes nearest
    // the height, worked out from the face's own design metrics.
    static QRawFont BoldArialForCell(int height) {
        const QRawFont design = QRawFont::fromFont(BoldFont("Arial", 1000));
        EXPECT_TRUE(design.isValid());
        EXPECT_GE(design.weight(), QFont::Bold);
        const double size = height * 1000.0 / (design.ascent() + design.descent());
        EXPECT_GT(std::abs(size - std::floor(size) - 0.5), 0.1) << "two sizes come equally near " << height;
        return QRawFont::fromFont(BoldFont("Arial", int(std::lround(size))));
    }

    int m_argc = 1;
    char m_arg0[8] = "glutil";
    char *m_argv[2] = {m_arg0, nullptr};
    std::unique_ptr<QGuiApplication> m_app;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
};

TEST_F(GlUtil, TextSitsOnTheBaselineAndAdvancesByTheFontsAdvance) {
    const unsigned base = BuildFontLists("Arial", 80);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The height is the character cell (ascent + descent), not the em.
    const QRawFont raw = BoldArialForCell(80);
    ASSERT_TRUE(raw.isValid());
    const double capHeight = raw.capHeight();
    const quint32 hIndex = raw.glyphIndexesForString(QStringLiteral("H")).value(0);
    const double advance = raw.advancesForGlyphIndexes({hIndex}).value(0).x();

    const InkBox one = DrawText(base, "H");
    ASSERT_FALSE(one.empty());
    // "H" has no descender: its ink starts on the raster position's row.
    EXPECT_NEAR(one.bottom, 100, 1);
    EXPECT_GE(one.left, 20);
    EXPECT_LT(one.left, 20 + 15);
    EXPECT_NEAR(one.top - one.bottom + 1, capHeight, 1.5);

    const InkBox two = DrawText(base, "HH");
    EXPECT_EQ(two.left, one.left);
    EXPECT_NEAR(two.right - one.right, advance, 1.5);
    EXPECT_EQ(two.bottom, one.bottom);
    // The space draws nothing but moves the pen.
    EXPECT_GT(DrawText(base, "H H").width(), two.width() + 10);

    // Over every character the pen moves by the face's advances, each rounded to
    // whole pixels: a size or weight even slightly off shows here.
    QString printable;
    for (int code = kGlyphFirst; code < kGlyphFirst + kGlyphCount - 1; ++code)
        printable += QChar(char16_t(code));
    double expected = 0.0;
    for (const QPointF &a : raw.advancesForGlyphIndexes(raw.glyphIndexesForString(printable)))
        expected += std::round(a.x());
    glRasterPos2i(0, 100);
    PrintString(base, printable.toLatin1().constData());
    GLfloat pen[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, pen);
    EXPECT_NEAR(pen[0], expected, 2.0);

    // A descender reaches below the baseline.
    const InkBox g = DrawText(base, "g");
    EXPECT_LT(g.bottom, 100 - 5);
    DeleteFontLists(base);
}

TEST_F(GlUtil, EachGlyphIsTheFontsOwnPictureAtHalfCoverage) {
    const unsigned base = BuildFontLists("Arial", 50);
    ASSERT_NE(base, 0u);
    // The face's own glyph images at its size for a cell of 50.
    const QRawFont raw = BoldArialForCell(50);
    ASSERT_TRUE(raw.isValid());
    // Pixel sets, relative to their lower left ink corner, x right and y up.
    using PixelSet = std::set<std::pair<int, int>>;
    for (const char *text : {"H", "g", "Q", "7", "a", "W", "@", "%"}) {
        const quint32 index = raw.glyphIndexesForString(QString::fromLatin1(text)).value(0);
        const QImage alpha =
            raw.alphaMapForGlyph(index, QRawFont::PixelAntialiasing).convertToFormat(QImage::Format_Alpha8);
        auto covered = [&alpha](int x, int y) { return alpha.constScanLine(y)[x] >= 128; };
        PixelSet expected, drawn;
        int minX = 1000, maxY = -1;
        for (int y = 0; y < alpha.height(); ++y)
            for (int x = 0; x < alpha.width(); ++x)
                if (covered(x, y)) {
                    minX = std::min(minX, x);
                    maxY = std::max(maxY, y);
                }
        for (int y = 0; y < alpha.height(); ++y)
            for (int x = 0; x < alpha.width(); ++x)
                if (covered(x, y))
                    expected.insert({x - minX, maxY - y});

        const InkBox box = DrawText(base, text);
        const auto rgba = Pixels();
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const unsigned char *p = &rgba[(size_t(y) * kSize + x) * 4];
                if (p[0] > 200 && p[1] < 60 && p[2] > 200)
                    drawn.insert({x - box.left, y - box.bottom});
            }
        EXPECT_FALSE(expected.empty()) << text;
        EXPECT_TRUE(drawn == expected)
            << text << ": " << drawn.size() << " pixels drawn, " << expected.size() << " expected";
    }
    DeleteFontLists(base);
}

TEST_F(GlUtil, PrintStringLeavesTheListStateAsItWas) {
    glListBase(1234);
    DrawText(0, "abc");
    EXPECT_TRUE(Magenta().empty());
    const unsigned base = BuildFontLists("Arial", 40);
    ASSERT_NE(base, 0u);
    EXPECT_FALSE(DrawText(base, "abc").empty());
    DrawText(base, nullptr);
    GLint listBase = 0;
    glGetIntegerv(GL_LIST_BASE, &listBase);
    EXPECT_EQ(listBase, 1234);
    DeleteFontLists(base);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GlUtil, BytesWithoutAGlyphNeverCallOtherLists) {
    // A list just below the glyphs that would flood the picture if called.
    const unsigned flood = glGenLists(1);
    glNewList(flood, GL_COMPILE);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(kSize, 0);
    glVertex2i(kSize, kSize);
    glVertex2i(0, kSize);
    glEnd();
    glEndList();
    const unsigned base = BuildFontLists("Arial", 40);
    ASSERT_NE(base, 0u);
    const long code = long(flood) - long(base) + kGlyphFirst;
    if (code < 1 || code > 31)
        GTEST_SKIP() << "lists were not allocated next to each other";
    const char text[] = {'A', char(code), char(0xC4), char(0xFF), 0};
    const InkBox ink = DrawText(base, text);
    EXPECT_FALSE(ink.empty());
    EXPECT_LT(ink.count, kSize * kSize / 4);
    EXPECT_EQ(ink.width(), DrawText(base, "A").width());
    DeleteFontLists(base);
    glDeleteLists(flood, 1);
}

TEST_F(GlUtil, ListsAreDeletedAndFailuresKeepNoNames) {
    const unsigned base = BuildFontLists("Arial", 40);
    ASSERT_NE(base, 0u);
    for (int k = 0; k < kGlyphCount; ++k)
        ASSERT_TRUE(glIsList(base + k)) << k;
    DeleteFontLists(base);
    for (int k = 0; k < kGlyphCount; ++k)
        EXPECT_FALSE(glIsList(base + k)) << k;
    DeleteFontLists(0); // nothing to do, no error
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Whatever names a failed build reserved, none of them is left behind.
    const unsigned probe = glGenLists(1);
    glDeleteLists(probe, 1);
    EXPECT_EQ(BuildFontLists("", 80), 0u);
    EXPECT_EQ(BuildFontLists(nullptr, 80), 0u);
    EXPECT_EQ(BuildFontLists("Arial", 0), 0u);
    EXPECT_EQ(BuildFontLists("Arial", kMaxGlyphHeight + 1), 0u);
    EXPECT_EQ(TextAdvance("", 80, "H"), 0.0);
    EXPECT_EQ(TextAdvance("Arial", 0, "H"), 0.0);
    EXPECT_GT(TextAdvance("Arial", 80, "H"), 20.0);
    for (unsigned n = probe; n < probe + 4 * kGlyphCount; ++n)
        EXPECT_FALSE(glIsList(n)) << n;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GlUtil, AFontIsRasterisedOnceAndItsListsRebuiltEachTime) {
    const int before = FontRasterisations();
    InkBox first;
    for (int frame = 0; frame < 10; ++frame) {
        const unsigned base = BuildFontLists("Arial", 37);
        ASSERT_NE(base, 0u);
        const InkBox ink = DrawText(base, "Time 8:0:0");
        if (frame == 0)
            first = ink;
        EXPECT_FALSE(ink.empty());
        EXPECT_EQ(ink.count, first.count);
        DeleteFontLists(base);
    }
    EXPECT_EQ(FontRasterisations(), before + 1);
    // The face name is matched without regard to case.
    DeleteFontLists(BuildFontLists("ARIAL", 37));
    EXPECT_EQ(FontRasterisations(), before + 1);
}

TEST_F(GlUtil, SymbolInAnyCaseSelectsTheSymbolSet) {
    for (const char *face : {"symbol", "Symbol", "SYMBOL", "sYmBoL"})
        EXPECT_TRUE(IsSymbolFace(face)) << face;
    for (const char *face : std::initializer_list<const char *>{"Arial", "symbols", " symbol",
                                                                "Standard Symbols PS", "", nullptr})
        EXPECT_FALSE(IsSymbolFace(face)) << (face ? face : "(null)");

    if (QFontDatabase::families(QFontDatabase::Symbol).isEmpty())
        GTEST_SKIP() << "no symbol font installed";
    // In the symbol set "a" is alpha: it differs from the ordinary "a" drawn
    // for the symbol font's own name, and every spelling draws the same picture.
    const unsigned symbol = BuildFontLists("Symbol", 60);
    const unsigned mixed = BuildFontLists("sYmBoL", 60);
    const unsigned ordinary = BuildFontLists("Standard Symbols PS", 60);
    ASSERT_NE(symbol, 0u);
    ASSERT_NE(mixed, 0u);
    ASSERT_NE(ordinary, 0u);
    DrawText(symbol, "a");
    const auto alpha = Pixels();
    DrawText(mixed, "a");
    EXPECT_TRUE(Pixels() == alpha);
    DrawText(ordinary, "a");
    EXPECT_TRUE(Pixels() != alpha);
    for (unsigned base : {symbol, mixed, ordinary})
        DeleteFontLists(base);
}

class ShapeCache : public GlUtil {
protected:
    static int NonBlack() {
        const auto rgba = Pixels();
        int n = 0;
        for (size_t i = 0; i < rgba.size(); i += 4)
            n += rgba[i] + rgba[i + 1] + rgba[i + 2] > 0;
        return n;
    }

    // A sphere of the given radius drawn at the middle of the picture.
    static int DrawSphere(double radius) {
        Clear();
        glColor3f(1, 1, 1);
        glPushMatrix();
        glTranslated(kSize / 2.0, kSize / 2.0, 0);
        glScaled(50, 50, 1);
        SolidSphere(radius);
        glPopMatrix();
        return NonBlack();
    }
};

TEST_F(ShapeCache, TheFirstSphereCompilesAndDrawsLaterOnesReplay) {
    const int kind = ShapeKindSolidSphere;
    const int entries = CachedListCount(kind);
    const int firstPixels = DrawSphere(1.0);
    // A unit sphere scaled by 50 covers a disc of radius 50.
    EXPECT_NEAR(firstPixels, M_PI * 50 * 50, 0.1 * M_PI * 50 * 50);
    ASSERT_EQ(CachedListCount(kind), entries + 1);
    const unsigned list = g_shapeLists[kind]->listId;
    EXPECT_TRUE(glIsList(list));

    for (int frame = 0; frame < 10; ++frame)
        EXPECT_EQ(DrawSphere(1.0), firstPixels);
    EXPECT_EQ(CachedListCount(kind), entries + 1);
    const double one = 1.0;
    EXPECT_EQ(FindCachedList(kind, &one, 1), list);

    EXPECT_GT(DrawSphere(2.0), 3 * firstPixels);
    EXPECT_EQ(CachedListCount(kind), entries + 2);
    EXPECT_NE(g_shapeLists[kind]->listId, list);
    EXPECT_EQ(FindCachedList(kind, &one, 1), list);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ShapeCache, LookupComparesOnlyOrderedValues) {
    const int kind = 3;
    auto params = std::make_unique<double[]>(2);
    params[0] = 1.5;
    params[1] = std::numeric_limits<double>::quiet_NaN();
    const unsigned list = AddCachedList(kind, std::move(params), 2);
    ASSERT_NE(list, 0u);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double exact[] = {1.5, 7.0};
    const double bothNan[] = {nan, nan};
    const double other[] = {1.25, 7.0};
    EXPECT_EQ(FindCachedList(kind, exact, 2), list);
    EXPECT_EQ(FindCachedList(kind, bothNan, 2), list);
    EXPECT_EQ(FindCachedList(kind, other, 2), 0u);
    EXPECT_EQ(FindCachedList(kind, exact, 1), list); // a prefix is compared
    const double longer[] = {1.5, 7.0, 2.0};
    EXPECT_EQ(FindCachedList(kind, longer, 3), 0u); // never past the entry's values
    EXPECT_EQ(FindCachedList(ShapeKindSolidSphere + 1, exact, 2), 0u);
    EXPECT_EQ(FindCachedList(kShapeKinds, exact, 2), 0u);
}

TEST_F(ShapeCache, EntriesBelongToTheirShareGroupAndGoWithIt) {
    const int kind = ShapeKindSolidSphere;
    const double radius = 0.75;
    DrawSphere(radius);
    const unsigned list = FindCachedList(kind, &radius, 1);
    ASSERT_NE(list, 0u);
    const int entries = CachedListCount(kind);

    {
        // A context sharing with ours replays the same list.
        QOffscreenSurface surface;
        surface.setFormat(m_context->format());
        surface.create();
        auto shared = MakeContext(m_context.get());
        ASSERT_TRUE(shared && shared->makeCurrent(&surface));
        EXPECT_EQ(shared->shareGroup(), m_context->shareGroup());
        EXPECT_EQ(FindCachedList(kind, &radius, 1), list);

        // A context of its own compiles its own, and forgets it when it ends.
        auto separate = MakeContext();
        ASSERT_TRUE(separate && separate->makeCurrent(&surface));
        EXPECT_EQ(FindCachedList(kind, &radius, 1), 0u);
        SolidSphere(radius);
        EXPECT_EQ(CachedListCount(kind), entries + 1);
        EXPECT_NE(FindCachedList(kind, &radius, 1), 0u);
        separate->doneCurrent();
        separate.reset();
        EXPECT_EQ(CachedListCount(kind), entries);
        shared.reset();
    }

    ASSERT_TRUE(m_context->makeCurrent(m_surface.get()));
    EXPECT_EQ(FindCachedList(kind, &radius, 1), list);
    const QOpenGLContextGroup *ours = m_context->shareGroup();
    int inOurs = 0;
    for (const ShapeList *e = g_shapeLists[kind]; e; e = e->next)
        inOurs += e->group == ours;
    EXPECT_EQ(inOurs, 1);
    m_fbo.reset();
    m_context->doneCurrent();
    m_context.reset();
    EXPECT_EQ(CachedListCount(kind), entries - 1);
}

} // namespace
