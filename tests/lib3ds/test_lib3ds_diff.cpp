// Differential test: for well-formed files, our reader and Debian's lib3ds must
// find the same meshes, vertices, faces and face colours.
#include "document/quordoc.h"
#include "tests/scratchdir.h"
#include "tools/3ds/writer3ds.h"

#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct MeshShape {
    std::string name;
    int gridW, gridH;
    std::vector<std::string> materials; // face i takes materials[i % size]
    bool mapping, smooth;
};

struct MaterialSpec {
    std::string name;
    uint8_t r, g, b;
    bool texture;
};

struct Shape {
    const char *name;
    std::vector<MaterialSpec> materials;
    std::vector<MeshShape> meshes;
    bool lightsAndCameras, keyframes;
};

void WriteMesh(Writer3ds &w, const MeshShape &m) {
    std::vector<float> xyz, uv;
    std::vector<uint16_t> abc;
    for (int y = 0; y <= m.gridH; ++y)
        for (int x = 0; x <= m.gridW; ++x) {
            xyz.insert(xyz.end(),
                       {0.5f * static_cast<float>(x), static_cast<float>(y), static_cast<float>(x * y)});
            uv.insert(uv.end(), {static_cast<float>(x), static_cast<float>(y)});
        }
    for (int y = 0; y < m.gridH; ++y)
        for (int x = 0; x < m.gridW; ++x) {
            const auto i = static_cast<uint16_t>(y * (m.gridW + 1) + x);
            const auto j = static_cast<uint16_t>(i + m.gridW + 1);
            abc.insert(abc.end(), {i, static_cast<uint16_t>(i + 1), j, static_cast<uint16_t>(i + 1),
                                   static_cast<uint16_t>(j + 1), j});
        }
    const size_t faces = abc.size() / 3;
    w.Begin(0x4000);
    w.Str(m.name);
    w.Begin(0x4100);
    w.VertexList(xyz);
    if (m.mapping)
        w.MappingList(uv);
    w.BeginFaceList(abc);
    for (size_t k = 0; k < m.materials.size(); ++k) {
        std::vector<uint16_t> list;
        for (size_t f = k; f < faces; f += m.materials.size())
            list.push_back(static_cast<uint16_t>(f));
        w.FaceMaterial(m.materials[k], list);
    }
    if (m.smooth)
        w.SmoothList(faces);
    w.End();
    w.End();
    w.End();
}

Writer3ds WriteShape(const Shape &s) {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {3, 0, 0, 0});
    w.Begin(0x3D3D);
    w.Leaf(0x3D3E, {3, 0, 0, 0});
    for (const MaterialSpec &m : s.materials) {
        w.Begin(0xAFFF);
        w.Begin(0xA000);
        w.Str(m.name);
        w.End();
        w.Color24(0xA010, 0, 0, 0);
        w.Color24(0xA020, m.r, m.g, m.b);
        w.Color24(0xA030, 255, 255, 255);
        if (m.texture)
            w.Map(0xA200, m.name + ".gif");
        w.End();
    }
    for (size_t i = 0; i < s.meshes.size(); ++i) {
        if (s.lightsAndCameras && i == 1) {
            w.Begin(0x4000);
            w.Str("Omni");
            w.Begin(0x4600);
            w.F32(1);
            w.F32(2);
            w.F32(3);
            w.End();
            w.End();
            w.Begin(0x4000);
            w.Str("Camera");
            w.Begin(0x4700);
            for (int k = 0; k < 8; ++k)
                w.F32(static_cast<float>(k));
            w.End();
            w.End();
        }
        WriteMesh(w, s.meshes[i]);
    }
    w.End();
    if (s.keyframes) {
        w.Begin(0xB000);
        w.Leaf(0xB00A, {5, 0, 'S', 'C', 'E', 'N', 'E', 0, 100, 0, 0, 0});
        w.End();
    }
    w.End();
    return w;
}

class AgreesWithLib3ds : public ::testing::TestWithParam<Shape> {};

TEST_P(AgreesWithLib3ds, OnMeshesVerticesFacesAndColours) {
    const Shape &shape = GetParam();
    const ScratchDir dir;
    const std::string path = dir.File(std::string(shape.name) + ".3ds");
    ASSERT_TRUE(WriteShape(shape).Save(path));

    CQUORDoc doc;
    doc.Read3dsFile(path);
    Lib3dsFile *file = lib3ds_file_load(path.c_str());
    ASSERT_NE(file, nullptr);

    // lib3ds keeps its meshes sorted by name; ours are in file order.
    int32_t vertexBase = 0, faceBase = 0;
    int meshes = 0;
    for (Lib3dsMesh *m = file->meshes; m; m = m->next)
        ++meshes;
    EXPECT_EQ(meshes, static_cast<int>(shape.meshes.size()));
    for (const MeshShape &mesh : shape.meshes) {
        SCOPED_TRACE(mesh.name);
        Lib3dsMesh *m = lib3ds_file_mesh_by_name(file, mesh.name.c_str());
        ASSERT_NE(m, nullptr);
        ASSERT_LE(vertexBase + static_cast<int32_t>(m->points), doc.m_vertexCount);
        ASSERT_LE(faceBase + static_cast<int32_t>(m->faces), doc.m_faceCount);
        for (Lib3dsDword p = 0; p < m->points; ++p) {
            const ModelVertex &v = doc.m_vertices[vertexBase + static_cast<int32_t>(p)];
            ASSERT_EQ(v.x, m->pointL[p].pos[0]);
            ASSERT_EQ(v.y, m->pointL[p].pos[1]);
            ASSERT_EQ(v.z, m->pointL[p].pos[2]);
        }
        for (Lib3dsDword f = 0; f < m->faces; ++f) {
            const Lib3dsFace &theirs = m->faceL[f];
            const ModelFace &ours = doc.m_faces[faceBase + static_cast<int32_t>(f)];
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(ours.vertexIndex[k], vertexBase + theirs.points[k]);
            uint8_t rgb[3] = {255, 255, 255};
            if (Lib3dsMaterial *mat =
                    theirs.material[0] ? lib3ds_file_material_by_name(file, theirs.material) : nullptr)
                for (int k = 0; k < 3; ++k)
                    rgb[k] = static_cast<uint8_t>(std::lround(mat->diffuse[k] * 255.0f));
            ASSERT_EQ(ours.red, rgb[0]) << "face " << f;
            ASSERT_EQ(ours.green, rgb[1]) << "face " << f;
            ASSERT_EQ(ours.blue, rgb[2]) << "face " << f;
        }
        vertexBase += static_cast<int32_t>(m->points);
        faceBase += static_cast<int32_t>(m->faces);
    }
    EXPECT_EQ(vertexBase, doc.m_vertexCount);
    EXPECT_EQ(faceBase, doc.m_faceCount);
    lib3ds_file_free(file);
}

const Shape kShapes[] = {
    {"single", {}, {{"tri", 1, 1, {}, false, false}}, false, false},
    {"materials",
     {{"Hull", 200, 200, 210, false}, {"Panel", 30, 40, 160, true}, {"Gold", 250, 200, 40, true}},
     {{"truss", 6, 3, {"Hull", "Panel"}, false, false},
      {"pod", 4, 4, {"Gold", "Hull", "Panel"}, true, false},
      {"plain", 2, 2, {}, false, false}},
     false,
     false},
    {"smoothing",
     {{"Skin", 10, 20, 30, false}},
     {{"a", 10, 10, {"Skin"}, true, true}, {"b", 3, 7, {}, false, true}, {"c", 1, 1, {"Skin"}, true, false}},
     false,
     true},
    {"mixed_objects",
     {{"M", 1, 2, 3, false}},
     {{"first", 2, 1, {"M"}, false, false}, {"second", 5, 2, {"M"}, true, true}},
     true,
     true},
    {"large", {{"Big", 90, 90, 90, false}}, {{"grid", 150, 100, {"Big"}, true, true}}, false, true},
};

INSTANTIATE_TEST_SUITE_P(Shapes, AgreesWithLib3ds, ::testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
