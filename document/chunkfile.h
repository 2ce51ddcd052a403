#pragma once
// A bounded, buffered reader over one .3ds file (or a block of bytes). It knows
// the size of what it reads, so nothing is ever read from outside it: a read past
// the end yields zeros and raises an end flag that every walk of the reader
// checks. It also carries the state that lives for one read of a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

class CQUORDoc;

class ChunkFile {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    ChunkFile() = default;
    ~ChunkFile();
    ChunkFile(const ChunkFile &) = delete;
    ChunkFile &operator=(const ChunkFile &) = delete;

    // Opens the file for binary reading; false when it cannot be opened.
    bool Open(const std::string &path);
    // Reads the caller's bytes in place; they must outlive the reads.
    void OpenMemory(const void *data, size_t size);

    uint64_t Size() const { return m_size; }
    uint64_t Tell() const { return m_pos; }
    uint64_t Remaining() const { return m_pos < m_size ? m_size - m_pos : 0; }
    // True once a read since the last Seek wanted bytes beyond the end.
    bool AtEnd() const { return m_end; }

    // Moves to an absolute position (which may lie beyond the end) and clears the end flag.
    void Seek(uint64_t pos) {
        m_pos = pos;
        m_end = false;
    }
    // Steps over bytes as if they were read: stepping past the end raises the end flag.
    void Skip(uint64_t bytes);

    uint8_t U8() {
        if (Buffered(1))
            return Take<uint8_t>(1);
        return static_cast<uint8_t>(ReadSlow(1));
    }
    uint16_t U16() {
        if (Buffered(2))
            return Take<uint16_t>(2);
        return static_cast<uint16_t>(ReadSlow(2));
    }
    uint32_t U32() {
        if (Buffered(4))
            return Take<uint32_t>(4);
        return ReadSlow(4);
    }
    float F32() {
        const uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

    // Reads a zero-terminated string up to and including its zero byte (or the end).
    // Keeps at most capacity - 1 bytes in out, always terminated; out may be null to
    // drop the string.
    void String(char *out, size_t capacity);
    // The same, keeping the whole string.
    void String(std::string &out);

    // Makes up to `want` bytes at the current position contiguous in memory (at most
    // kBufferSize) and returns how many there are; fewer only at the end. The bulk
    // lists parse straight from here and then Advance past what they used.
    size_t Peek(size_t want, const uint8_t **data);
    void Advance(size_t bytes) { m_pos += bytes; }

    // Per-read state.
    int badFaceMessages = 0;
    // How far the inner walks of each kind have read, chunk headers and contents
    // alike. A walk reads no chunk that starts in those bytes, so the overlapping
    // chunks of a damaged file never make the reader read the same bytes twice.
    uint64_t objectWalkRead = 0;
    uint64_t materialWalkRead = 0;
    // How one of the document's tables grows in this read.
    struct TableGrowth {
        int64_t capacity = 0;  // records its block has room for
        bool reported = false; // "Out of Memory" was shown for it: once a read is enough
    };
    TableGrowth vertexTable, faceTable, textureMapTable, materialTable;

private:
    bool Buffered(size_t n) const { return m_pos >= m_dataStart && m_pos + n <= m_dataEnd; }
    // Bytes buffered at the current position, filling the buffer only when none are.
    size_t Available(const uint8_t **data);
    template <class T> T Take(size_t n) {
        const uint8_t *p = m_data + (m_pos - m_dataStart);
        T v = 0;
        for (size_t i = 0; i < n; ++i)
            v = static_cast<T>(v | static_cast<T>(p[i]) << (8 * i));
        m_pos += n;
        return v;
    }
    uint32_t ReadSlow(size_t n);
    size_t Fill(size_t want);
    void UpdateDataEnd();
    template <class Keep> void ScanString(Keep keep);

    std::FILE *m_file = nullptr;
    std::unique_ptr<uint8_t[]> m_buffer;
    const uint8_t *m_data = nullptr; // buffer or caller's bytes
    uint64_t m_dataStart = 0;        // file offset of m_data[0]
    size_t m_dataLen = 0;
    uint64_t m_dataEnd = 0; // end of the buffered bytes that may be read: m_dataStart + m_dataLen, or m_size
    uint64_t m_streamPos = 0; // where m_file stands
    uint64_t m_pos = 0;
    uint64_t m_size = 0;
    bool m_end = false;
};

// Reads a .3ds image held in memory, exactly as CQUORDoc::Read3dsFile reads a file.
void Read3dsBytes(CQUORDoc &doc, const void *data, size_t size);

// The reader grows its tables through this hook (std::realloc unless replaced), so
// that running out of memory can be tested.
using TableReallocFn = void *(*)(void *block, size_t bytes);
void SetTableRealloc(TableReallocFn fn); // null restores std::realloc
void *TableRealloc(void *block, size_t bytes);
