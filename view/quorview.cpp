#include "quorview.h"

#include "../framework/messages.h"
#include "../resources/gui/icons.h"
#include "../resources/ids.h"
#include "../shell/livemodel.h"
#include "core/bmpimage.h"
#include "core/livescene.h"
#include "core/orbitsim.h"
#include "earthtexture.h"
#include "glshared.h"
#include "scenerenderer.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimerEvent>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

namespace {
bool g_antialiasing = true;
} // namespace

bool CQUORView::Antialiasing() {
    return g_antialiasing;
}

void CQUORView::SetAntialiasing(bool on) {
    g_antialiasing = on;
}

void CQUORView::OnAntialiasingChanged() {
    if (m_hRC && context()) {
        makeCurrent();
        m_sceneTarget.Release();
        doneCurrent();
    }
    update();
}

QSize CQUORView::DeviceSize() const {
    // The size Qt gives the widget's own framebuffer.
    return size() * devicePixelRatio();
}

CQUORView::CQUORView(CQUORDoc *document, QWidget *parent) : QOpenGLWidget(parent) {
    InitViewSimulation();
    // An installed viewer started from any folder finds the map installed beside it.
    LoadEarthMapForThisProgram();
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
    MapCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    MapCommand(
        ID_VIEW_FOLLOW,
        [this] {
            m_skyFollow = true;
            update();
        },
        [this] { return ShowsSky(); });
    OnSetCursor();
}

CQUORView::~CQUORView() {
    OnDestroy();
    // The base class destroys the context after this object is gone; nothing may call back.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    m_pDC = nullptr;
    ReleaseQuadric();
    FreePalette(m_paletteColormap);
}

void CQUORView::SetLiveModel(LiveModel *model) {
    FollowLiveModel(m_liveModel, model, this, [this] {
        if (ShowsLive())
            update();
    });
}

bool CQUORView::ShowsLive() const {
    const CQUORDoc *doc = GetDocument();
    return doc && doc->m_live && m_liveModel;
}

bool CQUORView::ShowsSky() const {
    return ShowsLive() && GetDocument()->m_viewMode == ViewFromHere && m_liveModel->Place().set;
}

void CQUORView::initializeGL() {
    // The context may be recreated when the widget moves to another window; the
    // old one's objects go with it.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CQUORView::OnDestroy,
            Qt::UniqueConnection);
    const bool recreated = m_destroyed;
    m_destroyed = false;
    OnCreate();
    // A context made anew (the widget moved to another window) lost the model's list with the old one.
    if (CQUORDoc *doc = GetDocument(); recreated && m_hRC && doc && doc->m_modelList == 0)
        doc->CompileModelList();
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
    BuildPalette();

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
    // Qt gives the size in logical pixels; the view works in device pixels throughout.
    const qreal ratio = devicePixelRatioF();
    OnSize(static_cast<int>(w * ratio), static_cast<int>(h * ratio));
}

// w and h in device pixels, like the client rectangle.
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
    frame.makeCurrent = [this] {
        makeCurrent();
        if (g_antialiasing)
            m_sceneTarget.Bind(DeviceSize());
    };
    frame.finishScene = [this] { m_sceneTarget.ResolveInto(defaultFramebufferObject()); };
    frame.spinAngle = m_spinAngle;
    frame.tiltAngle = m_tiltAngle;
    frame.zoom = m_zoom;
    frame.pixelRatio = devicePixelRatioF();
    // Qt composes the widget's framebuffer into the window after paintGL; there is no swap of our own.
    frame.swapBuffers = [this] {
        QOpenGLContext *current = QOpenGLContext::currentContext();
        m_hDC = current ? current->surface() : nullptr;
    };
    LiveSceneInput live;
    if (ShowsLive()) {
        live = m_liveModel->SceneInput();
        frame.live = &live;
        frame.skyLook = &m_skyLook;
        frame.skyFollow = m_skyFollow;
    }
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
        m_sceneTarget.Release();
        doneCurrent();
    }
    m_hRC = nullptr;
    if (m_pOldPalette)
        RestorePalette(*m_pOldPalette);
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

void CQUORView::BuildPalette() {
    // A context made anew (the widget moved to another window) installs a
    // fresh colormap and records what it replaced, so that destroying the view
    // restores that one again.
    if (m_pOldPalette)
        RestorePalette(*m_pOldPalette);
    m_pOldPalette = nullptr;
    FreePalette(m_paletteColormap);
    m_paletteColormap = 0;
    const int depth = IndexedVisualDepth(window());
    if (depth <= 0)
        return;
    // The common 8-bit layout is 3-3-2; other depths share their bits out evenly.
    if (depth == 8) {
        m_palette = BuildPaletteEntries(8, 3, 0, 3, 3, 2, 6);
    } else {
        const uint8_t bits = static_cast<uint8_t>(depth / 3);
        m_palette = BuildPaletteEntries(static_cast<uint8_t>(depth), bits, 0, bits, bits, bits,
                                        static_cast<uint8_t>(2 * bits));
    }
    if (SelectPalette(window(), m_palette, m_previousPalette, m_paletteColormap))
        m_pOldPalette = &m_previousPalette;
}

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
        // Repaints without erasing the background; the live orbit repaints on its clock's ticks.
        if (!ShowsLive())
            update();
        return;
    }
    QOpenGLWidget::timerEvent(e);
}

void CQUORView::OnStartStop() {
    // The live clock runs by itself; here it is paused and resumed.
    if (ShowsLive())
        m_liveModel->SetPaused(!m_liveModel->Clock().paused);
    else
        ToggleTimer();
}

namespace {
// A live document's clock has a factor of its own: the simulation keeps its 30.
void SetTimeFactor(bool live, LiveModel *model, float factor) {
    if (live)
        model->SetFactor(factor);
    else
        g_timeFactor = factor;
}
} // namespace

void CQUORView::OnRealtime() {
    SetTimeFactor(ShowsLive(), m_liveModel, 1.0f);
}
void CQUORView::OnTimeX10() {
    SetTimeFactor(ShowsLive(), m_liveModel, 10.0f);
}
void CQUORView::OnTimeX30() {
    SetTimeFactor(ShowsLive(), m_liveModel, 30.0f);
}
void CQUORView::OnTimeX60() {
    SetTimeFactor(ShowsLive(), m_liveModel, 60.0f);
}

void CQUORView::OnFilePrint() {
    // The picture as it stands; printing draws no frame of its own.
    const QImage picture = grabFramebuffer();
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), picture);
}

QImage CQUORView::ShownPicture() {
    if (!m_hRC || !context())
        return {};
    makeCurrent();
    const QSize size = DeviceSize();
    QImage picture(size, QImage::Format_RGBA8888);
    context()->functions()->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
    doneCurrent();
    // GL's rows run upwards; the scene is opaque, whatever alpha the framebuffer kept.
    picture = picture.mirrored().convertToFormat(QImage::Format_RGB888);
    return picture;
}

QString CQUORView::DefaultPictureName() const {
    const CQUORDoc *doc = GetDocument();
    QString model =
        doc ? QFileInfo(QString::fromStdString(doc->GetPathName())).completeBaseName() : QString();
    if (model.isEmpty())
        model = QStringLiteral("QUOR");
    int hours = g_clockHours, minutes = g_clockMinutes, seconds = g_clockSeconds;
    if (ShowsLive() && m_liveModel->Ready())
        UtcTimeOfDay(m_liveModel->Clock().utcMs, hours, minutes, seconds);
    return QStringLiteral("%1 %2-%3-%4.png")
        .arg(model)
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

void CQUORView::OnLButtonDown(QPoint point) {
    m_dragging = 1;
    m_lastMouse = point; // Qt keeps sending moves here while the button is down
}

void CQUORView::OnLButtonUp(QPoint) {
    m_dragging = 0;
}

void CQUORView::OnMouseMove(QPoint point) {
    if (m_dragging != 1)
        return;
    const qreal ratio = devicePixelRatioF();
    const int w = static_cast<int>(width() * ratio), h = static_cast<int>(height() * ratio);
    if (w > 0 && h > 0 && ShowsSky()) {
        // The sky moves with the pointer; with the key held, dragging zooms as from space.
        const double dx = (point.x() - m_lastMouse.x()) * ratio, dy = (point.y() - m_lastMouse.y()) * ratio;
        if (m_keyDown == 0)
            m_skyLook = DraggedLook(m_skyLook, dx, dy, h);
        else
            m_skyLook.fovDeg = ZoomedFov(m_skyLook.fovDeg, dx / 40.0);
        m_skyFollow = m_keyDown != 0 && m_skyFollow;
    } else if (w > 0 && h > 0) {
        const float fx = static_cast<float>(static_cast<double>(point.x() - m_lastMouse.x()) * ratio / w);
        const float fy = static_cast<float>(static_cast<double>(point.y() - m_lastMouse.y()) * ratio / h);
        if (m_keyDown == 0) {
            m_spinAngle += fx * 360.0f;
            if (m_spinAngle > 180.0f)
                m_spinAngle -= 360.0f;
            if (m_spinAngle < -180.0f)
                m_spinAngle += 360.0f;
            m_tiltAngle += fy * 180.0f;
        } else {
            m_zoom += fx * 20.0f;
        }
    }
    update();
    m_lastMouse = point;
}

namespace {
// Keys the window system keeps for itself: nothing in the view sees them.
bool IsSystemKey(const QKeyEvent *e) {
    return (e->modifiers() & Qt::AltModifier) || e->key() == Qt::Key_Alt || e->key() == Qt::Key_F10 ||
           e->key() == Qt::Key_AltGr;
}
} // namespace

void CQUORView::OnKeyDown(int key) {
    if (key == Qt::Key_Up) {
        g_chaserAngle = static_cast<float>(static_cast<double>(g_chaserAngle) + 0.01f);
        g_chaserSpeed = static_cast<float>(static_cast<double>(g_chaserSpeed) + 0.001f);
    } else if (key == Qt::Key_Down) {
        g_chaserAngle = static_cast<float>(static_cast<double>(g_chaserAngle) - 0.01f);
        g_chaserSpeed = static_cast<float>(static_cast<double>(g_chaserSpeed) - 0.001f);
    }
    m_keyDown = 1;
    OnSetCursor();
}

void CQUORView::OnKeyUp(int) {
    m_keyDown = 0;
    OnSetCursor();
}

bool CQUORView::OnSetCursor() {
    static const QCursor hand = HandCursor();
    if (m_keyDown == 1)
        setCursor(Qt::SizeAllCursor);
    else
        setCursor(hand);
    return false;
}

void CQUORView::mousePressEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->position().toPoint());
    QOpenGLWidget::mousePressEvent(e);
}

void CQUORView::mouseReleaseEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonUp(e->position().toPoint());
    QOpenGLWidget::mouseReleaseEvent(e);
}

void CQUORView::mouseMoveEvent(QMouseEvent *e) {
    OnMouseMove(e->position().toPoint());
    QOpenGLWidget::mouseMoveEvent(e);
}

void CQUORView::keyPressEvent(QKeyEvent *e) {
    if (!IsSystemKey(e))
        OnKeyDown(e->key()); // every auto-repeated press counts
    QOpenGLWidget::keyPressEvent(e);
}

void CQUORView::keyReleaseEvent(QKeyEvent *e) {
    // X11 auto-repeat sends a release before each repeated press; the key is still held.
    if (!IsSystemKey(e) && !e->isAutoRepeat())
        OnKeyUp(e->key());
    QOpenGLWidget::keyReleaseEvent(e);
}

void CQUORView::wheelEvent(QWheelEvent *e) {
    if (!ShowsSky()) {
        QOpenGLWidget::wheelEvent(e);
        return;
    }
    // A notch (120) a step in or out.
    m_skyLook.fovDeg = ZoomedFov(m_skyLook.fovDeg, e->angleDelta().y() / 120.0);
    update();
    e->accept();
}

void CQUORView::enterEvent(QEnterEvent *e) {
    OnSetCursor();
    QOpenGLWidget::enterEvent(e);
}
