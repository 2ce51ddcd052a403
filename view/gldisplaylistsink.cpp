#include "gldisplaylistsink.h"

#include <QOpenGLContext>

#include <GL/gl.h>

uint32_t GlDisplayListSink::GenList() {
    // Without a current context there is nowhere to put a list.
    if (!QOpenGLContext::currentContext())
        return 0;
    return glGenLists(1);
}

void GlDisplayListSink::DeleteList(uint32_t list) {
    if (QOpenGLContext::currentContext())
        glDeleteLists(list, 1);
}

void GlDisplayListSink::NewList(uint32_t list, uint32_t mode) {
    glNewList(list, mode);
}
void GlDisplayListSink::EndList() {
    glEndList();
}
void GlDisplayListSink::Enable(uint32_t cap) {
    glEnable(cap);
}
void GlDisplayListSink::Disable(uint32_t cap) {
    glDisable(cap);
}
void GlDisplayListSink::Begin(uint32_t mode) {
    glBegin(mode);
}
void GlDisplayListSink::End() {
    glEnd();
}
void GlDisplayListSink::Materialfv(uint32_t face, uint32_t pname, const float *params) {
    glMaterialfv(face, pname, params);
}
void GlDisplayListSink::Color4fv(const float *rgba) {
    glColor4fv(rgba);
}
void GlDisplayListSink::Normal3f(float x, float y, float z) {
    glNormal3f(x, y, z);
}
void GlDisplayListSink::Vertex3f(float x, float y, float z) {
    glVertex3f(x, y, z);
}

GlDisplayListSink &ViewerGlSink() {
    static GlDisplayListSink sink;
    return sink;
}
