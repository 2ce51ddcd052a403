#include "bmpimage.h"

#include "framework/messages.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

BmpImage g_earthBitmap;

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12; // OS/2 1.x: 16-bit dimensions
constexpr uint32_t kMaxInfoHeaderSize = 124;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// Where the pixels of a validated file lie and what they hold.
struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitsPixel = 0;
    uint32_t stride = 0;
    uint64_t pixelOffset = 0;
    uint64_t pixelBytes = 0;
    bool topDown = false;
};

uint16_t U16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool Fail(std::string *reason, const char *why) {
    if (reason)
        *reason = why;
    return false;
}

bool IsKnownInfoHeaderSize(uint32_t size) {
    return size == kCoreHeaderSize || size == 40 || size == 52 || size == 56 || size == 108 ||
           size == kMaxInfoHeaderSize;
}

// header holds the first bytes of the file (at least the whole info header if
// the file has one); fileSize is the length of the whole file.
bool ParseHeader(const uint8_t *header, size_t headerSize, uint64_t fileSize, BmpLayout &layout,
                 std::string *reason) {
    if (headerSize < kFileHeaderSize + 4)
        return Fail(reason, "file too short for a bitmap header");
    if (header[0] != 'B' || header[1] != 'M')
        return Fail(reason, "not a BMP file");
    const uint32_t pixelOffset = U32(header + 10);
    const uint32_t infoSize = U32(header + 14);
    if (!IsKnownInfoHeaderSize(infoSize))
        return Fail(reason, "unknown bitmap header size");
    if (headerSize < kFileHeaderSize + infoSize)
        return Fail(reason, "bitmap header truncated");

    const uint8_t *info = header + kFileHeaderSize;
    int64_t width, height;
    uint16_t planes, bits;
    uint32_t compression = kBiRgb;
    if (infoSize == kCoreHeaderSize) {
        width = U16(info + 4);
        height = U16(info + 6);
        planes = U16(info + 8);
        bits = U16(info + 10);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            return Fail(reason, "unsupported bits per pixel");
    } else {
        width = static_cast<int32_t>(U32(info + 4));
        height = static_cast<int32_t>(U32(info + 8));
        planes = U16(info + 12);
        bits = U16(info + 14);
        compression = U32(info + 16);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return Fail(reason, "unsupported bits per pixel");
    }
    if (planes != 1)
        return Fail(reason, "bitmap must have one colour plane");
    if (compression == kBiBitfields) {
        if (bits != 16 && bits != 32)
            return Fail(reason, "bit fields need 16 or 32 bits per pixel");
        // A 40-byte header keeps its three masks right behind it.
        if (infoSize == 40 && pixelOffset < kFileHeaderSize + infoSize + 12)
            return Fail(reason, "bit field masks missing");
    } else if (compression != kBiRgb) {
        return Fail(reason, "compressed bitmaps are not supported");
    }
    // A negative height marks rows stored top-down; the image is handed on bottom-up.
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height == 0 || width > kBmpMaxDimension || height > kBmpMaxDimension)
        return Fail(reason, "bitmap dimensions out of range");

    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height);
    if (pixelBytes > kBmpMaxPixelBytes)
        return Fail(reason, "bitmap too large");
    if (pixelOffset < kFileHeaderSize + infoSize)
        return Fail(reason, "pixel data overlaps the header");
    if (static_cast<uint64_t>(pixelOffset) + pixelBytes > fileSize)
        return Fail(reason, "pixel data truncated");

    layout.width = static_cast<int32_t>(width);
    layout.height = static_cast<int32_t>(height);
    layout.bitsPixel = bits;
    layout.stride = static_cast<uint32_t>(stride);
    layout.pixelOffset = pixelOffset;
    layout.pixelBytes = pixelBytes;
    layout.topDown = topDown;
    return true;
}

void Describe(const BmpLayout &layout, std::vector<uint8_t> pixels, BmpImage &image) {
    if (layout.topDown) {
        // Swap rows in place: the first row in memory becomes the picture's bottom row.
        const size_t stride = layout.stride;
        for (size_t top = 0, bottom = size_t(layout.height) - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(pixels.begin() + top * stride, pixels.begin() + (top + 1) * stride,
                             pixels.begin() + bottom * stride);
    }
    image.type = 0;
    image.width = layout.width;
    image.height = layout.height;
    image.widthBytes = static_cast<int32_t>(layout.stride);
    image.planes = 1;
    image.bitsPixel = layout.bitsPixel;
    image.pixels = std::move(pixels);
}

} // namespace

bool ReadBmp(const uint8_t *data, size_t size, BmpImage &image, std::string *reason) {
    if (!data)
        size = 0;
    BmpLayout layout;
    if (!ParseHeader(data, size, size, layout, reason))
        return false;
    const uint8_t *first = data + layout.pixelOffset;
    Describe(layout, std::vector<uint8_t>(first, first + layout.pixelBytes), image);
    return true;
}

bool ReadBmpFile(const std::string &path, BmpImage &image, std::string *reason) {
    std::error_code ec;
    // Only plain files: a directory fails late and a FIFO could block for ever.
    if (!std::filesystem::is_regular_file(path, ec))
        return Fail(reason, "no such file");
    const uint64_t fileSize = std::filesystem::file_size(path, ec);
    if (ec)
        return Fail(reason, "cannot read the file size");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Fail(reason, "cannot open the file");

    uint8_t header[kFileHeaderSize + kMaxInfoHeaderSize] = {};
    const size_t headerSize = static_cast<size_t>(std::min<uint64_t>(fileSize, sizeof header));
    if (!file.read(reinterpret_cast<char *>(header), static_cast<std::streamsize>(headerSize)))
        return Fail(reason, "cannot read the header");
    BmpLayout layout;
    if (!ParseHeader(header, headerSize, fileSize, layout, reason))
        return false;

    std::vector<uint8_t> pixels(layout.pixelBytes);
    file.seekg(static_cast<std::streamoff>(layout.pixelOffset));
    // The file may have shrunk since its size was taken; a short read is a failure.
    if (!file.read(reinterpret_cast<char *>(pixels.data()), static_cast<std::streamsize>(pixels.size())))
        return Fail(reason, "cannot read the pixel data");
    Describe(layout, std::move(pixels), image);
    return true;
}

std::string FindEarthMap(const std::string &workingFolder, const std::string &programFolder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> candidates;
    if (!workingFolder.empty())
        candidates.push_back(fs::path(workingFolder) / kEarthMapName);
    if (!programFolder.empty()) {
        candidates.push_back(
            (fs::path(programFolder) / ".." / "share" / "quor" / kEarthMapName).lexically_normal());
        candidates.push_back(fs::path(programFolder) / "data" / kEarthMapName);
    }
    for (const fs::path &candidate : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec))
            return candidate.string();
    }
    return {};
}

int LoadEarthMapForThisProgram() {
    std::error_code ec;
    const std::filesystem::path working = std::filesystem::current_path(ec);
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string map = FindEarthMap(working.string(), program.parent_path().string());
    return LoadEarthMap(map.empty() ? kEarthMapName : map.c_str());
}

int LoadEarthMap(const char *fileName) {
    BmpImage image;
    std::string reason = "no file name";
    if (!fileName || !ReadBmpFile(fileName, image, &reason)) {
        Trace(std::string(fileName ? fileName : "(null)") + ": " + reason + "\n");
        ShowMessage("Error: unable to load bitmap file");
        return 0;
    }
    g_earthBitmap = std::move(image);
    if (g_earthBitmap.bitsPixel != 24) {
        ShowMessage("Error: bitmap must be 24 bit");
        return 0;
    }
    return 1;
}
