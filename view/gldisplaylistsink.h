#pragma once
// Records the model compiler's commands into a display list of the current context.
#include "../document/glsink.h"

class GlDisplayListSink : public GlSink {
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
};

// The sink the viewer compiles model lists with.
GlDisplayListSink &ViewerGlSink();
