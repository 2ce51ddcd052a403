#include "glshared.h"

#include <GL/glu.h>

GLUquadric *g_quadric = nullptr;

namespace {
int g_quadricUsers = 0;
}

void AcquireQuadric() {
    if (g_quadricUsers++ == 0)
        g_quadric = gluNewQuadric();
}

void ReleaseQuadric() {
    if (g_quadricUsers > 0 && --g_quadricUsers == 0) {
        gluDeleteQuadric(g_quadric);
        g_quadric = nullptr;
    }
}
