#include "quorview.h"

#include "../resources/ids.h"
#include "../shell/core/messages.h"
#include "core/bmpimage.h"
#include "core/orbitsim.h"
#include "earthtexture.h"
#include "glshared.h"
#include "scenerenderer.h"

#include <QOpenGLContext>
#include <QTimerEvent>

#include <GL/gl.h>
#include <GL/glu.h>

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

CQUORView::CQUORView(CQUORDoc *document, QWidget *parent) : QOpenGLWidget(parent) {
    InitViewSimulation();
    LoadEarthMap("Weltkart.bmp");
    AcquireQuadric();
    document->AddView(this);
    setFormat(RequestedFormat());
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(1, 1);

    MapCommand(ID_TIMER_STARTSTOP, [this] { OnStartStop(); });
    MapCommand(ID_TIMER_REALTIME, [this] { OnRealtime(); });
    MapCommand(ID_TIMER_X10, [this] { OnTimeX10(); });
    MapCommand(ID_TIMER_X30, [this] { OnTimeX30(); });
    MapCommand(ID_TIMER_X60, [this] { OnTimeX60(); });
}

CQUORView::~CQUORView() {
    OnDestroy();
    m_pDC = nullptr;
    ReleaseQuadric();
}

void CQUORView::initializeGL() {
    // The context may be recreated when the widget moves to another window; the
    // old one's objects go with it.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CQUORView::OnDestroy,
            Qt::UniqueConnection);
    m_destroyed = false;
    OnCreate();
}

int CQUORView::OnCreate() {
    m_hRC = context();
    m_pDC = m_hRC ? m_hRC->surface() : nullptr;
    if (!m_hRC || !m_hRC->isValid()) {
        m_hRC = nullptr;
        return 0;
    }
    m_grantedFormat = m_hRC->format();
    // Without a depth buffer the scene cannot be drawn; the view then draws nothing.
    if (m_grantedFormat.depthBufferSize() < 16) {
        m_hRC = nullptr;
        return 0;
    }
    // Palettes exist only for indexed visuals; Qt's GL visuals are true-colour.
    m_pOldPalette = nullptr;

    const qreal ratio = devicePixelRatioF();
    m_clientRect = {0, 0, static_cast<int32_t>(width() * ratio), static_cast<int32_t>(height() * ratio)};
    if (m_clientRect.bottom < 1)
        m_clientRect.bottom = 1;
    // Replaced by the first size notification's 60 degree projection before any frame.
    SetSceneProjection(10.0, Aspect(), m_nearPlane, m_farPlane);
    SetFixedSceneState(m_clearColor);
    DefineEarthTexture();
    m_earthTexture = g_earthTexture;
    return 0;
}

float CQUORView::Aspect() const {
    return static_cast<float>(static_cast<double>(m_clientRect.right) / m_clientRect.bottom);
}

void CQUORView::resizeGL(int w, int h) {
    OnSize(w, h);
}

void CQUORView::OnSize(int w, int h) {
    if (!m_hRC)
        return;
    glViewport(0, 0, w, h);
    if (m_clientRect.right > w || m_clientRect.bottom > h) {
        // Shrinking shows a frame at once, with the new viewport and the old projection.
        OnDraw();
    }
    m_clientRect.right = w;
    m_clientRect.bottom = h;
    if (m_clientRect.bottom < 1)
        m_clientRect.bottom = 1;
    SetSceneProjection(60.0, Aspect(), m_nearPlane, m_farPlane);
}

void CQUORView::paintGL() {
    OnDraw();
}

void CQUORView::OnDraw() {
    if (!m_hRC)
        return;
    SceneFrame frame;
    frame.doc = GetDocument();
    frame.sender = this;
    frame.earthTexture = m_earthTexture;
    frame.makeCurrent = [this] { makeCurrent(); };
    // Qt composes the widget's framebuffer into the window after paintGL; there is no swap of our own.
    frame.swapBuffers = [this] {
        QOpenGLContext *current = QOpenGLContext::currentContext();
        m_hDC = current ? current->surface() : nullptr;
    };
    DrawSceneFrame(frame);
}

void CQUORView::OnDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_hRC && context()) {
        makeCurrent();
        // Display lists are shared by every view of the window; the document's
        // model list must not outlive the view that shows it.
        if (CQUORDoc *doc = GetDocument(); doc && doc->m_modelList > 0) {
            glDeleteLists(static_cast<GLuint>(doc->m_modelList), 1);
            doc->m_modelList = 0;
        }
        if (m_earthTexture) {
            const GLuint name = m_earthTexture;
            glDeleteTextures(1, &name);
            m_earthTexture = 0;
        }
        doneCurrent();
    }
    m_hRC = nullptr;
    m_pOldPalette = nullptr;
}

bool CQUORView::event(QEvent *e) {
    const bool result = QOpenGLWidget::event(e);
    if (e->type() == QEvent::Show)
        CheckContext();
    return result;
}

void CQUORView::CheckContext() {
    if (m_contextChecked || !isVisible() || size().isEmpty())
        return;
    m_contextChecked = true;
    if (!context() || !context()->isValid()) {
        ShowMessage("Bad Format Choose");
        return;
    }
    if (!m_hRC) {
        ShowMessage("Bad Pixel Format");
    }
}

void CQUORView::OnUpdate(View *, long) {}

bool CQUORView::ToggleTimer() {
    if (m_timerId == 0) {
        const int id = startTimer(20);
        m_timerId = id > 0 ? static_cast<unsigned>(id) : 0;
    } else {
        killTimer(static_cast<int>(m_timerId));
        m_timerId = 0;
    }
    return true;
}

void CQUORView::timerEvent(QTimerEvent *e) {
    if (m_timerId != 0 && e->timerId() == static_cast<int>(m_timerId)) {
        update(); // repaints without erasing the background
        return;
    }
    QOpenGLWidget::timerEvent(e);
}

void CQUORView::OnStartStop() {
    ToggleTimer();
}
void CQUORView::OnRealtime() {
    g_timeFactor = 1.0f;
}
void CQUORView::OnTimeX10() {
    g_timeFactor = 10.0f;
}
void CQUORView::OnTimeX30() {
    g_timeFactor = 30.0f;
}
void CQUORView::OnTimeX60() {
    g_timeFactor = 60.0f;
}
