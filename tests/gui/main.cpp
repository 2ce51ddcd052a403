#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // As in the viewer: every scene view shares display lists and textures.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
