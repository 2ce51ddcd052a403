#include "openrequests.h"
#include "quor.h"

#include <QFileInfo>

int main(int argc, char **argv) {
    // All scene views share display lists and textures, across document windows too.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CQUORApp app(argc, argv);
    // A file for a viewer that already runs on this display goes to that viewer; if it
    // does not take it in time, this process shows the file itself.
    const QString file = Application::FileArgument(app.arguments());
    if (!file.isEmpty() && HandOverToRunningViewer(QFileInfo(file).absoluteFilePath()))
        return 0;
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
