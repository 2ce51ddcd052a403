#include "document/quordoc.h"
#include "document/recordingsink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Point {
    float x, y, z;
};

struct Tri {
    int32_t a, b, c;
    uint8_t r = 255, g = 255, bl = 255;
    int32_t smooth = 0;
};

// Fills the tables the way the reader leaves them: exact-size blocks from malloc.
void Fill(CQUORDoc &doc, const std::vector<Point> &points, const std::vector<Tri> &tris) {
    doc.FreeModel();
    doc.m_vertexCount = static_cast<int32_t>(points.size());
    doc.m_vertices = static_cast<ModelVertex *>(std::malloc(points.size() * sizeof(ModelVertex)));
    for (size_t i = 0; i < points.size(); ++i)
        doc.m_vertices[i] = {points[i].x, points[i].y, points[i].z, 0.0f, 0.0f};
    doc.m_faceCount = static_cast<int32_t>(tris.size());
    doc.m_faces = static_cast<ModelFace *>(std::malloc(tris.size() * sizeof(ModelFace)));
    for (size_t i = 0; i < tris.size(); ++i) {
        const Tri &t = tris[i];
        doc.m_faces[i] = {{t.a, t.b, t.c}, t.r, t.g, t.bl, 0, 0, t.smooth};
    }
}

class ModelList : public ::testing::Test {
protected:
    void SetUp() override { std::memset(g_lastColour, 0, sizeof g_lastColour); }

    std::vector<GlCommand> Normals() const { return sink.Of(GlOp::Normal3f); }
    std::vector<GlCommand> Vertices() const { return sink.Of(GlOp::Vertex3f); }

    CQUORDoc doc;
    RecordingSink sink;
};

// Two triangles over the shared edge (0,0,0)-(0,1,0); the second is folded up by
// the given angle about that edge. Both are counter-clockwise from above (+z).
std::vector<Point> Fold(float degrees) {
    const float a = degrees * 3.14159265f / 180.0f;
    return {{0, 0, 0}, {0, 1, 0}, {-1, 0.5f, 0}, {std::cos(a), 0.5f, std::sin(a)}};
}

void ExpectNear3(const GlCommand &c, float x, float y, float z, const char *what) {
    EXPECT_NEAR(c.value[0], x, 1e-5f) << what;
    EXPECT_NEAR(c.value[1], y, 1e-5f) << what;
    EXPECT_NEAR(c.value[2], z, 1e-5f) << what;
}

// The model turned a quarter clockwise about file z: file (x, y, z) goes to (y, -x, z).
std::vector<Point> QuarterTurn(std::vector<Point> points) {
    for (Point &p : points)
        p = {p.y, -p.x, p.z};
    return points;
}

// Expects the list normal (x, y, z) of the unturned model, or where the quarter
// turn takes it: file (x, y, z) is list (x, z, -y), so list (x, y, z) goes to (-z, y, x).
void ExpectListNormal(const GlCommand &c, float x, float y, float z, bool turned, const char *what) {
    if (turned)
        ExpectNear3(c, -z, y, x, what);
    else
        ExpectNear3(c, x, y, z, what);
}

} // namespace

TEST(VectorHelpers, CrossFollowsRightHandRuleAndMayOverwriteItsInput) {
    float a[3] = {1, 0, 0};
    const float b[3] = {0, 1, 0};
    VecCross(a, b, a);
    EXPECT_EQ(a[0], 0.0f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[2], 1.0f);
    float c[3] = {2, 3, 4};
    const float d[3] = {5, 6, 7};
    VecCross(c, d, c);
    EXPECT_EQ(c[0], 3 * 7 - 6 * 4);
    EXPECT_EQ(c[1], 4 * 5 - 2 * 7);
    EXPECT_EQ(c[2], 2 * 6 - 5 * 3);
}

TEST(VectorHelpers, NormalizeRefusesTinyVectorsAndLeavesThemAlone) {
    float tiny[3] = {1e-6f, 0, 0};
    EXPECT_FALSE(CQUORDoc::NormalizeVector(tiny));
    EXPECT_EQ(tiny[0], 1e-6f);
    float v[3] = {3, 0, 4};
    ASSERT_TRUE(CQUORDoc::NormalizeVector(v));
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);
}

TEST(VectorHelpers, FaceNormalFacesTheCounterClockwiseSideAndRejectsDegenerates) {
    const float p0[3] = {0, 0, 0}, p1[3] = {1, 0, 0}, p2[3] = {0, 1, 0};
    float n[3];
    ASSERT_TRUE(CQUORDoc::FaceNormal(p0, p1, p2, n));
    EXPECT_FLOAT_EQ(n[2], 1.0f);
    ASSERT_TRUE(CQUORDoc::FaceNormal(p0, p2, p1, n));
    EXPECT_FLOAT_EQ(n[2], -1.0f);
    EXPECT_FALSE(CQUORDoc::FaceNormal(p0, p1, p1, n));
    const float q[3] = {2, 0, 0};
    EXPECT_FALSE(CQUORDoc::FaceNormal(p0, p1, q, n)) << "collinear corners";
}

TEST_F(ModelList, FitsLongestSideToFourUnitsCentredAndTurnedToYUp) {
    // 10 x 2 x 1 box away from the origin; only two of its triangles are needed.
    Fill(doc, {{0, -3, 5}, {10, -3, 5}, {10, -1, 6}, {0, -1, 6}}, {{0, 1, 2}, {0, 2, 3}});
    float centre[3] = {};
    EXPECT_FLOAT_EQ(doc.ComputeModelFit(centre), 0.4f);
    EXPECT_FLOAT_EQ(centre[0], 5.0f);
    EXPECT_FLOAT_EQ(centre[1], -2.0f);
    EXPECT_FLOAT_EQ(centre[2], 5.5f);

    doc.CompileModelList(sink);
    const auto v = Vertices();
    ASSERT_EQ(v.size(), 6u);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (const GlCommand &c : v) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::fmin(lo[k], c.value[k]);
            hi[k] = std::fmax(hi[k], c.value[k]);
        }
    }
    EXPECT_NEAR(lo[0], -2.0f, 1e-6f);
    EXPECT_NEAR(hi[0], 2.0f, 1e-6f);
    EXPECT_NEAR(hi[1] - lo[1], 0.4f, 1e-6f) << "file z becomes list y";
    EXPECT_NEAR(hi[2] - lo[2], 0.8f, 1e-6f) << "file y becomes list z";
    EXPECT_NEAR(lo[1] + hi[1], 0.0f, 1e-6f);
    EXPECT_NEAR(lo[2] + hi[2], 0.0f, 1e-6f);
    // File corner (10, -3, 5) sits at +x, low z, most negative y: list (2, -0.2, +0.4).
    ExpectNear3(v[1], 2.0f, -0.2f, 0.4f, "corner (10,-3,5)");
    // The slope rises towards file +y, so its normal leans to file -y, i.e. list +z.
    const auto n = Normals();
    EXPECT_GT(n[0].value[1], 0.0f);
    EXPECT_GT(n[0].value[2], 0.0f);
    EXPECT_NEAR(n[0].value[0], 0.0f, 1e-6f);
}

TEST_F(ModelList, ScaleIsOneForEmptyOrPointLikeModels) {
    float centre[3] = {7, 7, 7};
    EXPECT_EQ(doc.ComputeModelFit(centre), 1.0f);
    EXPECT_EQ(centre[0], 7.0f) << "no vertices: centre not touched";
    Fill(doc, {{3, 4, 5}, {3, 4, 5}, {3, 4, 5}}, {{0, 1, 2}});
    EXPECT_EQ(doc.ComputeModelFit(centre), 1.0f);
    EXPECT_EQ(centre[0], 3.0f);
    EXPECT_EQ(centre[2], 5.0f);
}

TEST_F(ModelList, RecordsTheFixedFrameAroundTheTrianglesInOrder) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 200, 100, 50}});
    doc.CompileModelList(sink);
    std::vector<GlOp> ops;
    for (const GlCommand &c : sink.commands)
        ops.push_back(c.op);
    const std::vector<GlOp> expected = {GlOp::NewList,    GlOp::Enable,   GlOp::Begin,    GlOp::Materialfv,
                                        GlOp::Materialfv, GlOp::Color4fv, GlOp::Normal3f, GlOp::Vertex3f,
                                        GlOp::Normal3f,   GlOp::Vertex3f, GlOp::Normal3f, GlOp::Vertex3f,
                                        GlOp::End,        GlOp::Disable,  GlOp::EndList};
    ASSERT_EQ(ops, expected);
    const auto &c = sink.commands;
    EXPECT_EQ(c[0].arg[0], 1u);
    EXPECT_EQ(c[0].arg[1], glenum::COMPILE);
    EXPECT_EQ(c[1].arg[0], glenum::COLOR_MATERIAL);
    EXPECT_EQ(c[2].arg[0], glenum::TRIANGLES);
    EXPECT_EQ(c[3].arg[0], glenum::FRONT_AND_BACK);
    EXPECT_EQ(c[3].arg[1], glenum::SHININESS);
    EXPECT_EQ(c[3].value[0], 120.0f);
    EXPECT_EQ(c[4].arg[1], glenum::SPECULAR);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(c[4].value[k], 1.0f);
    EXPECT_FLOAT_EQ(c[5].value[0], 200 / 255.0f);
    EXPECT_FLOAT_EQ(c[5].value[2], 50 / 255.0f);
    EXPECT_EQ(c[5].value[3], 1.0f);
    EXPECT_EQ(c[13].arg[0], glenum::COLOR_MATERIAL);
    EXPECT_EQ(doc.m_modelList, 1);
}

TEST_F(ModelList, DegenerateFacesKeepTheirColourButDrawNothing) {
    // The degenerate face's colour is emitted, so the next face, within 10 of it, needs none.
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
         {{0, 1, 1, 200, 0, 0}, {0, 1, 2, 205, 0, 0}, {2, 2, 2, 0, 200, 0}});
    doc.CompileModelList(sink);
    const auto colours = sink.Of(GlOp::Color4fv);
    ASSERT_EQ(colours.size(), 2u);
    EXPECT_FLOAT_EQ(colours[0].value[0], 200 / 255.0f);
    EXPECT_FLOAT_EQ(colours[1].value[1], 200 / 255.0f);
    EXPECT_EQ(sink.Count(GlOp::Vertex3f), 3u);
    EXPECT_EQ(sink.Count(GlOp::Normal3f), 3u);
}

TEST_F(ModelList, ColourCommandsAreThinnedWithinTenPerChannel) {
    const std::vector<Point> pts = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    struct Case {
        uint8_t first[3], second[3];
        size_t commands;
    };
    const Case cases[] = {
        {{100, 100, 100}, {110, 95, 105}, 1},
        {{100, 100, 100}, {100, 90, 110}, 1}, // 10 exactly in green and blue
        {{100, 100, 100}, {111, 100, 100}, 2},
        {{100, 100, 100}, {100, 100, 89}, 2},
        {{5, 5, 5}, {5, 5, 5}, 0}, // within 10 of the starting memory (0, 0, 0)
    };
    for (const Case &cs : cases) {
        std::memset(g_lastColour, 0, sizeof g_lastColour);
        RecordingSink fresh;
        Fill(doc, pts,
             {{0, 1, 2, cs.first[0], cs.first[1], cs.first[2]},
              {0, 1, 2, cs.second[0], cs.second[1], cs.second[2]}});
        doc.CompileModelList(fresh);
        EXPECT_EQ(fresh.Count(GlOp::Color4fv), cs.commands) << int(cs.second[0]) << "," << int(cs.second[2]);
    }
}

TEST_F(ModelList, ColourMemoryCarriesOverToTheNextCompile) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 40, 80, 120}});
    doc.CompileModelList(sink);
    CQUORDoc other;
    Fill(other, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 45, 85, 125}});
    RecordingSink second;
    other.CompileModelList(second);
    EXPECT_EQ(sink.Count(GlOp::Color4fv), 1u);
    EXPECT_EQ(second.Count(GlOp::Color4fv), 0u);
}

TEST_F(ModelList, SmoothFacesWithinSixtyDegreesShareTheNormalisedSum) {
    // Flat normals: face 1 is (0,0,1); face 2 is (-sin30, 0, cos30). Their sum, normalised,
    // is (-sin15, 0, cos15), which in list axes is (-sin15, cos15, 0). Turned a quarter
    // about file z, the fold's normals lean along file y instead of x.
    const float s15 = std::sin(15 * 3.14159265f / 180), c15 = std::cos(15 * 3.14159265f / 180);
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "fold about file x" : "fold about file y");
        RecordingSink fresh;
        Fill(doc, turned ? QuarterTurn(Fold(30)) : Fold(30),
             {{0, 1, 2, 255, 255, 255, 1}, {1, 0, 3, 255, 255, 255, 1}});
        doc.CompileModelList(fresh);
        const auto n = fresh.Of(GlOp::Normal3f);
        ASSERT_EQ(n.size(), 6u);
        for (int i : {0, 1, 3, 4})
            ExpectListNormal(n[i], -s15, c15, 0, turned, "shared corner");
        ExpectListNormal(n[2], 0, 1, 0, turned, "face 1 own corner");
        ExpectListNormal(n[5], -0.5f, c15 * c15 - s15 * s15, 0, turned, "face 2 own corner");
    }
}

TEST_F(ModelList, AFaceAtRightAnglesReplacesTheRunningNormalForTheFacesAfterIt) {
    // Three faces share the corners (0,0,0) and (0,1,0): A faces +z, B faces +x,
    // exactly at right angles to A, and C lies 20 degrees from B (70 from A).
    // B's normal replaces A's there, so C merges with B and A keeps its flat normal.
    const float a = 20 * 3.14159265f / 180;
    Fill(doc, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {-std::sin(a), 0, std::cos(a)}},
         {{0, 2, 1, 255, 255, 255, 1}, {0, 1, 3, 255, 255, 255, 1}, {0, 1, 4, 255, 255, 255, 1}});
    doc.CompileModelList(sink);
    const auto n = Normals();
    ASSERT_EQ(n.size(), 9u);
    const float c10 = std::cos(a / 2), s10 = std::sin(a / 2);
    for (int i = 0; i < 3; ++i)
        ExpectNear3(n[i], 0, 1, 0, "A, flat");
    for (int i : {3, 4, 6, 7})
        ExpectNear3(n[i], c10, s10, 0, "B and C at the shared corners");
    ExpectNear3(n[5], 1, 0, 0, "B's own corner");
    ExpectNear3(n[8], std::cos(a), std::sin(a), 0, "C's own corner");
}

TEST_F(ModelList, SmoothFacesAtRightAnglesKeepTheirFlatNormals) {
    Fill(doc, Fold(90), {{0, 1, 2, 255, 255, 255, 1}, {1, 0, 3, 255, 255, 255, 1}});
    doc.CompileModelList(sink);
    const auto n = Normals();
    ASSERT_EQ(n.size(), 6u);
    for (int i = 0; i < 3; ++i)
        ExpectNear3(n[i], 0, 1, 0, "first face");
    for (int i = 3; i < 6; ++i)
        ExpectNear3(n[i], -1, 0, 0, "second face");
}

TEST_F(ModelList, OppositeWindingGetsTheSharedNormalTurnedToItsSide) {
    // Same fold as above, but the second face runs the other way round.
    const float s15 = std::sin(15 * 3.14159265f / 180), c15 = std::cos(15 * 3.14159265f / 180);
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "fold about file x" : "fold about file y");
        RecordingSink fresh;
        Fill(doc, turned ? QuarterTurn(Fold(30)) : Fold(30),
             {{0, 1, 2, 255, 255, 255, 1}, {0, 1, 3, 255, 255, 255, 1}});
        doc.CompileModelList(fresh);
        const auto n = fresh.Of(GlOp::Normal3f);
        ASSERT_EQ(n.size(), 6u);
        ExpectListNormal(n[0], -s15, c15, 0, turned, "first face, shared corner");
        ExpectListNormal(n[1], -s15, c15, 0, turned, "first face, shared corner");
        ExpectListNormal(n[3], s15, -c15, 0, turned, "reversed face, shared corner");
        ExpectListNormal(n[4], s15, -c15, 0, turned, "reversed face, shared corner");
    }
}

TEST_F(ModelList, FlatFacesIgnoreSmoothNeighbours) {
    Fill(doc, Fold(30), {{0, 1, 2, 255, 255, 255, 1}, {1, 0, 3, 255, 255, 255, 0}});
    doc.CompileModelList(sink);
    const auto n = Normals();
    ASSERT_EQ(n.size(), 6u);
    for (int i = 0; i < 3; ++i)
        ExpectNear3(n[i], 0, 1, 0, "smooth face alone keeps its own normal");
    for (int i = 3; i < 6; ++i)
        ExpectNear3(n[i], -0.5f, std::sqrt(3.0f) / 2, 0, "flat face");
}

TEST_F(ModelList, EveryNormalInASmoothedMeshIsUnitLength) {
    // A closed 12-sided smoothed cylinder with caps, every other side face reversed.
    std::vector<Point> pts;
    std::vector<Tri> tris;
    const int sides = 12;
    for (int i = 0; i < sides; ++i) {
        const float a = 2 * 3.14159265f * i / sides;
        pts.push_back({std::cos(a), std::sin(a), 0});
        pts.push_back({std::cos(a), std::sin(a), 3});
    }
    pts.push_back({0, 0, 0});
    pts.push_back({0, 0, 3});
    for (int i = 0; i < sides; ++i) {
        const int j = (i + 1) % sides;
        const int b0 = 2 * i, t0 = 2 * i + 1, b1 = 2 * j, t1 = 2 * j + 1;
        if (i % 2)
            tris.push_back({b0, t0, b1, 90, 90, 90, 1});
        else
            tris.push_back({b0, b1, t0, 90, 90, 90, 1});
        tris.push_back({b1, t1, t0, 90, 90, 90, 1});
        tris.push_back({2 * sides, b1, b0, 90, 90, 90, 1});
        tris.push_back({2 * sides + 1, t0, t1, 90, 90, 90, 1});
    }
    Fill(doc, pts, tris);
    doc.CompileModelList(sink);
    const auto n = Normals();
    ASSERT_EQ(n.size(), tris.size() * 3);
    for (const GlCommand &c : n)
        EXPECT_NEAR(std::sqrt(c.value[0] * c.value[0] + c.value[1] * c.value[1] + c.value[2] * c.value[2]),
                    1.0f, 1e-5f);
}

TEST_F(ModelList, FacesOutsideTheVertexTableAreSkippedUnread) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
         {{0, 1, 3, 200, 0, 0}, {-1, 1, 2, 0, 200, 0}, {0, 1, 2, 0, 0, 200}, {0, 1, 2147483647}});
    doc.CompileModelList(sink);
    EXPECT_EQ(sink.Count(GlOp::Vertex3f), 3u);
    ASSERT_EQ(sink.Count(GlOp::Color4fv), 1u);
    EXPECT_FLOAT_EQ(sink.Of(GlOp::Color4fv)[0].value[2], 200 / 255.0f);
}

TEST_F(ModelList, NoFacesMeansNoListAndNoNameTaken) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}}, {});
    doc.CompileModelList(sink);
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_EQ(doc.m_modelList, 0);
    EXPECT_EQ(sink.GenList(), 1u);
}

TEST_F(ModelList, RecompilingReplacesTheEarlierList) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    doc.CompileModelList(sink);
    ASSERT_EQ(doc.m_modelList, 1);
    sink.commands.clear();
    doc.CompileModelList(sink);
    ASSERT_GE(sink.commands.size(), 2u);
    EXPECT_EQ(sink.commands[0].op, GlOp::DeleteList);
    EXPECT_EQ(sink.commands[0].arg[0], 1u);
    EXPECT_EQ(sink.commands[1].op, GlOp::NewList);
    EXPECT_EQ(sink.commands[1].arg[0], 2u);
    EXPECT_EQ(doc.m_modelList, 2);
}

TEST_F(ModelList, NoListNameMeansNoList) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    sink.namesLeft = 0;
    doc.CompileModelList(sink);
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_EQ(doc.m_modelList, 0);
}

TEST_F(ModelList, CompilesIntoTheInstalledDefaultSinkOnly) {
    Fill(doc, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    SetDefaultGlSink(nullptr);
    doc.CompileModelList();
    EXPECT_EQ(doc.m_modelList, 0);
    SetDefaultGlSink(&sink);
    doc.CompileModelList();
    SetDefaultGlSink(nullptr);
    EXPECT_EQ(doc.m_modelList, 1);
    EXPECT_EQ(sink.Count(GlOp::Vertex3f), 3u);
}
