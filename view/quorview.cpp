#include "quorview.h"

#include "../resources/ids.h"
#include "../shell/core/messages.h"
#include "core/orbitsim.h"
#include "glshared.h"

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
    glMatrixMode(GL_PROJECTION);
    SetProjection(10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(m_clearColor[0], m_clearColor[1], m_clearColor[2], 1.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glEnable(GL_LIGHTING);
    return 0;
}

void CQUORView::SetProjection(double fovy) {
    if (m_clientRect.bottom < 1)
        m_clientRect.bottom = 1;
    const float aspect = static_cast<float>(static_cast<double>(m_clientRect.right) / m_clientRect.bottom);
    gluPerspective(fovy, aspect, m_nearPlane, m_farPlane);
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
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    SetProjection(60.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CQUORView::paintGL() {
    OnDraw();
}

void CQUORView::OnDraw() {
    if (!m_hRC)
        return;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFinish();
    glFlush();
    m_hDC = QOpenGLContext::currentContext() ? QOpenGLContext::currentContext()->surface() : nullptr;
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
