// The launcher program: runs the viewer when the graphics driver offers an
// antialiasing format.
#include "launcher.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const char *const kHelp =
    "Usage: launcher [OPTION]\n"
    "Checks that the graphics driver offers an 8-sample antialiased format, then\n"
    "starts the viewer with no file open; otherwise says that antialiasing is not\n"
    "supported. Any other argument is ignored.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Environment:\n"
    "  DISPLAY               the X display to probe and show the viewer on\n"
    "  QUOR_LAUNCHER_VIEWER  the viewer program to start, instead of the quor\n"
    "                        beside the launcher (else quor on PATH)\n"
    "  QUOR_LAUNCHER_PROBE   \"none\" to act as if no antialiased format were\n"
    "                        offered, or a number of samples to act as if it were\n"
    "  QUOR_RECORD_MESSAGES  a file to append the messages to instead of showing them\n";

} // namespace

int main(int argc, char **argv) {
    // Answered before anything else, so they need no display.
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (help || std::strcmp(argv[i], "--version") == 0) {
            std::fputs(help ? kHelp : "launcher " QUOR_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    // The probe speaks GLX to the X server Qt draws on, so Qt must use X11.
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt would abort without a display; to the launcher that is a failed window set-up.
    if (!CanOpenDisplay())
        return kSetupFailure;
    // Otherwise the launcher ignores its command line, Qt's own options (-platform,
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
