#include "launcher.h"

#include "resources/gui/icons.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QResizeEvent>
#include <QWindow>

#include <GL/gl.h>
#include <GL/glu.h>

LauncherWindow *g_hWnd = nullptr;
unsigned long g_hDC = 0;
GLXContext g_hRC = nullptr;
Display *g_display = nullptr;

namespace {

// Quit requests end the innermost modal loop (an open message box) like any
// other; outside one they have nothing to end.
void PostQuit() {
    QCoreApplication::exit(0);
}

void SetProjection(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window shrunk to no height is treated as one pixel high rather than dividing by zero.
    gluPerspective(45.0, static_cast<double>(width) / (height > 0 ? height : 1), 0.1, 100.0);
}

} // namespace

LauncherWindow::LauncherWindow(const QString &title) {
    setWindowTitle(title);
    setWindowIcon(LauncherIcon());
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::black);
    setPalette(background);
    setAutoFillBackground(true);
    move(0, 0);
    resize(640, 480);
    show();
}

bool LauncherWindow::event(QEvent *event) {
    return WndProc(this, event) || QWidget::event(event);
}

bool WndProc(LauncherWindow *window, QEvent *event) {
    switch (event->type()) {
    case QEvent::Resize: {
        // Before the dummy context exists, and on the hand-off window, there is nothing to set up.
        if (IsCurrentOn(g_hRC, window->winId())) {
            const QSize size = static_cast<QResizeEvent *>(event)->size() * window->devicePixelRatio();
            SetProjection(size.width(), size.height());
        }
        return false; // the widget still lays itself out
    }
    case QEvent::Close:
        event->ignore();
        PostQuit();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            PostQuit();
        return true;
    default:
        return false;
    }
}

void CreateDummyContext() {
    g_hDC = g_hWnd->winId();
    g_hRC = CreateWindowContext(g_display, g_hDC);
}

void DestroyDummyContext() {
    if (g_hRC) {
        DeleteWindowContext(g_display, g_hRC);
        g_hRC = nullptr;
    }
    g_hDC = 0;
    if (g_hWnd) {
        delete g_hWnd;
        g_hWnd = nullptr;
    }
}

void LauncherMessageService::Show(const std::string &text, const std::string &caption, MessageIcon icon) {
    const QByteArray log = qgetenv("QUOR_RECORD_MESSAGES");
    if (!log.isEmpty()) {
        QFile file(QString::fromLocal8Bit(log));
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((caption + '|' + std::to_string(static_cast<int>(icon)) + '|' + text + '\n').c_str());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, g_hWnd);
    box.exec();
}

Display *QtX11Display() {
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

std::unique_ptr<MultisampleProbe> ProbeFromEnvironment(Display *display) {
    const QString choice = qEnvironmentVariable("QUOR_LAUNCHER_PROBE");
    if (choice == QLatin1String("none"))
        return std::make_unique<FixedProbe>(std::nullopt);
    bool isNumber = false;
    const int number = choice.toInt(&isNumber);
    if (isNumber && number > 0)
        return std::make_unique<FixedProbe>(number);
    if (!display)
        return std::make_unique<FixedProbe>(std::nullopt);
    return std::make_unique<GlxMultisampleProbe>(display, DefaultScreenNumber(display));
}

int LauncherMain(const LauncherParts &parts) {
    g_display = QtX11Display();
    if (!g_display)
        return kSetupFailure;

    g_hWnd = new LauncherWindow(QString::fromLatin1(kProbeTitle));
    if (!g_hWnd->winId() || !g_hWnd->windowHandle() || !g_hWnd->windowHandle()->handle()) {
        delete g_hWnd;
        g_hWnd = nullptr;
        return kSetupFailure;
    }
    CreateDummyContext();

    const std::optional<int> format = parts.probe->FindFormat();
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (format) {
        DestroyDummyContext();
        g_hWnd = new LauncherWindow(QString::fromLatin1(kHandOffTitle));
        clipboard->setText(QString::number(*format));
        if (parts.viewer->Run() != 0)
            parts.messages->Show(kViewerFailedText, kErrorCaption, MessageIcon::None);
    } else {
        parts.messages->Show(kNoAntialiasingText, kErrorCaption, MessageIcon::None);
        if (parts.pause)
            parts.pause();
    }

    // Clearing also takes the clipboard from another owner, so older contents go as well.
    clipboard->clear();
    SyncDisplay(g_display);
    return kRunFinished;
}
