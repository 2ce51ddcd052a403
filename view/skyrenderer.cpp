#include "skyrenderer.h"

#include "../orbit/liveorbit.h"
#include "../orbit/observer.h"
#include "core/livescene.h"
#include "core/skyscene.h"
#include "glyphs.h"
#include "scenerenderer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <vector>

namespace {

bool g_skyGrid = true;
constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kMinutesPerDay = 1440.0;

// The bright stars, read once from the catalogue the system installs; none when it is missing.
const std::vector<CatalogueStar> &BrightStars() {
    static const std::vector<CatalogueStar> stars = [] {
        std::vector<CatalogueStar> read;
        std::string why;
        if (!ReadStarCatalogue(kBrightStarCatalogue, 5.5, read, why))
            std::fprintf(stderr, "QUOR: no stars in the sky: %s %s\n", kBrightStarCatalogue, why.c_str());
        return read;
    }();
    return stars;
}

std::string LocalMinute(double jd) {
    const time_t t = static_cast<time_t>(std::floor(UnixMsFromJulianDate(jd) / 1000.0));
    tm parts{};
    char buffer[16] = "";
    if (localtime_r(&t, &parts))
        std::strftime(buffer, sizeof buffer, "%H:%M", &parts);
    return buffer;
}

LookAngles LookAtState(const Observer &observer, const LiveState &state) {
    return Look(observer, state.position, state.velocity, state.gmst);
}

// Puts the raster position at a pixel counted down from the picture's top.
void RasterAt(double x, double yDown) {
    glRasterPos2f(0.25f, 0.25f);
    glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(x), static_cast<float>(-yDown), nullptr);
}

void Disc(double x, double y, double radius, int segments = 20) {
    glBegin(GL_TRIANGLE_FAN);
    glVertex2d(x, y);
    for (int i = 0; i <= segments; ++i) {
        const double a = 2.0 * std::numbers::pi * i / segments;
        glVertex2d(x + radius * std::cos(a), y + radius * std::sin(a));
    }
    glEnd();
}

// The Moon's lit side: the half towards the Sun, and the terminator's ellipse
// taken from it (a crescent) or added to it (a gibbous Moon).
void LitMoon(const SkyMark &moon) {
    const double r = moon.radiusPx, k = std::clamp(moon.litFraction, 0.0, 1.0);
    // The picture's y runs down: an angle counter-clockwise on the screen is negative here.
    const double a = -moon.sunwardDeg * kDegree;
    const double ux = std::cos(a), uy = std::sin(a), vx = -uy, vy = ux;
    const double terminator = (2.0 * k - 1.0) * r; // how far the terminator bulges away from the Sun
    glBegin(GL_TRIANGLE_STRIP);
    constexpr int kSteps = 24;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = -std::numbers::pi / 2 + std::numbers::pi * i / kSteps;
        const double across = std::sin(t) * r, along = std::cos(t);
        glVertex2d(moon.x + along * r * ux + across * vx, moon.y + along * r * uy + across * vy);
        glVertex2d(moon.x - along * terminator * ux + across * vx, moon.y - along * terminator * uy + across * vy);
    }
    glEnd();
}

// A line through sky directions, broken where it leaves the picture's front.
void SkyLine(const SkyLook &look, int width, int height, const std::vector<std::pair<double, double>> &points) {
    bool open = false;
    double lastX = 0, lastY = 0;
    for (const auto &[az, el] : points) {
        double x = 0, y = 0;
        const bool shown = ProjectSky(look, width, height, az, el, x, y) &&
                           std::fabs(x) < 20.0 * width && std::fabs(y) < 20.0 * height;
        if (shown && open && std::hypot(x - lastX, y - lastY) < 2.0 * (width + height)) {
            glVertex2d(lastX, lastY);
            glVertex2d(x, y);
        }
        open = shown;
        lastX = x;
        lastY = y;
    }
}

} // namespace

bool SkyGrid() {
    return g_skyGrid;
}

void SetSkyGrid(bool on) {
    g_skyGrid = on;
}

SkyTexts DrawSkyScene(const LiveSceneInput &live, LiveOrbit &orbit, const LiveState &state, SkyLook &look,
                      bool follow, int width, int height, double pixelRatio) {
    SkyTexts texts;
    const ObserverPlace &place = *live.place;
    const SkyAt sky(place, live.clock.utcMs);
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    const bool placed = HasPosition(state);
    const LookAngles angles = placed ? LookAtState(observer, state) : LookAngles{};
    if (follow)
        look = FollowLook(placed && angles.elevation > 0.0, angles.azimuth, angles.elevation, live.pass,
                          look.fovDeg);

    // The pass's path: a point every 10 s, a tick each minute; a slow orbit's day-long
    // pass gets no more than a few hundred of either.
    std::vector<std::pair<double, double>> path;
    std::vector<SkyTrackTick> ticks;
    if (live.pass && placed) {
        const Pass &pass = *live.pass;
        const double span = std::max(0.0, pass.set.jd - pass.rise.jd);
        const double pathStep = std::max(10.0 / 86400.0, span / 300.0);
        const double tickStep = std::max(1.0, std::ceil(span * kMinutesPerDay / 120.0)) / kMinutesPerDay;
        for (double jd = pass.rise.jd; jd <= pass.set.jd + 1e-9; jd += pathStep) {
            const LiveState s = orbit.At(jd);
            if (s.error == 0) {
                const LookAngles p = LookAtState(observer, s);
                path.emplace_back(p.azimuth, p.elevation);
            }
        }
        for (double jd = std::ceil(pass.rise.jd * kMinutesPerDay) / kMinutesPerDay; jd <= pass.set.jd;
             jd += tickStep) {
            const LiveState s = orbit.At(jd);
            if (s.error != 0)
                continue;
            const LookAngles p = LookAtState(observer, s);
            ticks.push_back({p.azimuth, p.elevation, LocalMinute(jd),
                             pass.visible && jd >= pass.visibleStart.jd && jd <= pass.visibleEnd.jd});
        }
    }
    StationInSky station;
    station.placed = placed;
    station.azimuth = angles.azimuth;
    station.elevation = angles.elevation;
    station.rangeKm = angles.range;
    station.sunlit = state.sunlit;
    const SkyPicture picture = ComposeSky(sky, BrightStars(), station, ticks, look, width, height);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);

    // The sky and the ground, coloured at the corners of a grid over the picture.
    const SkyBody sun = sky.Sun();
    const double sunAz = sun.direction.azimuth, sunEl = sun.direction.elevation;
    constexpr int kColumns = 48, kRows = 36;
    std::vector<SkyColour> colours((kColumns + 1) * (kRows + 1));
    const double daylight = std::clamp((sunEl + 18.0) / 24.0, 0.0, 1.0);
    for (int j = 0; j <= kRows; ++j)
        for (int i = 0; i <= kColumns; ++i) {
            double az = 0, el = 0;
            UnprojectSky(look, width, height, width * double(i) / kColumns, height * double(j) / kRows, az, el);
            const double c = std::sin(el * kDegree) * std::sin(sunEl * kDegree) +
                             std::cos(el * kDegree) * std::cos(sunEl * kDegree) * std::cos((az - sunAz) * kDegree);
            const double fromSun = std::acos(std::clamp(c, -1.0, 1.0)) / kDegree;
            colours[j * (kColumns + 1) + i] =
                el >= 0.0 ? SkyColourAt(sunEl, fromSun, el)
                          : SkyColour{float(0.02 + 0.10 * daylight), float(0.03 + 0.12 * daylight),
                                      float(0.02 + 0.06 * daylight)};
        }
    glBegin(GL_QUADS);
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i)
            for (const auto &[di, dj] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
                const SkyColour &c = colours[(j + dj) * (kColumns + 1) + i + di];
                glColor3f(c.r, c.g, c.b);
                glVertex2d(width * double(i + di) / kColumns, height * double(j + dj) / kRows);
            }
    glEnd();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(static_cast<float>(std::max(1.0, pixelRatio)));
    std::vector<std::pair<double, double>> line;
    if (g_skyGrid) {
        glColor4f(0.6f, 0.7f, 0.9f, 0.22f);
        glBegin(GL_LINES);
        for (int el = 15; el < 90; el += 15) {
            line.clear();
            for (int az = 0; az <= 360; ++az)
                line.emplace_back(az, el);
            SkyLine(look, width, height, line);
        }
        for (int az = 0; az < 360; az += 30) {
            line.clear();
            for (int el = 0; el <= 88; ++el)
                line.emplace_back(az, el);
            SkyLine(look, width, height, line);
        }
        glEnd();
    }
    // The horizon, with its compass marks.
    glColor4f(0.55f, 0.6f, 0.5f, 1.0f);
    glBegin(GL_LINES);
    line.clear();
    for (int tenth = 0; tenth <= 3600; tenth += 5)
        line.emplace_back(tenth / 10.0, 0.0);
    SkyLine(look, width, height, line);
    glEnd();

    // Stars and marks, then the pass's path.
    for (const SkyMark &mark : picture.marks) {
        if (mark.kind != SkyMark::Kind::Star)
            continue;
        const float b = mark.brightness;
        glColor4f(b, b, b * 0.95f, 1.0f);
        Disc(mark.x, mark.y, mark.radiusPx * pixelRatio, 8);
    }
    if (!path.empty()) {
        glColor4f(1.0f, 0.85f, 0.2f, 0.8f);
        glBegin(GL_LINES);
        SkyLine(look, width, height, path);
        glEnd();
    }
    const int small = static_cast<int>(std::lround(16 * pixelRatio));
    const unsigned font = BuildFontLists(scene::kTextFace, small);
    for (const SkyMark &mark : picture.marks) {
        switch (mark.kind) {
        case SkyMark::Kind::TrackTick:
            glColor4f(1.0f, 0.85f, 0.2f, mark.brightness);
            Disc(mark.x, mark.y, mark.radiusPx * pixelRatio, 8);
            RasterAt(mark.x + 6 * pixelRatio, mark.y - 6 * pixelRatio);
            PrintString(font, mark.label.c_str());
            break;
        case SkyMark::Kind::Moon: {
            glColor4f(0.12f, 0.12f, 0.14f, 1.0f);
            Disc(mark.x, mark.y, mark.radiusPx, 48);
            glColor4f(0.92f, 0.92f, 0.85f, 1.0f);
            LitMoon(mark);
            break;
        }
        case SkyMark::Kind::Sun:
            glColor4f(1.0f, 0.97f, 0.85f, 1.0f);
            Disc(mark.x, mark.y, mark.radiusPx, 48);
            break;
        case SkyMark::Kind::Station:
            glColor4f(1.0f, 1.0f, 1.0f, mark.brightness);
            Disc(mark.x, mark.y, mark.radiusPx * pixelRatio, 12);
            break;
        case SkyMark::Kind::Star:
            break;
        }
    }
    glColor4f(0.8f, 0.85f, 0.75f, 1.0f);
    for (const HorizonMark &mark : HorizonMarks()) {
        double x = 0, y = 0;
        if (!ProjectSky(look, width, height, mark.azimuth, 0.0, x, y) || x < 0 || x > width || y < 0 || y > height)
            continue;
        glBegin(GL_LINES);
        glVertex2d(x, y);
        glVertex2d(x, y + 8 * pixelRatio);
        glEnd();
        RasterAt(x - 5 * pixelRatio * mark.label.size(), y + 26 * pixelRatio);
        PrintString(font, mark.label.c_str());
    }
    DeleteFontLists(font);
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    // The text lines: where it stands, and when it rises or sets.
    char buffer[160];
    if (!placed) {
        texts.where = "No position at the shown time";
    } else if (angles.elevation < 0.0) {
        std::snprintf(buffer, sizeof buffer, "Below the horizon (Az %.0f El %.0f)", angles.azimuth, angles.elevation);
        texts.where = buffer;
    } else if (std::isfinite(picture.stationMagnitude)) {
        std::snprintf(buffer, sizeof buffer, "Az %.0f El %.0f %.0f km mag %.1f", angles.azimuth, angles.elevation,
                      angles.range, picture.stationMagnitude);
        texts.where = buffer;
    } else {
        std::snprintf(buffer, sizeof buffer, "Az %.0f El %.0f %.0f km, in shadow", angles.azimuth, angles.elevation,
                      angles.range);
        texts.where = buffer;
    }
    if (live.pass && placed) {
        const double nowJd = JulianDateFromUnixMs(live.clock.utcMs);
        const int64_t toRise = UnixMsFromJulianDate(live.pass->rise.jd) - live.clock.utcMs;
        const int64_t toSet = UnixMsFromJulianDate(live.pass->set.jd) - live.clock.utcMs;
        if (nowJd < live.pass->rise.jd)
            texts.when = "Rises in " + FormatSpan(toRise) + " in the " + CompassPoint(live.pass->rise.azimuth);
        else if (toSet > 0)
            texts.when = "Sets in " + FormatSpan(toSet) + " in the " + CompassPoint(live.pass->set.azimuth);
    }
    return texts;
}
