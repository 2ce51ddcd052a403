#include "passes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180.0;
constexpr double kEarthA = kEarthEquatorialRadiusKm; // the shadow's sphere, as in Sunlit()
constexpr double kSecondsPerDay = 86400.0;
// Events are refined to this, in seconds: far below what any table prints.
constexpr double kTolerance = 1e-3;
// A pass already up at the start is followed back at most this far, and one up
// at the end forward as far: an orbit that never sets is cut there.
constexpr double kMaxExtension = kSecondsPerDay;
// Inside a pass the Sun's and the shadow's functions are looked at this often;
// both turn over hours, so none crosses and crosses back in between.
constexpr double kLightStep = 60.0;
// A longer search is refused: no caller asks for one, and the elements say
// nothing worth listing that far from their epoch.
constexpr double kMaxSpanDays = 366.0;
// An interval of the coarse step that turns out to hold more than one turn of
// the elevation is looked at again in this many pieces.
constexpr int kPieces = 16;
// A rise or set found farther than this from the minimum elevation (degrees) is
// where the elevation jumps, not where it crosses: no track moves a tenth of a
// degree in the millisecond the roots are refined to.
constexpr double kJumpDegrees = 0.1;
// Degrees: see Interval().
constexpr double kTurnSlack = 0.01;
// Seconds between the two states Sky::Coherent() compares.
constexpr double kCoherenceStep = 1.0;

struct Sample {
    double t = 0; // seconds from the search's start
    LookAngles look;
    bool ok = true;
};

// The satellite seen from the observer as a function of seconds from the start.
class Sky {
public:
    Sky(Sgp4 &propagator, const Observer &observer, double startJd)
        : m_propagator(propagator), m_observer(observer), m_startJd(startJd),
          m_startMinutes((startJd - EpochJulianDate(propagator.Elements())) * 1440.0) {}

    double Jd(double t) const { return m_startJd + t / kSecondsPerDay; }

    // The look angles at t. A state the propagator refuses reads as far below the
    // horizon, not ok, and the first such error is kept with its time: nothing
    // found after it can be trusted.
    Sample At(double t) {
        Sample s;
        s.t = t;
        const int code = m_propagator.Propagate(m_startMinutes + t / 60.0, m_position, m_velocity);
        if (code != 0) {
            if (error == 0) {
                error = code;
                errorT = t;
            }
            s.ok = false;
            s.look.elevation = -90;
            return s;
        }
        m_gmst = Gmst(Jd(t));
        s.look = Look(m_observer, m_position, m_velocity, m_gmst);
        return s;
    }

    // After At(): the satellite's TEME position and the sidereal time.
    const double *Position() const { return m_position; }
    double LastGmst() const { return m_gmst; }

    // After At(t): whether the velocity there is the rate of change of the
    // positions, as wherever the propagator works (within a few tenths of a
    // percent). Where it is not, the elevation's rate, which comes from the
    // velocity, says nothing about where the elevation turns.
    bool Coherent(double t) {
        double r[3], v[3];
        std::copy(m_position, m_position + 3, r);
        std::copy(m_velocity, m_velocity + 3, v);
        if (!At(t + kCoherenceStep).ok)
            return true; // the error speaks for itself
        // The chord's velocity against the mean of those at its ends: equal but for
        // the second's jerk, far below a metre a second.
        double mismatch = 0, speed = 0;
        for (int i = 0; i < 3; ++i) {
            const double chord = (m_position[i] - r[i]) / kCoherenceStep;
            mismatch += std::pow(chord - 0.5 * (v[i] + m_velocity[i]), 2);
            speed += v[i] * v[i];
        }
        return std::sqrt(mismatch) <= 0.01 * std::sqrt(speed) + 1e-3;
    }

    // Positive while the satellite sees the Sun's centre above the Earth's limb:
    // its distance from the shadow's axis less the Earth's radius (on the Sun's
    // side, its distance from the centre), continuous across the terminator.
    double Sunlight(double t) {
        At(t);
        double sun[3];
        SunDirection(Jd(t), sun);
        const double *r = m_position;
        const double r2 = r[0] * r[0] + r[1] * r[1] + r[2] * r[2];
        const double along = r[0] * sun[0] + r[1] * sun[1] + r[2] * sun[2];
        const double fromAxis = along >= 0 ? std::sqrt(r2) : std::sqrt(std::fmax(0.0, r2 - along * along));
        return fromAxis - kEarthA;
    }

    // Positive while the Sun is more than `twilight` degrees below the horizon.
    double Darkness(double t, double twilight) const {
        double sun[3];
        const double jd = Jd(t);
        SunDirection(jd, sun);
        return -SunElevation(m_observer, sun, Gmst(jd)) - twilight;
    }

    int error = 0;     // the propagator's first error code, 0 while none
    double errorT = 0; // and where it came

private:
    Sgp4 &m_propagator;
    const Observer &m_observer;
    double m_startJd;
    double m_startMinutes;
    double m_position[3] = {}, m_velocity[3] = {};
    double m_gmst = 0;
};

// Brent's method (Brent 1973, "zero"): a root of f in [a, b], where fa and fb
// differ in sign, to `tolerance`.
template <class F> double Root(F f, double a, double b, double fa, double fb, double tolerance) {
    if (fa == 0)
        return a;
    if (fb == 0)
        return b;
    double c = a, fc = fa, d = b - a, e = d;
    for (int iteration = 0; iteration < 100; ++iteration) {
        if ((fb > 0) == (fc > 0)) {
            c = a;
            fc = fa;
            d = e = b - a;
        }
        if (std::fabs(fc) < std::fabs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
        const double tol = 2.0 * std::numeric_limits<double>::epsilon() * std::fabs(b) + 0.5 * tolerance;
        const double m = 0.5 * (c - b);
        if (std::fabs(m) <= tol || fb == 0)
            return b;
        if (std::fabs(e) >= tol && std::fabs(fa) > std::fabs(fb)) {
            // Secant or inverse quadratic interpolation, kept when it stays well inside.
            double p, q, r;
            const double s = fb / fa;
            if (a == c) {
                p = 2.0 * m * s;
                q = 1.0 - s;
            } else {
                q = fa / fc;
                r = fb / fc;
                p = s * (2.0 * m * q * (q - r) - (b - a) * (r - 1.0));
                q = (q - 1.0) * (r - 1.0) * (s - 1.0);
            }
            if (p > 0)
                q = -q;
            else
                p = -p;
            if (2.0 * p < std::fmin(3.0 * m * q - std::fabs(tol * q), std::fabs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = m;
                e = m;
            }
        } else {
            d = m;
            e = m;
        }
        a = b;
        fa = fb;
        b += std::fabs(d) > tol ? d : (m > 0 ? tol : -tol);
        fb = f(b);
    }
    return b;
}

enum class EventKind { Rise, Culmination, Set };

struct Event {
    double t;
    EventKind kind;
    double elevation; // for a culmination
};

PassPoint Point(Sky &sky, double t) {
    const Sample s = sky.At(t);
    return {sky.Jd(t), s.look.azimuth, s.look.elevation};
}

// The rises, sets and tops above the minimum `m` in (a, b], an interval that holds
// at most one turn of the elevation. False, adding nothing, where it shows more
// (the rate's root is then not the highest point, and may be a low one between
// two tops) or where the elevation jumps across the minimum.
bool Interval(Sky &sky, const Sample &a, const Sample &b, double m, std::vector<Event> &events) {
    const double ae = a.look.elevation, be = b.look.elevation;
    const double ar = a.look.elevationRate, br = b.look.elevationRate;
    // How far below an end the rate's root may fall with one turn only: the rate
    // comes from the propagator's velocity, which is not quite the derivative of
    // its positions (by 0.1% near an eccentric orbit's perigee), so it misses a
    // flat top by seconds and a hundred-thousandth of a degree; and the root is
    // refined to kTolerance, where a sharp top (overhead) still moves. A second
    // turn shows far more.
    const double slack = kTurnSlack + 2.0 * kTolerance * std::max(std::fabs(ar), std::fabs(br));
    // Falling at both ends yet higher at the end, or rising at both yet lower: two turns at least.
    if ((ar < 0 && br < 0 && be > ae + slack) || (ar > 0 && br > 0 && be < ae - slack))
        return false;
    auto elevation = [&](double t) { return sky.At(t).look.elevation - m; };
    auto rate = [&](double t) { return sky.At(t).look.elevationRate; };
    // A crossing of the minimum, unless the elevation jumps there.
    auto crossing = [&](double from, double to, double fFrom, double fTo, double &at) {
        at = Root(elevation, from, to, fFrom, fTo, kTolerance);
        return std::fabs(sky.At(at).look.elevation - m) <= kJumpDegrees;
    };
    std::vector<Event> found;
    double at = 0;
    if ((ae > m) != (be > m)) {
        if (!crossing(a.t, b.t, ae - m, be - m, at))
            return false;
        found.push_back({at, be > m ? EventKind::Rise : EventKind::Set, 0});
    }
    if (ar > 0 && br <= 0) {
        const double top = Root(rate, a.t, b.t, ar, br, kTolerance);
        const double topElevation = sky.At(top).look.elevation;
        if (topElevation < std::max(ae, be) - slack)
            return false;
        if (topElevation > m) {
            if (ae <= m && be <= m) {
                // A short pass between two samples: its rise and set hide around the top.
                if (!crossing(a.t, top, ae - m, topElevation - m, at))
                    return false;
                found.push_back({at, EventKind::Rise, 0});
                if (!crossing(top, b.t, topElevation - m, be - m, at))
                    return false;
                found.push_back({at, EventKind::Set, 0});
            }
            found.push_back({top, EventKind::Culmination, topElevation});
        }
    }
    events.insert(events.end(), found.begin(), found.end());
    return true;
}

} // namespace

std::string UtcMinuteText(double jd) {
    const double seconds = std::floor((jd - 2440587.5) * kSecondsPerDay);
    std::tm utc{};
    char text[48];
    if (std::fabs(seconds) < 1e15) {
        const std::time_t time = static_cast<std::time_t>(seconds);
        if (gmtime_r(&time, &utc) && std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc) > 0)
            return text;
    }
    std::snprintf(text, sizeof text, "Julian date %.5f", jd);
    return text;
}

namespace {

// The elevation's highest point in [a, b] of a pass whose culmination is at
// `culmination`: the elevation climbs to it and falls after it.
double HighestIn(double a, double b, double culmination) {
    return std::clamp(culmination, a, b);
}

// The visible stretches of the pass [rise, set]: sunlit satellite, dark sky. The
// one with the highest elevation is kept in `pass`.
void FindVisibility(Sky &sky, const Observer &observer, const PassSearch &search, double rise, double set,
                    double culmination, Pass &pass) {
    auto darkness = [&](double t) { return sky.Darkness(t, search.twilight); };
    auto sunlight = [&](double t) { return sky.Sunlight(t); };
    std::vector<double> bounds{rise};
    const int pieces = std::max(1, static_cast<int>(std::ceil((set - rise) / kLightStep)));
    double previousT = rise, previousDark = darkness(rise), previousLight = sunlight(rise);
    for (int i = 1; i <= pieces; ++i) {
        const double t = i == pieces ? set : rise + (set - rise) * i / pieces;
        const double dark = darkness(t), light = sunlight(t);
        if ((dark > 0) != (previousDark > 0))
            bounds.push_back(Root(darkness, previousT, t, previousDark, dark, kTolerance));
        if ((light > 0) != (previousLight > 0))
            bounds.push_back(Root(sunlight, previousT, t, previousLight, light, kTolerance));
        previousT = t;
        previousDark = dark;
        previousLight = light;
    }
    bounds.push_back(set);
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end(), [](double a, double b) { return b - a < 1e-6; }),
                 bounds.end());
    double bestElevation = -std::numeric_limits<double>::infinity(), bestStart = 0, bestEnd = 0, bestT = 0;
    for (size_t i = 0; i + 1 < bounds.size();) {
        // Merge the visible pieces that touch into one stretch.
        size_t j = i;
        while (j + 1 < bounds.size()) {
            const double middle = 0.5 * (bounds[j] + bounds[j + 1]);
            if (darkness(middle) <= 0 || sunlight(middle) <= 0)
                break;
            ++j;
        }
        if (j == i) {
            ++i;
            continue;
        }
        const double t = HighestIn(bounds[i], bounds[j], culmination);
        const double elevation = sky.At(t).look.elevation;
        if (elevation > bestElevation) {
            bestElevation = elevation;
            bestStart = bounds[i];
            bestEnd = bounds[j];
            bestT = t;
        }
        i = j;
    }
    pass.magnitude = std::numeric_limits<double>::quiet_NaN();
    if (bestElevation == -std::numeric_limits<double>::infinity())
        return;
    pass.visible = true;
    pass.visibleStart = Point(sky, bestStart);
    pass.visibleEnd = Point(sky, bestEnd);
    pass.visibleMaxElevation = bestElevation;
    // Range and phase angle where the visible part climbs highest.
    const Sample s = sky.At(bestT);
    double sun[3], sunFixed[3], r[3];
    SunDirection(sky.Jd(bestT), sun);
    TemeToEcef(sun, sky.LastGmst(), sunFixed);
    TemeToEcef(sky.Position(), sky.LastGmst(), r);
    // From the satellite: the Sun along sunFixed, the observer back along the line of sight.
    const double toObserver[3] = {observer.ecef[0] - r[0], observer.ecef[1] - r[1], observer.ecef[2] - r[2]};
    const double cosPhase =
        (toObserver[0] * sunFixed[0] + toObserver[1] * sunFixed[1] + toObserver[2] * sunFixed[2]) /
        (s.look.range *
         std::sqrt(sunFixed[0] * sunFixed[0] + sunFixed[1] * sunFixed[1] + sunFixed[2] * sunFixed[2]));
    pass.range = s.look.range;
    pass.phaseAngle = std::acos(std::clamp(cosPhase, -1.0, 1.0)) / kDegree;
    pass.magnitude = SatelliteMagnitude(search.standardMagnitude, pass.range, pass.phaseAngle);
}

} // namespace

double PassSearchStep(double periodMinutes, double eccentricity) {
    // The elevation turns twice an orbit (once up, once down): an eighth of the
    // period keeps each turn alone between two samples, and the turn is found by
    // the sign of the elevation's rate, however little the pass clears the
    // minimum. An eccentric orbit sweeps past perigee faster than its mean
    // motion, by sqrt((1 + e) / (1 - e)^3), and turns the elevation as fast there:
    // the period is shortened by as much. Slow orbits rise and set as the Earth
    // turns, so never more than half an hour.
    const double e = std::clamp(eccentricity, 0.0, 0.999999);
    const double step = periodMinutes * 60.0 / 8.0 * std::sqrt((1.0 - e) * (1.0 - e) * (1.0 - e) / (1.0 + e));
    return std::isfinite(step) && step > 0 ? std::clamp(step, 30.0, 1800.0) : 1800.0;
}

double SatelliteMagnitude(double standard, double rangeKm, double phaseDeg) {
    // A diffusely reflecting (Lambertian) sphere: its light goes as
    // sin φ + (π - φ) cos φ, which is 1 at φ = 90°, and as the inverse square of
    // the range.
    const double phi = std::clamp(phaseDeg, 0.0, 180.0) * kDegree;
    const double light = std::fmax(1e-6, std::sin(phi) + (kPi - phi) * std::cos(phi));
    return standard + 5.0 * std::log10(rangeKm / 1000.0) - 2.5 * std::log10(light);
}

PassList FindPasses(Sgp4 &propagator, const Observer &observer, const PassSearch &search) {
    PassList result;
    auto refuse = [&result](std::string reason) {
        result.passes.clear();
        result.reason = std::move(reason);
        return result;
    };
    if (!std::isfinite(search.startJd) || !std::isfinite(search.endJd))
        return refuse("the span to search is not a finite time");
    if (!(search.endJd > search.startJd))
        return result;
    if (search.endJd - search.startJd > kMaxSpanDays)
        return refuse("the span to search is longer than a year");
    // Where the live panel gives no position, no pass is looked for either.
    const double ahead = EpochJulianDate(propagator.Elements()) - search.startJd;
    if (ahead > kStaleElementsDays) {
        char text[96];
        std::snprintf(text, sizeof text, "the elements lie %.1f days in the future", ahead);
        return refuse(text);
    }
    Sky sky(propagator, observer, search.startJd);
    auto failure = [&] {
        return "the propagator fails on " + UtcMinuteText(sky.Jd(sky.errorT)) + ": " + Sgp4::ErrorText(sky.error);
    };
    const double h = PassSearchStep(propagator.PeriodMinutes(), propagator.Elements().eccentricity);
    const double m = search.minElevation;
    const double end = (search.endJd - search.startJd) * kSecondsPerDay;

    // A pass up at the start is followed back to where it rose; the sweep then
    // begins a step earlier, so a turn just before any start is seen whole.
    double begin = 0;
    while (begin > -kMaxExtension && sky.At(begin).look.elevation > m && sky.error == 0)
        begin -= h;
    begin -= h;

    std::vector<Event> events;
    Sample previous = sky.At(begin);
    const bool upAtBegin = previous.look.elevation > m;
    for (double t = begin + h; sky.error == 0; t += h) {
        const Sample current = sky.At(t);
        if (!current.ok)
            break;
        if (!sky.Coherent(t))
            return refuse("the propagator's velocities contradict its positions near " + UtcMinuteText(sky.Jd(t)));
        if (!Interval(sky, previous, current, m, events) && sky.error == 0) {
            // More than one turn between the samples: looked at closer, in pieces
            // that must each hold one at most.
            Sample a = previous;
            for (int i = 1; i <= kPieces && sky.error == 0; ++i) {
                const Sample b = i == kPieces ? current : sky.At(previous.t + (t - previous.t) * i / kPieces);
                if (sky.error == 0 && !Interval(sky, a, b, m, events) && sky.error == 0)
                    return refuse("the propagator gives no smooth track near " + UtcMinuteText(sky.Jd(b.t)));
                a = b;
            }
        }
        previous = current;
        const bool up = current.look.elevation > m;
        if (t >= end + h && (!up || t >= end + kMaxExtension))
            break;
    }
    if (sky.error != 0)
        return refuse(failure());
    const double last = previous.t;
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.t < b.t; });

    bool up = upAtBegin;
    double rise = begin, bestTop = std::numeric_limits<double>::quiet_NaN(), bestElevation = -90;
    auto finish = [&](double set) {
        if (set <= 0 || rise > end)
            return;
        Pass pass;
        pass.rise = Point(sky, rise);
        pass.set = Point(sky, set);
        pass.culmination = std::isnan(bestTop) ? pass.rise : Point(sky, bestTop);
        // An end cut where the pass was followed no further may stand higher than any top.
        if (pass.rise.elevation > pass.culmination.elevation) {
            pass.culmination = pass.rise;
            bestTop = rise;
        }
        if (pass.set.elevation > pass.culmination.elevation) {
            pass.culmination = pass.set;
            bestTop = set;
        }
        // Whatever led here, a pass climbs above the minimum.
        if (!(pass.culmination.elevation > m))
            return;
        pass.duration = set - rise;
        FindVisibility(sky, observer, search, rise, set, bestTop, pass);
        result.passes.push_back(pass);
    };
    for (const Event &event : events) {
        if (event.kind == EventKind::Rise && !up) {
            up = true;
            rise = event.t;
            bestTop = std::numeric_limits<double>::quiet_NaN();
            bestElevation = -90;
        } else if (event.kind == EventKind::Set && up) {
            finish(event.t);
            up = false;
        } else if (event.kind == EventKind::Culmination && up && event.elevation > bestElevation) {
            bestTop = event.t;
            bestElevation = event.elevation;
        }
    }
    if (up)
        finish(last);
    // The light is looked at between the samples too.
    if (sky.error != 0)
        return refuse(failure());
    return result;
}
