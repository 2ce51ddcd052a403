#include "scenerenderer.h"

#include "../document/quordoc.h"
#include "core/orbitsim.h"
#include "core/scenetext.h"
#include "glshared.h"
#include "glyphs.h"
#include "shapecache.h"
#include "wiresphere.h"

#include <GL/gl.h>
#include <GL/glu.h>

void SetFixedSceneState(const float clearColor[3]) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(clearColor[0], clearColor[1], clearColor[2], 1.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glEnable(GL_LIGHTING);
}

void SetSceneProjection(double fovy, float aspect, float nearPlane, float farPlane) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, aspect, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

double SpaceEyeDistance(float zoom) {
    constexpr double kNearest = 7000.0, kFarthest = 13000.0;
    if (!(zoom > 0.0f))
        return kFarthest;
    const double d = scene::kSpaceEyeDistance / zoom;
    return d < kNearest ? kNearest : (d > kFarthest ? kFarthest : d);
}

namespace {

void PlainSpaceCamera() {
    gluLookAt(0.0, 0.0, -scene::kSpaceEyeDistance, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void SetCamera(int mode, const SceneFrame &frame) {
    switch (mode) {
    case ViewFromSpace:
        gluLookAt(0.0, 0.0, -SpaceEyeDistance(frame.zoom), 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        // Dragging turns the Earth and everything on it about its centre.
        glRotatef(frame.tiltAngle - 45.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(frame.spinAngle - 45.0f, 0.0f, 1.0f, 0.0f);
        break;
    case ViewFromISS: {
        const double k = scene::kIssCameraFactor;
        gluLookAt(k * g_issPos.x, k * g_issPos.y, k * g_issPos.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        break;
    }
    case ViewApproach:
        gluLookAt(g_chaserPos.x, g_chaserPos.y, g_chaserPos.z, g_issPos.x, g_issPos.y, g_issPos.z, g_issPos.x,
                  g_issPos.y, g_issPos.z);
        break;
    default:
        break; // no camera transform
    }
}

void SetLight() {
    const GLfloat diffuse[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat position[] = {-8.0f, 0.0f, -2.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
}

void DrawEarth(int mode, unsigned texture) {
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat diffuse[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat emission[] = {0.2f, 0.2f, 0.2f, 1.0f};
    glPushMatrix();
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 2.0f);
    glMaterialfv(GL_FRONT, GL_EMISSION, emission);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    gluQuadricTexture(g_quadric, GL_TRUE);
    // Polar axis (map top) on +y, the map's middle towards -z, turned by the Earth angle.
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glScalef(-1.0f, 1.0f, -1.0f);
    glRotatef(g_earthAngle, 0.0f, 0.0f, 1.0f);
    if (mode == ViewApproach || g_issPos.z < 0.0) {
        gluSphere(g_quadric, g_earthRadius, 90, 90);
    } else {
        // The station is behind the Earth: a wire frame keeps it in sight.
        WireSphere(g_earthRadius + 50.0, 36, 18);
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void DrawStation(int mode, int32_t modelList) {
    glPushMatrix();
    glRotated(g_inclination, 0.0, 0.0, 1.0);
    glRotated(g_issAngle, 0.0, 1.0, 0.0);
    glTranslatef(g_issRadius, 0.0f, 0.0f);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(-180.0f, 0.0f, 1.0f, 0.0f);
    if (mode == ViewApproach) {
        glScalef(scene::kApproachStationScale, scene::kApproachStationScale, scene::kApproachStationScale);
        glColor3f(1.0f, 1.0f, 1.0f);
    } else {
        glScalef(scene::kStationScale, scene::kStationScale, scene::kStationScale);
    }
    glEnable(GL_NORMALIZE);
    if (modelList > 0)
        glCallList(static_cast<GLuint>(modelList));
    glPopMatrix();
}

void DrawChaser() {
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glTranslatef(static_cast<float>(g_chaserPos.x), static_cast<float>(g_chaserPos.y),
                 static_cast<float>(g_chaserPos.z));
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    SolidSphere(1.0);
    glPopMatrix();
}

void DrawTextLine(unsigned fontBase, float x, float y, float z, const std::string &text) {
    glRasterPos3f(x, y, z);
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (valid)
        PrintString(fontBase, text.c_str());
}

void DrawText(int mode, unsigned fontBase, float longitude, int64_t scaledStep) {
    if (mode == ViewFromSpace) {
        // Dragging turns the globe, not the captions in the corners.
        glLoadIdentity();
        PlainSpaceCamera();
    }
    // The text keeps its magenta: lighting is off while the raster colour is taken.
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 1.0f);
    DrawTextLine(fontBase, 7500.0f, 6000.0f, -6.0f,
                 FormatClockLine(g_clockHours, g_clockMinutes, g_clockSeconds));
    DrawTextLine(fontBase, -5000.0f, 5000.0f, -5.0f, FormatLongitudeLine(longitude));
    DrawTextLine(fontBase, -5000.0f, -6000.0f, -5.0f, FormatFpsLine(scaledStep, g_timeFactor));
    glEnable(GL_LIGHTING);
}

} // namespace

int64_t DrawSceneFrame(const SceneFrame &frame) {
    CQUORDoc *doc = frame.doc;
    const int64_t scaledStep = AdvanceClock();
    const float longitude = ComputePositions(doc);
    if (frame.makeCurrent)
        frame.makeCurrent();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();

    const int mode = doc ? doc->m_viewMode : ViewFromSpace;
    SetCamera(mode, frame);
    SetLight();
    AdvanceOrbits(doc, frame.sender);
    DrawEarth(mode, frame.earthTexture);
    DrawStation(mode, doc ? doc->m_modelList : 0);
    DrawChaser();

    const unsigned fontBase = BuildFontLists("Arial", scene::kFontHeight);
    DrawText(mode, fontBase, longitude, scaledStep);

    glPopMatrix();
    glFinish();
    glFlush();
    if (frame.swapBuffers)
        frame.swapBuffers();
    DeleteFontLists(fontBase);
    return scaledStep;
}
