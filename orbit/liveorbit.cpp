#include "liveorbit.h"

#include <cmath>

namespace {
constexpr double kMinutesPerDay = 1440.0;
} // namespace

bool LiveOrbit::SetElements(const OrbitalElements &elements) {
    m_track.clear();
    Sgp4 propagator;
    if (!propagator.Init(elements)) {
        m_sgp4 = propagator; // keeps the reason for ErrorText
        m_ready = false;
        return false;
    }
    m_sgp4 = propagator;
    m_elements = elements;
    m_epoch = ::EpochJulianDate(elements);
    m_ready = true;
    return true;
}

double LiveOrbit::PeriodMinutes() const {
    return m_sgp4.PeriodMinutes();
}

const char *LiveOrbit::ErrorText() const {
    return Sgp4::ErrorText(m_sgp4.Error());
}

LiveState LiveOrbit::At(double jdUtc) {
    LiveState s;
    s.minutes = (jdUtc - m_epoch) * kMinutesPerDay;
    s.gmst = Gmst(jdUtc);
    SunDirection(jdUtc, s.sun);
    if (!m_ready) {
        s.error = m_sgp4.Error() ? m_sgp4.Error() : 1;
        return s;
    }
    s.error = m_sgp4.Propagate(s.minutes, s.position, s.velocity);
    double ecef[3];
    TemeToEcef(s.position, s.gmst, ecef);
    s.place = EcefToGeodetic(ecef);
    s.speed = std::sqrt(s.velocity[0] * s.velocity[0] + s.velocity[1] * s.velocity[1] +
                        s.velocity[2] * s.velocity[2]);
    s.sunlit = Sunlit(s.position, s.sun);
    return s;
}

std::vector<std::array<double, 3>> LiveOrbit::Track(double jdUtc, int points) {
    std::vector<std::array<double, 3>> track;
    if (!m_ready || points < 2)
        return track;
    const double period = m_sgp4.PeriodMinutes();
    const double start = (jdUtc - m_epoch) * kMinutesPerDay - period / 2.0;
    const double step = 1.5 * period / (points - 1);
    track.reserve(static_cast<size_t>(points));
    for (int i = 0; i < points; ++i) {
        const double minutes = start + i * step;
        double r[3], v[3], ecef[3];
        if (m_sgp4.Propagate(minutes, r, v) != 0)
            continue;
        // Fixed to the Earth at the moment of each point: the track is where on the map it passes.
        TemeToEcef(r, Gmst(m_epoch + minutes / kMinutesPerDay), ecef);
        track.push_back({ecef[0], ecef[1], ecef[2]});
    }
    return track;
}

const std::vector<std::array<double, 3>> &LiveOrbit::TrackNear(double jdUtc) {
    constexpr double kRecomputeDays = 5.0 / 86400.0;
    if (m_track.empty() || std::fabs(jdUtc - m_trackJd) > kRecomputeDays) {
        m_track = Track(jdUtc, kTrackPoints);
        m_trackJd = jdUtc;
    }
    return m_track;
}
