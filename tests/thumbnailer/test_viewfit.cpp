#include "thumbnailer/viewfit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Points as the thumbnailer holds them: inside bigger records.
struct Point {
    float x, y, z;
    float other[3] = {9.0f, 9.0f, 9.0f};
};

ViewFit Fit(const std::vector<Point> &points) {
    return FitView(points.data(), points.size(), sizeof(Point), kViewAzimuthDegrees, kViewElevationDegrees,
                   kViewMargin);
}

// Normalised device coordinates of a point: projection * model-view * (p, 1).
std::array<double, 3> Project(const ViewFit &fit, const Point &p) {
    double eye[4], clip[4];
    const double in[4] = {p.x, p.y, p.z, 1.0};
    for (int row = 0; row < 4; ++row)
        eye[row] = fit.modelView[row] * in[0] + fit.modelView[4 + row] * in[1] +
                   fit.modelView[8 + row] * in[2] + fit.modelView[12 + row] * in[3];
    for (int row = 0; row < 4; ++row)
        clip[row] = fit.projection[row] * eye[0] + fit.projection[4 + row] * eye[1] +
                    fit.projection[8 + row] * eye[2] + fit.projection[12 + row] * eye[3];
    return {clip[0] / clip[3], clip[1] / clip[3], clip[2] / clip[3]};
}

std::vector<Point> Box(float x0, float y0, float z0, float w, float h, float d) {
    std::vector<Point> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({x0 + (i & 1 ? w : 0.0f), y0 + (i & 2 ? h : 0.0f), z0 + (i & 4 ? d : 0.0f)});
    return corners;
}

} // namespace

// Whatever the model's size and place, its picture fills the square up to the
// margin on its wider side, centred on both, and lies inside the depth range.
TEST(ViewFit, FitsAnyModelCentredUpToTheMargin) {
    const std::vector<std::vector<Point>> models = {
        Box(-1, -1, -1, 2, 2, 2),           // a cube round the origin
        Box(1000, 2000, -3000, 40, 2, 10),  // long and flat, far from the origin
        Box(0, 0, 0, 0.001f, 0.003f, 0.0f), // tiny, and flat in depth
        Box(-5, 0, 0, 1, 30, 1),            // tall
    };
    for (size_t m = 0; m < models.size(); ++m) {
        SCOPED_TRACE(m);
        const ViewFit fit = Fit(models[m]);
        ASSERT_TRUE(fit.ok);
        double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
        for (const Point &p : models[m]) {
            const auto ndc = Project(fit, p);
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], ndc[a]);
                hi[a] = std::max(hi[a], ndc[a]);
            }
        }
        const double filled = 1.0 - 2.0 * kViewMargin;
        EXPECT_NEAR(std::max(hi[0], hi[1]), filled, 1e-3);
        EXPECT_NEAR(lo[0] + hi[0], 0.0, 1e-3);
        EXPECT_NEAR(lo[1] + hi[1], 0.0, 1e-3);
        EXPECT_GT(lo[2], -1.0);
        EXPECT_LT(hi[2], 1.0);
    }
}

// Up (y, the file's z) stays up on the picture, the camera looks from above, and
// what is nearer the camera gets the smaller depth, as the depth test wants.
TEST(ViewFit, LooksFromAboveWithUpUpAndNearerInFront) {
    const ViewFit fit = Fit(Box(-1, -1, -1, 2, 2, 2));
    ASSERT_TRUE(fit.ok);
    const auto origin = Project(fit, {0, 0, 0});
    const auto up = Project(fit, {0, 0.5f, 0});
    EXPECT_GT(up[1], origin[1] + 0.1);
    EXPECT_NEAR(up[0], origin[0], 1e-6);
    // The top face's normal turns towards the viewer (eye +z).
    EXPECT_GT(fit.modelView[6], 0.2f);
    // The camera stands off the front face and off the right face: both are seen.
    EXPECT_GT(fit.modelView[2], 0.2f);  // +x towards the viewer
    EXPECT_GT(fit.modelView[10], 0.2f); // +z towards the viewer
    const float eyeZ[3] = {fit.modelView[2], fit.modelView[6], fit.modelView[10]};
    const auto nearer = Project(fit, {0.5f * eyeZ[0], 0.5f * eyeZ[1], 0.5f * eyeZ[2]});
    EXPECT_LT(nearer[2], origin[2]);
}

// Non-finite coordinates (a damaged file's) do not move the fit; a model with no
// extent on the picture cannot be fitted.
TEST(ViewFit, IgnoresNonFinitePointsAndRefusesAModelWithoutExtent) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<Point> box = Box(3, 4, 5, 1, 2, 3);
    const ViewFit clean = Fit(box);
    box.push_back({nan, 0, 0});
    box.push_back({0, inf, 0});
    box.push_back({0, 0, -inf});
    const ViewFit dirty = Fit(box);
    ASSERT_TRUE(dirty.ok);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(clean.projection[i], dirty.projection[i]) << i;

    EXPECT_FALSE(Fit({}).ok);
    EXPECT_FALSE(Fit({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}).ok);
    EXPECT_FALSE(Fit({{nan, 0, 0}, {0, inf, 0}}).ok);
}
