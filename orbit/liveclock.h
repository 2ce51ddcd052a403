#pragma once
// The live orbit's clock: the UTC moment the live scene shows. It runs at real
// speed or faster from a moment the user chose, and can be paused. Its time
// sources are given to it, so that it can be driven by hand.
#include <cstdint>
#include <functional>

// The wall-clock time now, UTC milliseconds since 1970; replaceable for tests.
int64_t UtcNowMs();
void SetUtcNowSource(int64_t (*source)()); // nullptr restores the system clock
// Milliseconds since boot, suspend included, in 64 bits; replaceable for tests.
int64_t ElapsedMs();
void SetElapsedMsSource(int64_t (*source)()); // nullptr restores the system clock

// What the clock shows at one moment.
struct ClockReading {
    int64_t utcMs = 0;   // the shown moment
    int64_t aheadMs = 0; // how far it is ahead of the system's UTC (negative: behind)
    int64_t stepMs = 0;  // how far the last Advance moved it
    float factor = 1.0f;
    bool paused = false;
};

class LiveClock {
public:
    using Source = std::function<int64_t()>;
    // `utcNow`: the system's UTC; `elapsed`: a monotonic millisecond count. Starts
    // at the system's UTC now, at real speed, running.
    LiveClock(Source utcNow, Source elapsed);

    // "Now": the system's UTC again, at factor 1, running.
    void Now();
    // A moment the user chose: the clock runs on from there at the factor in use.
    void SetTime(int64_t utcMs);
    // A new speed, from where the clock stands.
    void SetFactor(float factor);
    // Paused, the shown moment stands still; running again, it goes on from there.
    void SetPaused(bool paused);

    // Moves the clock on to the present. At factor 1 it keeps its distance to the
    // system's UTC, read each time, so a step of the system clock is followed; at
    // other factors it runs the elapsed time since it was last set times the
    // factor, so slow frames lose nothing. Returns how far it moved, in ms.
    int64_t Advance();

    int64_t Time() const { return m_reading.utcMs; }
    float Factor() const { return m_reading.factor; }
    bool Paused() const { return m_reading.paused; }
    const ClockReading &Reading() const { return m_reading; }
    int64_t SystemUtc() const { return m_utcNow(); }

private:
    // Starts running (or standing) from `shown` as of now.
    void Anchor(int64_t shown);

    Source m_utcNow, m_elapsed;
    // Where the clock last started running: its time, the system's UTC and the elapsed count then.
    int64_t m_anchorShown = 0, m_anchorUtc = 0, m_anchorElapsed = 0;
    ClockReading m_reading;
};
