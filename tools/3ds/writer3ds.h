#pragma once
// Builds .3ds files chunk by chunk, for tests, tools and the sample station.
// Lengths are patched in when a chunk ends; Raw/PatchLength allow malformed files.
#include <cstdint>
#include <string>
#include <vector>

class Writer3ds {
public:
    // Opens a chunk; its length is written by the matching End().
    void Begin(uint16_t id);
    void End();

    void U8(uint8_t v) { m_bytes.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void F32(float v);
    void Str(const std::string &s); // zero-terminated
    void Raw(const void *data, size_t size);

    // A whole chunk whose body is only the given bytes.
    void Leaf(uint16_t id, const std::vector<uint8_t> &body);
    // Overwrites the length field of the chunk whose header starts at offset.
    void PatchLength(size_t chunkOffset, uint32_t length);

    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t> &Bytes() const { return m_bytes; }
    bool Save(const std::string &path) const;

    // Common composites.
    void Color24(uint16_t parentId, uint8_t r, uint8_t g, uint8_t b);
    void Map(uint16_t mapId, const std::string &fileName, uint16_t percent = 100);
    void VertexList(const std::vector<float> &xyz);
    void MappingList(const std::vector<float> &uv);
    // Starts a face list (0x4120) with its faces; the caller adds sub-chunks and calls End().
    void BeginFaceList(const std::vector<uint16_t> &abc);
    void FaceMaterial(const std::string &material, const std::vector<uint16_t> &faces);
    void SmoothList(size_t faceCount, uint32_t group = 1);

private:
    std::vector<uint8_t> m_bytes;
    std::vector<size_t> m_open;
};
