#include "meshsink.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace {
constexpr size_t kHugePage = 2 * 1024 * 1024;

uint8_t ColourByte(float c) {
    if (!(c > 0.0f)) // also NaN
        return 0;
    return c >= 1.0f ? 255 : static_cast<uint8_t>(std::lrint(c * 255.0f));
}

int16_t NormalShort(float n) {
    return static_cast<int16_t>(std::lrint(std::clamp(n, -1.0f, 1.0f) * 32767.0f));
}
} // namespace

MeshSink::MeshSink(const uint8_t colour[3]) : colour_{colour[0], colour[1], colour[2], 255} {}

MeshSink::~MeshSink() {
    if (block_)
        munmap(block_, blockBytes_);
}

void MeshSink::Reserve(size_t vertices) {
    if (vertices <= capacity_)
        return;
    if (vertices > (SIZE_MAX - 2 * kHugePage) / sizeof(MeshVertex))
        throw std::bad_alloc();
    // A big model's array is written once, front to back: on huge pages that costs
    // a few hundred page faults instead of tens of thousands.
    const size_t bytes = vertices * sizeof(MeshVertex) + kHugePage;
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    madvise(reinterpret_cast<void *>(aligned), bytes - (aligned - reinterpret_cast<uintptr_t>(block)),
            MADV_HUGEPAGE);
    auto *moved = reinterpret_cast<MeshVertex *>(aligned);
    if (count_ + pendingCount_ > 0)
        std::memcpy(moved, vertices_, (count_ + pendingCount_) * sizeof(MeshVertex));
    if (block_)
        munmap(block_, blockBytes_);
    block_ = block;
    blockBytes_ = bytes;
    vertices_ = moved;
    capacity_ = vertices;
}

void MeshSink::Begin(uint32_t mode) {
    inTriangles_ = mode == glenum::TRIANGLES;
    pendingCount_ = 0;
}

void MeshSink::End() {
    inTriangles_ = false;
    pendingCount_ = 0;
}

void MeshSink::Materialfv(uint32_t, uint32_t pname, const float *params) {
    if (pname == glenum::SHININESS)
        shininess_ = std::isfinite(params[0]) ? std::clamp(params[0], 0.0f, 128.0f) : 0.0f;
    else if (pname == glenum::SPECULAR)
        std::copy(params, params + 4, specular_);
}

void MeshSink::Color4fv(const float *rgba) {
    // Alpha stays opaque: the picture's alpha says where the model is.
    for (int i = 0; i < 3; ++i)
        colour_[i] = ColourByte(rgba[i]);
}

void MeshSink::Normal3f(float x, float y, float z) {
    // Models with coordinates near the float limits give overflowing normals; such
    // a face is still drawn, lit as if it faced up.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        x = 0.0f;
        y = 1.0f;
        z = 0.0f;
    }
    normal_[0] = NormalShort(x);
    normal_[1] = NormalShort(y);
    normal_[2] = NormalShort(z);
}

void MeshSink::Vertex3f(float x, float y, float z) {
    if (!inTriangles_)
        return;
    if (count_ + pendingCount_ >= capacity_)
        Reserve(std::max<size_t>(capacity_ * 2, 3 * 1024));
    vertices_[count_ + pendingCount_] = MeshVertex{
        {x, y, z}, {normal_[0], normal_[1], normal_[2]}, {colour_[0], colour_[1], colour_[2], colour_[3]}};
    if (++pendingCount_ < 3)
        return;
    pendingCount_ = 0;
    for (size_t i = count_; i < count_ + 3; ++i) {
        for (float c : vertices_[i].position) {
            if (!std::isfinite(c))
                return;
        }
    }
    count_ += 3;
}
