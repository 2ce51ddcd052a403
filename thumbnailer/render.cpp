#include "render.h"

#include "tools/common/offscreengl.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace {
// Framebuffer objects come from GL 3.0, ARB_framebuffer_object or
// EXT_framebuffer_object, with the same enumerants; only the entry points' names differ.
struct FramebufferApi {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage;
};

template <class F> bool Load(const OffscreenGl &gl, F &fn, const char *name, const char *suffix) {
    const std::string full = std::string(name) + suffix;
    fn = reinterpret_cast<F>(gl.Proc(full.c_str()));
    return fn != nullptr;
}

bool LoadFramebufferApi(const OffscreenGl &gl, FramebufferApi &api, std::string &error) {
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    const bool core = (version && std::atoi(version) >= 3) ||
                      OffscreenGl::HasExtension(extensions, "GL_ARB_framebuffer_object");
    if (!core && !OffscreenGl::HasExtension(extensions, "GL_EXT_framebuffer_object")) {
        error = std::string("OpenGL ") + (version ? version : "?") + " has no framebuffer objects";
        return false;
    }
    const char *suffix = core ? "" : "EXT";
    if (!Load(gl, api.GenFramebuffers, "glGenFramebuffers", suffix) ||
        !Load(gl, api.DeleteFramebuffers, "glDeleteFramebuffers", suffix) ||
        !Load(gl, api.BindFramebuffer, "glBindFramebuffer", suffix) ||
        !Load(gl, api.FramebufferRenderbuffer, "glFramebufferRenderbuffer", suffix) ||
        !Load(gl, api.CheckFramebufferStatus, "glCheckFramebufferStatus", suffix) ||
        !Load(gl, api.GenRenderbuffers, "glGenRenderbuffers", suffix) ||
        !Load(gl, api.DeleteRenderbuffers, "glDeleteRenderbuffers", suffix) ||
        !Load(gl, api.BindRenderbuffer, "glBindRenderbuffer", suffix) ||
        !Load(gl, api.RenderbufferStorage, "glRenderbufferStorage", suffix)) {
        error = "the framebuffer object functions cannot be found";
        return false;
    }
    return true;
}

// A bound framebuffer with a colour and a depth renderbuffer, freed with the object.
class Framebuffer {
public:
    explicit Framebuffer(const FramebufferApi &api) : api_(api) {}
    ~Framebuffer() {
        api_.BindFramebuffer(GL_FRAMEBUFFER, 0);
        api_.DeleteRenderbuffers(2, buffers_);
        api_.DeleteFramebuffers(1, &framebuffer_);
    }
    Framebuffer(const Framebuffer &) = delete;
    Framebuffer &operator=(const Framebuffer &) = delete;

    bool Make(int size) {
        api_.GenFramebuffers(1, &framebuffer_);
        api_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        api_.GenRenderbuffers(2, buffers_);
        const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
        const GLenum attachments[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
        for (int i = 0; i < 2; ++i) {
            api_.BindRenderbuffer(GL_RENDERBUFFER, buffers_[i]);
            api_.RenderbufferStorage(GL_RENDERBUFFER, formats[i], size, size);
            api_.FramebufferRenderbuffer(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER, buffers_[i]);
        }
        return api_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

private:
    const FramebufferApi &api_;
    GLuint framebuffer_ = 0;
    GLuint buffers_[2] = {0, 0};
};

// Drawing at twice the size and averaging 2 x 2 pixels antialiases the edges for
// little more than the cost of reading back four times the pixels: on a software
// renderer with a million faces far cheaper than multisampling.
constexpr int kMaxSupersampledSize = 1024;
// Small pictures are drawn at least this many pixels across, as many as the usual
// 128-pixel thumbnail, and averaged down further: a few samples per side would
// miss a model whose parts are thin or spaced apart (a 1 x 1 picture drawn at
// 2 x 2 might find only the gaps between them).
constexpr int kMinDrawnSize = 256;
// Vertices per draw call, a multiple of 3 so that no triangle is split.
constexpr size_t kDrawBatch = 3 * 256 * 1024;

void SetUpLighting(const MeshSink &mesh) {
    // Set with an identity model-view matrix, so the light is fixed to the eye:
    // from the upper left, a little in front.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat direction[4] = {-0.45f, 0.65f, 0.62f, 0.0f};
    const GLfloat diffuse[4] = {0.75f, 0.75f, 0.75f, 1.0f};
    const GLfloat specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat ambient[4] = {0.32f, 0.32f, 0.32f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    // Models often mix windings; a face seen from behind is lit as its front would be.
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, mesh.Shininess());
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, mesh.Specular());
    glShadeModel(GL_SMOOTH);
}

void DrawMesh(const MeshSink &mesh) {
    const auto *base = reinterpret_cast<const uint8_t *>(mesh.Vertices());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), base + offsetof(MeshVertex, position));
    glNormalPointer(GL_SHORT, sizeof(MeshVertex), base + offsetof(MeshVertex, normal));
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(MeshVertex), base + offsetof(MeshVertex, colour));
    const size_t total = mesh.VertexCount();
    for (size_t first = 0; first < total; first += kDrawBatch) {
        const size_t count = std::min(kDrawBatch, total - first);
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first), static_cast<GLsizei>(count));
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Averages `factor` x `factor` blocks of the drawn picture (rows bottom first, as
// GL reads them) into the thumbnail (top first). The background is (0, 0, 0, 0), so
// the sums are premultiplied by coverage; PNG wants straight alpha. Alpha is
// rounded up, so that a pixel any face touches is never wholly transparent and
// nothing drawn vanishes from a small picture.
void ScaleDown(const std::vector<uint8_t> &drawn, int factor, int size, std::vector<uint8_t> &rgba) {
    const size_t drawnRow = static_cast<size_t>(size) * factor * 4;
    const unsigned samples = static_cast<unsigned>(factor * factor);
    rgba.assign(static_cast<size_t>(size) * size * 4, 0);
    uint8_t *out = rgba.data();
    for (int y = 0; y < size; ++y) {
        const uint8_t *bottom = drawn.data() + static_cast<size_t>(size - 1 - y) * factor * drawnRow;
        for (int x = 0; x < size; ++x, out += 4) {
            uint64_t sum[4] = {0, 0, 0, 0}; // up to 256 x 256 samples of 255 each
            for (int j = 0; j < factor; ++j) {
                const uint8_t *p = bottom + j * drawnRow + static_cast<size_t>(x) * factor * 4;
                for (int i = 0; i < factor * 4; ++i)
                    sum[i % 4] += p[i];
            }
            if (sum[3] == 0)
                continue;
            out[3] = static_cast<uint8_t>((sum[3] + samples - 1) / samples);
            // colour = sum / (sum of alpha / 255), rounded
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(std::min<uint64_t>(255, (sum[c] * 255 + sum[3] / 2) / sum[3]));
        }
    }
}
} // namespace

bool RenderThumbnail(const OffscreenGl &gl, const MeshSink &mesh, const ViewFit &fit, int size,
                     std::vector<uint8_t> &rgba, std::string &error) {
    FramebufferApi api{};
    if (!LoadFramebufferApi(gl, api, error))
        return false;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (size > maxSize) {
        error = "this OpenGL draws at most " + std::to_string(maxSize) + " pixels across";
        return false;
    }
    int factor = 1;
    if (size <= kMaxSupersampledSize)
        factor = std::max(2, (kMinDrawnSize + size - 1) / size);
    while (factor > 1 && size * factor > maxSize)
        --factor;
    const int drawnSize = size * factor;
    Framebuffer target(api);
    if (!target.Make(drawnSize)) {
        error =
            "cannot make a framebuffer of " + std::to_string(drawnSize) + " x " + std::to_string(drawnSize);
        return false;
    }

    glViewport(0, 0, drawnSize, drawnSize);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(fit.projection);
    SetUpLighting(mesh);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(fit.modelView);
    DrawMesh(mesh);

    std::vector<uint8_t> drawn(static_cast<size_t>(drawnSize) * drawnSize * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, drawnSize, drawnSize, GL_RGBA, GL_UNSIGNED_BYTE, drawn.data());
    const GLenum status = glGetError();
    if (status != GL_NO_ERROR) {
        char text[64];
        std::snprintf(text, sizeof text, "OpenGL error 0x%04x while drawing", static_cast<unsigned>(status));
        error = status == GL_OUT_OF_MEMORY ? "OpenGL ran out of memory" : text;
        return false;
    }
    ScaleDown(drawn, factor, size, rgba);
    return true;
}
