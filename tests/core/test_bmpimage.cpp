#include "framework/messages.h"
#include "tests/scratchdir.h"
#include "view/core/bmpimage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kUnable = "Error: unable to load bitmap file";
const std::string kNot24 = "Error: bitmap must be 24 bit";

struct BmpShape {
    int32_t width = 5;
    int32_t height = 3;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t infoSize = 40;
    uint16_t planes = 1;
    uint32_t gap = 0;            // extra bytes between the header and the pixels
    int64_t pixelBytes = -1;     // -1: exactly what the header implies
    int64_t offsetOverride = -1; // stated pixel offset; -1: where the pixels really are
};

void Put16(std::vector<uint8_t> &out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint8_t PixelByte(size_t i) {
    return static_cast<uint8_t>(i * 7 + 1);
}

// A BMP file as a writer would make it; pixel bytes follow PixelByte.
std::vector<uint8_t> MakeBmp(const BmpShape &s) {
    const size_t palette =
        s.bits <= 8 ? (size_t{4} << s.bits) : (s.compression == 3 && s.infoSize == 40 ? 12 : 0);
    const size_t offset = 14 + s.infoSize + palette + s.gap;
    const uint64_t stride = (static_cast<uint64_t>(std::abs(int64_t{s.width})) * s.bits + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(std::abs(int64_t{s.height}));
    const size_t pixels =
        s.pixelBytes >= 0 ? static_cast<size_t>(s.pixelBytes) : static_cast<size_t>(stride * rows);

    std::vector<uint8_t> out(offset + pixels, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, static_cast<uint32_t>(s.offsetOverride >= 0 ? s.offsetOverride : offset));
    Put32(out, 14, s.infoSize);
    if (s.infoSize == 12) {
        Put16(out, 18, static_cast<uint16_t>(s.width));
        Put16(out, 20, static_cast<uint16_t>(s.height));
        Put16(out, 22, s.planes);
        Put16(out, 24, s.bits);
    } else {
        Put32(out, 18, static_cast<uint32_t>(s.width));
        Put32(out, 22, static_cast<uint32_t>(s.height));
        Put16(out, 26, s.planes);
        Put16(out, 28, s.bits);
        Put32(out, 30, s.compression);
    }
    for (size_t i = 0; i < pixels; ++i)
        out[offset + i] = PixelByte(i);
    return out;
}

class BmpFiles : public ::testing::Test {
protected:
    void SetUp() override { g_earthBitmap = BmpImage{}; }
    void TearDown() override { g_earthBitmap = BmpImage{}; }

    std::string Write(const std::string &name, const std::vector<uint8_t> &bytes) {
        const std::string path = m_dir.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Loads `path` and returns the messages shown.
    std::vector<std::string> Load(const std::string &path, int expectedResult) {
        RecordingMessageService recorder;
        ScopedMessageService scope(&recorder);
        EXPECT_EQ(LoadEarthMap(path.c_str()), expectedResult) << path;
        for (const ShownMessage &m : recorder.shown)
            EXPECT_EQ(m.caption, "QUOR");
        return recorder.Texts();
    }

    const ScratchDir m_dir;
};

void ExpectSameRecord(const BmpImage &a, const BmpImage &b) {
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.widthBytes, b.widthBytes);
    EXPECT_EQ(a.planes, b.planes);
    EXPECT_EQ(a.bitsPixel, b.bitsPixel);
    EXPECT_EQ(a.pixels, b.pixels);
}

} // namespace

TEST_F(BmpFiles, TwentyFourBitRowsArePaddedAndBytesUnchanged) {
    BmpShape shape; // 5 x 3: 15 pixel bytes and 1 padding byte per row
    shape.gap = 10;
    const auto bytes = MakeBmp(shape);
    EXPECT_TRUE(Load(Write("map.bmp", bytes), 1).empty());

    EXPECT_EQ(g_earthBitmap.type, 0);
    EXPECT_EQ(g_earthBitmap.width, 5);
    EXPECT_EQ(g_earthBitmap.height, 3);
    EXPECT_EQ(g_earthBitmap.widthBytes, 16);
    EXPECT_EQ(g_earthBitmap.planes, 1);
    EXPECT_EQ(g_earthBitmap.bitsPixel, 24);
    ASSERT_EQ(g_earthBitmap.pixels.size(), 48u);
    ASSERT_NE(g_earthBitmap.Bits(), nullptr);
    // Read from the stated offset, past the gap, in file order: bottom row first, BGR.
    const std::vector<uint8_t> expected(bytes.begin() + 64, bytes.end());
    EXPECT_EQ(g_earthBitmap.pixels, expected);
    EXPECT_EQ(g_earthBitmap.Bits()[0], PixelByte(0));
}

TEST_F(BmpFiles, OldCoreHeaderIsRead) {
    BmpShape shape;
    shape.infoSize = 12;
    shape.width = 4;
    shape.height = 2;
    EXPECT_TRUE(Load(Write("core.bmp", MakeBmp(shape)), 1).empty());
    EXPECT_EQ(g_earthBitmap.widthBytes, 12);
    EXPECT_EQ(g_earthBitmap.pixels.size(), 24u);
}

TEST_F(BmpFiles, OtherDepthsLoadButAreRejected) {
    struct Depth {
        uint16_t bits;
        uint32_t compression;
        int32_t stride; // for width 5
    };
    const Depth depths[] = {{1, 0, 4},   {4, 0, 4},   {8, 0, 8},  {16, 0, 12},
                            {16, 3, 12}, {32, 0, 20}, {32, 3, 20}};
    for (const Depth &d : depths) {
        BmpShape shape;
        shape.bits = d.bits;
        shape.compression = d.compression;
        const std::string path = Write("depth" + std::to_string(d.bits) + ".bmp", MakeBmp(shape));
        EXPECT_EQ(Load(path, 0), std::vector<std::string>{kNot24}) << d.bits;
        // The record describes the rejected image.
        EXPECT_EQ(g_earthBitmap.bitsPixel, d.bits);
        EXPECT_EQ(g_earthBitmap.width, 5);
        EXPECT_EQ(g_earthBitmap.widthBytes, d.stride);
        EXPECT_EQ(g_earthBitmap.pixels.size(), static_cast<size_t>(d.stride) * 3);
    }
}

TEST_F(BmpFiles, BrokenFilesAreUnreadableAndKeepTheRecord) {
    ASSERT_EQ(Load(Write("good.bmp", MakeBmp(BmpShape{})), 1).size(), 0u);
    const BmpImage good = g_earthBitmap;

    std::vector<std::pair<std::string, std::vector<uint8_t>>> broken;
    auto add = [&](const std::string &name, auto change) {
        BmpShape shape;
        change(shape);
        broken.emplace_back(name, MakeBmp(shape));
    };
    add("rle8", [](BmpShape &s) { s.bits = 8, s.compression = 1; });
    add("rle4", [](BmpShape &s) { s.bits = 4, s.compression = 2; });
    add("jpeg", [](BmpShape &s) { s.bits = 0, s.compression = 4; });
    add("png", [](BmpShape &s) { s.bits = 0, s.compression = 5; });
    add("bitfields24", [](BmpShape &s) { s.compression = 3; });
    add("bits7", [](BmpShape &s) { s.bits = 7; });
    add("planes2", [](BmpShape &s) { s.planes = 2; });
    add("header20", [](BmpShape &s) { s.infoSize = 20; });
    add("negwidth", [](BmpShape &s) { s.width = -5; });
    add("zerowidth", [](BmpShape &s) { s.width = 0; });
    add("zeroheight", [](BmpShape &s) { s.height = 0; });
    add("minheight", [](BmpShape &s) { s.height = INT32_MIN, s.pixelBytes = 0; });
    add("widewidth", [](BmpShape &s) { s.width = 40000, s.height = 1, s.pixelBytes = 0; });
    add("tall", [](BmpShape &s) { s.width = 1, s.height = 40000, s.pixelBytes = 0; });
    add("huge", [](BmpShape &s) { s.width = 32768, s.height = 32768, s.pixelBytes = 0; });
    add("short", [](BmpShape &s) { s.pixelBytes = 47; });
    add("offsetpastend", [](BmpShape &s) { s.offsetOverride = 4000; });
    add("offsetinheader", [](BmpShape &s) { s.offsetOverride = 20; });
    auto notBmp = MakeBmp(BmpShape{});
    notBmp[0] = 'P';
    broken.emplace_back("notbmp", notBmp);

    for (const auto &[name, bytes] : broken) {
        EXPECT_EQ(Load(Write(name + ".bmp", bytes), 0), std::vector<std::string>{kUnable}) << name;
        ExpectSameRecord(g_earthBitmap, good);
    }
    EXPECT_EQ(Load(m_dir.File("missing.bmp"), 0), std::vector<std::string>{kUnable});
    EXPECT_EQ(Load(m_dir.Path(), 0), std::vector<std::string>{kUnable}); // a directory
    ExpectSameRecord(g_earthBitmap, good);
}

TEST_F(BmpFiles, TruncatedAtEveryLengthIsUnreadable) {
    const auto bytes = MakeBmp(BmpShape{});
    for (size_t length = 0; length < bytes.size(); ++length) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        BmpImage image;
        image.width = 77;
        EXPECT_FALSE(ReadBmp(part.data(), part.size(), image)) << length;
        EXPECT_EQ(image.width, 77);
        EXPECT_EQ(Load(Write("cut.bmp", part), 0), std::vector<std::string>{kUnable}) << length;
    }
    EXPECT_EQ(g_earthBitmap.planes, 0); // never filled
    BmpImage image;
    EXPECT_TRUE(ReadBmp(bytes.data(), bytes.size(), image));
}

TEST_F(BmpFiles, CorruptHeadersNeverReadOutOfBounds) {
    const auto original = MakeBmp(BmpShape{});
    std::mt19937 random(1234);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        auto bytes = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            bytes[random() % 54] = static_cast<uint8_t>(random());
        bytes.resize(random() % 2 ? bytes.size() : random() % bytes.size());
        // Copied so that a read past the end lands outside this allocation.
        const std::vector<uint8_t> exact(bytes);
        BmpImage image;
        std::string reason;
        if (ReadBmp(exact.data(), exact.size(), image, &reason)) {
            ++accepted;
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.widthBytes) * image.height);
            ASSERT_LE(image.pixels.size(), exact.size());
            ASSERT_GT(image.width, 0);
            ASSERT_GT(image.height, 0);
        } else {
            ASSERT_FALSE(reason.empty());
        }
    }
    EXPECT_GT(accepted, 0);
}

TEST(BmpLimits, EachLimitAndTheBitFieldMaskCheckIsWhatRejects) {
    // Without pixels a header that breaks no limit fails as truncated, so the
    // reason shows which check turned each one away.
    const auto shape = [](int32_t width, int32_t height, uint16_t bits, int64_t pixelBytes = -1) {
        BmpShape s;
        s.width = width;
        s.height = height;
        s.bits = bits;
        s.pixelBytes = pixelBytes;
        return s;
    };
    BmpShape masks = shape(5, 3, 32);
    masks.compression = 3;
    BmpShape masksShort = masks;
    masksShort.offsetOverride = 14 + 40 + 11;
    BmpShape masksInHeader = masks;
    masksInHeader.infoSize = 108;
    BmpShape v2 = masks, v3 = masks;
    v2.infoSize = 52; // the masks of red, green and blue in the header
    v3.infoSize = 56; // and of alpha
    const struct {
        const char *name;
        BmpShape shape;
        std::string reason; // empty: read
    } cases[] = {
        {"widest", shape(32768, 1, 24), ""},
        {"too wide", shape(32769, 1, 24, 0), "bitmap dimensions out of range"},
        {"tallest", shape(1, 32768, 8), ""},
        {"too tall", shape(1, 32769, 24, 0), "bitmap dimensions out of range"},
        {"512 MiB", shape(32768, 4096, 32, 0), "pixel data truncated"},
        {"past 512 MiB", shape(32768, 4097, 32, 0), "bitmap too large"},
        {"masks after a 40-byte header", masks, ""},
        {"masks cut short", masksShort, "bit field masks missing"},
        {"masks inside a 108-byte header", masksInHeader, ""},
        {"masks inside a 52-byte header", v2, ""},
        {"masks inside a 56-byte header", v3, ""},
    };
    for (const auto &c : cases) {
        const std::vector<uint8_t> bytes = MakeBmp(c.shape);
        BmpImage image;
        std::string reason;
        EXPECT_EQ(ReadBmp(bytes.data(), bytes.size(), image, &reason), c.reason.empty()) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
}

// Rows stored top-down (negative height).
TEST_F(BmpFiles, TopDownRowsAreTurnedBottomUp) {
    BmpShape shape;
    shape.height = -3;
    const auto bytes = MakeBmp(shape);
    EXPECT_TRUE(Load(Write("topdown.bmp", bytes), 1).empty());
    EXPECT_EQ(g_earthBitmap.width, 5);
    EXPECT_EQ(g_earthBitmap.height, 3);
    EXPECT_EQ(g_earthBitmap.widthBytes, 16);
    ASSERT_EQ(g_earthBitmap.pixels.size(), 48u);
    // The file's first row is the picture's top: it ends up last, padding and all.
    const auto first = bytes.begin() + 54;
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(std::vector<uint8_t>(g_earthBitmap.pixels.begin() + row * 16,
                                       g_earthBitmap.pixels.begin() + (row + 1) * 16),
                  std::vector<uint8_t>(first + (2 - row) * 16, first + (3 - row) * 16))
            << row;
    // Still held to 24 bits.
    shape.bits = 32;
    EXPECT_EQ(Load(Write("topdown32.bmp", MakeBmp(shape)), 0), std::vector<std::string>{kNot24});
    EXPECT_EQ(g_earthBitmap.height, 3);
}

TEST_F(BmpFiles, DimensionsAtTheirLimitsAreRead) {
    BmpShape core; // 16-bit dimensions above 255
    core.infoSize = 12;
    core.width = 300;
    core.height = 2;
    EXPECT_TRUE(Load(Write("core300.bmp", MakeBmp(core)), 1).empty());
    EXPECT_EQ(g_earthBitmap.width, 300);
    EXPECT_EQ(g_earthBitmap.widthBytes, 900);
    BmpShape tall; // the tallest accepted, stored top-down
    tall.width = 1;
    tall.height = -kBmpMaxDimension;
    EXPECT_TRUE(Load(Write("tall.bmp", MakeBmp(tall)), 1).empty());
    EXPECT_EQ(g_earthBitmap.height, kBmpMaxDimension);
    ASSERT_EQ(g_earthBitmap.pixels.size(), 4u * kBmpMaxDimension);
    EXPECT_EQ(g_earthBitmap.pixels.back(), PixelByte(3)); // the file's first row, padding included
}

TEST(EarthMapSearch, WorkingFolderThenInstalledDataThenTheBuildsDataFolder) {
    ScratchDir dir;
    namespace fs = std::filesystem;
    const std::string work = dir.File("work"), bin = dir.File("prefix/bin");
    const std::string installed = dir.File("prefix/share/quor/Weltkart.bmp");
    const std::string built = bin + "/data/Weltkart.bmp", here = work + "/Weltkart.bmp";
    fs::create_directories(work);
    fs::create_directories(bin + "/data");
    fs::create_directories(dir.File("prefix/share/quor"));
    const auto put = [](const std::string &path) { std::ofstream(path) << "BM"; };
    EXPECT_EQ(FindEarthMap(work, bin), "");
    put(built);
    EXPECT_EQ(FindEarthMap(work, bin), built);
    put(installed);
    EXPECT_EQ(FindEarthMap(work, bin), installed);
    // A folder of the map's name is no map.
    fs::create_directories(here);
    EXPECT_EQ(FindEarthMap(work, bin), installed);
    fs::remove(here);
    put(here);
    EXPECT_EQ(FindEarthMap(work, bin), here);
    EXPECT_EQ(FindEarthMap("", bin), installed) << "no working folder to look in";
    EXPECT_EQ(FindEarthMap(work, ""), here);
    fs::remove(here);
    EXPECT_EQ(FindEarthMap(work, ""), "");
}
