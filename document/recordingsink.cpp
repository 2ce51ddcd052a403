#include "recordingsink.h"

uint32_t RecordingSink::GenList() {
    if (namesLeft == 0)
        return 0;
    --namesLeft;
    return m_nextName++;
}

void RecordingSink::DeleteList(uint32_t list) {
    Add(GlOp::DeleteList, list, 0, nullptr, 0);
}

void RecordingSink::NewList(uint32_t list, uint32_t mode) {
    Add(GlOp::NewList, list, mode, nullptr, 0);
}

void RecordingSink::EndList() {
    Add(GlOp::EndList, 0, 0, nullptr, 0);
}

void RecordingSink::Enable(uint32_t cap) {
    Add(GlOp::Enable, cap, 0, nullptr, 0);
}

void RecordingSink::Disable(uint32_t cap) {
    Add(GlOp::Disable, cap, 0, nullptr, 0);
}

void RecordingSink::Begin(uint32_t mode) {
    Add(GlOp::Begin, mode, 0, nullptr, 0);
}

void RecordingSink::End() {
    Add(GlOp::End, 0, 0, nullptr, 0);
}

void RecordingSink::Materialfv(uint32_t face, uint32_t pname, const float *params) {
    // Shininess is the only single-valued material parameter we pass; the rest are RGBA.
    Add(GlOp::Materialfv, face, pname, params, pname == glenum::SHININESS ? 1 : 4);
}

void RecordingSink::Color4fv(const float *rgba) {
    Add(GlOp::Color4fv, 0, 0, rgba, 4);
}

void RecordingSink::Normal3f(float x, float y, float z) {
    const float v[3] = {x, y, z};
    Add(GlOp::Normal3f, 0, 0, v, 3);
}

void RecordingSink::Vertex3f(float x, float y, float z) {
    const float v[3] = {x, y, z};
    Add(GlOp::Vertex3f, 0, 0, v, 3);
}

size_t RecordingSink::Count(GlOp op) const {
    size_t n = 0;
    for (const GlCommand &c : commands)
        n += c.op == op;
    return n;
}

std::vector<GlCommand> RecordingSink::Of(GlOp op) const {
    std::vector<GlCommand> found;
    for (const GlCommand &c : commands) {
        if (c.op == op)
            found.push_back(c);
    }
    return found;
}

void RecordingSink::Add(GlOp op, uint32_t a0, uint32_t a1, const float *values, int count) {
    GlCommand c{op, {a0, a1}, {0.0f, 0.0f, 0.0f, 0.0f}, count};
    for (int i = 0; i < count; ++i)
        c.value[i] = values[i];
    commands.push_back(c);
}
