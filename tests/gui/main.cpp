#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // As in the viewer: every scene view shares display lists and textures.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Viewers started here, in process or as children, take and hand over open
    // requests only among themselves: never to a viewer of another test run or of
    // the user's own session on the same display.
    QTemporaryDir runtime(QDir::tempPath() + "/quor-run-XXXXXX");
    if (runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
