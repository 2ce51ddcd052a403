#include "orbitsim.h"

#include "document/quordoc.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

double g_sinIncl = 0.0;
double g_cosIncl = 0.0;

float g_timeFactor = 30.0f;
uint32_t g_lastFrameTime = 0;
int64_t g_scaledStep = 0;
int g_clockHours = 8;
int g_clockMinutes = 0;
int g_clockSeconds = 0;
int g_clockMillis = 0;
float g_earthAngle = 0.0f;

double g_issAngle = 90.0;
float g_issRadius = 6656.7075f;
float g_issSpeed = 7.68738f;
double g_issPeriod = 0.0;
ScenePoint g_issPos;

float g_chaserAngle = 99.5f;
float g_chaserRadius = 6690.0f;
float g_chaserSpeed = 7.9f;
double g_chaserPeriod = 0.0;
ScenePoint g_chaserPos;

namespace {

uint32_t SystemMilliseconds() {
    timespec ts{};
    // Boot time keeps counting through suspend, like the multimedia timer.
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uint32_t (*g_millisecondSource)() = SystemMilliseconds;

constexpr float kEarthDegreesPerMs = 4.1666e-6f;
constexpr float kIssDecay = 0.00001f;
constexpr double kChaserDecay = 0.000011;

double Radians(double degrees) {
    return degrees * g_pi / 180.0;
}

ScenePoint OrbitPoint(double angle, float radius) {
    const double u = Radians(angle);
    const double r = radius;
    return {r * std::cos(-u) * g_cosIncl, r * std::cos(-u) * g_sinIncl, r * std::sin(-u)};
}

// The station's speed that has decayed to nothing stays at zero: below it
// v² / g would lift the orbit again with the station running backwards.
float DecayedSpeed(float speed, double decay) {
    const float v = static_cast<float>(static_cast<double>(speed) - decay);
    return v > 0.0f ? v : 0.0f;
}

float OrbitRadius(float speed) {
    const double v = speed;
    return static_cast<float>(v * v / static_cast<double>(g_gravity));
}

// A vehicle at rest has no period: it never comes round again. A negative
// speed (the chaser steered below zero) gives a negative period: it orbits backwards.
double OrbitPeriod(float radius, float speed) {
    if (speed == 0.0f || !std::isfinite(speed))
        return std::numeric_limits<double>::infinity();
    return static_cast<double>(radius) * 2000.0 * g_pi / static_cast<double>(speed);
}

double AdvancedAngle(double angle, double period, int64_t step) {
    if (period == 0.0 || !std::isfinite(period))
        return angle;
    return 360.0 / period * static_cast<double>(step) + angle;
}

} // namespace

uint32_t MillisecondClock() {
    return g_millisecondSource();
}

void SetMillisecondClock(uint32_t (*clock)()) {
    g_millisecondSource = clock ? clock : SystemMilliseconds;
}

int64_t AdvanceClock() {
    const uint32_t now = MillisecondClock();
    // The unsigned difference survives the 32-bit wrap; signed, it rejects a clock running back.
    int32_t step = static_cast<int32_t>(now - g_lastFrameTime);
    if (step <= 0 || step > 40)
        step = 30;

    double scaled = static_cast<double>(step) * static_cast<double>(g_timeFactor);
    if (!(std::fabs(scaled) < 9.0e18)) // a non-finite or absurd factor must not break the cast
        scaled = 0.0;
    const int64_t scaledStep = static_cast<int64_t>(scaled);
    g_scaledStep = scaledStep;
    g_lastFrameTime = now;

    const int64_t millis = static_cast<int64_t>(g_clockMillis) + scaledStep;
    if (millis >= 1000) {
        ++g_clockSeconds;
        g_clockMillis = 0;
    } else {
        g_clockMillis = static_cast<int>(millis);
    }
    if (g_clockSeconds >= 60) {
        ++g_clockMinutes;
        g_clockSeconds = 0;
        if (g_clockMinutes >= 60) {
            ++g_clockHours;
            g_clockMinutes = 0;
        }
    }

    g_earthAngle =
        static_cast<float>(static_cast<double>(scaledStep) * static_cast<double>(kEarthDegreesPerMs) +
                           static_cast<double>(g_earthAngle));
    if (g_earthAngle >= 360.0f)
        g_earthAngle = 0.0f;
    return scaledStep;
}

float ComputePositions(CQUORDoc *doc) {
    g_issPos = OrbitPoint(g_issAngle, g_issRadius);
    const ScenePoint &p = g_issPos;

    // At the centre (radius 0) there is no direction; report the equator.
    float latitude = 0.0f;
    if (g_issRadius > 0.0f) {
        const double sinLatitude = std::clamp(p.y / static_cast<double>(g_issRadius), -1.0, 1.0);
        latitude = static_cast<float>(90.0 - std::acos(sinLatitude) * 180.0 / g_pi);
    }

    float longitude = 0.0f;
    if (!(p.x * p.x + p.z * p.z < 1e-6))
        longitude =
            static_cast<float>(std::atan2(p.x, p.z) * 180.0 / g_pi - static_cast<double>(g_earthAngle));
    if (longitude < -180.0f)
        longitude += 360.0f;
    if (longitude > 180.0f)
        longitude -= 360.0f;

    if (doc) {
        doc->m_latitude = latitude;
        doc->m_longitude = longitude;
    }
    g_chaserPos = OrbitPoint(g_chaserAngle, g_chaserRadius);
    return longitude;
}

void AdvanceOrbits(CQUORDoc *doc, View *sender) {
    g_issSpeed = DecayedSpeed(g_issSpeed, static_cast<double>(kIssDecay));
    g_issRadius = OrbitRadius(g_issSpeed);
    if (doc) {
        doc->m_altitude =
            static_cast<float>(static_cast<double>(g_issRadius) - static_cast<double>(g_earthRadius));
        doc->m_speed = g_issSpeed;
        doc->UpdateAllViews(sender, 0);
    }
    g_issPeriod = OrbitPeriod(g_issRadius, g_issSpeed);
    g_issAngle = AdvancedAngle(g_issAngle, g_issPeriod, g_scaledStep);
    if (g_issAngle >= 360.0)
        g_issAngle = 0.0;

    // The arrow keys may steer the chaser below zero: it then orbits backwards.
    g_chaserSpeed = static_cast<float>(static_cast<double>(g_chaserSpeed) - kChaserDecay);
    g_chaserRadius = OrbitRadius(g_chaserSpeed);
    g_chaserPeriod = OrbitPeriod(g_chaserRadius, g_chaserSpeed);
    g_chaserAngle = static_cast<float>(AdvancedAngle(g_chaserAngle, g_chaserPeriod, g_scaledStep));
    if (g_chaserAngle >= 360.0f)
        g_chaserAngle = 0.0f;
    else if (g_chaserAngle < 0.0f) // backwards: keep the angle small, so float precision holds
        g_chaserAngle += 360.0f;
}

void InitViewSimulation() {
    g_sinIncl = std::sin(Radians(g_inclination));
    g_cosIncl = std::cos(Radians(g_inclination));
    g_chaserSpeed = g_issSpeed;
}

void ResetOrbitSimulation() {
    g_sinIncl = 0.0;
    g_cosIncl = 0.0;
    g_timeFactor = 30.0f;
    g_lastFrameTime = 0;
    g_scaledStep = 0;
    g_clockHours = 8;
    g_clockMinutes = 0;
    g_clockSeconds = 0;
    g_clockMillis = 0;
    g_earthAngle = 0.0f;
    g_issAngle = 90.0;
    g_issRadius = 6656.7075f;
    g_issSpeed = 7.68738f;
    g_issPeriod = 0.0;
    g_issPos = {};
    g_chaserAngle = 99.5f;
    g_chaserRadius = 6690.0f;
    g_chaserSpeed = 7.9f;
    g_chaserPeriod = 0.0;
    g_chaserPos = {};
}
