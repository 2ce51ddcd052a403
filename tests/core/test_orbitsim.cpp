#include "document/quordoc.h"
#include "framework/document.h"
#include "view/core/orbitsim.h"
#include "view/core/scenetext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

namespace {

uint32_t g_fakeNow = 0;

uint32_t FakeClock() {
    return g_fakeNow;
}

class OrbitSimulation : public ::testing::Test {
protected:
    void SetUp() override {
        ResetOrbitSimulation();
        InitViewSimulation();
        g_fakeNow = 123456; // the first frame: far from g_lastFrameTime 0
        SetMillisecondClock(FakeClock);
    }
    void TearDown() override {
        SetMillisecondClock(nullptr);
        ResetOrbitSimulation();
    }

    // One frame after `wallMs` milliseconds of wall-clock time.
    int64_t Frame(uint32_t wallMs) {
        g_fakeNow += wallMs;
        const int64_t step = AdvanceClock();
        ComputePositions(&doc);
        AdvanceOrbits(&doc, nullptr);
        return step;
    }

    CQUORDoc doc;
};

class RecordingView : public View {
public:
    explicit RecordingView(const CQUORDoc &doc) : m_doc(doc) {}
    void OnUpdate(View *sender, long hint) override {
        ++updates;
        lastSender = sender;
        lastHint = hint;
        speedSeen = m_doc.m_speed;
    }
    int updates = 0;
    View *lastSender = nullptr;
    long lastHint = -1;
    float speedSeen = 0.0f;

private:
    const CQUORDoc &m_doc;
};

bool Finite(const ScenePoint &p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

} // namespace

TEST_F(OrbitSimulation, FirstStepFromStartValues) {
    EXPECT_EQ(Frame(0), 900); // first frame clamped to 30 ms, times factor 30
    EXPECT_EQ(g_lastFrameTime, 123456u);
    EXPECT_NEAR(g_earthAngle, 0.00375, 1e-7);

    // Positions come from the start radius; the station sits on -z.
    EXPECT_NEAR(g_issPos.z, -6656.7075, 1e-3);
    EXPECT_NEAR(g_issPos.x, 0.0, 1e-5);
    EXPECT_NEAR(std::hypot(g_chaserPos.x, g_chaserPos.y, g_chaserPos.z), 6690.0, 1e-6);
    EXPECT_NEAR(doc.m_latitude, 0.0, 1e-8);
    EXPECT_NEAR(doc.m_longitude, 179.99625, 2e-5);

    EXPECT_FLOAT_EQ(doc.m_speed, 7.68737f);
    EXPECT_NEAR(g_issRadius, 6024.02, 0.01);
    EXPECT_NEAR(doc.m_altitude, 363.50, 0.01);
    EXPECT_NEAR(g_issPeriod, 4923667.0, 1.0);
    EXPECT_NEAR(g_issAngle - 90.0, 0.0658, 1e-4);

    // The chaser starts from the station's speed and decays slightly faster.
    EXPECT_FLOAT_EQ(g_chaserSpeed, static_cast<float>(7.68738f - 0.000011));
    EXPECT_LT(g_chaserRadius, g_issRadius);
    EXPECT_NEAR(g_chaserAngle - 99.5f, 0.0658f, 1e-3f);
}

TEST_F(OrbitSimulation, LatitudeAndLongitudeAroundTheOrbit) {
    g_issAngle = 0.0;                                // ascending towards +x, the plane's lowest point
    EXPECT_NEAR(ComputePositions(&doc), 90.0, 1e-4); // atan2(x, z), x first
    EXPECT_NEAR(doc.m_latitude, -51.6, 1e-4);

    g_issAngle = 180.0;
    EXPECT_NEAR(ComputePositions(&doc), -90.0, 1e-4);
    EXPECT_NEAR(doc.m_latitude, 51.6, 1e-4);

    // The Earth's rotation is subtracted and the result brought back once into -180..180.
    g_issAngle = 0.0;
    g_earthAngle = 300.0f;
    EXPECT_NEAR(ComputePositions(&doc), 150.0, 1e-3);
    g_issAngle = 90.0;
    g_earthAngle = -10.0f;
    EXPECT_NEAR(ComputePositions(&doc), -170.0, 1e-3);
    EXPECT_FLOAT_EQ(doc.m_longitude, ComputePositions(nullptr));
}

TEST_F(OrbitSimulation, PolarAxisAndCentreGiveLongitudeZero) {
    g_earthAngle = 5.0f;
    g_issRadius = 0.0005f; // x² + z² below 1e-6
    EXPECT_EQ(ComputePositions(&doc), 0.0f);
    EXPECT_TRUE(std::isfinite(doc.m_latitude));

    g_issRadius = 0.0f;
    EXPECT_EQ(ComputePositions(&doc), 0.0f);
    EXPECT_EQ(doc.m_latitude, 0.0f);
    EXPECT_EQ(g_issPos.x, 0.0);
    EXPECT_EQ(g_issPos.z, 0.0);
}

TEST_F(OrbitSimulation, WallClockStepIsClamped) {
    struct Case {
        uint32_t last, now;
        int64_t scaled;
    };
    const Case cases[] = {
        {0, 123456, 900},                // first frame
        {0xFFFFFFF0u, 0x0000000Au, 780}, // 26 ms across the 32-bit wrap
        {5000, 5000, 900},               // same millisecond
        {5000, 5001, 30},                // 1 ms passes
        {5000, 5040, 1200},              // 40 ms passes
        {5000, 5041, 900},               // a pause
        {5000, 4990, 900},               // clock ran back
    };
    for (const Case &c : cases) {
        g_lastFrameTime = c.last;
        g_fakeNow = c.now;
        EXPECT_EQ(AdvanceClock(), c.scaled) << c.last << " -> " << c.now;
        EXPECT_EQ(g_scaledStep, c.scaled);
        EXPECT_EQ(g_lastFrameTime, c.now);
    }
}

TEST_F(OrbitSimulation, ClockCarriesDropsTheRemainderAndNeverWraps) {
    g_timeFactor = 1.0f;
    for (int i = 0; i < 33; ++i)
        Frame(30);
    EXPECT_EQ(g_clockMillis, 990);
    EXPECT_EQ(g_clockSeconds, 0);
    Frame(30); // 1020 ms: one second, the 20 ms over are lost
    EXPECT_EQ(g_clockSeconds, 1);
    EXPECT_EQ(g_clockMillis, 0);

    // 1200 ms per frame still gains one second each.
    g_timeFactor = 30.0f;
    g_clockSeconds = 0;
    for (int i = 0; i < 59; ++i)
        Frame(40);
    EXPECT_EQ(g_clockSeconds, 59);
    EXPECT_EQ(g_clockMinutes, 0);
    Frame(40);
    EXPECT_EQ(g_clockSeconds, 0);
    EXPECT_EQ(g_clockMinutes, 1);
    EXPECT_EQ(g_clockHours, 8);

    // Seconds carry even on a frame that added none.
    g_timeFactor = 1.0f;
    g_clockMillis = 0;
    g_clockSeconds = 60;
    Frame(30);
    EXPECT_EQ(g_clockSeconds, 0);
    EXPECT_EQ(g_clockMinutes, 2);

    // Hours never wrap.
    g_clockHours = 23;
    g_clockMinutes = 59;
    g_clockSeconds = 59;
    g_clockMillis = 990;
    Frame(30);
    EXPECT_EQ(FormatClockLine(g_clockHours, g_clockMinutes, g_clockSeconds), "Time(GMT):  24:0:0 a.m.");
}

TEST_F(OrbitSimulation, FactorSixtyMovesTheOrbitButTheClockOnlyOneSecond) {
    g_timeFactor = 60.0f;
    Frame(30);
    EXPECT_EQ(g_scaledStep, 1800);
    EXPECT_EQ(g_clockSeconds, 1);
    EXPECT_NEAR(g_earthAngle, 1800 * 4.1666e-6, 1e-7);
    EXPECT_NEAR(g_issAngle - 90.0, 2 * 0.0658, 2e-4);
    // The decay is per step, whatever the factor.
    EXPECT_FLOAT_EQ(g_issSpeed, 7.68737f);
}

TEST_F(OrbitSimulation, AnglesAtOrPastFullTurnResetToZero) {
    g_issAngle = 359.99;
    g_chaserAngle = 359.99f;
    g_earthAngle = 359.999f;
    Frame(30);
    EXPECT_EQ(g_issAngle, 0.0);
    EXPECT_EQ(g_chaserAngle, 0.0f);
    EXPECT_EQ(g_earthAngle, 0.0f);
    Frame(30); // from zero they advance normally again
    EXPECT_NEAR(g_issAngle, 0.0658, 1e-3);
    EXPECT_NEAR(g_earthAngle, 0.00375, 1e-6);
}

TEST_F(OrbitSimulation, ASecondViewKeepsTheRunningSimulation) {
    EXPECT_NEAR(g_sinIncl, std::sin(-51.6 * M_PI / 180), 1e-7);
    EXPECT_NEAR(g_cosIncl, std::cos(-51.6 * M_PI / 180), 1e-7);
    for (int i = 0; i < 100; ++i)
        Frame(30);
    const double angle = g_issAngle;
    const float speed = g_issSpeed;
    const int seconds = g_clockSeconds;
    ASSERT_NE(g_chaserSpeed, speed);

    InitViewSimulation();
    EXPECT_EQ(g_chaserSpeed, speed);
    EXPECT_EQ(g_issSpeed, speed);
    EXPECT_EQ(g_issAngle, angle);
    EXPECT_EQ(g_clockSeconds, seconds);
}

TEST_F(OrbitSimulation, OrbitStepNotifiesOtherViewsWithNewValues) {
    RecordingView sender(doc), panel(doc);
    doc.AddView(&sender);
    doc.AddView(&panel);
    AdvanceClock();
    ComputePositions(&doc);
    AdvanceOrbits(&doc, &sender);
    EXPECT_EQ(sender.updates, 0);
    EXPECT_EQ(panel.updates, 1);
    EXPECT_EQ(panel.lastSender, &sender);
    EXPECT_EQ(panel.lastHint, 0);
    EXPECT_FLOAT_EQ(panel.speedSeen, 7.68737f); // written before the views hear of it
    doc.RemoveView(&sender);
    doc.RemoveView(&panel);
}

TEST_F(OrbitSimulation, DecayRunsToRestAndStaysFinite) {
    int negativeAltitudeAt = -1, restAt = -1, badAt = -1;
    for (int i = 1; i <= 1000000; ++i) {
        const int64_t step = Frame(30);
        if (negativeAltitudeAt < 0 && doc.m_altitude < 0.0f)
            negativeAltitudeAt = i;
        if (restAt < 0 && g_issSpeed == 0.0f)
            restAt = i;
        const bool finite = std::isfinite(doc.m_altitude) && std::isfinite(doc.m_speed) &&
                            std::isfinite(doc.m_latitude) && std::isfinite(doc.m_longitude) &&
                            std::isfinite(g_issAngle) && std::isfinite(g_chaserAngle) &&
                            std::isfinite(g_earthAngle) && Finite(g_issPos) && Finite(g_chaserPos) &&
                            std::isfinite(g_issRadius) && std::isfinite(g_chaserRadius) && step == 900;
        if (!finite && badAt < 0)
            badAt = i;
    }
    EXPECT_EQ(badAt, -1);
    // Float rounding makes each decrement slightly larger than 0.00001.
    EXPECT_GE(negativeAltitudeAt, 23400);
    EXPECT_LE(negativeAltitudeAt, 23700);
    EXPECT_GE(restAt, 760000);
    EXPECT_LE(restAt, 775000);

    // At rest: at the centre, not moving, nothing undefined on screen.
    EXPECT_EQ(g_issSpeed, 0.0f);
    EXPECT_LT(g_chaserSpeed, 0.0f); // decayed past zero: orbiting backwards
    EXPECT_EQ(doc.m_altitude, -g_earthRadius);
    EXPECT_EQ(doc.m_longitude, 0.0f);
    EXPECT_EQ(doc.m_latitude, 0.0f);
    const double angle = g_issAngle;
    Frame(30);
    EXPECT_EQ(g_issAngle, angle);
    EXPECT_EQ(FormatLongitudeLine(doc.m_longitude), "Longitude: 0.00 DEG");
}

// Milliseconds since boot from the kernel, wrapped as the clock wraps them, and
// the sub-second part of that reading.
uint32_t BootMilliseconds(std::chrono::nanoseconds *subSecond = nullptr) {
    timespec ts{};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto since = std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
    if (subSecond)
        *subSecond = std::chrono::nanoseconds(ts.tv_nsec);
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

TEST(MillisecondClock, SystemClockCountsMillisecondsSinceBootAndIsReplaceable) {
    SetMillisecondClock(nullptr);
    // Start well into a second, so that a clock mishandling the sub-second part
    // is far off.
    std::chrono::nanoseconds subSecond{};
    uint32_t before = BootMilliseconds(&subSecond);
    while (subSecond < std::chrono::milliseconds(50))
        before = BootMilliseconds(&subSecond);
    const uint32_t a = MillisecondClock();
    const uint32_t after = BootMilliseconds();
    EXPECT_LE(a - before, after - before) << before << " <= " << a << " <= " << after;
    EXPECT_LT(after - before, 100u);

    const uint32_t b = MillisecondClock();
    EXPECT_LT(b - a, 1000u);
    SetMillisecondClock([] { return 42u; });
    EXPECT_EQ(MillisecondClock(), 42u);
    SetMillisecondClock(nullptr);
    EXPECT_LT(MillisecondClock() - a, 1000u);
}

namespace {
// The clock as the program starts, before any test resets it.
struct ClockReading {
    int hours, minutes, seconds, millis;
};
const ClockReading kClockAtStart = {g_clockHours, g_clockMinutes, g_clockSeconds, g_clockMillis};
} // namespace

TEST_F(OrbitSimulation, ClockStartsAtEightAndCarriesAtExactlyOneSecond) {
    for (const ClockReading &c :
         {kClockAtStart, ClockReading{g_clockHours, g_clockMinutes, g_clockSeconds, g_clockMillis}}) {
        EXPECT_EQ(c.hours, 8);
        EXPECT_EQ(c.minutes, 0);
        EXPECT_EQ(c.seconds, 0);
        EXPECT_EQ(c.millis, 0);
    }
    g_timeFactor = 1.0f;
    g_clockMillis = 969;
    Frame(30);
    EXPECT_EQ(g_clockSeconds, 0);
    EXPECT_EQ(g_clockMillis, 999);
    g_clockMillis = 970;
    Frame(30); // exactly 1000 ms
    EXPECT_EQ(g_clockSeconds, 1);
    EXPECT_EQ(g_clockMillis, 0);
}

// The chaser steered below zero (Down key) follows the orbit formulas backwards.
TEST_F(OrbitSimulation, ChaserBelowZeroSpeedOrbitsBackwards) {
    Frame(30);
    g_chaserSpeed = -7.0f;
    const float angle = g_chaserAngle;
    const int64_t step = Frame(30);
    const double v = static_cast<double>(-7.0f) - 0.000011;
    EXPECT_FLOAT_EQ(g_chaserSpeed, static_cast<float>(v));
    EXPECT_FLOAT_EQ(g_chaserRadius, static_cast<float>(v * v / static_cast<double>(g_gravity)));
    EXPECT_LT(g_chaserPeriod, 0.0);
    EXPECT_NEAR(g_chaserAngle - angle, 360.0 / g_chaserPeriod * step, 1e-4);
    Frame(30);
    EXPECT_NEAR(std::hypot(g_chaserPos.x, g_chaserPos.y, g_chaserPos.z), g_chaserRadius,
                0.1);                   // from the previous step's radius
    EXPECT_GT(g_chaserRadius, 4000.0f); // far from the Earth's centre
    // The station keeps decaying forward.
    EXPECT_GT(g_issSpeed, 0.0f);
    // Backwards past 0 degrees comes round to just under 360.
    g_chaserAngle = 0.001f;
    Frame(30);
    EXPECT_GT(g_chaserAngle, 359.9f);
    EXPECT_LT(g_chaserAngle, 360.0f);
}
