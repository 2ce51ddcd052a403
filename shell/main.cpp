#include "openrequests.h"
#include "quor.h"

#include <QFileInfo>

int main(int argc, char **argv) {
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
