// The launcher program: runs the viewer when the graphics driver offers an
// antialiasing format.
#include "launcher.h"

#include <QApplication>

#include <chrono>
#include <cstdlib>
#include <thread>

int main(int, char **argv) {
    // The probe speaks GLX to the X server Qt draws on, so Qt must use X11.
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt would abort without a display; to the launcher that is a failed window set-up.
    if (!CanOpenDisplay())
        return kSetupFailure;
    // The launcher ignores its command line, Qt's own options (-platform,
    // -display and the like) included: Qt sees only the program's name.
    static int qtArgc = 1;
    static char *qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);

    std::unique_ptr<MultisampleProbe> probe = ProbeFromEnvironment(QtX11Display());
    ProcessViewerStarter viewer(ViewerProgram());
    LauncherMessageService messages;
    LauncherParts parts;
    parts.probe = probe.get();
    parts.viewer = &viewer;
    parts.messages = &messages;
    parts.pause = [] { std::this_thread::sleep_for(std::chrono::seconds(1)); };

    // The windows and any context are left to the system, as the process ends here.
    std::exit(LauncherMain(parts));
}
