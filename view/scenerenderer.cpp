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

#include <algorithm>
#include <cmath>
#include <tuple>

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

constexpr const char *kTextFace = "Arial";

void DrawTextLine(unsigned fontBase, float x, float y, float z, const std::string &text) {
    glRasterPos3f(x, y, z);
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (valid)
        PrintString(fontBase, text.c_str());
}

// Lines drawn at points of the scene, under the camera; a point outside the view draws nothing.
unsigned DrawScenePointText(const SceneLines &lines, double pixelRatio) {
    const unsigned fontBase = BuildFontLists(kTextFace, int(std::lround(scene::kFontHeight * pixelRatio)));
    DrawTextLine(fontBase, 7500.0f, 6000.0f, -6.0f, lines.clock);
    DrawTextLine(fontBase, -5000.0f, 5000.0f, -5.0f, lines.longitude);
    DrawTextLine(fontBase, -5000.0f, -6000.0f, -5.0f, lines.fps);
    return fontBase;
}

// Puts the raster position at a window pixel, inside the view or not: a
// position set outside the view would be invalid and draw nothing.
void RasterAtPixel(int x, int y) {
    glRasterPos2f(0.25f, 0.25f);
    glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(x), static_cast<float>(y), nullptr);
}

// The clock at the upper left, the longitude on the row below at the upper
// right, the frame rate at the lower right, whole, in one size for all three.
unsigned DrawCornerText(const SceneLines &lines, int width, int height, double pixelRatio) {
    const int glyphHeight = CornerTextHeight(lines, width, height, pixelRatio);
    if (glyphHeight == 0)
        return 0;
    const unsigned fontBase = BuildFontLists(kTextFace, glyphHeight);
    if (fontBase == 0)
        return 0;
    GlyphCell cell;
    TextInk clock, longitude, fps;
    MeasureString(kTextFace, glyphHeight, lines.clock.c_str(), clock, &cell);
    MeasureString(kTextFace, glyphHeight, lines.longitude.c_str(), longitude);
    MeasureString(kTextFace, glyphHeight, lines.fps.c_str(), fps);

    const int margin = TextMargin(pixelRatio);
    const int topRow = height - margin - cell.above;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    RasterAtPixel(margin - clock.left, topRow);
    PrintString(fontBase, lines.clock.c_str());
    RasterAtPixel(width - margin - 1 - longitude.right, topRow - cell.height());
    PrintString(fontBase, lines.longitude.c_str());
    RasterAtPixel(width - margin - 1 - fps.right, margin + cell.below);
    PrintString(fontBase, lines.fps.c_str());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return fontBase;
}

} // namespace

int TextMargin(double pixelRatio) {
    return int(std::lround(scene::kTextMargin * pixelRatio));
}

int CornerTextHeight(const SceneLines &lines, int width, int height, double pixelRatio) {
    // The widest each line can get, so that the size holds while the numbers change.
    static const SceneLines widest{FormatClockLine(88, 88, 88), FormatLongitudeLine(-188.88f),
                                   FormatFpsLine(1, 1.0f)};
    auto longer = [](const std::string &a, const std::string &b) { return a.size() > b.size() ? a : b; };
    const SceneLines fitted{longer(lines.clock, widest.clock), longer(lines.longitude, widest.longitude),
                            longer(lines.fps, widest.fps)};

    // Fitting asks the font for metrics: done again only when the pane or the lines' shape changes.
    static std::tuple<int, int, double, std::string, std::string, std::string> lastKey;
    static int lastHeight = -1;
    const auto key = std::make_tuple(width, height, pixelRatio, fitted.clock, fitted.longitude, fitted.fps);
    if (lastHeight >= 0 && key == lastKey)
        return lastHeight;

    const int preferred = int(std::lround(scene::kFontHeight * pixelRatio));
    const int smallest = int(std::lround(scene::kMinFontHeight * pixelRatio));
    const int margin = TextMargin(pixelRatio);
    auto widestAt = [&](int glyphHeight) {
        return std::max({TextAdvance(kTextFace, glyphHeight, fitted.clock.c_str()),
                         TextAdvance(kTextFace, glyphHeight, fitted.longitude.c_str()),
                         TextAdvance(kTextFace, glyphHeight, fitted.fps.c_str())});
    };
    // Three rows, a pixel spare on each for rounding of the font's cell.
    auto fits = [&](int glyphHeight) {
        return widestAt(glyphHeight) + 2 * margin <= width && 3 * (glyphHeight + 1) + 2 * margin <= height;
    };
    int glyphHeight = preferred;
    if (!fits(glyphHeight)) {
        // Widths grow in proportion with the height: start from that guess, then step.
        const double widest = widestAt(preferred);
        const double byWidth = widest > 0.0 ? preferred * (width - 2.0 * margin) / widest : 0.0;
        const double byHeight = (height - 2.0 * margin) / 3.0 - 1.0;
        glyphHeight = std::min(preferred - 1, int(std::floor(std::min(byWidth, byHeight))));
        while (glyphHeight >= smallest && !fits(glyphHeight))
            --glyphHeight;
        while (glyphHeight >= smallest && glyphHeight + 1 < preferred && fits(glyphHeight + 1))
            ++glyphHeight;
        if (glyphHeight < smallest)
            glyphHeight = 0;
    }
    lastKey = key;
    lastHeight = glyphHeight;
    return glyphHeight;
}

unsigned DrawSceneText(int mode, float longitude, int64_t scaledStep, double pixelRatio) {
    const SceneLines lines{FormatClockLine(g_clockHours, g_clockMinutes, g_clockSeconds),
                           FormatLongitudeLine(longitude), FormatFpsLine(scaledStep, g_timeFactor)};
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // An overlay: magenta, unlit, never hidden by the globe. The scene gets
    // its lighting and depth test back for the next frame.
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 0.0f, 1.0f);
    const unsigned fontBase = mode == ViewFromSpace
                                  ? DrawCornerText(lines, viewport[2], viewport[3], pixelRatio)
                                  : DrawScenePointText(lines, pixelRatio);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    return fontBase;
}

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

    const unsigned fontBase = DrawSceneText(mode, longitude, scaledStep, frame.pixelRatio);

    glPopMatrix();
    glFinish();
    glFlush();
    if (frame.swapBuffers)
        frame.swapBuffers();
    DeleteFontLists(fontBase);
    return scaledStep;
}
