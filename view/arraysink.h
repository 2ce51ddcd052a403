#pragma once
// A model sink for processes that draw a model once or a few times, such as
// quor-inspect --render: the compiler's commands are kept as client arrays and
// drawn with one glDrawArrays, instead of being compiled into a display list,
// which costs more than a whole picture on a software renderer when the model is
// large. The picture is the same: the same vertices with the same colours and
// normals in the same order, under the same state; colours are kept as bytes,
// which GL turns back into the face's fractions up to the last bit of rounding.
#include "../document/glsink.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class ClientArraySink : public GlSink {
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

    // Draws what was kept under the list's name, as calling the list would;
    // nothing for a name that is not one of this sink's.
    void Call(uint32_t list) const;

private:
    struct Vertex {
        float position[3];
        float normal[3];
        uint8_t colour[4];
    };
    // Vertices in blocks of 2 MiB, which the kernel may back with one huge page
    // each: a large model grows without copying and without a page fault every 4 KiB.
    static constexpr size_t kBlockBytes = size_t(2) << 20;
    static constexpr size_t kBlockVertices = kBlockBytes / sizeof(Vertex) / 3 * 3; // whole triangles
    struct BlockFree {
        void operator()(Vertex *v) const;
    };
    struct Block {
        std::unique_ptr<Vertex[], BlockFree> data;
        size_t size = 0;
    };
    struct Step {
        enum Kind : uint8_t { Enable, Disable, Material, Colour, Normal, Draw } kind;
        uint32_t a = 0, b = 0; // cap; face and pname; mode and first block
        float value[4] = {};
        size_t first = 0, count = 0; // vertices of a draw, counted across blocks
    };
    struct Kept {
        std::vector<Step> steps;
        std::vector<Block> blocks;
        size_t vertices = 0;
        bool outOfMemory = false;
    };

    std::unordered_map<uint32_t, Kept> m_lists;
    Kept *m_open = nullptr;
    bool m_inBegin = false;
    uint32_t m_mode = 0;
    size_t m_first = 0;
    Vertex m_current = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {255, 255, 255, 255}};
    float m_colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t m_nextName = 1;
};
