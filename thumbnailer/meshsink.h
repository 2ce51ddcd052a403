#pragma once
// Collects the model compiler's GL commands into one interleaved vertex array, so
// that the whole model goes to GL in a few glDrawArrays calls instead of millions
// of immediate-mode calls or a display list GL would have to build first.
#include "document/glsink.h"

#include <cstddef>
#include <cstdint>

struct MeshVertex {
    float position[3];
    int16_t normal[3]; // unit normal, scaled to the full short range (GL normalises it back)
    uint8_t colour[4];
};
static_assert(sizeof(MeshVertex) == 24, "MeshVertex is meant to be packed tightly");

class MeshSink : public GlSink {
public:
    // `colour` is the colour in force before the first colour command: the compiler
    // leaves out the colour of faces that match the last colour it emitted.
    explicit MeshSink(const uint8_t colour[3]);
    ~MeshSink() override;
    MeshSink(const MeshSink &) = delete;
    MeshSink &operator=(const MeshSink &) = delete;

    // Makes room for this many vertices at once (three for every face is always
    // enough). Throws std::bad_alloc when there is no memory for them.
    void Reserve(size_t vertices);

    uint32_t GenList() override { return 1; }
    void DeleteList(uint32_t) override {}
    void NewList(uint32_t, uint32_t) override {}
    void EndList() override {}
    void Enable(uint32_t) override {}
    void Disable(uint32_t) override {}
    void Begin(uint32_t mode) override;
    void End() override;
    void Materialfv(uint32_t face, uint32_t pname, const float *params) override;
    void Color4fv(const float *rgba) override;
    void Normal3f(float x, float y, float z) override;
    void Vertex3f(float x, float y, float z) override;

    // Whole triangles only; one with a non-finite corner is dropped.
    const MeshVertex *Vertices() const { return vertices_; }
    size_t VertexCount() const { return count_; }
    float Shininess() const { return shininess_; }
    const float *Specular() const { return specular_; }

private:
    MeshVertex *vertices_ = nullptr; // in `block_`
    size_t count_ = 0;               // whole triangles' vertices
    size_t capacity_ = 0;
    void *block_ = nullptr;
    size_t blockBytes_ = 0;
    int pendingCount_ = 0; // corners of the triangle being given, stored past count_
    bool inTriangles_ = false;
    int16_t normal_[3] = {0, 0, 32767};
    uint8_t colour_[4];
    float shininess_ = 0.0f;
    float specular_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};
