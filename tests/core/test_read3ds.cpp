#include "document/chunkfile.h"
#include "document/quordoc.h"
#include "framework/messages.h"
#include "tests/fuzz/corpus.h"
#include "tests/scratchdir.h"
#include "tools/3ds/writer3ds.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Build = std::function<void(Writer3ds &)>;

// A whole file: main chunk, editor chunk holding `editor`, then `afterEditor`
// still inside the main chunk.
Writer3ds File(const Build &editor, const Build &afterEditor = {}) {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    editor(w);
    w.End();
    if (afterEditor)
        afterEditor(w);
    w.End();
    return w;
}

void Material(Writer3ds &w, const std::string &name, uint8_t r, uint8_t g, uint8_t b,
              const Build &more = {}) {
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str(name);
    w.End();
    w.Color24(0xA020, r, g, b);
    if (more)
        more(w);
    w.End();
}

void Mesh(Writer3ds &w, const std::string &name, const std::vector<float> &xyz,
          const std::vector<uint16_t> &abc, const Build &faceSubChunks = {}, const Build &meshMore = {}) {
    w.Begin(0x4000);
    w.Str(name);
    w.Begin(0x4100);
    w.VertexList(xyz);
    if (meshMore)
        meshMore(w);
    w.BeginFaceList(abc);
    if (faceSubChunks)
        faceSubChunks(w);
    w.End();
    w.End();
    w.End();
}

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
const std::vector<float> kQuad = {0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1};

// A strip of `faces` triangles over faces + 2 vertices.
void Strip(size_t faces, std::vector<float> &xyz, std::vector<uint16_t> &abc) {
    xyz.clear();
    abc.clear();
    for (size_t i = 0; i < faces + 2; ++i) {
        xyz.push_back(static_cast<float>(i / 2));
        xyz.push_back(static_cast<float>(i % 2));
        xyz.push_back(0.0f);
    }
    for (size_t i = 0; i < faces; ++i) {
        abc.push_back(static_cast<uint16_t>(i));
        abc.push_back(static_cast<uint16_t>(i + 1));
        abc.push_back(static_cast<uint16_t>(i + 2));
    }
}

struct Result {
    std::unique_ptr<CQUORDoc> doc = std::make_unique<CQUORDoc>();
    std::vector<std::string> messages;
    CQUORDoc *operator->() const { return doc.get(); }
};

Result Read(const std::vector<uint8_t> &bytes) {
    Result r;
    RecordingMessageService recorder;
    ScopedMessageService scope(&recorder);
    Read3dsBytes(*r.doc, bytes.data(), bytes.size());
    r.messages = recorder.Texts();
    return r;
}

Result Read(const Writer3ds &w) {
    return Read(w.Bytes());
}

// What every read must leave behind, however damaged its file.
void ExpectConsistent(const CQUORDoc &doc) {
    EXPECT_EQ(doc.m_materials, nullptr);
    EXPECT_EQ(doc.m_materialCount, 0);
    ASSERT_GE(doc.m_vertexCount, 0);
    ASSERT_GE(doc.m_faceCount, 0);
    ASSERT_GE(doc.m_textureMapCount, 0);
    EXPECT_EQ(doc.m_vertices == nullptr, doc.m_vertexCount == 0);
    EXPECT_EQ(doc.m_faces == nullptr, doc.m_faceCount == 0);
    for (int32_t i = 0; i < doc.m_faceCount; ++i) {
        for (int32_t v : doc.m_faces[i].vertexIndex) {
            ASSERT_GE(v, 0) << "face " << i;
            ASSERT_LT(v, doc.m_vertexCount) << "face " << i;
        }
        if (doc.m_faces[i].textured) {
            ASSERT_LT(doc.m_faces[i].textureMap, doc.m_textureMapCount);
        }
    }
    for (int32_t i = 0; i < doc.m_textureMapCount; ++i)
        ASSERT_NE(std::memchr(doc.m_textureMaps[i].fileName, 0, sizeof doc.m_textureMaps[i].fileName),
                  nullptr);
}

void ExpectColour(const ModelFace &f, uint8_t r, uint8_t g, uint8_t b) {
    EXPECT_EQ(f.red, r);
    EXPECT_EQ(f.green, g);
    EXPECT_EQ(f.blue, b);
}

TEST(Read3ds, MergesObjectsIntoOneTableWithVertexBases) {
    const Writer3ds w = File([](Writer3ds &w) {
        Mesh(w, "first", kTriangle, {0, 1, 2});
        Mesh(w, "second", kQuad, {0, 1, 2, 0, 2, 3}, {}, [](Writer3ds &w) {
            w.MappingList({0.5f, 0.25f, 1, 0, 1, 1, 0, 1});
        });
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    EXPECT_TRUE(r.messages.empty());
    ASSERT_EQ(r->m_vertexCount, 7);
    ASSERT_EQ(r->m_faceCount, 3);
    EXPECT_EQ(r->m_faces[1].vertexIndex[0], 3);
    EXPECT_EQ(r->m_faces[1].vertexIndex[1], 4);
    EXPECT_EQ(r->m_faces[1].vertexIndex[2], 5);
    EXPECT_EQ(r->m_faces[2].vertexIndex[2], 6);
    EXPECT_FLOAT_EQ(r->m_vertices[5].x, 1.0f);
    EXPECT_FLOAT_EQ(r->m_vertices[5].y, 1.0f);
    EXPECT_FLOAT_EQ(r->m_vertices[5].z, 1.0f);
    // Mapping coordinates land on the second object's vertices; the first has none.
    EXPECT_FLOAT_EQ(r->m_vertices[3].u, 0.5f);
    EXPECT_FLOAT_EQ(r->m_vertices[3].v, 0.25f);
    EXPECT_FLOAT_EQ(r->m_vertices[0].u, 0.0f);
    EXPECT_FLOAT_EQ(r->m_vertices[0].v, 0.0f);
    for (int32_t i = 0; i < 3; ++i) {
        ExpectColour(r->m_faces[i], 255, 255, 255);
        EXPECT_EQ(r->m_faces[i].smooth, 0);
        EXPECT_EQ(r->m_faces[i].textured, 0);
    }
    EXPECT_EQ(r->m_faceBase, 1);
    EXPECT_EQ(r->m_vertexBase, 3);
}

TEST(Read3ds, FaceMaterialFindsOnlyMaterialsReadBefore) {
    const Writer3ds w = File([](Writer3ds &w) {
        Material(w, "Red", 200, 10, 20);
        Material(w, "Red", 1, 1, 1); // the first material of a name is the one found
        Mesh(w, "box", kQuad, {0, 1, 2, 0, 2, 3, 1, 2, 3}, [](Writer3ds &w) {
            w.FaceMaterial("Red", {0, 2});
            w.FaceMaterial("Blue", {1});
            w.FaceMaterial("red", {1}); // names are case-sensitive
        });
        Material(w, "Blue", 0, 0, 255);
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_faceCount, 3);
    ExpectColour(r->m_faces[0], 200, 10, 20);
    ExpectColour(r->m_faces[1], 255, 255, 255);
    ExpectColour(r->m_faces[2], 200, 10, 20);
    EXPECT_TRUE(r.messages.empty());
}

TEST(Read3ds, EmptyChunksAndAZeroLengthFaceMaterialListDoNotEndAWalk) {
    // A chunk of only its 6-byte header moves every walk on; a face-material list
    // is read by its contents, whatever its length says.
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {});
    w.Begin(0x3D3D);
    w.Leaf(0x3D3E, {});
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str("Gold");
    w.End();
    w.Leaf(0xA040, {});
    w.Color24(0xA020, 250, 200, 40);
    w.End();
    w.Leaf(0x0100, {});
    Mesh(
        w, "m", kQuad, {0, 1, 2, 0, 2, 3},
        [](Writer3ds &w) {
            const size_t at = w.Size();
            w.FaceMaterial("Gold", {1});
            w.PatchLength(at, 0);
            w.SmoothList(2);
        },
        [](Writer3ds &w) { w.Leaf(0x4160, {}); });
    w.Leaf(0x0100, {});
    Mesh(w, "n", kTriangle, {0, 1, 2});
    w.End();
    w.End();
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_vertexCount, 7);
    ASSERT_EQ(r->m_faceCount, 3);
    ExpectColour(r->m_faces[0], 255, 255, 255);
    ExpectColour(r->m_faces[1], 250, 200, 40);
    EXPECT_EQ(r->m_faces[0].smooth, 1);
    EXPECT_EQ(r->m_faces[2].vertexIndex[0], 4);
}

TEST(Read3ds, SubChunksAreReadByTheirContentsPastTheirParentsLength) {
    // Chunks whose length covers only their own data, with their sub-chunks
    // following as the next chunks: the sub-chunks are read all the same, and the
    // walks step over them afterwards.
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    const auto shortened = [&w](const Build &chunk, uint32_t length) {
        const size_t at = w.Size();
        chunk(w);
        w.PatchLength(at, length);
    };
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str("Gold");
    w.End();
    shortened([](Writer3ds &w) { w.Color24(0xA020, 250, 200, 40); }, 6);
    w.End();
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str("Skin");
    w.End();
    w.Color24(0xA020, 9, 8, 7);
    shortened([](Writer3ds &w) { w.Map(0xA200, "skin.gif"); }, 6);
    w.End();
    w.Begin(0x4000);
    w.Str("m");
    w.Begin(0x4100);
    w.VertexList(kQuad);
    shortened([](Writer3ds &w) { w.BeginFaceList({0, 1, 2, 0, 2, 3}), w.End(); }, 6 + 2 + 2 * 8);
    w.FaceMaterial("Gold", {1});
    w.FaceMaterial("Skin", {0});
    w.SmoothList(2);
    w.MappingList({0.5f, 0.25f, 1, 0, 1, 1, 0, 1}); // still this mesh's
    w.End();
    w.End();
    Mesh(w, "next", kTriangle, {0, 1, 2});
    w.End();
    w.End();

    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    EXPECT_TRUE(r.messages.empty());
    ASSERT_EQ(r->m_faceCount, 3);
    ExpectColour(r->m_faces[0], 9, 8, 7);
    ExpectColour(r->m_faces[1], 250, 200, 40);
    ASSERT_EQ(r->m_textureMapCount, 1);
    EXPECT_STREQ(r->m_textureMaps[0].fileName, "skin.gif");
    EXPECT_EQ(r->m_faces[0].textured, 1);
    EXPECT_EQ(r->m_faces[1].textured, 0);
    EXPECT_EQ(r->m_faces[0].smooth, 1);
    EXPECT_EQ(r->m_faces[1].smooth, 1);
    ASSERT_EQ(r->m_vertexCount, 7);
    EXPECT_FLOAT_EQ(r->m_vertices[0].u, 0.5f);
    EXPECT_FLOAT_EQ(r->m_vertices[3].v, 1.0f);
    EXPECT_EQ(r->m_faces[2].vertexIndex[0], 4);
    EXPECT_EQ(r->m_faces[2].smooth, 0);
    ExpectColour(r->m_faces[2], 255, 255, 255);
}

TEST(Read3ds, TextureMapRecordsFollowTheirMaterials) {
    const Writer3ds w = File([](Writer3ds &w) {
        Material(w, "Plain", 1, 2, 3);
        // The opacity map makes the record; the texture map after it names it.
        Material(w, "Skin", 9, 8, 7, [](Writer3ds &w) {
            w.Map(0xA210, "mask.gif");
            w.Map(0xA200, "panel.gif");
            w.Map(0xA220, "chrome.gif");
        });
        Material(w, "Bumpy", 4, 5, 6, [](Writer3ds &w) { w.Map(0xA230, "bump.gif"); });
        Mesh(w, "m", kQuad, {0, 1, 2, 0, 2, 3, 1, 2, 3}, [](Writer3ds &w) {
            w.FaceMaterial("Skin", {0, 1});
            w.FaceMaterial("Plain", {1}); // keeps the texture flag, takes the colour
            w.FaceMaterial("Bumpy", {2});
        });
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_textureMapCount, 2);
    EXPECT_STREQ(r->m_textureMaps[0].fileName, "panel.gif");
    EXPECT_EQ(r->m_textureMaps[0].hasFile, 1);
    EXPECT_STREQ(r->m_textureMaps[1].fileName, "");
    EXPECT_EQ(r->m_textureMaps[1].hasFile, 0);
    ASSERT_EQ(r->m_faceCount, 3);
    EXPECT_EQ(r->m_faces[0].textured, 1);
    EXPECT_EQ(r->m_faces[0].textureMap, 0);
    ExpectColour(r->m_faces[1], 1, 2, 3);
    EXPECT_EQ(r->m_faces[1].textured, 1);
    EXPECT_EQ(r->m_faces[2].textured, 1);
    EXPECT_EQ(r->m_faces[2].textureMap, 1);
}

TEST(Read3ds, SmoothingListMustMatchTheFaceCount) {
    std::vector<float> xyz;
    std::vector<uint16_t> abc;
    Strip(10, xyz, abc);
    for (const uint32_t length : {6u + 40u, 6u + 43u, 6u + 36u, 6u + 44u}) {
        const Writer3ds w = File([&](Writer3ds &w) {
            Material(w, "Green", 0, 255, 0);
            Mesh(w, "strip", xyz, abc, [&](Writer3ds &w) {
                const size_t at = w.Size();
                w.SmoothList(10, 0); // a group of 0 still counts as smooth
                w.PatchLength(at, length);
                w.FaceMaterial("Green", {0});
            });
        });
        const Result r = Read(w);
        ExpectConsistent(*r.doc);
        ASSERT_EQ(r->m_faceCount, 10) << length;
        const bool matches = (length - 6) / 4 == 10;
        for (int32_t i = 0; i < 10; ++i)
            EXPECT_EQ(r->m_faces[i].smooth, matches ? 1 : 0) << length;
        // The sub-chunks are consumed back to back, so the list after it is read
        // only when the smoothing list was accepted.
        EXPECT_EQ(r->m_faces[0].green, 255) << length;
        EXPECT_EQ(r->m_faces[0].red, matches ? 0 : 255) << length;
    }

    // One that the end of the file cuts short marks nothing either.
    const Writer3ds whole =
        File([&](Writer3ds &w) { Mesh(w, "strip", xyz, abc, [](Writer3ds &w) { w.SmoothList(10); }); });
    std::vector<uint8_t> cut = whole.Bytes();
    cut.pop_back();
    const Result r = Read(cut);
    ASSERT_EQ(r->m_faceCount, 10);
    for (int32_t i = 0; i < 10; ++i)
        EXPECT_EQ(r->m_faces[i].smooth, 0);
}

TEST(Read3ds, FloatColourLeavesNoDiffuseAndEndsTheBlock) {
    const Writer3ds w = File([](Writer3ds &w) {
        w.Begin(0xAFFF);
        w.Begin(0xA000);
        w.Str("Float");
        w.End();
        w.Begin(0xA020);
        w.Begin(0x0010);
        for (int i = 0; i < 3; ++i)
            w.F32(0.5f);
        w.End();
        w.End();
        w.Map(0xA200, "never.gif");
        w.End();
        Mesh(w, "m", kTriangle, {0, 1, 2}, [](Writer3ds &w) { w.FaceMaterial("Float", {0}); });
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    // Without a 24-bit diffuse colour the face looks like one without material.
    ExpectColour(r->m_faces[0], 255, 255, 255);
    EXPECT_EQ(r->m_textureMapCount, 0);
    EXPECT_EQ(r->m_faces[0].textured, 0);
}

TEST(Read3ds, ColourAndMapChunksBeforeAnyMaterialAreIgnored) {
    const Writer3ds w = File([](Writer3ds &w) {
        w.Begin(0xAFFF);
        w.Color24(0xA020, 1, 2, 3);
        w.Map(0xA200, "orphan.gif");
        w.End();
        Material(w, "Late", 7, 7, 7);
        w.Begin(0xAFFF); // a map block without a name fills no record
        w.Map(0xA200, "stray.gif");
        w.End();
        Mesh(w, "m", kTriangle, {0, 1, 2}, [](Writer3ds &w) { w.FaceMaterial("Late", {0}); });
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    EXPECT_EQ(r->m_textureMapCount, 0);
    ExpectColour(r->m_faces[0], 7, 7, 7);
}

TEST(Read3ds, BadFaceMaterialEntriesAreReportedAtMostTenTimesARead) {
    std::vector<float> xyz;
    std::vector<uint16_t> abc;
    Strip(4, xyz, abc);
    {
        const Writer3ds w = File([&](Writer3ds &w) {
            Material(w, "M", 10, 20, 30);
            Mesh(w, "m", xyz, abc, [](Writer3ds &w) { w.FaceMaterial("M", {0, 4, 3, 9, 65535}); });
        });
        const Result r = Read(w);
        EXPECT_EQ(r.messages, std::vector<std::string>(3, "Bad f "));
        ExpectColour(r->m_faces[0], 10, 20, 30);
        ExpectColour(r->m_faces[3], 10, 20, 30);
        ExpectColour(r->m_faces[1], 255, 255, 255);
    }
    {
        // 50 bad entries over two lists and two objects: ten boxes, and the good
        // entries after them still count.
        const Writer3ds w = File([&](Writer3ds &w) {
            Material(w, "M", 10, 20, 30);
            std::vector<uint16_t> bad(30, 7);
            Mesh(w, "a", xyz, abc, [&](Writer3ds &w) { w.FaceMaterial("M", bad); });
            bad.resize(20);
            bad.push_back(2);
            Mesh(w, "b", xyz, abc, [&](Writer3ds &w) { w.FaceMaterial("M", bad); });
        });
        const Result r = Read(w);
        EXPECT_EQ(r.messages, std::vector<std::string>(10, "Bad f "));
        ExpectColour(r->m_faces[6], 10, 20, 30);
        // The limit belongs to one read: the next read reports again.
        const Result again = Read(w);
        EXPECT_EQ(again.messages.size(), 10u);
    }
}

TEST(Read3ds, WalkCoversTheMainChunkBeyondTheEditor) {
    size_t lastObject = 0;
    const Writer3ds w = File(
        [](Writer3ds &w) {
            Mesh(w, "inside", kTriangle, {0, 1, 2});
        },
        [&](Writer3ds &w) {
            // Key-frame data is stepped over by its length, even when
            // its bytes look like an object.
            w.Begin(0xB000);
            Mesh(w, "hidden", kQuad, {0, 1, 2});
            w.End();
            // An object after the editor chunk is still in the walk.
            lastObject = w.Size();
            Mesh(w, "after", kQuad, {0, 1, 2, 1, 2, 3});
        });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    EXPECT_EQ(r->m_vertexCount, 7);
    EXPECT_EQ(r->m_faceCount, 3);

    // The main chunk's length bounds the walk, tested on each chunk's start.
    for (const size_t length : {lastObject + 1, lastObject}) {
        Writer3ds cut = w;
        cut.PatchLength(0, static_cast<uint32_t>(length));
        const Result c = Read(cut);
        EXPECT_EQ(c->m_vertexCount, length > lastObject ? 7 : 3);
    }
}

TEST(Read3ds, FilesThatAreNot3dsGiveNothingAndNoMessage) {
    Writer3ds good = File([](Writer3ds &w) { Mesh(w, "m", kTriangle, {0, 1, 2}); });
    std::vector<uint8_t> bytes = good.Bytes();
    bytes[1] = 0x4C;
    const Result r = Read(bytes);
    EXPECT_EQ(r->m_vertexCount, 0);
    EXPECT_EQ(r->m_faceCount, 0);
    EXPECT_TRUE(r.messages.empty());

    // Neither changes the tables of an earlier read, but each read starts its
    // vertex and face bases over.
    CQUORDoc doc;
    const Writer3ds twoObjects = File([](Writer3ds &w) {
        Mesh(w, "a", kTriangle, {0, 1, 2});
        Mesh(w, "b", kQuad, {0, 1, 2, 0, 2, 3});
    });
    Read3dsBytes(doc, twoObjects.Bytes().data(), twoObjects.Size());
    ASSERT_EQ(doc.m_vertexBase, 3);
    ASSERT_EQ(doc.m_faceBase, 1);
    RecordingMessageService recorder;
    ScopedMessageService scope(&recorder);
    doc.Read3dsFile("/nonexistent/station.3ds");
    EXPECT_EQ(doc.m_vertexBase, 0);
    EXPECT_EQ(doc.m_faceBase, 0);
    doc.Read3dsFile("/dev/zero"); // no size: read as empty, not forever
    ExpectConsistent(doc);
    EXPECT_EQ(doc.m_vertexCount, 7);
    EXPECT_EQ(doc.m_faceCount, 3);
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(Read3ds, ShortLengthsEndTheirWalk) {
    // A length below 6 would not move the walk on; each walk stops there.
    const auto withLength = [](uint16_t where, uint32_t length) {
        return File([=](Writer3ds &w) {
            Mesh(w, "a", kTriangle, {0, 1, 2}, [&](Writer3ds &w) {
                if (where == 0x4150) {
                    const size_t at = w.Size();
                    w.SmoothList(1);
                    w.PatchLength(at, length);
                }
            });
            const size_t at = w.Size();
            if (where == 0x4000) {
                Mesh(w, "b", kTriangle, {0, 1, 2});
                w.PatchLength(at, length);
            } else if (where == 0x4110) {
                w.Begin(0x4000);
                w.Str("b");
                w.Begin(0x4100);
                const size_t list = w.Size();
                w.VertexList(kTriangle);
                w.PatchLength(list, length);
                w.End();
                w.End();
            }
            Mesh(w, "c", kQuad, {0, 1, 2});
        });
    };
    for (uint32_t length : {0u, 5u}) {
        const Result editor = Read(withLength(0x4000, length));
        ExpectConsistent(*editor.doc);
        EXPECT_EQ(editor->m_vertexCount, 3);
        const Result mesh = Read(withLength(0x4110, length));
        ExpectConsistent(*mesh.doc);
        EXPECT_EQ(mesh->m_vertexCount, 3 + 4); // b stops before its vertices; c is read
        const Result smooth = Read(withLength(0x4150, length));
        EXPECT_EQ(smooth->m_faces[0].smooth, 0);
        EXPECT_EQ(smooth->m_vertexCount, 3 + 4);
    }
}

TEST(Read3ds, ClaimsBeyondTheFileReadOnlyWhatIsThere) {
    // Chunks that never end: every length points far past the end of the file.
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    w.Begin(0x4000);
    w.Str("huge");
    w.Begin(0x4100);
    w.Begin(0x4110);
    w.U16(65535); // but only two vertices follow
    for (float f : {1.f, 2.f, 3.f, 4.f, 5.f, 6.f})
        w.F32(f);
    for (size_t at : {0, 6, 12, 23, 29})
        w.PatchLength(at, 0xFFFFFFF0);
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_vertexCount, 2);
    EXPECT_FLOAT_EQ(r->m_vertices[1].z, 6.0f);

    // A face list claiming 4000 faces of which two and a bit are there. The editor
    // chunk's own length is never used.
    Writer3ds f;
    f.Begin(0x4D4D);
    f.Begin(0x3D3D);
    f.Begin(0x4000);
    f.Str("x");
    f.Begin(0x4100);
    f.VertexList(kTriangle);
    const size_t faces = f.Size();
    f.Begin(0x4120);
    f.U16(4000);
    for (uint16_t i : {0, 1, 2, 0, 2, 1, 0, 0, 2})
        f.U16(i);
    f.PatchLength(0, 0xFFFFFFFF);
    f.PatchLength(6, 0);
    f.PatchLength(12, 0xFFFFFF00);
    f.PatchLength(faces, 0xFFFFFF00);
    const Result g = Read(f);
    ExpectConsistent(*g.doc);
    ASSERT_EQ(g->m_faceCount, 2);
    EXPECT_EQ(g->m_faces[1].vertexIndex[0], 2);
}

TEST(Read3ds, OverlongNamesAreCutToTheirFieldsButMatchedWhole) {
    const std::string longName(40, 'n');
    const std::string longFile(200, 'f');
    const Writer3ds w = File([&](Writer3ds &w) {
        Material(w, longName, 1, 2, 3, [&](Writer3ds &w) { w.Map(0xA200, longFile); });
        Material(w, longName + "B", 4, 5, 6);
        Mesh(w, std::string(5000, 'o'), kQuad, {0, 1, 2, 0, 2, 3, 1, 2, 3}, [&](Writer3ds &w) {
            w.FaceMaterial(longName, {0});
            w.FaceMaterial(longName + "B", {1});
            w.FaceMaterial(longName.substr(0, 31), {2}); // what the record keeps is no name of it
        });
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_textureMapCount, 1);
    EXPECT_EQ(std::string(r->m_textureMaps[0].fileName), longFile.substr(0, 127));
    ExpectColour(r->m_faces[0], 1, 2, 3);
    EXPECT_EQ(r->m_faces[0].textured, 1);
    ExpectColour(r->m_faces[1], 4, 5, 6);
    EXPECT_EQ(r->m_faces[1].textured, 0);
    ExpectColour(r->m_faces[2], 255, 255, 255);
}

TEST(Read3ds, IndicesOutsideTheVertexTableAreDropped) {
    const Writer3ds w = File([](Writer3ds &w) {
        Material(w, "M", 50, 60, 70);
        // Faces 1 and 3 name vertex 4 of a 4-vertex object: dropped. The face
        // material list still addresses faces by their place in the file.
        Mesh(
            w, "m", kQuad, {0, 1, 2, 0, 1, 4, 1, 2, 3, 9, 0, 0, 3, 2, 1},
            [](Writer3ds &w) {
                w.FaceMaterial("M", {1, 2, 4});
                w.SmoothList(5);
            },
            [](Writer3ds &w) {
                w.MappingList({1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6});
            });
        Mesh(w, "next", kTriangle, {0, 1, 2});
    });
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_faceCount, 4);
    EXPECT_EQ(r->m_faces[1].vertexIndex[0], 1);
    ExpectColour(r->m_faces[0], 255, 255, 255);
    ExpectColour(r->m_faces[1], 50, 60, 70);
    ExpectColour(r->m_faces[2], 50, 60, 70);
    EXPECT_EQ(r->m_faces[2].vertexIndex[0], 3);
    EXPECT_EQ(r->m_faces[1].smooth, 1);
    EXPECT_EQ(r->m_faces[3].vertexIndex[0], 4); // the next object's face
    EXPECT_EQ(r->m_faces[3].smooth, 0);
    // The mapping list's extra entries had no vertex; the next object's are untouched.
    ASSERT_EQ(r->m_vertexCount, 7);
    EXPECT_FLOAT_EQ(r->m_vertices[3].u, 4.0f);
    EXPECT_FLOAT_EQ(r->m_vertices[4].u, 0.0f);
    EXPECT_TRUE(r.messages.empty());

    // All faces bad, each by naming the vertex just past the table in another
    // corner: the object adds no faces at all.
    const Result none = Read(File([](Writer3ds &w) {
        Mesh(w, "m", kTriangle, {3, 0, 1, 0, 3, 1, 0, 1, 3, 3, 4, 5});
    }));
    ExpectConsistent(*none.doc);
    EXPECT_EQ(none->m_faceCount, 0);

    // Behind another object's faces, the list still finds the faces it names.
    const Result later = Read(File([](Writer3ds &w) {
        Material(w, "M", 50, 60, 70);
        Mesh(w, "first", kTriangle, {0, 1, 2});
        Mesh(w, "m", kTriangle, {0, 1, 2, 0, 1, 9}, [](Writer3ds &w) { w.FaceMaterial("M", {0}); });
    }));
    ASSERT_EQ(later->m_faceCount, 2);
    ExpectColour(later->m_faces[0], 255, 255, 255);
    ExpectColour(later->m_faces[1], 50, 60, 70);
}

TEST(ChunkFile, ReadsValuesAcrossTheBufferEdgeAndNoticesAFileThatShrank) {
    std::vector<uint8_t> bytes(300000, 0);
    const size_t edge = ChunkFile::kBufferSize;
    for (size_t i = 0; i < 6; ++i)
        bytes[edge - 3 + i] = static_cast<uint8_t>(0x11 * (i + 1));
    const size_t name = 100000 + edge - 126; // 200 characters, 126 of them before a buffer's end
    std::fill_n(bytes.begin() + name, 200, 'n');
    bytes[199999] = 0xAB;
    const ScratchDir dir;
    const std::string path = dir.File("edge.bin");
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);

    ChunkFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.U8(), 0); // the first buffer ends at the edge
    file.Seek(edge - 3);
    EXPECT_EQ(file.U32(), 0x44332211u);
    EXPECT_EQ(file.U16(), 0x6655u);
    EXPECT_FALSE(file.AtEnd());

    // A field of 128 keeps 127 characters, also of a string the buffer's end splits.
    ChunkFile names;
    ASSERT_TRUE(names.Open(path));
    names.Seek(100000);
    EXPECT_EQ(names.U8(), 0);
    names.Seek(name);
    char field[128];
    names.String(field, sizeof field);
    EXPECT_EQ(std::string(field), std::string(127, 'n'));
    EXPECT_EQ(names.Tell(), name + 201);
    EXPECT_FALSE(ChunkFile().Open(dir.File("missing.bin")));

    // Cut short after it was opened: reading finds the new end and stops there,
    // with zeros for the bytes that are not there.
    ASSERT_EQ(truncate(path.c_str(), 200000), 0);
    file.Seek(199999); // beyond what is buffered
    EXPECT_EQ(file.U32(), 0xABu);
    EXPECT_TRUE(file.AtEnd());
    EXPECT_EQ(file.Size(), 200000u);
    EXPECT_EQ(file.Tell(), 200000u);
}

TEST(Read3ds, OverlappingObjectsDoNotReadTheSameChunksAgain) {
    // Object a's length ends inside its own mesh, where the editor walk finds a
    // second object b whose mesh walk would land on a's vertex list once more.
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    const size_t a = w.Size();
    w.Begin(0x4000);
    w.Str("a");
    w.Begin(0x4100);
    const size_t filler = w.Size();
    w.Begin(0x4160);
    w.Begin(0x4000); // b, inside a's filler chunk
    w.Str("");
    w.Begin(0x4100);
    w.PatchLength(w.Size() - 6, 6);
    w.PatchLength(filler + 6, 13);
    w.PatchLength(filler, 6 + 13);
    w.VertexList(kTriangle);
    w.PatchLength(a, static_cast<uint32_t>(filler + 6 - a));
    w.PatchLength(a + 8, 6 + 19 + 6 + 2 + 36);
    w.PatchLength(6, static_cast<uint32_t>(w.Size() - 6));
    w.PatchLength(0, static_cast<uint32_t>(w.Size()));
    const Result r = Read(w);
    ExpectConsistent(*r.doc);
    EXPECT_EQ(r->m_vertexCount, 3);
}

// Counts table growth requests and fails those of one size.
struct CountingRealloc {
    static inline size_t failBytes = 0;
    static inline int calls = 0;
    static void *Realloc(void *block, size_t bytes) {
        ++calls;
        return bytes == failBytes ? nullptr : std::realloc(block, bytes);
    }
};

TEST(Read3ds, TablesThatCannotGrowKeepTheirContents) {
    const Writer3ds w = File([](Writer3ds &w) {
        Material(w, "Tex", 1, 1, 1, [](Writer3ds &w) { w.Map(0xA200, "a.gif"); });
        Material(w, "Tex2", 3, 3, 3, [](Writer3ds &w) { w.Map(0xA200, "b.gif"); });
        Material(w, "Lost", 2, 2, 2);
        Mesh(w, "a", kTriangle, {0, 1, 2}, [](Writer3ds &w) {
            w.FaceMaterial("Tex", {0});
            w.FaceMaterial("Lost", {0});
        });
        Mesh(w, "b", kQuad, {0, 1, 2, 1, 2, 3});
        Mesh(w, "c", kQuad, {0, 1, 2, 1, 2, 3});
        Mesh(w, "d", kTriangle, {0, 2, 1});
    });
    struct Case {
        size_t bytes;
        std::vector<std::string> messages;
        int32_t vertices, faces, maps;
        int32_t lastFaceFirstVertex; // where d's face points, when d's lists were read
        uint8_t firstFaceGrey;       // Lost's colour on a's face, or Tex's without Lost
    };
    // Only the list that asked is lost: b and c ask for the same size and both
    // fail, with one message; d's smaller list still fits.
    const Case cases[] = {
        {7 * sizeof(ModelVertex), {"Out of Memory"}, 6, 2, 2, 3, 2}, // b's and c's vertices: their faces
                                                                     // dropped
        {3 * sizeof(ModelFace), {"Out of Memory"}, 14, 2, 2, 11, 2}, // b's and c's faces
        {1 * sizeof(ModelTextureMap), {"Out of Memory"}, 14, 6, 0, 11, 2}, // both map records
        {2 * sizeof(ModelMaterial), {}, 14, 6, 1, 11, 1}, // "Tex2" and "Lost": quietly missing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        CountingRealloc::failBytes = c.bytes;
        SetTableRealloc(&CountingRealloc::Realloc);
        const Result r = Read(w);
        SetTableRealloc(nullptr);
        ExpectConsistent(*r.doc);
        EXPECT_EQ(r.messages, c.messages);
        ASSERT_EQ(r->m_vertexCount, c.vertices);
        ASSERT_EQ(r->m_faceCount, c.faces);
        EXPECT_EQ(r->m_textureMapCount, c.maps);
        const ModelFace &last = r->m_faces[c.faces - 1];
        EXPECT_EQ(last.vertexIndex[0], c.lastFaceFirstVertex);
        EXPECT_EQ(last.vertexIndex[1], c.lastFaceFirstVertex + 2);
        EXPECT_FLOAT_EQ(r->m_vertices[c.lastFaceFirstVertex + 1].x, 1.0f);
        // a's face: the colour of its last material, Tex's map record when there is one.
        ExpectColour(r->m_faces[0], c.firstFaceGrey, c.firstFaceGrey, c.firstFaceGrey);
        EXPECT_EQ(r->m_faces[0].textured, c.maps > 0 ? 1 : 0);
    }
}

TEST(Read3ds, TablesGrowByHalfAgainNotByEachList) {
    // Growing to the exact size for every list would reallocate, and copy the
    // table, 2000 times per table here.
    constexpr int kPairs = 2000;
    CountingRealloc::failBytes = 0;
    CountingRealloc::calls = 0;
    SetTableRealloc(&CountingRealloc::Realloc);
    const Result r = Read(ManySmallLists(kPairs));
    SetTableRealloc(nullptr);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_vertexCount, kPairs);
    ASSERT_EQ(r->m_faceCount, kPairs);
    // Every list of a single vertex is read, and the face after it points at it.
    for (int i = 0; i < kPairs; ++i) {
        ASSERT_EQ(r->m_vertices[i].x, static_cast<float>(i)) << i;
        ASSERT_EQ(r->m_faces[i].vertexIndex[2], i) << i;
    }
    // Two tables, each growing by half again from one record, then trimmed.
    const double perTable = std::log(double{kPairs}) / std::log(1.5) + 4;
    EXPECT_LE(CountingRealloc::calls, 2 * perTable);
}

TEST(Read3ds, TablesFilledToTheirSizeAreNotReallocatedAgain) {
    // One list per table: each table is made at its exact size, and trimming it
    // to that size would only copy it again.
    CountingRealloc::failBytes = 0;
    CountingRealloc::calls = 0;
    SetTableRealloc(&CountingRealloc::Realloc);
    const Result r = Read(File([](Writer3ds &w) { Mesh(w, "m", kQuad, {0, 1, 2, 1, 2, 3}); }));
    SetTableRealloc(nullptr);
    ExpectConsistent(*r.doc);
    ASSERT_EQ(r->m_vertexCount, 4);
    ASSERT_EQ(r->m_faceCount, 2);
    EXPECT_EQ(CountingRealloc::calls, 2); // vertices and faces, once each
}

// A file with one of everything the reader acts on.
Writer3ds RichFile() {
    std::vector<float> xyz;
    std::vector<uint16_t> abc;
    Strip(6, xyz, abc);
    return File(
        [&](Writer3ds &w) {
            w.Leaf(0x3D3E, {3, 0, 0, 0});
            Material(w, "Hull", 90, 100, 110, [](Writer3ds &w) {
                w.Color24(0xA010, 1, 1, 1);
                w.Map(0xA210, "o.gif");
                w.Map(0xA200, "hull.gif");
            });
            Material(w, "Panel", 20, 30, 200, [](Writer3ds &w) { w.Map(0xA200, "p.gif"); });
            // A light and a camera: objects that are not meshes add nothing.
            w.Begin(0x4000);
            w.Str("lamp");
            w.Leaf(0x4600, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
            w.End();
            w.Begin(0x4000);
            w.Str("cam");
            w.Leaf(0x4700, std::vector<uint8_t>(32, 0));
            w.End();
            Mesh(
                w, "truss", xyz, abc,
                [](Writer3ds &w) {
                    w.FaceMaterial("Hull", {0, 1, 2});
                    w.FaceMaterial("Panel", {3, 5});
                    w.SmoothList(6);
                },
                [&](Writer3ds &w) { w.MappingList(std::vector<float>(2 * (xyz.size() / 3), 0.5f)); });
            Mesh(w, "pod", kQuad, {0, 1, 2, 0, 2, 3}, [](Writer3ds &w) { w.FaceMaterial("Panel", {1}); });
        },
        [](Writer3ds &w) {
            w.Leaf(0xB000, {1, 2, 3, 4});
        });
}

TEST(Read3ds, EveryTruncationAndSingleByteDamageStaysConsistent) {
    const std::vector<uint8_t> bytes = RichFile().Bytes();
    const Result full = Read(bytes);
    ExpectConsistent(*full.doc);
    ASSERT_EQ(full->m_vertexCount, 8 + 4);
    ASSERT_EQ(full->m_faceCount, 6 + 2);
    ASSERT_EQ(full->m_textureMapCount, 2);
    ASSERT_TRUE(full.messages.empty());
    ExpectColour(full->m_faces[7], 20, 30, 200);

    for (size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const Result r = Read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        ExpectConsistent(*r.doc);
        EXPECT_LE(r->m_vertexCount, full->m_vertexCount);
        EXPECT_LE(r->m_faceCount, full->m_faceCount);
        EXPECT_TRUE(r.messages.empty());
        // A file name the cut runs through is not kept in part.
        ASSERT_LE(r->m_textureMapCount, full->m_textureMapCount);
        for (int32_t i = 0; i < r->m_textureMapCount; ++i) {
            if (r->m_textureMaps[i].hasFile) {
                EXPECT_STREQ(r->m_textureMaps[i].fileName, full->m_textureMaps[i].fileName);
            }
        }
    }
    for (size_t at = 0; at < bytes.size(); ++at) {
        for (uint8_t value : {0x00, 0xFF, 0x7F}) {
            SCOPED_TRACE(testing::Message() << "byte " << at << " = " << int(value));
            std::vector<uint8_t> damaged = bytes;
            damaged[at] = value;
            const Result r = Read(damaged);
            ExpectConsistent(*r.doc);
            EXPECT_LE(r.messages.size(), 10u);
            for (const std::string &m : r.messages)
                EXPECT_EQ(m, "Bad f ");
        }
    }
}

TEST(Read3ds, FileReadMatchesMemoryReadAcrossBufferRefills) {
    // Several buffers' worth, with names of every length so that headers, strings
    // and list entries straddle the buffer's edges.
    std::vector<float> xyz;
    std::vector<uint16_t> abc;
    Strip(700, xyz, abc);
    const Writer3ds w = File([&](Writer3ds &w) {
        for (int i = 0; i < 40; ++i) {
            const std::string name =
                std::string(static_cast<size_t>(i % 13), static_cast<char>('a' + i % 26)) + std::to_string(i);
            Material(w, "m" + name, static_cast<uint8_t>(i), 1, 2,
                     [&](Writer3ds &w) { w.Map(0xA200, name + ".gif"); });
            Mesh(w, name, xyz, abc, [&](Writer3ds &w) {
                w.FaceMaterial("m" + name, {static_cast<uint16_t>(i), 699});
                if (i % 2)
                    w.SmoothList(700);
            });
        }
    });
    ASSERT_GT(w.Size(), 4 * ChunkFile::kBufferSize);
    const ScratchDir dir;
    const std::string path = dir.File("refill.3ds");
    ASSERT_TRUE(w.Save(path));

    const Result memory = Read(w);
    CQUORDoc file;
    file.Read3dsFile(path);
    ExpectConsistent(file);
    ASSERT_EQ(file.m_vertexCount, 40 * 702);
    ASSERT_EQ(file.m_faceCount, memory->m_faceCount);
    ASSERT_EQ(file.m_textureMapCount, 40);
    EXPECT_EQ(std::memcmp(file.m_vertices, memory->m_vertices, sizeof(ModelVertex) * 40 * 702), 0);
    EXPECT_EQ(std::memcmp(file.m_faces, memory->m_faces, sizeof(ModelFace) * 40 * 700), 0);
    EXPECT_EQ(std::memcmp(file.m_textureMaps, memory->m_textureMaps, sizeof(ModelTextureMap) * 40), 0);
    EXPECT_EQ(file.m_faces[39 * 700 + 699].red, 39);
    EXPECT_EQ(file.m_faces[39 * 700 + 1].smooth, 1);
    EXPECT_STREQ(file.m_textureMaps[12].fileName, "mmmmmmmmmmmm12.gif");

    // Reading leaves the file as it was.
    std::FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> after(w.Size() + 1);
    EXPECT_EQ(std::fread(after.data(), 1, after.size(), f), w.Size());
    std::fclose(f);
    after.resize(w.Size());
    EXPECT_EQ(after, w.Bytes());
}

TEST(Read3ds, HeadersAndEntriesAcrossTheFirstBufferEdgeReadAsInMemory) {
    // A padding mesh fills the first buffer so that the next chunk header starts
    // 1 to 6 bytes before its end: its id or its length then straddles the edge.
    const size_t edge = ChunkFile::kBufferSize;
    constexpr uint16_t kFaces = 8200;
    for (size_t shift = 1; shift <= 6; ++shift) {
        SCOPED_TRACE(shift);
        const auto build = [&](size_t nameLength, size_t vertices) {
            Writer3ds w;
            w.Begin(0x4D4D);
            w.Begin(0x3D3D);
            Material(w, "M", 9, 8, 7);
            w.Begin(0x4000);
            w.Str(std::string(nameLength, 'p'));
            w.Begin(0x4100);
            w.VertexList(std::vector<float>(3 * vertices, 0.5f));
            const size_t header = w.Size();
            // Long enough that three bytes of its length are not zero.
            std::vector<uint16_t> abc;
            for (uint16_t f = 0; f < kFaces; ++f)
                abc.insert(abc.end(), {static_cast<uint16_t>(f % 2), 2, 3});
            w.BeginFaceList(abc);
            w.FaceMaterial("M", {1, kFaces - 1});
            w.End();
            w.End();
            w.End();
            Mesh(w, "next", kTriangle, {0, 1, 2});
            w.End();
            w.End();
            return std::make_pair(w, header);
        };
        const size_t base = build(0, 0).second;
        const size_t target = edge - shift - base; // bytes of name and vertices to add
        const size_t vertices = target / 12;
        const auto [w, header] = build(target - 12 * vertices, vertices);
        ASSERT_EQ(header, edge - shift);
        const ScratchDir dir;
        const std::string path = dir.File("edge.3ds");
        ASSERT_TRUE(w.Save(path));
        CQUORDoc file;
        file.Read3dsFile(path);
        const Result memory = Read(w);
        for (const CQUORDoc *doc : {&file, memory.doc.get()}) {
            ASSERT_EQ(doc->m_vertexCount, static_cast<int32_t>(vertices) + 3);
            ASSERT_EQ(doc->m_faceCount, kFaces + 1);
            ExpectColour(doc->m_faces[0], 255, 255, 255);
            ExpectColour(doc->m_faces[1], 9, 8, 7);
            ExpectColour(doc->m_faces[kFaces - 1], 9, 8, 7);
            EXPECT_EQ(doc->m_faces[kFaces].vertexIndex[2], static_cast<int32_t>(vertices) + 2);
        }
    }
}

// What one read of a file costs, measured in a child process of its own so that
// nothing else this process did shows in its peak memory.
struct ReadCost {
    double seconds = -1;
    int64_t peakBytes = -1; // growth of the peak resident size during the read
    int32_t vertices = -1, faces = -1, textureMaps = -1;
    int messages = -1;
};

int64_t StatusBytes(const char *field) {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && std::sscanf(line + n, "%ld", &kib) == 1)
            break;
    std::fclose(f);
    return kib < 0 ? -1 : int64_t{kib} * 1024;
}

ReadCost MeasureRead(const std::string &path) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        ReadCost cost;
        // Restart the peak at the present size (Linux's clear_refs "5").
        std::FILE *refs = std::fopen("/proc/self/clear_refs", "w");
        const bool reset = refs && std::fputs("5", refs) >= 0 && std::fclose(refs) == 0;
        const int64_t before = StatusBytes("VmRSS:");
        RecordingMessageService recorder;
        ScopedMessageService scope(&recorder);
        auto *doc = new CQUORDoc;
        const auto start = std::chrono::steady_clock::now();
        doc->Read3dsFile(path);
        cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (reset && before > 0)
            cost.peakBytes = StatusBytes("VmHWM:") - before;
        cost.vertices = doc->m_vertexCount;
        cost.faces = doc->m_faceCount;
        cost.textureMaps = doc->m_textureMapCount;
        cost.messages = static_cast<int>(recorder.shown.size());
        const bool sent = write(pipeFds[1], &cost, sizeof cost) == static_cast<ssize_t>(sizeof cost);
        _exit(sent ? 0 : 1);
    }
    close(pipeFds[1]);
    ReadCost cost;
    if (child < 0 || read(pipeFds[0], &cost, sizeof cost) != static_cast<ssize_t>(sizeof cost))
        cost = {};
    close(pipeFds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return cost;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(Read3ds, HostileFilesCostTimeAndMemoryInProportionToTheirSize) {
    // Lists read no further than the end of the file, and a walk never reads a
    // chunk that starts in bytes its kind of walk has read before, so none of these
    // may cost more than a second or 64 MiB + 16 x its size, whatever its counts
    // claim.
    struct Case {
        const char *name;
        std::function<std::vector<uint8_t>()> recipe;
        double seconds;
        int32_t vertices, faces, textureMaps;
        int messages;
    };
    const Case cases[] = {
        // The first claiming list takes the rest of the file as its 8,332 vertices;
        // the walk steps over the headers it took.
        {"vertex lists in each other's data, 100 KB", [] { return OverlappingVertexLists(12500); }, 1.0,
         3 + 8332, 1, 0, 0},
        // The first takes the next 65,535 headers as faces; the one after those
        // finds 63 more before the end.
        {"face lists over 16,673 vertices, 725 KB", [] { return OverlappingFaceLists(16673, 65600); }, 1.0,
         16673, 65535 + 63, 0, 0},
        {"a million objects with empty names, 7 MB", [] { return ManyObjects(1000000); }, 0.25, 0, 0, 0, 0},
        {"40,000 materials and face lists naming none, 1.9 MB", [] { return ManyFaceMaterialLists(40000); },
         1.0, 3, 1, 0, 0},
        // Tables grow with room to spare, or each list would copy its whole table.
        {"200,000 one-vertex and one-face lists, 7 MB", [] { return ManySmallLists(200000); }, 1.0, 200000,
         200000, 0, 0},
        // The 16-bit index caps the map table: one message, then no more maps.
        {"40,000 materials with texture maps, 1.8 MB", [] { return ManyTextureMaps(40000); }, 1.0, 0, 0,
         32767, 1},
        // Only the first walk of each kind may step over the chunks; the rest end.
        {"objects and materials inside each other, 3.1 MB", [] { return ChainedWalks(100000); }, 1.0, 0, 0, 0,
         0},
    };
    // The sanitizers slow everything down.
    const double slowdown = kSanitized ? 10.0 : 1.0;
    const ScratchDir dir;
    const std::string path = dir.File("hostile.3ds");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = c.recipe();
        std::FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        ASSERT_EQ(std::fclose(f), 0);

        const ReadCost cost = MeasureRead(path);
        std::printf("  %-55s %8zu bytes: %7.3f s, peak +%6.1f MiB\n", c.name, bytes.size(), cost.seconds,
                    static_cast<double>(cost.peakBytes) / (1 << 20));
        ASSERT_GE(cost.seconds, 0.0) << "the reading child failed";
        EXPECT_LT(cost.seconds, c.seconds * slowdown);
        ASSERT_GE(cost.peakBytes, 0) << "peak memory cannot be measured here";
        EXPECT_LT(cost.peakBytes, (int64_t{64} << 20) + 16 * static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(cost.vertices, c.vertices);
        EXPECT_EQ(cost.faces, c.faces);
        EXPECT_EQ(cost.textureMaps, c.textureMaps);
        EXPECT_EQ(cost.messages, c.messages);
    }
}

} // namespace
