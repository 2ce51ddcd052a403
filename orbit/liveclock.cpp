#include "liveclock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t SystemElapsedMs() {
    timespec ts{};
    // Boot time keeps counting through suspend: a sped-up clock runs on across it.
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t (*g_utcSource)() = SystemUtcMs;
int64_t (*g_elapsedSource)() = SystemElapsedMs;

} // namespace

int64_t UtcNowMs() {
    return g_utcSource();
}

void SetUtcNowSource(int64_t (*source)()) {
    g_utcSource = source ? source : SystemUtcMs;
}

int64_t ElapsedMs() {
    return g_elapsedSource();
}

void SetElapsedMsSource(int64_t (*source)()) {
    g_elapsedSource = source ? source : SystemElapsedMs;
}

LiveClock::LiveClock(Source utcNow, Source elapsed) : m_utcNow(std::move(utcNow)), m_elapsed(std::move(elapsed)) {
    Now();
}

void LiveClock::Anchor(int64_t shown) {
    m_anchorShown = shown;
    m_anchorUtc = m_utcNow();
    m_anchorElapsed = m_elapsed();
    m_reading.utcMs = shown;
    m_reading.aheadMs = shown - m_anchorUtc;
    m_reading.stepMs = 0;
}

void LiveClock::Now() {
    m_reading.factor = 1.0f;
    m_reading.paused = false;
    // Exactly the system's time, with no stray offset between two readings.
    m_anchorUtc = m_utcNow();
    m_anchorShown = m_anchorUtc;
    m_anchorElapsed = m_elapsed();
    m_reading.utcMs = m_anchorUtc;
    m_reading.aheadMs = 0;
    m_reading.stepMs = 0;
}

void LiveClock::SetTime(int64_t utcMs) {
    Anchor(utcMs);
}

void LiveClock::SetFactor(float factor) {
    if (factor == m_reading.factor)
        return;
    if (!m_reading.paused)
        Advance();
    m_reading.factor = factor;
    Anchor(m_reading.utcMs);
}

void LiveClock::SetPaused(bool paused) {
    if (paused == m_reading.paused)
        return;
    if (paused)
        Advance(); // stands at the moment it was stopped
    m_reading.paused = paused;
    Anchor(m_reading.utcMs);
}

int64_t LiveClock::Advance() {
    const int64_t utc = m_utcNow();
    int64_t next = m_reading.utcMs;
    if (m_reading.paused) {
        next = m_reading.utcMs;
    } else if (m_reading.factor == 1.0f) {
        next = utc + (m_anchorShown - m_anchorUtc);
    } else {
        // From the elapsed time since the anchor, not summed step by step; 64 bits,
        // so no wrap however long it runs.
        const double run = static_cast<double>(m_elapsed() - m_anchorElapsed) * static_cast<double>(m_reading.factor);
        next = m_anchorShown + (std::fabs(run) < 9.0e18 ? std::llround(run) : 0);
    }
    m_reading.stepMs = next - m_reading.utcMs;
    m_reading.utcMs = next;
    m_reading.aheadMs = next - utc;
    return m_reading.stepMs;
}
