#pragma once
// Draws scene frames into an offscreen framebuffer with the same renderer and GL
// set-up as the scene view: for tests, benchmarks and quor-inspect --render.
#include "multisampletarget.h"
#include "scenerenderer.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <string>

class CQUORDoc;
class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

class OffscreenScene {
public:
    // Needs a QGuiApplication; loads the Earth map from the working directory as a view does.
    // Antialiased like a scene view with the setting on, where the driver can.
    enum EarthMap { LoadMap, MapLoaded }; // MapLoaded: the caller has called LoadEarthMap
    explicit OffscreenScene(QSize size, bool antialiasing = false, EarthMap map = LoadMap);
    // On the OpenGL context the caller has made current without Qt (with EGL, so
    // with no display), whose entry points `resolve` finds. The frame buffers are
    // made as Qt makes them, so a picture is the same as on a context of Qt's.
    using Resolver = std::function<void *(const char *)>;
    OffscreenScene(QSize size, bool antialiasing, EarthMap map, const Resolver &resolve);
    ~OffscreenScene();
    OffscreenScene(const OffscreenScene &) = delete;
    OffscreenScene &operator=(const OffscreenScene &) = delete;

    bool IsValid() const { return m_fbo != nullptr || m_native != nullptr; }
    void MakeCurrent();
    QString Renderer() const; // the GL renderer string

    // Opens a model as the viewer does, compiling its list into this context.
    bool Open(CQUORDoc &doc, const std::string &path);
    // One frame (one simulation step) for the document; the picture it left.
    QImage Render(CQUORDoc &doc, const SceneFrame &navigation = SceneFrame());
    // Draws without reading back, for timing.
    void Draw(CQUORDoc &doc, const SceneFrame &navigation = SceneFrame());
    QImage Grab();
    unsigned EarthTexture() const { return m_earthTexture; }
    int Samples() const; // of the last frame, 0 when not antialiased

private:
    struct NativeTargets;
    std::unique_ptr<NativeTargets> m_native;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    unsigned m_earthTexture = 0;
    QSize m_size;
    bool m_antialiasing;
    MultisampleTarget m_target;

    SceneFrame Frame(CQUORDoc &doc, const SceneFrame &navigation);
    void SetUpScene();
};
