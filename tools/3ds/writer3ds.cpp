#include "writer3ds.h"

#include <cstdio>
#include <cstring>

void Writer3ds::Begin(uint16_t id) {
    m_open.push_back(m_bytes.size());
    U16(id);
    U32(0);
}

void Writer3ds::End() {
    const size_t start = m_open.back();
    m_open.pop_back();
    PatchLength(start, static_cast<uint32_t>(m_bytes.size() - start));
}

void Writer3ds::U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
}

void Writer3ds::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
}

void Writer3ds::F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(bits);
}

void Writer3ds::Str(const std::string &s) {
    Raw(s.data(), s.size());
    U8(0);
}

void Writer3ds::Raw(const void *data, size_t size) {
    const auto *p = static_cast<const uint8_t *>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

void Writer3ds::Leaf(uint16_t id, const std::vector<uint8_t> &body) {
    Begin(id);
    Raw(body.data(), body.size());
    End();
}

void Writer3ds::PatchLength(size_t chunkOffset, uint32_t length) {
    for (int i = 0; i < 4; ++i)
        m_bytes[chunkOffset + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

bool Writer3ds::Save(const std::string &path) const {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(m_bytes.data(), 1, m_bytes.size(), f) == m_bytes.size();
    return std::fclose(f) == 0 && ok;
}

void Writer3ds::Color24(uint16_t parentId, uint8_t r, uint8_t g, uint8_t b) {
    Begin(parentId);
    Leaf(0x0011, {r, g, b});
    End();
}

void Writer3ds::Map(uint16_t mapId, const std::string &fileName, uint16_t percent) {
    Begin(mapId);
    Begin(0x0030);
    U16(percent);
    End();
    Begin(0xA300);
    Str(fileName);
    End();
    End();
}

void Writer3ds::VertexList(const std::vector<float> &xyz) {
    Begin(0x4110);
    U16(static_cast<uint16_t>(xyz.size() / 3));
    for (float v : xyz)
        F32(v);
    End();
}

void Writer3ds::MappingList(const std::vector<float> &uv) {
    Begin(0x4140);
    U16(static_cast<uint16_t>(uv.size() / 2));
    for (float v : uv)
        F32(v);
    End();
}

void Writer3ds::BeginFaceList(const std::vector<uint16_t> &abc) {
    Begin(0x4120);
    U16(static_cast<uint16_t>(abc.size() / 3));
    for (size_t i = 0; i + 2 < abc.size(); i += 3) {
        U16(abc[i]);
        U16(abc[i + 1]);
        U16(abc[i + 2]);
        U16(7); // edge flags; readers ignore them
    }
}

void Writer3ds::FaceMaterial(const std::string &material, const std::vector<uint16_t> &faces) {
    Begin(0x4130);
    Str(material);
    U16(static_cast<uint16_t>(faces.size()));
    for (uint16_t f : faces)
        U16(f);
    End();
}

void Writer3ds::SmoothList(size_t faceCount, uint32_t group) {
    Begin(0x4150);
    for (size_t i = 0; i < faceCount; ++i)
        U32(group);
    End();
}
