#pragma once
// The 3-D pane of a document window: an OpenGL view of the Earth, the station
// on its orbit and the chaser.
#include "../document/quordoc.h"
#include "../framework/document.h"
#include "core/palette.h"
#include "core/skyview.h"
#include "multisampletarget.h"
#include "x11palette.h"

#include <QOpenGLWidget>
#include <QPointer>
#include <QSurfaceFormat>

#include <vector>

class LiveModel;
class QOpenGLContext;
class QSurface;

class CQUORView : public QOpenGLWidget, public View {
    Q_OBJECT
public:
    explicit CQUORView(CQUORDoc *document, QWidget *parent = nullptr);
    ~CQUORView() override;

    CQUORDoc *GetDocument() const { return static_cast<CQUORDoc *>(View::GetDocument()); }
    // The live orbit this view draws while its document shows it; its clock moving
    // on, or anything of it changing, repaints the view.
    void SetLiveModel(LiveModel *model);

    // The format every scene view asks for; tests may replace it to make creation fail.
    static QSurfaceFormat RequestedFormat();
    static void SetRequestedFormatOverride(const QSurfaceFormat *format);

    // Program-wide: scene views draw antialiased while this is on (the default).
    static bool Antialiasing();
    static void SetAntialiasing(bool on);
    // Drops this view's scene framebuffer so that the next frame is drawn the
    // way the setting now says; the context, the model and the view stay.
    void OnAntialiasingChanged();
    // Samples of the framebuffer the last frame was drawn into, 0 without antialiasing.
    int SceneSamples() const { return m_sceneTarget.Samples(); }

    // The picture the pane shows now, at device pixels, with its text; drawing
    // no frame of its own. Null before the view has a context.
    QImage ShownPicture();
    // "station 14-05-09.png": the model's name and the simulated time shown.
    QString DefaultPictureName() const;

    // Document notifications do not repaint: frames come from the timer and window events.
    void OnUpdate(View *sender, long hint) override;
    void OnDraw() override;
    void Invalidate() override { update(); }

    virtual bool ToggleTimer();
    // A palette for indexed visuals; nothing on true-colour ones.
    void BuildPalette();

    // Handlers.
    int OnCreate();
    void OnSize(int width, int height);
    void OnDestroy();
    void OnStartStop();
    void OnRealtime();
    void OnTimeX10();
    void OnTimeX30();
    void OnTimeX60();
    void OnFilePrint();

    // Input handlers; points in client pixels.
    void OnLButtonDown(QPoint point);
    void OnLButtonUp(QPoint point);
    void OnMouseMove(QPoint point);
    void OnKeyDown(int key);
    void OnKeyUp(int key);
    bool OnSetCursor();

    // True once the view has a usable rendering context.
    bool HasContext() const { return m_hRC != nullptr; }
    QSurfaceFormat GrantedFormat() const { return m_grantedFormat; }

    struct ClientRect {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
    };

    ClientRect m_clientRect;
    std::vector<PaletteEntry> m_palette;             // only for indexed visuals
    const PaletteSelection *m_pOldPalette = nullptr; // what ours replaced; null on true-colour visuals
    QSurface *m_pDC = nullptr;                       // the surface the context draws on
    QOpenGLContext *m_hRC = nullptr;                 // the view's rendering context (owned by the widget)
    float m_farPlane = 19000.0f;
    float m_nearPlane = 1.0f;
    float m_clearColor[3] = {0.0f, 0.0f, 0.2f};
    int m_dragging = 0;
    int m_keyDown = 0;
    unsigned m_timerId = 0;
    QSurface *m_hDC = nullptr; // surface of the current context, read back each frame

    // Drag state: the "From Space" camera turns and moves by these.
    QPoint m_lastMouse;
    float m_spinAngle = 45.0f; // degrees
    float m_tiltAngle = 45.0f; // degrees
    float m_zoom = 1.0f;
    // The "From Here" camera: where it looks, and whether it follows the station.
    SkyLook m_skyLook;
    bool m_skyFollow = true;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    bool event(QEvent *e) override;
    void timerEvent(QTimerEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void enterEvent(QEnterEvent *e) override;

private:
    void CheckContext();
    float Aspect() const;
    QSize DeviceSize() const;

    // Whether the view's document shows the live orbit of a model it has.
    bool ShowsLive() const;
    // Whether it shows the sky from the watcher's place.
    bool ShowsSky() const;

    MultisampleTarget m_sceneTarget;
    QPointer<LiveModel> m_liveModel;

    QSurfaceFormat m_grantedFormat;
    unsigned m_earthTexture = 0; // this view's Earth texture, in the shared group
    PaletteSelection m_previousPalette;
    unsigned long m_paletteColormap = 0;
    bool m_contextChecked = false;
    bool m_destroyed = false;
};
