#pragma once
// The launcher: probes for an antialiasing format, hands its number to the
// viewer on the clipboard and runs the viewer, or says that antialiasing is
// not supported.
#include "glx.h"
#include "multisample.h"
#include "viewer.h"

#include "framework/messages.h"

#include <QWidget>

#include <functional>
#include <memory>

inline constexpr const char *kProbeTitle = "OpenGL - Dummy";
inline constexpr const char *kHandOffTitle = "OpenGL - Antialiasing Initialization";
inline constexpr const char *kErrorCaption = "Error.";
inline constexpr const char *kNoAntialiasingText = "Your hardware does not support Antialiasing.";
inline constexpr const char *kViewerFailedText = "Cannot find Quor.exe";

// The generic failure status (E_FAIL), for when the windows cannot be set up.
// A process status keeps only its low eight bits, so a shell sees 5.
inline constexpr int kSetupFailure = static_cast<int>(0x80004005u);
// Every run that gets past the window set-up ends with this status.
inline constexpr int kRunFinished = 1;

// Both windows of the launcher: black, 640 x 480 at the top left corner of
// the screen, with the launcher's icon, shown at once.
class LauncherWindow : public QWidget {
public:
    explicit LauncherWindow(const QString &title);

protected:
    bool event(QEvent *event) override;
};

// The windows' event handling. A resize sets the viewport and a 45 degree
// projection when the dummy context is current on the window; a close request
// or Esc asks the application to quit, and the window stays. Returns whether
// the event was handled here.
bool WndProc(LauncherWindow *window, QEvent *event);

// What the launcher holds, each null or 0 when not held.
extern LauncherWindow *g_hWnd; // the current window: first the probe window, then the hand-off window
extern unsigned long g_hDC;    // the probe window's X drawable, while the dummy context uses it
extern GLXContext g_hRC;       // the dummy context on the probe window
extern Display *g_display;     // the X connection the handles belong to (Qt's)

// Makes a plain GLX context current on g_hWnd. Nothing here is checked: the
// probe does not depend on it.
void CreateDummyContext();
// Releases the dummy context, then the window.
void DestroyDummyContext();

// Message boxes with an OK button, owned by the current window. When
// QUOR_RECORD_MESSAGES names a file, each box is appended to it as a line
// "caption|icon|text" instead, so that unattended runs never wait for a click.
class LauncherMessageService : public MessageService {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override;
};

struct LauncherParts {
    MultisampleProbe *probe = nullptr;
    ViewerStarter *viewer = nullptr;
    MessageService *messages = nullptr;
    std::function<void()> pause; // the second's pause after "not supported"
};

// The whole run, in a QApplication on X11. Returns kSetupFailure when the
// probe window cannot be made, else kRunFinished. The windows, and the dummy
// context when no format was found, are left for the caller to release.
int LauncherMain(const LauncherParts &parts);

// Qt's X display, or null when Qt does not run on X11.
Display *QtX11Display();

// The probe named by QUOR_LAUNCHER_PROBE, a seam for tests and diagnostics:
// "none" finds nothing, a positive decimal number is found as that format,
// and anything else, or nothing, asks the driver.
std::unique_ptr<MultisampleProbe> ProbeFromEnvironment(Display *display);
