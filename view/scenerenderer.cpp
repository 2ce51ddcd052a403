#include "scenerenderer.h"

#include "../document/quordoc.h"
#include "arraysink.h"
#include "core/livecamera.h"
#include "core/livescene.h"
#include "core/observerpanel.h"
#include "core/orbitsim.h"
#include "core/scenetext.h"
#include "glshared.h"
#include "glyphs.h"
#include "shapecache.h"
#include "skyrenderer.h"
#include "wiresphere.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

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

void SetCamera(int mode, const SceneFrame &frame, const ScenePoint &station, const ScenePoint &chaser) {
    switch (mode) {
    case ViewFromSpace:
        gluLookAt(0.0, 0.0, -SpaceEyeDistance(frame.zoom), 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        // Dragging turns the Earth and everything on it about its centre.
        glRotatef(frame.tiltAngle - 45.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(frame.spinAngle - 45.0f, 0.0f, 1.0f, 0.0f);
        break;
    case ViewFromISS: {
        const double k = scene::kIssCameraFactor;
        gluLookAt(k * station.x, k * station.y, k * station.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        break;
    }
    case ViewApproach:
        gluLookAt(chaser.x, chaser.y, chaser.z, station.x, station.y, station.z, station.x, station.y,
                  station.z);
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

// The real Sun, far away in the given scene direction: a bright day side and a
// night side dark enough to tell, with the map still faintly there.
void SetSunLight(const ScenePoint &sun) {
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat ambient[] = {0.0f, 0.0f, 0.0f, 1.0f}; // the night side keeps the model's ambient only
    const GLfloat specular[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat position[] = {static_cast<GLfloat>(sun.x), static_cast<GLfloat>(sun.y),
                                static_cast<GLfloat>(sun.z), 0.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
}

// The map's material: the simulated scene's, or for the real Sun one that the
// light alone makes bright.
struct EarthLook {
    GLfloat ambient, diffuse, emission;
};
constexpr EarthLook kSimulatedEarth{0.2f, 0.2f, 0.2f};
constexpr EarthLook kSunlitEarth{1.0f, 1.0f, 0.0f};

void DrawEarth(unsigned texture, float earthAngle, bool solid, const EarthLook &look = kSimulatedEarth) {
    const GLfloat ambient[] = {look.ambient, look.ambient, look.ambient, 1.0f};
    const GLfloat diffuse[] = {look.diffuse, look.diffuse, look.diffuse, 1.0f};
    const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat emission[] = {look.emission, look.emission, look.emission, 1.0f};
    glPushMatrix();
    if (&look != &kSimulatedEarth)
        glDisable(GL_COLOR_MATERIAL); // the material below, not the colour a list left behind
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
    glRotatef(earthAngle, 0.0f, 0.0f, 1.0f);
    if (solid) {
        gluSphere(g_quadric, g_earthRadius, 90, 90);
    } else {
        // The station is behind the Earth: a wire frame keeps it in sight.
        WireSphere(g_earthRadius + 50.0, 36, 18);
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

// The model at the current transform's origin, in the camera's scale.
const ClientArraySink *g_modelArrays = nullptr;

void DrawModel(int mode, int32_t modelList) {
    if (mode == ViewApproach) {
        glScalef(scene::kApproachStationScale, scene::kApproachStationScale, scene::kApproachStationScale);
        glColor3f(1.0f, 1.0f, 1.0f);
    } else {
        glScalef(scene::kStationScale, scene::kStationScale, scene::kStationScale);
    }
    glEnable(GL_NORMALIZE);
    if (modelList <= 0)
        return;
    if (g_modelArrays)
        g_modelArrays->Call(static_cast<uint32_t>(modelList));
    else
        glCallList(static_cast<GLuint>(modelList));
}

void DrawStation(int mode, int32_t modelList) {
    glPushMatrix();
    glRotated(g_inclination, 0.0, 0.0, 1.0);
    glRotated(g_issAngle, 0.0, 1.0, 0.0);
    glTranslatef(g_issRadius, 0.0f, 0.0f);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(-180.0f, 0.0f, 1.0f, 0.0f);
    DrawModel(mode, modelList);
    glPopMatrix();
}

void DrawChaser(const ScenePoint &at) {
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glTranslatef(static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z));
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    SolidSphere(1.0);
    glPopMatrix();
}

using scene::kTextFace;

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

namespace {

unsigned DrawSceneLines(int mode, const SceneLines &lines, double pixelRatio) {
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

} // namespace

unsigned DrawSceneText(int mode, float longitude, int64_t scaledStep, double pixelRatio) {
    const SceneLines lines{FormatClockLine(g_clockHours, g_clockMinutes, g_clockSeconds),
                           FormatLongitudeLine(longitude), FormatFpsLine(scaledStep, g_timeFactor)};
    return DrawSceneLines(mode, lines, pixelRatio);
}

namespace {

// What every frame does before its camera, and after its text.
void BeginFrame(const SceneFrame &frame) {
    if (frame.makeCurrent)
        frame.makeCurrent();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
}

void EndFrame(const SceneFrame &frame, unsigned fontBase) {
    glPopMatrix();
    glFinish();
    glFlush();
    if (frame.swapBuffers)
        frame.swapBuffers();
    DeleteFontLists(fontBase);
}

// The station on the real orbit, flying as the real one does.
void DrawStationAt(int mode, int32_t modelList, const double position[3], const double velocity[3]) {
    const std::array<double, 16> m = StationAttitudeMatrix(ToScene(position), ToScene(velocity));
    glPushMatrix();
    glMultMatrixd(m.data());
    DrawModel(mode, modelList);
    glPopMatrix();
}

// The track on the globe: dim behind the station, bright ahead of it, with
// arrowheads pointing the way it goes.
void DrawGroundTrack(LiveOrbit &orbit, double jd, double gmst) {
    const auto &track = orbit.TrackNear(jd);
    if (track.size() < 2)
        return;
    // Earth-fixed to the scene at this moment, lifted just off the surface.
    const double c = std::cos(gmst), sn = std::sin(gmst);
    std::vector<ScenePoint> points;
    points.reserve(track.size());
    for (const auto &p : track) {
        const double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        const double lift = r > 0.0 ? kEarthEquatorialRadiusKm * 1.004 / r : 0.0;
        const double teme[3] = {(c * p[0] - sn * p[1]) * lift, (sn * p[0] + c * p[1]) * lift, p[2] * lift};
        points.push_back(ToScene(teme));
    }
    // The station's own point lies a third of the way along (half an orbit of one and a half).
    const size_t now = points.size() / 3;
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    glBegin(GL_LINE_STRIP);
    for (size_t i = 0; i < points.size(); ++i) {
        if (i <= now)
            glColor3f(0.6f, 0.35f, 0.0f);
        else
            glColor3f(1.0f, 0.9f, 0.1f);
        glVertex3d(points[i].x, points[i].y, points[i].z);
    }
    glEnd();
    glBegin(GL_LINES);
    for (size_t i = now + 10; i + 1 < points.size(); i += 20) {
        const ScenePoint &p = points[i], &q = points[i + 1];
        double d[3] = {q.x - p.x, q.y - p.y, q.z - p.z};
        const double up[3] = {p.x, p.y, p.z};
        double side[3] = {d[1] * up[2] - d[2] * up[1], d[2] * up[0] - d[0] * up[2],
                          d[0] * up[1] - d[1] * up[0]};
        const double dn = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const double sideN = std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]);
        if (dn <= 0.0 || sideN <= 0.0)
            continue;
        constexpr double kArrow = 180.0; // scene km
        for (int k = 0; k < 3; ++k) {
            d[k] *= kArrow / dn;
            side[k] *= 0.6 * kArrow / sideN;
        }
        for (int wing : {-1, 1}) {
            glVertex3d(q.x, q.y, q.z);
            glVertex3d(q.x - d[0] + wing * side[0], q.y - d[1] + wing * side[1], q.z - d[2] + wing * side[2]);
        }
    }
    glEnd();
    glLineWidth(1.0f);
    glEnable(GL_LIGHTING);
}

// The observer's place: a bright disc on the globe, unlit so it shows by night too.
void DrawObserverMark(const ObserverPlace &place, double gmst) {
    const std::vector<ScenePoint> mark = ObserverMark(place, gmst, 120.0, 24);
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.5f, 0.0f);
    glBegin(GL_TRIANGLE_FAN);
    for (const ScenePoint &p : mark)
        glVertex3d(p.x, p.y, p.z);
    glEnd();
    glPopAttrib();
}

// The live orbit's frame: the real station at the clock's moment, the map turned
// by the sidereal time and lit by the real Sun. Where the elements give no place
// then, the Earth alone, seen from space.
int64_t DrawLiveFrame(const SceneFrame &frame) {
    CQUORDoc *doc = frame.doc;
    const LiveSceneInput &live = *frame.live;
    LiveOrbit &orbit = *live.orbits.front();
    const double jd = JulianDateFromUnixMs(live.clock.utcMs);
    const LiveState state = orbit.At(jd);
    const bool placed = HasPosition(state);
    // The chaser rides behind and below the station on its track, near enough that
    // the station (some 120 scene km across in that camera) fills much of the view.
    constexpr double kChaserLagDays = 25.0 / 86400.0, kChaserDropKm = 40.0;
    double chaserKm[3] = {};
    if (placed) {
        const LiveState behind = orbit.At(jd - kChaserLagDays);
        const double r =
            std::sqrt(behind.position[0] * behind.position[0] + behind.position[1] * behind.position[1] +
                      behind.position[2] * behind.position[2]);
        for (int i = 0; i < 3; ++i)
            chaserKm[i] = r > 0.0 && behind.error == 0 ? behind.position[i] * (1.0 - kChaserDropKm / r) : 0.0;
    }
    const ScenePoint station = ToScene(state.position), chaser = ToScene(chaserKm);

    if (placed) {
        doc->m_latitude = static_cast<float>(state.place.latitude);
        doc->m_longitude = static_cast<float>(state.place.longitude);
        doc->m_altitude = static_cast<float>(state.place.altitude);
        doc->m_speed = static_cast<float>(state.speed);
    }
    BeginFrame(frame);

    // The sky from the watcher's place, station or none.
    if (doc->m_viewMode == ViewFromHere && live.place && live.place->set) {
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        SkyLook widest;
        SkyLook &look = frame.skyLook ? *frame.skyLook : widest;
        const SkyTexts texts = DrawSkyScene(live, orbit, state, look, frame.skyLook ? frame.skyFollow : true,
                                            viewport[2], viewport[3], frame.pixelRatio);
        if (frame.finishScene)
            frame.finishScene();
        const SceneLines lines{FormatUtcClockLine(live.clock.utcMs) + ShownTimeSceneMarker(live.clock), texts.where,
                               texts.when};
        const unsigned fontBase = DrawSceneLines(ViewFromSpace, lines, frame.pixelRatio);
        EndFrame(frame, fontBase);
        return live.clock.stepMs;
    }

    // Without a station the cameras that ride with it have nothing to follow.
    // From Here without a place, too.
    const int mode = placed && doc->m_viewMode != ViewFromHere ? doc->m_viewMode : ViewFromSpace;
    if (!placed) {
        SetCamera(ViewFromSpace, frame, station, chaser);
    } else if (mode == ViewFromSpace) {
        const CameraPose pose = LiveSpaceCamera(
            station, ToScene(state.velocity), SpaceEyeDistance(frame.zoom), frame.spinAngle, frame.tiltAngle);
        gluLookAt(pose.eye.x, pose.eye.y, pose.eye.z, pose.centre.x, pose.centre.y, pose.centre.z, pose.up.x,
                  pose.up.y, pose.up.z);
        const double shrink = LiveSpaceSceneScale(station, SpaceEyeDistance(frame.zoom));
        if (shrink < 1.0) {
            glScaled(shrink, shrink, shrink);
            glEnable(GL_NORMALIZE); // the globe's normals keep their length for the light
        }
    } else {
        SetCamera(mode, frame, station, chaser);
    }
    SetSunLight(ToScene(state.sun));
    // Every live camera keeps the station in front of the Earth: always the textured globe.
    DrawEarth(frame.earthTexture, EarthAngleForGmst(state.gmst), true, kSunlitEarth);
    if (placed && doc->m_groundTrack)
        DrawGroundTrack(orbit, jd, state.gmst);
    if (live.place && live.place->set)
        DrawObserverMark(*live.place, state.gmst);
    if (placed) {
        DrawStationAt(mode, doc->m_modelList, state.position, state.velocity);
        DrawChaser(chaser);
    }

    if (frame.finishScene)
        frame.finishScene();
    // A moment, a speed or a pause other than now's is marked after the clock.
    const SceneLines lines{FormatUtcClockLine(live.clock.utcMs) + ShownTimeSceneMarker(live.clock),
                           placed ? FormatLongitudeLine(doc->m_longitude) : std::string(kNoLongitudeLine),
                           FormatFpsLine(live.clock.stepMs, live.clock.factor)};
    const unsigned fontBase = DrawSceneLines(mode, lines, frame.pixelRatio);

    EndFrame(frame, fontBase);
    return live.clock.stepMs;
}

} // namespace

void SetModelArraySink(const ClientArraySink *sink) {
    g_modelArrays = sink;
}

int64_t DrawSceneFrame(const SceneFrame &frame) {
    CQUORDoc *doc = frame.doc;
    if (doc && doc->m_live && frame.live && !frame.live->orbits.empty() && frame.live->orbits.front() &&
        frame.live->orbits.front()->Ready())
        return DrawLiveFrame(frame);
    const int64_t scaledStep = AdvanceClock();
    const float longitude = ComputePositions(doc);
    BeginFrame(frame);

    // The simulated orbit has no watcher's place to look up from.
    const int mode = doc && doc->m_viewMode != ViewFromHere ? doc->m_viewMode : ViewFromSpace;
    SetCamera(mode, frame, g_issPos, g_chaserPos);
    SetLight();
    AdvanceOrbits(doc, frame.sender);
    DrawEarth(frame.earthTexture, g_earthAngle, mode == ViewApproach || g_issPos.z < 0.0);
    DrawStation(mode, doc ? doc->m_modelList : 0);
    DrawChaser(g_chaserPos);

    if (frame.finishScene)
        frame.finishScene();
    const unsigned fontBase = DrawSceneText(mode, longitude, scaledStep, frame.pixelRatio);

    EndFrame(frame, fontBase);
    return scaledStep;
}
