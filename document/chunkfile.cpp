#include "chunkfile.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TableReallocFn g_tableRealloc = nullptr;
}

void SetTableRealloc(TableReallocFn fn) {
    g_tableRealloc = fn;
}

void *TableRealloc(void *block, size_t bytes) {
    return g_tableRealloc ? g_tableRealloc(block, bytes) : std::realloc(block, bytes);
}

ChunkFile::~ChunkFile() {
    if (m_file)
        std::fclose(m_file);
}

bool ChunkFile::Open(const std::string &path) {
    // Only a regular file is read: its size bounds every read, where /dev/zero would
    // feed an endless string. Without O_NONBLOCK, open() of a pipe would wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    std::FILE *f = nullptr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(f = fdopen(fd, "rb"))) {
        close(fd);
        return false;
    }
    m_file = f;
    std::setvbuf(m_file, nullptr, _IONBF, 0); // our own buffer is the only one
    m_buffer = std::make_unique<uint8_t[]>(kBufferSize);
    m_data = m_buffer.get();
    m_size = static_cast<uint64_t>(st.st_size);
    return true;
}

void ChunkFile::OpenMemory(const void *data, size_t size) {
    m_data = static_cast<const uint8_t *>(data);
    m_dataStart = 0;
    m_dataLen = size;
    m_size = size;
    UpdateDataEnd();
}

void ChunkFile::UpdateDataEnd() {
    m_dataEnd = std::min<uint64_t>(m_dataStart + m_dataLen, m_size);
}

void ChunkFile::Skip(uint64_t bytes) {
    if (bytes > Remaining()) {
        m_pos = std::max(m_pos, m_size);
        m_end = true;
        return;
    }
    m_pos += bytes;
}

size_t ChunkFile::Fill(size_t want) {
    if (m_pos >= m_size)
        return 0;
    const uint64_t left = m_size - m_pos;
    want = static_cast<size_t>(std::min<uint64_t>({want, left, kBufferSize}));
    const bool inside = m_pos >= m_dataStart && m_pos <= m_dataStart + m_dataLen;
    size_t have = inside ? static_cast<size_t>(m_dataStart + m_dataLen - m_pos) : 0;
    if (have >= want || !m_file)
        return static_cast<size_t>(std::min<uint64_t>(have, left));

    // Keep the unread tail and fill the rest of the buffer behind it.
    uint8_t *buf = m_buffer.get();
    if (have > 0)
        std::memmove(buf, buf + (m_pos - m_dataStart), have);
    const uint64_t readFrom = m_pos + have;
    if (m_streamPos != readFrom) {
        if (fseeko(m_file, static_cast<off_t>(readFrom), SEEK_SET) != 0) {
            m_size = readFrom;
            m_dataStart = m_pos;
            m_dataLen = have;
            UpdateDataEnd();
            return have;
        }
        m_streamPos = readFrom;
    }
    const size_t toRead = static_cast<size_t>(std::min<uint64_t>(kBufferSize - have, m_size - readFrom));
    const size_t got = std::fread(buf + have, 1, toRead, m_file);
    m_streamPos += got;
    if (got < toRead)
        m_size = readFrom + got; // the file turned out shorter than it said
    m_dataStart = m_pos;
    m_dataLen = have + got;
    UpdateDataEnd();
    return static_cast<size_t>(std::min<uint64_t>(m_dataEnd - m_pos, want));
}

uint32_t ChunkFile::ReadSlow(size_t n) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    size_t done = 0;
    while (done < n) {
        const uint8_t *p;
        const size_t avail = Peek(n - done, &p);
        if (avail == 0) {
            m_pos = std::max(m_pos, m_size);
            m_end = true;
            break;
        }
        const size_t take = std::min(avail, n - done);
        std::memcpy(bytes + done, p, take);
        m_pos += take;
        done += take;
    }
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

size_t ChunkFile::Peek(size_t want, const uint8_t **data) {
    const size_t avail = std::min(Fill(want), want);
    *data = avail ? m_data + (m_pos - m_dataStart) : nullptr;
    return avail;
}

size_t ChunkFile::Available(const uint8_t **data) {
    // What is buffered is enough to go on with: asking for a whole buffer would
    // read the file again for every short name.
    const size_t avail = m_pos >= m_dataStart && m_pos < m_dataEnd ? static_cast<size_t>(m_dataEnd - m_pos)
                                                                   : Fill(kBufferSize);
    *data = avail ? m_data + (m_pos - m_dataStart) : nullptr;
    return avail;
}

template <class Keep> void ChunkFile::ScanString(Keep keep) {
    for (;;) {
        const uint8_t *p;
        const size_t avail = Available(&p);
        if (avail == 0) {
            m_pos = std::max(m_pos, m_size);
            m_end = true;
            return;
        }
        const auto *zero = static_cast<const uint8_t *>(std::memchr(p, 0, avail));
        const size_t len = zero ? static_cast<size_t>(zero - p) : avail;
        keep(reinterpret_cast<const char *>(p), len);
        m_pos += zero ? len + 1 : len;
        if (zero)
            return;
    }
}

void ChunkFile::String(char *out, size_t capacity) {
    size_t kept = 0;
    ScanString([&](const char *text, size_t len) {
        if (out && kept + 1 < capacity) {
            const size_t take = std::min(len, capacity - 1 - kept);
            std::memcpy(out + kept, text, take);
            kept += take;
        }
    });
    if (out && capacity > 0)
        out[kept] = '\0';
}

void ChunkFile::String(std::string &out) {
    out.clear();
    ScanString([&](const char *text, size_t len) { out.append(text, len); });
}
