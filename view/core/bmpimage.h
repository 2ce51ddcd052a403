#pragma once
// A bounds-checked reader for uncompressed BMP files, and the
// program-wide Earth map record the scene views build their texture from.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Laid out like the window system's bitmap description; the pixel rows are
// owned here. Rows bottom-up as stored in the file, BGR, each row padded to
// widthBytes (a multiple of 4).
struct BmpImage {
    int32_t type = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t widthBytes = 0;
    uint16_t planes = 0;
    uint16_t bitsPixel = 0;
    std::vector<uint8_t> pixels;

    const uint8_t *Bits() const { return pixels.empty() ? nullptr : pixels.data(); }
};

// Largest accepted width or height, and pixel array, in bytes: anything
// larger is a broken header rather than a map.
inline constexpr int32_t kBmpMaxDimension = 32768;
inline constexpr uint64_t kBmpMaxPixelBytes = 512ull << 20;

// Reads an uncompressed (BI_RGB or BI_BITFIELDS) BMP of 1, 4, 8, 16, 24 or 32
// bits per pixel; rows stored top-down (negative height) are turned bottom-up. On failure returns false,
// leaves image untouched and, if asked, says why.
bool ReadBmp(const uint8_t *data, size_t size, BmpImage &image, std::string *reason = nullptr);
bool ReadBmpFile(const std::string &path, BmpImage &image, std::string *reason = nullptr);

extern BmpImage g_earthBitmap;

inline constexpr const char *kEarthMapName = "Weltkart.bmp";

// Where the Earth map is: in the working folder, else in the installed data folder
// beside the program (programFolder/../share/quor), else in the data folder of the
// build the program was made in (programFolder/data). The first of these that is a
// file, or empty when there is none. An empty folder name is not looked in.
std::string FindEarthMap(const std::string &workingFolder, const std::string &programFolder);

// Loads the map FindEarthMap finds for this process (its working folder, its own
// executable's folder); without one, tells the user as LoadEarthMap does.
int LoadEarthMapForThisProgram();

// Loads the Earth map into g_earthBitmap: 1 for a 24-bit image, otherwise 0
// after telling the user. A file that cannot be read leaves the record as it was.
int LoadEarthMap(const char *fileName);
