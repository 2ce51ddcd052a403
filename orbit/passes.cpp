#include "passes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180.0;
constexpr double kEarthA = 6378.137; // the shadow's sphere, as in Sunlit()
constexpr double kSecondsPerDay = 86400.0;
// Events are refined to this, in seconds: far below what any table prints.
constexpr double kTolerance = 1e-3;
// A pass already up at the start is followed back at most this far, and one up
// at the end forward as far: an orbit that never sets is cut there.
constexpr double kMaxExtension = kSecondsPerDay;
// Inside a pass the Sun's and the shadow's functions are looked at this often;
// both turn over hours, so none crosses and crosses back in between.
constexpr double kLightStep = 60.0;

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

    // The look angles at t; a state the propagator refuses reads as far below
    // the horizon, and `failed` stays set from then on.
    Sample At(double t) {
        Sample s;
        s.t = t;
        const int code = m_propagator.Propagate(m_startMinutes + t / 60.0, m_position, m_velocity);
        if (code != 0) {
            failed = true;
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

    bool failed = false;

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

double PassSearchStep(double periodMinutes) {
    // The elevation turns twice an orbit (once up, once down): an eighth of the
    // period keeps each turn alone between two samples, and the turn is found by
    // the sign of the elevation's rate, however little the pass clears the
    // minimum. Slow orbits rise and set as the Earth turns, so never more than
    // half an hour.
    const double step = periodMinutes * 60.0 / 8.0;
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

std::vector<Pass> FindPasses(Sgp4 &propagator, const Observer &observer, const PassSearch &search) {
    std::vector<Pass> passes;
    if (!(search.endJd > search.startJd))
        return passes;
    Sky sky(propagator, observer, search.startJd);
    const double h = PassSearchStep(propagator.PeriodMinutes());
    const double m = search.minElevation;
    const double end = (search.endJd - search.startJd) * kSecondsPerDay;
    auto elevation = [&](double t) { return sky.At(t).look.elevation - m; };
    auto rate = [&](double t) { return sky.At(t).look.elevationRate; };

    // A pass up at the start is followed back to where it rose; the sweep then
    // begins a step earlier, so a turn just before any start is seen whole.
    double begin = 0;
    while (begin > -kMaxExtension && sky.At(begin).look.elevation > m && !sky.failed)
        begin -= h;
    sky.failed = false;
    begin -= h;

    std::vector<Event> events;
    Sample previous = sky.At(begin);
    const bool upAtBegin = previous.look.elevation > m;
    for (double t = begin + h;; t += h) {
        const Sample current = sky.At(t);
        if (!current.ok)
            break;
        const double pe = previous.look.elevation, ce = current.look.elevation;
        if ((pe > m) != (ce > m))
            events.push_back({Root(elevation, previous.t, t, pe - m, ce - m, kTolerance),
                              ce > m ? EventKind::Rise : EventKind::Set, 0});
        if (previous.look.elevationRate > 0 && current.look.elevationRate <= 0) {
            const double top = Root(rate, previous.t, t, previous.look.elevationRate,
                                    current.look.elevationRate, kTolerance);
            const double topElevation = sky.At(top).look.elevation;
            if (topElevation > m && pe <= m && ce <= m) {
                // A short pass between two samples: its rise and set hide around the top.
                events.push_back({Root(elevation, previous.t, top, pe - m, topElevation - m, kTolerance),
                                  EventKind::Rise, 0});
                events.push_back(
                    {Root(elevation, top, t, topElevation - m, ce - m, kTolerance), EventKind::Set, 0});
            }
            events.push_back({top, EventKind::Culmination, topElevation});
        }
        previous = current;
        const bool up = ce > m;
        if (t >= end + h && (!up || t >= end + kMaxExtension))
            break;
    }
    const double last = previous.t;
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) { return a.t < b.t; });

    bool up = upAtBegin;
    double rise = begin, bestTop = std::numeric_limits<double>::quiet_NaN(), bestElevation = -90;
    auto finish = [&](double set) {
        if (set <= 0 || rise > end)
            return;
        Pass pass;
        if (std::isnan(bestTop))
            bestTop = Point(sky, rise).elevation >= Point(sky, set).elevation ? rise : set;
        pass.rise = Point(sky, rise);
        pass.culmination = Point(sky, bestTop);
        pass.set = Point(sky, set);
        pass.duration = set - rise;
        FindVisibility(sky, observer, search, rise, set, bestTop, pass);
        passes.push_back(pass);
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
    return passes;
}
