#pragma once
// The SGP4/SDP4 propagator of the 2006 revision ("Revisiting Spacetrack Report #3"),
// WGS-72 constants, improved mode: positions and velocities in the TEME frame.
#include "elements.h"

#include <memory>

class Sgp4 {
public:
    // Sets the propagator up; false when the elements cannot be propagated (Error()
    // then says why). Periods of 225 minutes or more take the deep-space terms.
    bool Init(const OrbitalElements &elements);

    // Position (km) and velocity (km/s) in TEME at `minutes` after the epoch.
    // Returns 0, or the propagator's error code 1 to 6 (ErrorText names it). With
    // error 6 (decayed) the state is filled in all the same. After a failed Init
    // it returns Init's error; a time that is not finite or beyond a billion
    // minutes gets 1, as no mean elements exist there.
    int Propagate(double minutes, double position[3], double velocity[3]);

    int Error() const;
    static const char *ErrorText(int code);
    // The error code of an orbit that has come down to the Earth by then.
    static constexpr int kErrorDecayed = 6;
    bool DeepSpace() const;
    double PeriodMinutes() const;
    const OrbitalElements &Elements() const;

private:
    struct State;
    // The propagator's state, filled by Init; the standard's own names inside.
    std::shared_ptr<State> m_state;
};
