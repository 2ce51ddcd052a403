#include "wiresphere.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdlib>

namespace {
bool g_glutReady = false;
bool g_glutDeferred = false;
} // namespace

void DeferWireSphereInit() {
    const char *display = std::getenv("DISPLAY");
    g_glutDeferred = display && *display;
}

void InitWireSphere(int *argc, char **argv) {
    if (g_glutReady)
        return;
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return;
    glutInit(argc, argv);
    g_glutReady = true;
}

void WireSphere(double radius, int slices, int stacks) {
    if (g_glutDeferred && !g_glutReady) {
        int argc = 1;
        char name[] = "quor";
        char *argv[] = {name, nullptr};
        g_glutDeferred = false;
        InitWireSphere(&argc, argv);
    }
    if (g_glutReady) {
        glutWireSphere(radius, slices, stacks);
        return;
    }
    GLUquadric *q = gluNewQuadric();
    gluQuadricDrawStyle(q, GLU_LINE);
    gluQuadricTexture(q, GL_TRUE);
    gluSphere(q, radius, slices, stacks);
    gluDeleteQuadric(q);
}
