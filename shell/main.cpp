#include "framework/drivercache.h"
#include "openrequests.h"
#include "quor.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

const char *const kHelp =
    "Usage: quor [OPTION]... [FILE.3ds]...\n"
    "A 3-D viewer of a space station on its orbit around the Earth. Opens each model\n"
    "FILE in order; a viewer of this user already running on this display takes them.\n"
    "\n"
    "Options:\n"
    "  --elements FILE  show the live orbit of the two-line element sets in FILE\n"
    "                   (in a viewer of this start's own)\n"
    "  --               every argument after this is a model file, even one that\n"
    "                   starts with a dash\n"
    "  -h, --help       print this help and exit\n"
    "  --version        print the version and exit\n"
    "Qt's own options (-platform, -display, -geometry and the like) are taken too.\n"
    "\n"
    "Environment:\n"
    "  DISPLAY               the X display to show the viewer on\n"
    "  QUOR_PROFILE          the profile file, instead of QUOR.ini in the\n"
    "                        configuration folder ($XDG_CONFIG_HOME, else ~/.config)\n"
    "  QUOR_RECORD_MESSAGES  a file to append the messages to instead of showing them,\n"
    "                        for unattended runs\n"
    "  XDG_CACHE_HOME        where Update Elements keeps the elements it fetched\n"
    "                        (QUOR/elements.tle; else in ~/.cache)\n"
    "  XDG_RUNTIME_DIR       where the channel to a running viewer is made\n"
    "  QT_SCALE_FACTOR       scales the windows and the scene text, as for every Qt\n"
    "                        program\n";

// --help and --version are answered before Qt starts, so they need no display.
// Returns the exit status, or -1 when neither was asked for.
int AnswerInformationSwitches(int argc, char **argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--elements") == 0) {
            ++i; // its value is a file name
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("quor " QUOR_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char **argv) {
    if (const int status = AnswerInformationSwitches(argc, argv); status >= 0)
        return status;
    KeepDriverCacheOffAFullDisk();
    // All scene views share display lists and textures, across document windows too.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CQUORApp app(argc, argv);
    // Files for a viewer that already runs on this display go to that viewer; those
    // it does not take in time, this process shows itself.
    QStringList files;
    for (const QString &file : app.StartFiles())
        files.append(QFileInfo(file).absoluteFilePath());
    // Elements on the command line are for a viewer of this start's own.
    if (!files.isEmpty() && !app.arguments().contains(QStringLiteral("--elements"))) {
        files = HandOverToRunningViewer(files);
        if (files.isEmpty())
            return 0;
        app.SetStartFiles(files);
    }
    // Requests this viewer answered but cannot open any more, as it ends, go to a new viewer.
    app.SetSuccessorProgram(QCoreApplication::applicationFilePath());
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
