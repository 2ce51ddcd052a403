#include "wiresphere.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
bool g_glutReady = false;
bool g_glutDeferred = false;

// Sines and cosines of n equal steps of `step` radians, the angle of each step
// formed in single precision and its sine taken in double, as freeglut forms
// them: the vertices below are then the very values it draws.
void StepTable(float step, int n, std::vector<float> &sines, std::vector<float> &cosines) {
    sines.assign(n, 0.0f);
    cosines.assign(n, 1.0f);
    for (int i = 1; i < n; ++i) {
        const float angle = step * static_cast<float>(i);
        sines[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosines[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
}
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

void DrawWireSphere(double radius, int slices, int stacks) {
    if (slices < 1 || stacks < 2 || slices * (stacks - 1) + 2 > 65535)
        return;
    const auto pi = static_cast<float>(M_PI);
    // Around the axis clockwise seen from +z, from the +x axis; down from the +z pole.
    std::vector<float> sinAround, cosAround, sinDown, cosDown;
    StepTable(2.0f * pi / static_cast<float>(-slices), slices, sinAround, cosAround);
    StepTable(pi / static_cast<float>(stacks), stacks, sinDown, cosDown);

    const auto r = static_cast<float>(radius);
    const int count = slices * (stacks - 1) + 2; // the rings and the two poles
    std::vector<float> vertices, normals;
    vertices.reserve(3 * count);
    normals.reserve(3 * count);
    auto add = [&](float x, float y, float z) {
        normals.insert(normals.end(), {x, y, z});
        vertices.insert(vertices.end(), {x * r, y * r, z * r});
    };
    add(0.0f, 0.0f, 1.0f);
    for (int i = 1; i < stacks; ++i)
        for (int j = 0; j < slices; ++j)
            add(cosAround[j] * sinDown[i], sinAround[j] * sinDown[i], cosDown[i]);
    add(0.0f, 0.0f, -1.0f);
    const auto bottom = static_cast<GLushort>(count - 1);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
    std::vector<GLushort> line;
    for (int j = 0; j < slices; ++j) { // meridians, pole to pole
        line.assign(1, 0);
        for (int i = 0; i < stacks - 1; ++i)
            line.push_back(static_cast<GLushort>(1 + j + i * slices));
        line.push_back(bottom);
        glDrawElements(GL_LINE_STRIP, static_cast<GLsizei>(line.size()), GL_UNSIGNED_SHORT, line.data());
    }
    for (int i = 0; i < stacks - 1; ++i) { // circles of latitude
        line.clear();
        for (int j = 0; j < slices; ++j)
            line.push_back(static_cast<GLushort>(1 + i * slices + j));
        glDrawElements(GL_LINE_LOOP, slices, GL_UNSIGNED_SHORT, line.data());
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
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
    DrawWireSphere(radius, slices, stacks);
}
