#pragma once
// GL sinks without GL: one records every command with its arguments so tests
// and tools can see exactly what a display list would hold; one only counts.
#include "glsink.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

enum class GlOp : uint8_t {
    DeleteList,
    NewList,
    EndList,
    Enable,
    Disable,
    Begin,
    End,
    Materialfv,
    Color4fv,
    Normal3f,
    Vertex3f,
};
inline constexpr size_t kGlOpCount = static_cast<size_t>(GlOp::Vertex3f) + 1;

struct GlCommand {
    GlOp op;
    uint32_t arg[2]; // list, mode, cap, face and pname, in call order
    float value[4];  // colour, normal, vertex or material values
    int valueCount;
};

// Hands out list names 1, 2, 3, ... until a set number has been given out.
class RecordingSink : public GlSink {
public:
    uint32_t GenList() override;
    void DeleteList(uint32_t list) override;
    void NewList(uint32_t list, uint32_t mode) override;
    void EndList() override;
    void Enable(uint32_t cap) override;
    void Disable(uint32_t cap) override;
    void Begin(uint32_t mode) override;
    void End() override;
    void Materialfv(uint32_t face, uint32_t pname, const float *params) override;
    void Color4fv(const float *rgba) override;
    void Normal3f(float x, float y, float z) override;
    void Vertex3f(float x, float y, float z) override;

    size_t Count(GlOp op) const;
    std::vector<GlCommand> Of(GlOp op) const;

    std::vector<GlCommand> commands;
    uint32_t namesLeft = UINT32_MAX; // GenList answers 0 once these run out

private:
    void Add(GlOp op, uint32_t a0, uint32_t a1, const float *values, int count);
    uint32_t m_nextName = 1;
};

// Keeps only the number of each command and the bounds of the vertices given,
// for models too big to record whole.
class CountingSink : public GlSink {
public:
    uint32_t GenList() override { return ++m_lastName; }
    void DeleteList(uint32_t) override { Add(GlOp::DeleteList); }
    void NewList(uint32_t, uint32_t) override { Add(GlOp::NewList); }
    void EndList() override { Add(GlOp::EndList); }
    void Enable(uint32_t) override { Add(GlOp::Enable); }
    void Disable(uint32_t) override { Add(GlOp::Disable); }
    void Begin(uint32_t) override { Add(GlOp::Begin); }
    void End() override { Add(GlOp::End); }
    void Materialfv(uint32_t, uint32_t, const float *) override { Add(GlOp::Materialfv); }
    void Color4fv(const float *) override { Add(GlOp::Color4fv); }
    void Normal3f(float, float, float) override { Add(GlOp::Normal3f); }
    void Vertex3f(float x, float y, float z) override {
        const float v[3] = {x, y, z};
        const bool first = Count(GlOp::Vertex3f) == 0;
        for (int k = 0; k < 3; ++k) {
            if (first || v[k] < m_boxMin[k])
                m_boxMin[k] = v[k];
            if (first || v[k] > m_boxMax[k])
                m_boxMax[k] = v[k];
        }
        Add(GlOp::Vertex3f);
    }

    size_t Count(GlOp op) const { return m_counts[static_cast<size_t>(op)]; }
    // Smallest and largest coordinates of the vertices so far; meaningless before the first.
    const std::array<float, 3> &BoxMin() const { return m_boxMin; }
    const std::array<float, 3> &BoxMax() const { return m_boxMax; }

private:
    void Add(GlOp op) { ++m_counts[static_cast<size_t>(op)]; }
    std::array<size_t, kGlOpCount> m_counts{};
    std::array<float, 3> m_boxMin{};
    std::array<float, 3> m_boxMax{};
    uint32_t m_lastName = 0;
};
