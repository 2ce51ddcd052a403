// Turns the model tables into one display list: fitted to 4 units, turned to
// y-up axes, coloured per face and lit with flat or crease-limited smooth
// normals. All arithmetic stays in float32 so lists come out bit-identical.
#include "quordoc.h"

#include <cmath>
#include <cstdlib>

uint8_t g_lastColour[3] = {0, 0, 0};

namespace {

GlSink *g_defaultSink = nullptr;

// Crease limit: a smoothed normal is only shared within 60 degrees (cos = 0.5).
constexpr float kCreaseCos = 0.5f;
constexpr double kTinySquare = 1e-10;
constexpr int kColourTolerance = 10;

const float kShininess[1] = {120.0f};
const float kSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};

// Faces may name vertices the table does not hold; those faces are never read.
bool FaceInTable(const ModelFace &face, int32_t vertexCount) {
    for (int32_t index : face.vertexIndex) {
        if (index < 0 || index >= vertexCount)
            return false;
    }
    return true;
}

bool CornerNormal(const ModelVertex *vertices, const ModelFace &face, float n[3]) {
    const ModelVertex &a = vertices[face.vertexIndex[0]];
    const ModelVertex &b = vertices[face.vertexIndex[1]];
    const ModelVertex &c = vertices[face.vertexIndex[2]];
    const float p0[3] = {a.x, a.y, a.z};
    const float p1[3] = {b.x, b.y, b.z};
    const float p2[3] = {c.x, c.y, c.z};
    return CQUORDoc::FaceNormal(p0, p1, p2, n);
}

// Merges each smooth face's normal into the running normal of its corners.
// Order matters: every step renormalises, as the lists have always been built.
void SmoothVertexNormals(const ModelVertex *vertices, const ModelFace *faces, int32_t faceCount,
                         int32_t vertexCount, float (*normals)[3]) {
    for (int32_t f = 0; f < faceCount; ++f) {
        const ModelFace &face = faces[f];
        float n[3];
        if (face.smooth != 1 || !FaceInTable(face, vertexCount) || !CornerNormal(vertices, face, n))
            continue;
        for (int32_t index : face.vertexIndex) {
            float *N = normals[index];
            const float d = VecDot(N, n);
            if (std::fabs(d) < kTinySquare) {
                N[0] = n[0];
                N[1] = n[1];
                N[2] = n[2];
            } else if (d > kCreaseCos) {
                VecAdd(N, n, N);
                CQUORDoc::NormalizeVector(N);
            } else if (d < -kCreaseCos) {
                VecSub(N, n, N);
                CQUORDoc::NormalizeVector(N);
            }
        }
    }
}

} // namespace

void SetDefaultGlSink(GlSink *sink) {
    g_defaultSink = sink;
}

GlSink *DefaultGlSink() {
    return g_defaultSink;
}

void VecSub(const float a[3], const float b[3], float out[3]) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

void VecAdd(const float a[3], const float b[3], float out[3]) {
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}

void VecScale(float s, const float v[3], float out[3]) {
    out[0] = s * v[0];
    out[1] = s * v[1];
    out[2] = s * v[2];
}

float VecDot(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void VecCross(const float a[3], const float b[3], float out[3]) {
    // Through temporaries: out may be a or b.
    const float x = a[1] * b[2] - b[1] * a[2];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - b[0] * a[1];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

bool CQUORDoc::NormalizeVector(float v[3]) {
    const float s = VecDot(v, v);
    if (s < kTinySquare)
        return false;
    const float inverse = 1.0f / std::sqrt(s);
    VecScale(inverse, v, v);
    return true;
}

bool CQUORDoc::FaceNormal(const float p0[3], const float p1[3], const float p2[3], float n[3]) {
    float e1[3];
    float e2[3];
    VecSub(p1, p0, e1);
    VecSub(p2, p0, e2);
    VecCross(e1, e2, n);
    return NormalizeVector(n);
}

bool CQUORDoc::ColourNearLast(uint8_t r, uint8_t g, uint8_t b) {
    if (std::abs(r - g_lastColour[0]) <= kColourTolerance &&
        std::abs(g - g_lastColour[1]) <= kColourTolerance &&
        std::abs(b - g_lastColour[2]) <= kColourTolerance)
        return true;
    g_lastColour[0] = r;
    g_lastColour[1] = g;
    g_lastColour[2] = b;
    return false;
}

float CQUORDoc::ComputeModelFit(float centre[3]) const {
    if (m_vertexCount < 1 || !m_vertices)
        return 1.0f;
    float lo[3] = {1e30f, 1e30f, 1e30f};
    float hi[3] = {-1e30f, -1e30f, -1e30f};
    for (int32_t i = 0; i < m_vertexCount; ++i) {
        const float p[3] = {m_vertices[i].x, m_vertices[i].y, m_vertices[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            if (p[axis] > hi[axis])
                hi[axis] = p[axis];
            if (p[axis] < lo[axis])
                lo[axis] = p[axis];
        }
    }
    float extent = hi[0] - lo[0];
    const float dy = hi[1] - lo[1];
    const float dz = hi[2] - lo[2];
    if (dy > extent)
        extent = dy;
    if (dz > extent)
        extent = dz;
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = (hi[axis] + lo[axis]) * 0.5f;
    // A model collapsed to one point (or all NaN) has no size to fit; draw it unscaled.
    if (!(extent > 0.0f))
        return 1.0f;
    return 4.0f / extent;
}

void CQUORDoc::CompileModelList() {
    if (GlSink *sink = DefaultGlSink())
        CompileModelList(*sink);
}

void CQUORDoc::CompileModelList(GlSink &sink) {
    if (m_faceCount <= 0 || !m_faces)
        return;
    float centre[3] = {0.0f, 0.0f, 0.0f};
    const float scale = ComputeModelFit(centre);

    // One entry even for an empty vertex table, so that failure means no memory.
    const size_t normalCount = m_vertexCount > 0 ? static_cast<size_t>(m_vertexCount) : 1;
    auto *normals = static_cast<float(*)[3]>(std::calloc(normalCount, sizeof(float[3])));
    if (!normals)
        return;
    const int32_t vertexCount = m_vertices ? m_vertexCount : 0;
    SmoothVertexNormals(m_vertices, m_faces, m_faceCount, vertexCount, normals);

    if (m_modelList > 0) {
        sink.DeleteList(static_cast<uint32_t>(m_modelList));
        m_modelList = 0;
    }
    const uint32_t list = sink.GenList();
    if (list == 0 || list > INT32_MAX) {
        std::free(normals);
        return;
    }
    m_modelList = static_cast<int32_t>(list);

    sink.NewList(list, glenum::COMPILE);
    sink.Enable(glenum::COLOR_MATERIAL);
    sink.Begin(glenum::TRIANGLES);
    sink.Materialfv(glenum::FRONT_AND_BACK, glenum::SHININESS, kShininess);
    sink.Materialfv(glenum::FRONT_AND_BACK, glenum::SPECULAR, kSpecular);
    for (int32_t f = 0; f < m_faceCount; ++f) {
        const ModelFace &face = m_faces[f];
        if (!FaceInTable(face, vertexCount))
            continue;
        if (!ColourNearLast(face.red, face.green, face.blue)) {
            const float rgba[4] = {face.red / 255.0f, face.green / 255.0f, face.blue / 255.0f, 1.0f};
            sink.Color4fv(rgba);
        }
        float n[3];
        if (!CornerNormal(m_vertices, face, n))
            continue;
        for (int32_t index : face.vertexIndex) {
            const float *N = normals[index];
            const float d = VecDot(N, n);
            if (face.smooth != 1 || std::fabs(d) < kCreaseCos)
                sink.Normal3f(n[0], n[2], -n[1]);
            else if (d < 0.0f)
                sink.Normal3f(-N[0], -N[2], N[1]);
            else
                sink.Normal3f(N[0], N[2], -N[1]);
            const ModelVertex &v = m_vertices[index];
            const float p[3] = {(v.x - centre[0]) * scale, (v.y - centre[1]) * scale,
                                (v.z - centre[2]) * scale};
            sink.Vertex3f(p[0], p[2], -p[1]);
        }
    }
    sink.End();
    sink.Disable(glenum::COLOR_MATERIAL);
    sink.EndList();
    std::free(normals);
}
