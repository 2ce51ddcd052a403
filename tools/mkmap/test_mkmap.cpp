// The Earth map build step: the tool's BMP output, and the built map's size
// and orientation.
#include "view/core/bmpimage.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// Colour at a column and a row counted from the top of the picture; the rows
// are stored bottom-up, blue first.
Rgb At(const BmpImage &image, int x, int yFromTop) {
    const uint8_t *p = image.Bits() + size_t(image.height - 1 - yFromTop) * image.widthBytes + size_t(x) * 3;
    return {p[2], p[1], p[0]};
}

// Mean colour around a place on the map, the left edge being 180 degrees west
// and the top edge the North Pole.
Rgb Place(const BmpImage &map, double longitude, double latitude) {
    const int cx = int((longitude + 180.0) / 360.0 * map.width);
    const int cy = int((90.0 - latitude) / 180.0 * map.height);
    Rgb sum;
    int n = 0;
    for (int y = cy - 4; y <= cy + 4; ++y)
        for (int x = cx - 4; x <= cx + 4; ++x, ++n) {
            const Rgb c = At(map, x, y);
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
        }
    return {sum.r / n, sum.g / n, sum.b / n};
}

bool Desert(Rgb c) {
    return c.r > 150 && c.r > c.b + 40;
}
bool Ocean(Rgb c) {
    return c.b > c.r + 30 && c.r < 60;
}

int RunTool(const QString &in, const QString &out) {
    return QProcess::execute(QStringLiteral(QUOR_MKMAP), {in, out});
}

TEST(EarthMap, IsA24BitPowerOfTwoBmp) {
    BmpImage map;
    std::string reason;
    ASSERT_TRUE(ReadBmpFile(QUOR_EARTH_MAP, map, &reason)) << reason;
    EXPECT_EQ(map.bitsPixel, 24);
    EXPECT_EQ(map.width, 2048);
    EXPECT_EQ(map.height, 1024);
    EXPECT_EQ(map.widthBytes, 2048 * 3);
}

TEST(EarthMap, HasNorthUpAndGreenwichInTheMiddle) {
    BmpImage map;
    ASSERT_TRUE(ReadBmpFile(QUOR_EARTH_MAP, map));
    ASSERT_EQ(map.width, 2048);
    // Each place is paired with its mirror image across the equator or the
    // prime meridian, so a flipped map fails.
    EXPECT_TRUE(Desert(Place(map, 25, 23))); // Libyan desert
    EXPECT_TRUE(Ocean(Place(map, -25, 23))); // Atlantic off West Africa
    EXPECT_TRUE(Desert(Place(map, 10, 23))); // Algeria
    EXPECT_TRUE(Ocean(Place(map, 10, -23))); // Atlantic off Namibia
    EXPECT_TRUE(Ocean(Place(map, -150, 0))); // Pacific
    EXPECT_TRUE(Ocean(Place(map, 0, 0)));    // Gulf of Guinea
    const Rgb ice = Place(map, 0, -85);      // Antarctica
    EXPECT_GT(ice.r + ice.g + ice.b, 3 * 200);
}

TEST(MapTool, WritesBottomUpBgrRowsScaledToTheMapSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Quadrants: red top left, green top right, blue bottom left, white bottom right.
    QImage quadrants(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            quadrants.setPixelColor(
                x, y, y < 16 ? (x < 32 ? Qt::red : Qt::green) : (x < 32 ? Qt::blue : Qt::white));
    const QString in = dir.filePath("quadrants.png");
    const QString out = dir.filePath("map.bmp");
    ASSERT_TRUE(quadrants.save(in));
    ASSERT_EQ(RunTool(in, out), 0);

    BmpImage map;
    std::string reason;
    ASSERT_TRUE(ReadBmpFile(out.toStdString(), map, &reason)) << reason;
    ASSERT_EQ(map.bitsPixel, 24);
    ASSERT_EQ(map.width, 2048);
    ASSERT_EQ(map.height, 1024);
    auto expect = [&](int x, int y, Rgb want) {
        const Rgb c = At(map, x, y);
        EXPECT_EQ(c.r, want.r) << x << "," << y;
        EXPECT_EQ(c.g, want.g) << x << "," << y;
        EXPECT_EQ(c.b, want.b) << x << "," << y;
    };
    expect(100, 100, {255, 0, 0});
    expect(1900, 100, {0, 255, 0});
    expect(100, 900, {0, 0, 255});
    expect(1900, 900, {255, 255, 255});
}

TEST(MapTool, RefusesWhatIsNoWorldMap) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage square(40, 40, QImage::Format_RGB32);
    square.fill(Qt::gray);
    const QString in = dir.filePath("square.png");
    ASSERT_TRUE(square.save(in));
    const QString out = dir.filePath("map.bmp");
    EXPECT_NE(RunTool(in, out), 0);
    EXPECT_NE(RunTool(dir.filePath("missing.jpg"), out), 0);
    EXPECT_FALSE(QFile::exists(out));

    // A good picture but nowhere to write it.
    QImage wide(40, 20, QImage::Format_RGB32);
    wide.fill(Qt::gray);
    const QString good = dir.filePath("wide.png");
    ASSERT_TRUE(wide.save(good));
    EXPECT_NE(RunTool(good, dir.filePath("no/such/dir/map.bmp")), 0);
    EXPECT_EQ(RunTool(good, out), 0);
}

} // namespace
