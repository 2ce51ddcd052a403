// How the live station is turned and where the live "From Space" camera stands,
// at moments around a real orbit.
#include "orbit/elements.h"
#include "orbit/liveorbit.h"
#include "view/core/livecamera.h"
#include "view/core/livescene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double Dot(const ScenePoint &a, const ScenePoint &b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
double Length(const ScenePoint &a) {
    return std::sqrt(Dot(a, a));
}
ScenePoint Cross(const ScenePoint &a, const ScenePoint &b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double CosAngle(const ScenePoint &a, const ScenePoint &b) {
    return Dot(a, b) / (Length(a) * Length(b));
}

// A direction given in the model file's axes, as the attitude turns it into the scene:
// the display list holds file (x, y, z) as (x, z, -y).
ScenePoint Turned(const std::array<double, 16> &m, double x, double y, double z) {
    const double l[3] = {x, z, -y};
    return {m[0] * l[0] + m[4] * l[1] + m[8] * l[2], m[1] * l[0] + m[5] * l[1] + m[9] * l[2],
            m[2] * l[0] + m[6] * l[1] + m[10] * l[2]};
}

struct Moment {
    ScenePoint position, velocity;
};

// The test station's states every 9 minutes over more than an orbit.
std::vector<Moment> Orbit() {
    std::string text, why;
    EXPECT_TRUE(ReadElementsText(QUOR_SOURCE_DIR "/tests/data/live/station.tle", text, why)) << why;
    const ElementsFile file = ParseElements(text);
    std::vector<Moment> moments;
    LiveOrbit orbit;
    if (file.sets.empty() || !orbit.SetElements(file.sets[0]))
        return moments;
    for (int minute = 0; minute < 100; minute += 9) {
        const LiveState s = orbit.At(orbit.EpochJulianDate() + minute / 1440.0);
        moments.push_back({ToScene(s.position), ToScene(s.velocity)});
    }
    return moments;
}

} // namespace

// +XVV: the bundled station's layout (its generator puts the laboratory end at
// file +Y, the truss along X with Kibo towards -X, the modules under the truss, -Z)
// flies laboratory first, Earth-facing side down and Kibo on the port side.
TEST(LiveCamera, StationFliesLaboratoryFirstWithKiboToPort) {
    const std::vector<Moment> orbit = Orbit();
    ASSERT_GT(orbit.size(), 10u);
    for (const Moment &at : orbit) {
        const std::array<double, 16> m = StationAttitudeMatrix(at.position, at.velocity);
        const ScenePoint nadir{-at.position.x, -at.position.y, -at.position.z};
        const ScenePoint port = Cross(at.position, at.velocity); // the orbit's normal: left of travel
        EXPECT_GT(CosAngle(Turned(m, 0, 1, 0), at.velocity), std::cos(0.5 * M_PI / 180.0)) << "forward";
        EXPECT_NEAR(CosAngle(Turned(m, 0, 0, -1), nadir), 1.0, 1e-12) << "Earth-facing side down";
        EXPECT_NEAR(CosAngle(Turned(m, -1, 0, 0), port), 1.0, 1e-6) << "Kibo to port";
        EXPECT_NEAR(Length(Turned(m, 0.6, -0.8, 0)), 1.0, 1e-12) << "no stretch";
        EXPECT_DOUBLE_EQ(m[12], at.position.x);
        EXPECT_DOUBLE_EQ(m[13], at.position.y);
        EXPECT_DOUBLE_EQ(m[14], at.position.z);
        EXPECT_EQ(m[15], 1.0);
    }
}

// The camera stays on the station's side all round the orbit, with the station on
// its line of sight in front of the globe and flying to the right of the picture;
// dragging swings it about the Earth's centre from there.
TEST(LiveCamera, FromSpaceFollowsTheStationAndTurnsWithTheDrag) {
    const std::vector<Moment> orbit = Orbit();
    ASSERT_GT(orbit.size(), 10u);
    const double distance = 12000.0;
    for (const Moment &at : orbit) {
        const CameraPose pose = LiveSpaceCamera(at.position, at.velocity, distance, 45.0f, 45.0f);
        const ScenePoint look{pose.centre.x - pose.eye.x, pose.centre.y - pose.eye.y,
                              pose.centre.z - pose.eye.z};
        EXPECT_EQ(Length(pose.centre), 0.0);
        EXPECT_NEAR(Length(pose.eye), distance, 1e-6);
        EXPECT_NEAR(CosAngle(pose.eye, at.position), 1.0, 1e-12) << "the station on the line of sight";
        const ScenePoint gap{at.position.x - pose.eye.x, at.position.y - pose.eye.y,
                             at.position.z - pose.eye.z};
        EXPECT_LT(Length(gap), distance - g_earthRadius) << "the station nearer than the globe";
        EXPECT_NEAR(Dot(pose.up, look), 0.0, 1e-6);
        EXPECT_GT(CosAngle(Cross(look, pose.up), at.velocity), 0.999) << "flying to the right";

        const ScenePoint up = pose.up;
        const CameraPose spun = LiveSpaceCamera(at.position, at.velocity, distance, 75.0f, 45.0f);
        EXPECT_NEAR(CosAngle(spun.eye, at.position), std::cos(M_PI / 6.0), 1e-9) << "30 degrees";
        EXPECT_LT(Dot(spun.eye, at.velocity), 0.0) << "back along the track: the globe follows the mouse";
        EXPECT_NEAR(CosAngle(spun.up, up), 1.0, 1e-9) << "about the picture's vertical";
        const CameraPose tilted = LiveSpaceCamera(at.position, at.velocity, distance, 45.0f, 65.0f);
        EXPECT_NEAR(CosAngle(tilted.eye, at.position), std::cos(M_PI / 9.0), 1e-9) << "20 degrees";
        EXPECT_LT(Dot(tilted.eye, up), 0.0) << "towards the picture's bottom";
        EXPECT_NEAR(Length(tilted.eye), distance, 1e-6);
        EXPECT_NEAR(Dot(tilted.up, tilted.eye), 0.0, 1e-6);
        EXPECT_NEAR(Length(tilted.up), 1.0, 1e-12);
    }

    // Low orbits are drawn as they are; a high one is drawn smaller, so that the station
    // stays between the eye and the globe, and the globe within the far plane.
    for (const Moment &at : orbit)
        EXPECT_EQ(LiveSpaceSceneScale(at.position, 7000.0), 1.0);
    for (double radius : {8000.0, 20000.0, 37400.0 /* geostationary */}) {
        const ScenePoint station{0.0, 0.0, radius};
        for (double eye : {7000.0, 12000.0, 13000.0}) {
            const double k = LiveSpaceSceneScale(station, eye);
            EXPECT_GT(k, 0.0);
            EXPECT_LE(k, 1.0);
            EXPECT_LT(k * radius, eye - 500.0) << radius << " at " << eye;
            EXPECT_GT(k * radius, k * g_earthRadius + 500.0);
            EXPECT_LT(eye + k * g_earthRadius, 19000.0);
        }
    }
    EXPECT_EQ(LiveSpaceSceneScale({NAN, 0.0, 0.0}, 12000.0), 1.0);

    // A state without a position (the propagator failed) keeps the globe in view.
    for (const Moment &bad :
         {Moment{}, Moment{{NAN, 1.0, 1.0}, {1.0, NAN, 0.0}}, Moment{orbit[0].position, {0.0, 0.0, 0.0}}}) {
        const CameraPose pose = LiveSpaceCamera(bad.position, bad.velocity, distance, 45.0f, 45.0f);
        EXPECT_EQ(pose.eye.x, 0.0);
        EXPECT_EQ(pose.eye.y, 0.0);
        EXPECT_EQ(pose.eye.z, -distance);
        EXPECT_EQ(pose.up.y, 1.0);
    }
}
