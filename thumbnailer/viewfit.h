#pragma once
// Where the thumbnail camera stands and how the model is fitted into the picture.
// Pure arithmetic, so that it can be checked without GL.
#include <cstddef>

// The view every thumbnail uses: from the front right, somewhat above. The model's
// up axis is y, as the model compiler emits it.
inline constexpr float kViewAzimuthDegrees = 35.0f;
inline constexpr float kViewElevationDegrees = 25.0f;
// Free border on every side, as a fraction of the picture's width.
inline constexpr float kViewMargin = 0.05f;

struct ViewFit {
    // Column-major 4 x 4 matrices, as glLoadMatrixf takes them. The model-view
    // matrix is a pure rotation, so normals and the light need no rescaling.
    float modelView[16];
    float projection[16];
    bool ok = false; // false when no finite vertex is given or they project to one point
};

// Turns the model `azimuth` degrees about its up axis and tilts it `elevation`
// degrees towards the viewer, then fits the projected bounds of the points centred
// into a square picture with `margin` of its width left free at each side
// (orthographic). The points are `count` float triples, `stride` bytes apart;
// points with a non-finite coordinate are ignored.
ViewFit FitView(const void *points, size_t count, size_t stride, float azimuth, float elevation,
                float margin);
