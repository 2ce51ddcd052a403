#pragma once
// The few GL commands the model compiler issues. Production records them into
// a display list; tests record them to see exactly what a list would hold.
#include <cstdint>

class GlSink {
public:
    virtual ~GlSink() = default;
    virtual uint32_t GenList() = 0; // a free list name, 0 when none can be had
    virtual void DeleteList(uint32_t list) = 0;
    virtual void NewList(uint32_t list, uint32_t mode) = 0;
    virtual void EndList() = 0;
    virtual void Enable(uint32_t cap) = 0;
    virtual void Disable(uint32_t cap) = 0;
    virtual void Begin(uint32_t mode) = 0;
    virtual void End() = 0;
    virtual void Materialfv(uint32_t face, uint32_t pname, const float *params) = 0;
    virtual void Color4fv(const float *rgba) = 0;
    virtual void Normal3f(float x, float y, float z) = 0;
    virtual void Vertex3f(float x, float y, float z) = 0;
};

// GL enumerants the compiler uses, so that the core needs no GL headers.
namespace glenum {
constexpr uint32_t COMPILE = 0x1300;
constexpr uint32_t COMPILE_AND_EXECUTE = 0x1301;
constexpr uint32_t COLOR_MATERIAL = 0x0B57;
constexpr uint32_t TRIANGLES = 0x0004;
constexpr uint32_t FRONT_AND_BACK = 0x0408;
constexpr uint32_t SHININESS = 0x1601;
constexpr uint32_t SPECULAR = 0x1202;
} // namespace glenum

// The sink CompileModelList() uses when given none; the GL layer installs its own.
// With none installed, compiling emits nothing.
void SetDefaultGlSink(GlSink *sink);
GlSink *DefaultGlSink();
