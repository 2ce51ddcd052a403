#include "viewfit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ViewFit FitView(const void *points, size_t count, size_t stride, float azimuth, float elevation,
                float margin) {
    ViewFit fit{};
    const double pi = 3.14159265358979323846;
    const double az = azimuth * pi / 180.0, el = elevation * pi / 180.0;
    const double ca = std::cos(az), sa = std::sin(az), ce = std::cos(el), se = std::sin(el);
    // Rotation about y by -azimuth, then about x by +elevation: the camera's
    // direction (sin az cos el, sin el, cos az cos el) becomes the eye's +z.
    const double r[3][3] = {
        {ca, 0.0, -sa},
        {-se * sa, ce, -se * ca},
        {ce * sa, se, ce * ca},
    };

    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool any = false;
    const auto *bytes = static_cast<const unsigned char *>(points);
    for (size_t i = 0; i < count; ++i) {
        float p[3];
        std::memcpy(p, bytes + i * stride, sizeof p);
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            continue;
        any = true;
        for (int row = 0; row < 3; ++row) {
            const double e = r[row][0] * p[0] + r[row][1] * p[1] + r[row][2] * p[2];
            lo[row] = std::min(lo[row], e);
            hi[row] = std::max(hi[row], e);
        }
    }
    if (!any)
        return fit;
    const double half = std::max(hi[0] - lo[0], hi[1] - lo[1]) / 2.0;
    if (!(half > 0.0) || !std::isfinite(half))
        return fit;

    const double cx = (lo[0] + hi[0]) / 2.0, cy = (lo[1] + hi[1]) / 2.0, cz = (lo[2] + hi[2]) / 2.0;
    const double s = (1.0 - 2.0 * margin) / half;
    // Depth: the model's z range with some room, nearer (larger z) mapping to smaller depth.
    const double depthHalf = (hi[2] - lo[2]) / 2.0 + 0.01 * half;
    const double sz = 1.0 / depthHalf;

    float *mv = fit.modelView;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            mv[col * 4 + row] = static_cast<float>(r[row][col]);
    mv[15] = 1.0f;

    float *pr = fit.projection;
    pr[0] = static_cast<float>(s);
    pr[5] = static_cast<float>(s);
    pr[10] = static_cast<float>(-sz);
    pr[12] = static_cast<float>(-cx * s);
    pr[13] = static_cast<float>(-cy * s);
    pr[14] = static_cast<float>(cz * sz);
    pr[15] = 1.0f;
    fit.ok = true;
    return fit;
}
