// The .3ds reader: merges every triangle mesh of a file into the document's
// vertex and face tables, colours faces with their material's diffuse colour
// and keeps the texture-map file names.
#include "../framework/messages.h"
#include "chunkfile.h"
#include "quordoc.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {
constexpr uint16_t kMain = 0x4D4D;
constexpr uint16_t kEditor = 0x3D3D;
constexpr uint16_t kMaterial = 0xAFFF;
constexpr uint16_t kMatName = 0xA000;
constexpr uint16_t kMatAmbient = 0xA010;
constexpr uint16_t kMatDiffuse = 0xA020;
constexpr uint16_t kMatSpecular = 0xA030;
constexpr uint16_t kColor24 = 0x0011;
constexpr uint16_t kTexMap = 0xA200;
constexpr uint16_t kOpacMap = 0xA210;
constexpr uint16_t kReflMap = 0xA220;
constexpr uint16_t kBumpMap = 0xA230;
constexpr uint16_t kPercentInt = 0x0030;
constexpr uint16_t kMapFileName = 0xA300;
constexpr uint16_t kObject = 0x4000;
constexpr uint16_t kTriMesh = 0x4100;
constexpr uint16_t kVertexList = 0x4110;
constexpr uint16_t kFaceList = 0x4120;
constexpr uint16_t kFaceMaterial = 0x4130;
constexpr uint16_t kMappingList = 0x4140;
constexpr uint16_t kSmoothList = 0x4150;

constexpr uint32_t kHeaderSize = 6;
constexpr size_t kVertexBytes = 12;
constexpr size_t kMappingBytes = 8;
constexpr size_t kFaceBytes = 8;
// A file full of bad face-material entries would otherwise bury the user in boxes.
constexpr int kMaxBadFaceMessages = 10;

const char *const kOutOfMemory = "Out of Memory";

// Gives back the spare room of a table; keeping the larger block is harmless if
// that fails.
template <class T> void TrimTable(T *&table, int32_t count, int64_t capacity) {
    if (capacity <= count)
        return;
    if (count == 0) {
        std::free(table);
        table = nullptr;
        return;
    }
    if (void *trimmed = TableRealloc(table, static_cast<size_t>(count) * sizeof(T)))
        table = static_cast<T *>(trimmed);
}

uint16_t LoadU16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

float LoadF32(const uint8_t *p) {
    const uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                          static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Makes room for count + extra records. Room grows by half again at least, so
// that a file of many small lists costs linear time; the read trims every table to
// its count at the end. When the table cannot grow, only the list asking is given
// up: a later, smaller one may still fit. The read shows one message per table
// (`report`), however many lists fail. `limit` caps the count where an index field
// is narrow.
template <class T>
bool GrowTable(T *&table, int32_t count, uint64_t extra, ChunkFile::TableGrowth &growth, bool report,
               int64_t limit = std::numeric_limits<int32_t>::max()) {
    const uint64_t needed = static_cast<uint64_t>(count) + extra;
    if (needed <= static_cast<uint64_t>(std::max<int64_t>(growth.capacity, count)))
        return true;
    if (needed <= static_cast<uint64_t>(limit)) {
        const uint64_t roomy = std::min<uint64_t>(
            std::max<uint64_t>(needed, static_cast<uint64_t>(growth.capacity + growth.capacity / 2)),
            static_cast<uint64_t>(limit));
        void *grown = TableRealloc(table, roomy * sizeof(T));
        uint64_t got = roomy;
        if (!grown && roomy > needed) { // what is needed may still fit
            grown = TableRealloc(table, needed * sizeof(T));
            got = needed;
        }
        if (grown) {
            table = static_cast<T *>(grown);
            growth.capacity = static_cast<int64_t>(got);
            return true;
        }
    }
    if (report && !growth.reported)
        ShowMessage(kOutOfMemory);
    growth.reported = true;
    return false;
}

// How an inner walk treats the chunk starting at `start`. `floor` is how far walks
// of its kind had read when this one began, `read` how far they have read now.
enum class Visit {
    Read,     // fresh bytes
    StepOver, // this walk's own lists read it by their contents: skip it whole, unread
    End,      // an earlier walk read it: reading on could repeat that walk's work
};

Visit ChunkVisit(uint64_t start, uint64_t floor, uint64_t read) {
    if (start < floor)
        return Visit::End;
    return start < read ? Visit::StepOver : Visit::Read;
}

void ReadMainChunk(CQUORDoc &doc, ChunkFile &file) {
    if (doc.ReadWord(file) != kMain || file.AtEnd())
        return;
    const uint64_t total = doc.ReadDword(file);
    uint64_t pos = kHeaderSize;

    // Top walk, up to the editor chunk.
    bool inEditor = false;
    while (!inEditor) {
        const uint16_t id = doc.ReadWord(file);
        if (file.AtEnd() || pos >= total)
            return;
        const uint32_t length = doc.ReadDword(file);
        if (file.AtEnd())
            return;
        if (id == kEditor) { // entered, so its own length does not matter
            pos += kHeaderSize;
            inEditor = true;
        } else if (length < kHeaderSize) {
            return;
        } else {
            pos += length;
            file.Seek(pos);
        }
    }

    // Editor walk. It runs on past the end of the editor chunk to the end of the
    // main chunk, stepping over the key-frame data and whatever else follows.
    for (;;) {
        const uint16_t id = doc.ReadWord(file);
        if (file.AtEnd() || pos >= total)
            return;
        const uint32_t length = doc.ReadDword(file);
        if (file.AtEnd() || length < kHeaderSize)
            return;
        if (id == kObject)
            doc.ReadNamedObject(file);
        else if (id == kMaterial)
            doc.ReadMaterialBlock(file);
        pos += length;
        file.Seek(pos);
    }
}

void ReadModel(CQUORDoc &doc, ChunkFile &file) {
    file.vertexTable.capacity = doc.m_vertexCount;
    file.faceTable.capacity = doc.m_faceCount;
    file.textureMapTable.capacity = doc.m_textureMapCount;
    file.materialTable.capacity = doc.m_materialCount;
    ReadMainChunk(doc, file);
    TrimTable(doc.m_vertices, doc.m_vertexCount, file.vertexTable.capacity);
    TrimTable(doc.m_faces, doc.m_faceCount, file.faceTable.capacity);
    TrimTable(doc.m_textureMaps, doc.m_textureMapCount, file.textureMapTable.capacity);
    std::free(doc.m_materials);
    doc.m_materials = nullptr;
    doc.m_materialCount = 0;
    doc.m_materialIndex.clear();
}
} // namespace

void CQUORDoc::Read3dsFile(const std::string &path) {
    m_vertexBase = 0;
    m_faceBase = 0;
    m_materialCount = 0;
    ChunkFile file;
    if (file.Open(path))
        Read3dsFile(file);
}

void CQUORDoc::Read3dsFile(ChunkFile &file) {
    m_vertexBase = 0;
    m_faceBase = 0;
    m_materialCount = 0;
    ReadModel(*this, file);
}

void Read3dsBytes(CQUORDoc &doc, const void *data, size_t size) {
    ChunkFile file;
    file.OpenMemory(data, size);
    doc.Read3dsFile(file);
}

uint32_t CQUORDoc::ReadDword(ChunkFile &file) {
    return file.U32();
}

uint16_t CQUORDoc::ReadWord(ChunkFile &file) {
    return file.U16();
}

uint8_t CQUORDoc::ReadByte(ChunkFile &file) {
    return file.U8();
}

// The sub-chunks are read by their contents, and the walk goes on at each one's
// start plus its length.
void CQUORDoc::ReadMaterialBlock(ChunkFile &file) {
    const uint64_t floor = file.materialWalkRead;
    bool newMaterial = false; // a name chunk of this block has not yet got its map record
    for (;;) {
        const uint64_t start = file.Tell();
        const uint16_t id = ReadWord(file);
        const uint32_t length = ReadDword(file);
        if (file.AtEnd() || id < 0xA000 || id > 0xAFFE || length < kHeaderSize)
            return;
        const Visit visit = ChunkVisit(start, floor, file.materialWalkRead);
        if (visit == Visit::End)
            return;

        bool stop = false;
        if (visit == Visit::Read) {
            switch (id) {
            case kMatName: {
                std::string name;
                file.String(name);
                if (file.AtEnd() || !GrowTable(m_materials, m_materialCount, 1, file.materialTable, false)) {
                    stop = true;
                    break;
                }
                ModelMaterial &material = m_materials[m_materialCount];
                // The record keeps what fits; lookups go by the whole name.
                std::memset(material.name, 0, sizeof material.name);
                name.copy(material.name, sizeof material.name - 1);
                material.textureMap = -1;
                // Without a 24-bit diffuse colour the faces look like unmaterialed ones.
                material.diffuse[0] = material.diffuse[1] = material.diffuse[2] = 255;
                m_materialIndex.emplace(std::move(name), m_materialCount); // the first of a name wins
                ++m_materialCount;
                newMaterial = true;
                break;
            }
            case kMatAmbient:
            case kMatDiffuse:
            case kMatSpecular: {
                if (m_materialCount == 0)
                    break; // no material of this read to colour
                if (ReadWord(file) != kColor24) {
                    stop = true;
                    break;
                }
                ReadDword(file);
                uint8_t rgb[3];
                for (uint8_t &c : rgb)
                    c = ReadByte(file);
                if (file.AtEnd())
                    stop = true;
                else if (id == kMatDiffuse)
                    std::memcpy(m_materials[m_materialCount - 1].diffuse, rgb, sizeof rgb);
                break;
            }
            case kTexMap:
            case kOpacMap:
            case kReflMap:
            case kBumpMap:
                if (m_materialCount > 0)
                    stop = !ReadMapChunk(file, id, newMaterial);
                break;
            default:
                break;
            }
        }
        file.materialWalkRead = std::max(file.materialWalkRead, file.Tell());
        if (stop)
            return;
        file.Seek(start + length);
    }
}

// One map chunk of a material block; false when the rest of the block is to be skipped.
bool CQUORDoc::ReadMapChunk(ChunkFile &file, uint16_t id, bool &newMaterial) {
    if (newMaterial) {
        // The index lives in an int16 field, which caps the table.
        if (!GrowTable(m_textureMaps, m_textureMapCount, 1, file.textureMapTable, true,
                       std::numeric_limits<int16_t>::max()))
            return false;
        std::memset(&m_textureMaps[m_textureMapCount], 0, sizeof(ModelTextureMap));
        m_materials[m_materialCount - 1].textureMap = static_cast<int16_t>(m_textureMapCount);
        ++m_textureMapCount;
        newMaterial = false;
    }
    if (ReadWord(file) != kPercentInt)
        return false;
    ReadDword(file);
    ReadWord(file);
    if (ReadWord(file) != kMapFileName)
        return false;
    ReadDword(file);
    char fileName[sizeof(ModelTextureMap::fileName)] = {};
    file.String(fileName, sizeof fileName);
    if (file.AtEnd())
        return false;
    if (id == kTexMap && m_textureMapCount > 0) {
        ModelTextureMap &map = m_textureMaps[m_textureMapCount - 1];
        map.hasFile = 1;
        std::memcpy(map.fileName, fileName, sizeof fileName);
    }
    return true;
}

void CQUORDoc::ReadNamedObject(ChunkFile &file) {
    file.String(nullptr, 0); // the object's name is not kept
    if (ReadWord(file) != kTriMesh)
        return; // lights, cameras and the like
    ReadDword(file);

    // Not bounded by the object's length: the walk ends at the first chunk outside
    // the mesh range, normally the next object or material. A face list reads its
    // sub-chunks by their contents, so the walk steps over them afterwards.
    const uint64_t floor = file.objectWalkRead;
    for (;;) {
        const uint64_t start = file.Tell();
        const uint16_t id = ReadWord(file);
        const uint32_t length = ReadDword(file);
        if (file.AtEnd() || id < 0x4001 || id > 0x5000 || length < kHeaderSize)
            return;
        const Visit visit = ChunkVisit(start, floor, file.objectWalkRead);
        if (visit == Visit::End)
            return;
        if (visit == Visit::Read) {
            if (id == kVertexList)
                ReadVertexList(file);
            else if (id == kMappingList)
                ReadMappingList(file);
            else if (id == kFaceList)
                ReadFaceList(file);
        }
        file.objectWalkRead = std::max(file.objectWalkRead, file.Tell());
        file.Seek(start + length);
    }
}

void CQUORDoc::ReadVertexList(ChunkFile &file) {
    m_vertexBase = m_vertexCount;
    // A list cut short by the end of the file keeps only the vertices it holds.
    const size_t n = std::min<uint64_t>(ReadWord(file), file.Remaining() / kVertexBytes);
    if (!GrowTable(m_vertices, m_vertexCount, n, file.vertexTable, true))
        return;
    m_vertexCount += static_cast<int32_t>(n);
    if (n == 0)
        return;

    ModelVertex *out = m_vertices + m_vertexBase;
    ModelVertex *const end = out + n;
    while (out < end) {
        const uint8_t *p;
        const size_t batch = file.Peek(static_cast<size_t>(end - out) * kVertexBytes, &p) / kVertexBytes;
        if (batch == 0) { // the file shrank under us
            std::memset(static_cast<void *>(out), 0, static_cast<size_t>(end - out) * sizeof *out);
            break;
        }
        for (size_t i = 0; i < batch; ++i, p += kVertexBytes, ++out)
            *out = ModelVertex{LoadF32(p), LoadF32(p + 4), LoadF32(p + 8), 0.0f, 0.0f};
        file.Advance(batch * kVertexBytes);
    }
}

void CQUORDoc::ReadMappingList(ChunkFile &file) {
    const uint16_t n = ReadWord(file);
    // Entries beyond the vertex table have no vertex to go to and are dropped.
    size_t left = std::min<size_t>(n, static_cast<size_t>(m_vertexCount - m_vertexBase));
    if (left == 0)
        return;
    ModelVertex *out = m_vertices + m_vertexBase;
    for (;;) {
        const uint8_t *p;
        const size_t batch = std::min(file.Peek(left * kMappingBytes, &p) / kMappingBytes, left);
        if (batch == 0)
            return;
        for (size_t i = 0; i < batch; ++i, p += kMappingBytes, ++out) {
            out->u = LoadF32(p);
            out->v = LoadF32(p + 4);
        }
        file.Advance(batch * kMappingBytes);
        left -= batch;
        if (left == 0)
            return;
    }
}

void CQUORDoc::ReadFaceList(ChunkFile &file) {
    const uint16_t n = ReadWord(file);
    const size_t stored = std::min<uint64_t>(n, file.Remaining() / kFaceBytes);
    if (!GrowTable(m_faces, m_faceCount, stored, file.faceTable, true))
        return;
    m_faceBase = m_faceCount;

    // A face naming a vertex outside the table is dropped; once one is, the
    // face-material lists need to know where each file face went (-1: dropped).
    const int64_t vertexLimit = static_cast<int64_t>(m_vertexCount) - m_vertexBase;
    std::vector<int32_t> tableIndex;
    ModelFace *const first = stored ? m_faces + m_faceBase : nullptr;
    size_t kept = 0;
    size_t done = 0;
    while (done < stored) {
        const uint8_t *p;
        const size_t batch =
            std::min(file.Peek((stored - done) * kFaceBytes, &p) / kFaceBytes, stored - done);
        if (batch == 0)
            break; // the file shrank under us
        for (size_t i = 0; i < batch; ++i, p += kFaceBytes) {
            const uint16_t a = LoadU16(p), b = LoadU16(p + 2), c = LoadU16(p + 4);
            if (a >= vertexLimit || b >= vertexLimit || c >= vertexLimit) {
                if (tableIndex.empty()) {
                    tableIndex.resize(stored);
                    for (size_t j = 0; j < done + i; ++j)
                        tableIndex[j] = static_cast<int32_t>(m_faceBase + j);
                }
                tableIndex[done + i] = -1;
                continue;
            }
            if (!tableIndex.empty())
                tableIndex[done + i] = static_cast<int32_t>(m_faceBase + kept);
            first[kept++] =
                ModelFace{{a + m_vertexBase, b + m_vertexBase, c + m_vertexBase}, 255, 255, 255, 0, 0, 0};
        }
        file.Advance(batch * kFaceBytes);
        done += batch;
    }
    m_faceCount += static_cast<int32_t>(kept);
    if (done < stored)
        return;

    // Sub-chunks, read back to back by their contents, whatever the face list's
    // length says. The header that ends them belongs to a chunk the mesh walk
    // still has to read, so the file is left before it.
    std::string name;
    for (;;) {
        const uint64_t at = file.Tell();
        const uint16_t id = ReadWord(file);
        const uint32_t length = ReadDword(file);
        if (file.AtEnd())
            return;
        if (id == kFaceMaterial) { // read by its contents; its length is not used
            file.String(name);
            const int32_t m = FindMaterial(name);
            const uint16_t k = ReadWord(file);
            for (uint32_t j = 0; j < k; ++j) {
                const uint16_t f = ReadWord(file);
                if (file.AtEnd())
                    return;
                if (f >= n) {
                    if (file.badFaceMessages < kMaxBadFaceMessages) {
                        ++file.badFaceMessages;
                        ShowMessage("Bad f ");
                    }
                    continue;
                }
                if (m < 0 || f >= stored)
                    continue;
                const int32_t index = tableIndex.empty() ? m_faceBase + f : tableIndex[f];
                if (index < 0)
                    continue;
                const ModelMaterial &material = m_materials[m];
                ModelFace &face = m_faces[index];
                face.red = material.diffuse[0];
                face.green = material.diffuse[1];
                face.blue = material.diffuse[2];
                if (material.textureMap >= 0) {
                    face.textured = 1;
                    face.textureMap = static_cast<uint8_t>(material.textureMap);
                }
            }
        } else if (id == kSmoothList && length >= kHeaderSize &&
                   (static_cast<int64_t>(length) - kHeaderSize) / 4 == n) {
            file.Skip(static_cast<uint64_t>(n) * 4); // the group bits are not used
            if (file.AtEnd())
                return;
            for (size_t i = 0; i < kept; ++i)
                m_faces[m_faceBase + i].smooth = 1;
        } else {
            file.Seek(at);
            return;
        }
    }
}

int32_t CQUORDoc::FindMaterial(const std::string &name) const {
    const auto found = m_materialIndex.find(name);
    return found == m_materialIndex.end() ? -1 : found->second;
}
