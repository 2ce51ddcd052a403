#include "offscreen.h"

#include "../document/quordoc.h"
#include "core/bmpimage.h"
#include "core/orbitsim.h"
#include "earthtexture.h"
#include "glshared.h"
#include "quorview.h"
#include "shapecache.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

// The frame buffers of a context made without Qt, made as QOpenGLFramebufferObject
// makes them (an RGBA8 texture and a renderbuffer of GL_DEPTH_COMPONENT; when
// antialiased, the multisampled pair that MultisampleTarget makes, resolved by a
// nearest blit), so that a picture is the same bit for bit.
struct OffscreenScene::NativeTargets {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC RenderbufferStorageMultisample = nullptr;
    PFNGLGETRENDERBUFFERPARAMETERIVPROC GetRenderbufferParameteriv = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;

    GLuint fbo = 0, colour = 0, depth = 0;
    GLuint msFbo = 0, msColour = 0, msDepth = 0;
    int samples = 0;
    bool msTried = false, msBound = false;

    template <class F> static bool Load(const Resolver &resolve, F &fn, const char *name) {
        fn = reinterpret_cast<F>(resolve(name));
        return fn != nullptr;
    }

    bool Load(const Resolver &resolve) {
        return Load(resolve, GenFramebuffers, "glGenFramebuffers") &&
               Load(resolve, DeleteFramebuffers, "glDeleteFramebuffers") &&
               Load(resolve, BindFramebuffer, "glBindFramebuffer") &&
               Load(resolve, FramebufferTexture2D, "glFramebufferTexture2D") &&
               Load(resolve, FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
               Load(resolve, CheckFramebufferStatus, "glCheckFramebufferStatus") &&
               Load(resolve, GenRenderbuffers, "glGenRenderbuffers") &&
               Load(resolve, DeleteRenderbuffers, "glDeleteRenderbuffers") &&
               Load(resolve, BindRenderbuffer, "glBindRenderbuffer") &&
               Load(resolve, RenderbufferStorage, "glRenderbufferStorage") &&
               Load(resolve, RenderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
               Load(resolve, GetRenderbufferParameteriv, "glGetRenderbufferParameteriv") &&
               Load(resolve, BlitFramebuffer, "glBlitFramebuffer");
    }

    bool Make(QSize size) {
        GenFramebuffers(1, &fbo);
        BindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
        GenRenderbuffers(1, &depth);
        BindRenderbuffer(GL_RENDERBUFFER, depth);
        RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT, size.width(), size.height());
        FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        return CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    // Binds the multisampled target, made on first use with up to 8 samples.
    bool BindMultisample(QSize size) {
        msBound = false;
        if (!msTried) {
            msTried = true;
            GLint most = 0;
            glGetIntegerv(GL_MAX_SAMPLES, &most);
            // A driver without the query flags an error; bounded, as a lost context repeats its own.
            for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
            }
            if (most >= 2 && !MakeMultisample(size, std::min(8, static_cast<int>(most))))
                ReleaseMultisample();
        }
        if (!msFbo)
            return false;
        BindFramebuffer(GL_FRAMEBUFFER, msFbo);
        msBound = true;
        return true;
    }

    bool MakeMultisample(QSize size, int wanted) {
        GenFramebuffers(1, &msFbo);
        BindFramebuffer(GL_FRAMEBUFFER, msFbo);
        GenRenderbuffers(1, &msColour);
        BindRenderbuffer(GL_RENDERBUFFER, msColour);
        RenderbufferStorageMultisample(GL_RENDERBUFFER, wanted, GL_RGBA8, size.width(), size.height());
        GLint got = 0;
        GetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &got);
        FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, msColour);
        GenRenderbuffers(1, &msDepth);
        BindRenderbuffer(GL_RENDERBUFFER, msDepth);
        RenderbufferStorageMultisample(GL_RENDERBUFFER, got, GL_DEPTH_COMPONENT, size.width(), size.height());
        FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, msDepth);
        const bool complete = CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindFramebuffer(GL_FRAMEBUFFER, fbo);
        samples = got;
        return complete && got >= 2;
    }

    void Resolve(QSize size) {
        if (!msBound)
            return;
        msBound = false;
        BindFramebuffer(GL_READ_FRAMEBUFFER, msFbo);
        BindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
        BlitFramebuffer(0, 0, size.width(), size.height(), 0, 0, size.width(), size.height(),
                        GL_COLOR_BUFFER_BIT, GL_NEAREST);
        BindFramebuffer(GL_FRAMEBUFFER, fbo);
    }

    void ReleaseMultisample() {
        if (msFbo)
            DeleteFramebuffers(1, &msFbo);
        const GLuint buffers[] = {msColour, msDepth};
        DeleteRenderbuffers(2, buffers);
        msFbo = msColour = msDepth = 0;
        samples = 0;
    }

    void Release() {
        ReleaseMultisample();
        if (fbo)
            DeleteFramebuffers(1, &fbo);
        if (depth)
            DeleteRenderbuffers(1, &depth);
        if (colour)
            glDeleteTextures(1, &colour);
        fbo = depth = colour = 0;
    }
};

OffscreenScene::OffscreenScene(QSize size, bool antialiasing, EarthMap map, const Resolver &resolve)
    : m_size(size), m_antialiasing(antialiasing) {
    InitViewSimulation();
    if (map == LoadMap)
        LoadEarthMapForThisProgram();
    AcquireQuadric();
    auto targets = std::make_unique<NativeTargets>();
    if (!targets->Load(resolve))
        return;
    if (!targets->Make(size)) {
        targets->Release();
        return;
    }
    m_native = std::move(targets);
    SetForeignGlContext(this);
    SetUpScene();
}

OffscreenScene::OffscreenScene(QSize size, bool antialiasing, EarthMap map)
    : m_size(size), m_antialiasing(antialiasing) {
    InitViewSimulation();
    if (map == LoadMap)
        LoadEarthMapForThisProgram();
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
    SetUpScene();
}

void OffscreenScene::SetUpScene() {
    MakeCurrent();
    const QSize size = m_size;
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
    if (m_native) {
        if (m_earthTexture) {
            const GLuint name = m_earthTexture;
            glDeleteTextures(1, &name);
        }
        m_native->Release();
        SetForeignGlContext(nullptr);
    } else if (m_context && m_context->makeCurrent(m_surface.get())) {
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
    if (m_native) {
        m_native->BindFramebuffer(GL_FRAMEBUFFER, m_native->fbo);
        return;
    }
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
        if (m_antialiasing && m_native)
            m_native->BindMultisample(m_size);
        else if (m_antialiasing && m_fbo)
            m_target.Bind(m_size);
    };
    frame.finishScene = [this] {
        if (m_native)
            m_native->Resolve(m_size);
        else if (m_fbo)
            m_target.ResolveInto(m_fbo->handle());
    };
    return frame;
}

void OffscreenScene::Draw(CQUORDoc &doc, const SceneFrame &navigation) {
    DrawSceneFrame(Frame(doc, navigation));
}

QImage OffscreenScene::Render(CQUORDoc &doc, const SceneFrame &navigation) {
    DrawSceneFrame(Frame(doc, navigation));
    return Grab();
}

QImage OffscreenScene::Grab() {
    MakeCurrent();
    if (m_native) {
        // Read as QOpenGLFramebufferObject::toImage reads: RGBA bytes, bottom row first.
        QImage image(m_size, QImage::Format_RGBA8888_Premultiplied);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, m_size.width(), m_size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
        return image.mirrored();
    }
    return m_fbo ? m_fbo->toImage() : QImage();
}

int OffscreenScene::Samples() const {
    if (m_native)
        return m_antialiasing ? m_native->samples : 0;
    return m_target.Samples();
}
