#pragma once
// What quor-inspect learns about one .3ds file by opening it exactly as the
// viewer does: the reader's tables, the compiled list and the messages shown.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct InspectReport {
    std::string file;
    int32_t vertices = 0;
    int32_t faces = 0;
    int32_t textureMaps = 0;
    int32_t texturedFaces = 0;
    int32_t smoothFaces = 0;
    int32_t degenerateFaces = 0;
    int32_t modelList = 0;
    size_t colourCommands = 0;
    size_t listVertices = 0;
    float scale = 1.0f;
    bool hasBox = false; // false when the list draws no vertex
    std::array<float, 3> boxMin{};
    std::array<float, 3> boxMax{};
    std::vector<std::string> messages;
};

// False when the file cannot be opened at all (missing, a directory, unreadable).
bool InspectFile(const std::string &path, InspectReport &report);

std::string ReportJson(const InspectReport &report);
std::string JsonString(const std::string &text);
