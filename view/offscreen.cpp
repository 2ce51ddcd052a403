#include "offscreen.h"

#include "../document/quordoc.h"
#include "core/bmpimage.h"
#include "core/orbitsim.h"
#include "earthtexture.h"
#include "glshared.h"
#include "quorview.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

OffscreenScene::OffscreenScene(QSize size, bool antialiasing, EarthMap map)
    : m_size(size), m_antialiasing(antialiasing) {
    InitViewSimulation();
    if (map == LoadMap)
        LoadEarthMap("Weltkart.bmp");
    AcquireQuadric();
    const QSurfaceFormat format = CQUORView::RequestedFormat();
    m_surface = std::make_unique<QOffscreenSurface>();
    m_surface->setFormat(format);
    m_surface->create();
    m_context = std::make_unique<QOpenGLContext>();
    m_context->setFormat(format);
    if (QOpenGLContext *global = QOpenGLContext::globalShareContext())
        m_context->setShareContext(global);
    if (!m_context->create() || !m_context->makeCurrent(m_surface.get()))
        return;
    QOpenGLFramebufferObjectFormat fboFormat;
    fboFormat.setAttachment(QOpenGLFramebufferObject::Depth);
    m_fbo = std::make_unique<QOpenGLFramebufferObject>(size, fboFormat);
    if (!m_fbo->isValid()) {
        m_fbo.reset();
        return;
    }
    m_fbo->bind();
    const float clear[3] = {0.0f, 0.0f, 0.2f};
    SetFixedSceneState(clear);
    DefineEarthTexture();
    m_earthTexture = g_earthTexture;
    glViewport(0, 0, size.width(), size.height());
    SetSceneProjection(60.0,
                       static_cast<float>(static_cast<double>(size.width()) / std::max(1, size.height())),
                       1.0f, 19000.0f);
}

OffscreenScene::~OffscreenScene() {
    if (m_context && m_context->makeCurrent(m_surface.get())) {
        if (m_earthTexture) {
            const GLuint name = m_earthTexture;
            glDeleteTextures(1, &name);
        }
        m_target.Release();
        m_fbo.reset();
        m_context->doneCurrent();
    }
    ReleaseQuadric();
}

void OffscreenScene::MakeCurrent() {
    m_context->makeCurrent(m_surface.get());
    if (m_fbo)
        m_fbo->bind();
}

QString OffscreenScene::Renderer() const {
    const auto *name = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    return name ? QString::fromLatin1(name) : QString();
}

bool OffscreenScene::Open(CQUORDoc &doc, const std::string &path) {
    MakeCurrent();
    return doc.OnOpenDocument(path);
}

SceneFrame OffscreenScene::Frame(CQUORDoc &doc, const SceneFrame &navigation) {
    SceneFrame frame = navigation;
    frame.doc = &doc;
    frame.earthTexture = m_earthTexture;
    frame.makeCurrent = [this] {
        MakeCurrent();
        if (m_antialiasing && m_fbo)
            m_target.Bind(m_size);
    };
    frame.finishScene = [this] {
        if (m_fbo)
            m_target.ResolveInto(m_fbo->handle());
    };
    return frame;
}

void OffscreenScene::Draw(CQUORDoc &doc) {
    DrawSceneFrame(Frame(doc, SceneFrame()));
}

QImage OffscreenScene::Render(CQUORDoc &doc, const SceneFrame &navigation) {
    DrawSceneFrame(Frame(doc, navigation));
    return Grab();
}

QImage OffscreenScene::Grab() {
    MakeCurrent();
    return m_fbo ? m_fbo->toImage() : QImage();
}
