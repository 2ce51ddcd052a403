#include "quor.h"

int main(int argc, char **argv) {
    // All scene views share display lists and textures, across document windows too.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CQUORApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
