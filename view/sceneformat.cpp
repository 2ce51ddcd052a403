// The scene's surface format, apart from the view so that offscreen renderers
// can ask for it without linking the widgets.
#include "quorview.h"

namespace {
const QSurfaceFormat *g_formatOverride = nullptr;
}

QSurfaceFormat CQUORView::RequestedFormat() {
    if (g_formatOverride)
        return *g_formatOverride;
    // RGBA with 24 colour bits, a 32-bit depth buffer, double-buffered, legacy GL.
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

void CQUORView::SetRequestedFormatOverride(const QSurfaceFormat *format) {
    g_formatOverride = format;
}
