#include "arraysink.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <sys/mman.h>

namespace {

uint8_t ToByte(float c) {
    return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f));
}

} // namespace

void ClientArraySink::BlockFree::operator()(Vertex *v) const {
    std::free(v);
}

uint32_t ClientArraySink::GenList() {
    // Names of this sink's own; no GL list is made.
    const uint32_t name = m_nextName++;
    m_lists[name];
    return name;
}

void ClientArraySink::DeleteList(uint32_t list) {
    m_lists.erase(list);
}

void ClientArraySink::NewList(uint32_t list, uint32_t) {
    Kept &kept = m_lists[list];
    kept = Kept();
    m_open = &kept;
}

void ClientArraySink::EndList() {
    m_open = nullptr;
}

void ClientArraySink::Enable(uint32_t cap) {
    if (m_open)
        m_open->steps.push_back({Step::Enable, cap});
}

void ClientArraySink::Disable(uint32_t cap) {
    if (m_open)
        m_open->steps.push_back({Step::Disable, cap});
}

void ClientArraySink::Begin(uint32_t mode) {
    m_inBegin = true;
    m_mode = mode;
    m_first = m_open ? m_open->vertices : 0;
}

void ClientArraySink::End() {
    m_inBegin = false;
    if (!m_open)
        return;
    Step draw{Step::Draw, m_mode};
    draw.first = m_first;
    draw.count = m_open->vertices - m_first;
    m_open->steps.push_back(draw);
    // After glEnd the current colour and normal are the last ones given; after an
    // array draw they are undefined, so the draw sets them again.
    Step colour{Step::Colour};
    std::copy(m_colour, m_colour + 4, colour.value);
    m_open->steps.push_back(colour);
    Step normal{Step::Normal};
    std::copy(m_current.normal, m_current.normal + 3, normal.value);
    m_open->steps.push_back(normal);
}

void ClientArraySink::Materialfv(uint32_t face, uint32_t pname, const float *params) {
    if (!m_open)
        return;
    Step step{Step::Material, face, pname};
    // Shininess has one value, the colours four.
    std::copy(params, params + (pname == glenum::SHININESS ? 1 : 4), step.value);
    m_open->steps.push_back(step);
}

void ClientArraySink::Color4fv(const float *rgba) {
    std::copy(rgba, rgba + 4, m_colour);
    for (int i = 0; i < 4; ++i)
        m_current.colour[i] = ToByte(rgba[i]);
    if (m_open && !m_inBegin) {
        Step step{Step::Colour};
        std::copy(rgba, rgba + 4, step.value);
        m_open->steps.push_back(step);
    }
}

void ClientArraySink::Normal3f(float x, float y, float z) {
    m_current.normal[0] = x;
    m_current.normal[1] = y;
    m_current.normal[2] = z;
    if (m_open && !m_inBegin) {
        Step step{Step::Normal};
        std::copy(m_current.normal, m_current.normal + 3, step.value);
        m_open->steps.push_back(step);
    }
}

void ClientArraySink::Vertex3f(float x, float y, float z) {
    if (!m_open || !m_inBegin || m_open->outOfMemory)
        return;
    std::vector<Block> &blocks = m_open->blocks;
    if (blocks.empty() || blocks.back().size == kBlockVertices) {
        void *memory = std::aligned_alloc(kBlockBytes, kBlockBytes);
        if (!memory) {
            // The model is drawn without the triangles that did not fit; a block holds whole ones.
            m_open->outOfMemory = true;
            return;
        }
        madvise(memory, kBlockBytes, MADV_HUGEPAGE); // a hint; without it, small pages
        blocks.push_back({std::unique_ptr<Vertex[], BlockFree>(static_cast<Vertex *>(memory)), 0});
    }
    m_current.position[0] = x;
    m_current.position[1] = y;
    m_current.position[2] = z;
    Block &block = blocks.back();
    block.data[block.size++] = m_current;
    ++m_open->vertices;
}

void ClientArraySink::Call(uint32_t list) const {
    const auto it = m_lists.find(list);
    if (it == m_lists.end())
        return;
    const Kept &kept = it->second;
    for (const Step &step : kept.steps) {
        switch (step.kind) {
        case Step::Enable:
            glEnable(step.a);
            break;
        case Step::Disable:
            glDisable(step.a);
            break;
        case Step::Material:
            glMaterialfv(step.a, step.b, step.value);
            break;
        case Step::Colour:
            glColor4fv(step.value);
            break;
        case Step::Normal:
            glNormal3fv(step.value);
            break;
        case Step::Draw: {
            glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            // Block by block; a block holds whole triangles, as its size is a multiple of three.
            size_t at = step.first;
            const size_t end = step.first + step.count;
            while (at < end) {
                const Block &block = kept.blocks[at / kBlockVertices];
                const size_t offset = at % kBlockVertices;
                const size_t n = std::min(end - at, block.size - offset);
                const Vertex *v = block.data.get() + offset;
                glVertexPointer(3, GL_FLOAT, sizeof(Vertex), v->position);
                glNormalPointer(GL_FLOAT, sizeof(Vertex), v->normal);
                glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), v->colour);
                glDrawArrays(step.a, 0, static_cast<GLsizei>(n));
                at += n;
            }
            glPopClientAttrib();
            break;
        }
        }
    }
}
