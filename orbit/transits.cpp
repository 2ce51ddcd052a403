#include "transits.h"

#include "astro.h"
#include "observer.h"
#include "passes.h"
#include "sky.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kMu = 398600.4418; // km³/s², the Earth's gravitational parameter
// The Earth's rotation against the equinox, rad/s.
constexpr double kEarthRotation = 7.292115146706979e-5;
// The fastest the Sun or the Moon crosses the sky, degrees a second: the Earth's
// turning (0.0042) and the Moon's own motion, with room to spare.
constexpr double kBodyRate = 0.005;
// Inside a pass the separation is looked at no more than this far apart, seconds,
// where it could be near the threshold: a minimum is then always bracketed by
// three samples.
constexpr double kMinStep = 0.5;
// Minima and the disc's edges are refined to this, seconds.
constexpr double kTolerance = 1e-3;
// SGP4's short-period terms move the station some kilometres off its mean orbit;
// the bound on its distance allows for this much more.
constexpr double kOrbitSlackKm = 30.0;
// Seconds either side of the least separation that the centre line is looked for
// in: the station's shadow on the ground moves at several kilometres a second.
constexpr double kCentreLineWindow = 60.0;

// Beyond this many degrees the station's track near the body is no longer
// close to straight, which the search's bracketing takes it to be.
constexpr double kMaxWithin = 10.0;

constexpr TransitBody kBodies[] = {TransitBody::Sun, TransitBody::Moon};

double Dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Length(const double a[3]) {
    return std::sqrt(Dot(a, a));
}

// Brent's minimiser (Brent 1973, "localmin"): the least f in [a, b] to
// `tolerance`, the ends included (a minimum may lie on one).
template <class F> double Minimise(F f, double a, double b, double tolerance) {
    const double lo = a, hi = b;
    const double golden = 0.5 * (3.0 - std::sqrt(5.0));
    double x = a + golden * (b - a), w = x, v = x;
    double fx = f(x), fw = fx, fv = fx;
    double d = 0, e = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        const double m = 0.5 * (a + b);
        const double tol1 = 1e-12 * std::fabs(x) + tolerance / 3.0, tol2 = 2.0 * tol1;
        if (std::fabs(x - m) <= tol2 - 0.5 * (b - a))
            break;
        double p = 0, q = 0, r = 0;
        if (std::fabs(e) > tol1) {
            r = (x - w) * (fx - fv);
            q = (x - v) * (fx - fw);
            p = (x - v) * q - (x - w) * r;
            q = 2.0 * (q - r);
            if (q > 0)
                p = -p;
            else
                q = -q;
            r = e;
            e = d;
        }
        if (std::fabs(p) < std::fabs(0.5 * q * r) && p > q * (a - x) && p < q * (b - x)) {
            d = p / q; // a parabola through the three best points
            const double u = x + d;
            if (u - a < tol2 || b - u < tol2)
                d = x < m ? tol1 : -tol1;
        } else {
            e = (x < m ? b : a) - x; // a golden section
            d = golden * e;
        }
        const double u = x + (std::fabs(d) >= tol1 ? d : (d > 0 ? tol1 : -tol1));
        const double fu = f(u);
        if (fu <= fx) {
            (u < x ? b : a) = x;
            v = w, fv = fw, w = x, fw = fx, x = u, fx = fu;
        } else {
            (u < x ? a : b) = u;
            if (fu <= fw || w == x) {
                v = w, fv = fw, w = u, fw = fu;
            } else if (fu <= fv || v == x || v == w) {
                v = u, fv = fu;
            }
        }
    }
    if (f(lo) < fx)
        return lo;
    if (f(hi) < fx)
        return hi;
    return x;
}

// A root of f in [a, b], where f(a) and f(b) differ in sign, by bisection.
template <class F> double Bisect(F f, double a, double b, double tolerance) {
    const bool rising = f(a) < 0;
    while (b - a > tolerance) {
        const double m = 0.5 * (a + b);
        ((f(m) < 0) == rising ? a : b) = m;
    }
    return 0.5 * (a + b);
}

// The station seen from the place, seconds from a base moment.
class Station {
public:
    Station(Sgp4 &propagator, const Observer &observer, double baseJd)
        : m_propagator(propagator), m_observer(observer), m_baseJd(baseJd),
          m_baseMinutes((baseJd - EpochJulianDate(propagator.Elements())) * 1440.0) {}

    double Jd(double t) const { return m_baseJd + t / kSecondsPerDay; }

    // Unit vector towards the station (east-north-up), its distance and its
    // Earth-fixed position; false when the propagator fails there.
    bool At(double t, double enu[3], double &range, double ecef[3] = nullptr) {
        double position[3], velocity[3], fixed[3];
        if (m_propagator.Propagate(m_baseMinutes + t / 60.0, position, velocity) != 0) {
            failed = true;
            return false;
        }
        TemeToEcef(position, Gmst(Jd(t)), fixed);
        const double d[3] = {fixed[0] - m_observer.ecef[0], fixed[1] - m_observer.ecef[1],
                             fixed[2] - m_observer.ecef[2]};
        range = Length(d);
        enu[0] = Dot(d, m_observer.east) / range;
        enu[1] = Dot(d, m_observer.north) / range;
        enu[2] = Dot(d, m_observer.up) / range;
        if (ecef)
            std::copy(fixed, fixed + 3, ecef);
        return true;
    }

    // The station's distance from the Earth's centre, km.
    double Radius(double t) {
        double position[3], velocity[3];
        if (m_propagator.Propagate(m_baseMinutes + t / 60.0, position, velocity) != 0) {
            failed = true;
            return 0;
        }
        return Length(position);
    }

    bool failed = false;

private:
    Sgp4 &m_propagator;
    const Observer &m_observer;
    double m_baseJd;
    double m_baseMinutes;
};

// The fastest the station can cross the sky, degrees a second, when it comes no
// nearer the Earth's centre than `nearestKm`: no faster than escape speed there,
// plus the frame's turning, over its least distance from the observer. Both
// terms fall as the station climbs, so the bound holds all along.
double StationRateBound(double nearestKm, const Observer &observer) {
    const double r = std::max(nearestKm, Length(observer.ecef) + 50.0);
    const double speed = std::sqrt(2.0 * kMu / r) + kEarthRotation * r;
    return speed / (r - Length(observer.ecef)) / kDegree;
}

// One pass of the station and the body seen together: the stretches where both
// are up searched for minima of the separation.
class PassScan {
public:
    PassScan(Station &station, const SkyTrack &sky, const Observer &observer, TransitBody body, double within,
             double rate)
        : m_station(station), m_sky(sky), m_observer(observer), m_body(body), m_within(within), m_rate(rate) {
    }

    struct Point {
        double t;
        double s;   // the separation, degrees, or a bound below it
        bool exact; // which
    };

    // The separation at t, or a bound below it where that alone puts it well
    // above `within`: the angle to the body where it was last placed, less how
    // far it can have moved since. Far from the body no sky is computed.
    Point Sample(double t) {
        double s[3], range = 0;
        if (!m_station.At(t, s, range))
            return {t, 180.0, true};
        if (m_haveReference) {
            const double bound = SeparationDegrees(s, m_reference) - kBodyRate * std::fabs(t - m_referenceT);
            if (bound > m_within + m_rate * kMinStep + 1.0)
                return {t, bound, false};
        }
        m_sky.Direction(m_body, m_station.Jd(t), m_reference);
        m_referenceT = t;
        m_haveReference = true;
        return {t, SeparationDegrees(s, m_reference), true};
    }

    // The separation at t, degrees; 180 where the propagator fails.
    double Separation(double t) {
        double s[3], b[3], range = 0;
        if (!m_station.At(t, s, range))
            return 180.0;
        m_sky.Direction(m_body, m_station.Jd(t), b);
        return SeparationDegrees(s, b);
    }

    // The minima closer than `within` in [a, b].
    void Scan(double a, double b, std::vector<Transit> &found) {
        const double inf = std::numeric_limits<double>::infinity();
        // What a sample says of a minimum: a bound says only that none is near.
        auto value = [inf](const Point &p) { return p.exact ? p.s : inf; };
        Point previous{a, inf, false}, current = Sample(a);
        bool skippedInto = true; // no sample before the first
        double lastMinimum = -inf;
        while (true) {
            // No minimum below `within` can come before the separation has had
            // time to fall that far at the fastest rate.
            const double step = std::max(kMinStep, (current.s - m_within) / m_rate);
            const bool last = current.t >= b;
            const Point next = last ? Point{b, inf, false} : Sample(std::min(b, current.t + step));
            const double here = value(current);
            if (here <= value(previous) && here <= value(next) && here < m_within + m_rate * kMinStep) {
                // A skip into this sample leaves the separation above `within`
                // all the way: what lies below it can only follow.
                const double lo = skippedInto ? current.t : previous.t;
                const double hi = last ? current.t : next.t;
                const double t = Minimise([&](double x) { return Separation(x); }, lo, hi, kTolerance);
                if (t - lastMinimum > 0.01) {
                    Transit transit;
                    if (Describe(t, a, b, transit)) {
                        found.push_back(transit);
                        lastMinimum = t;
                    }
                }
            }
            if (last)
                break;
            skippedInto = next.t - current.t > kMinStep * 1.0000001;
            previous = current;
            current = next;
        }
    }

private:
    // The approach with its least separation at t in the stretch [a, b]; false
    // when it is not close enough.
    bool Describe(double t, double a, double b, Transit &transit) {
        const double separation = Separation(t);
        if (!(separation < m_within))
            return false;
        double s[3];
        transit.body = m_body;
        transit.jd = m_station.Jd(t);
        transit.separation = separation;
        transit.radius = m_sky.Radius(m_body, transit.jd);
        m_station.At(t, s, transit.range);
        transit.crossing = separation < transit.radius;
        if (!transit.crossing)
            return true;
        // The disc's edges either side, or the stretch's ends where the station
        // or the body is on the horizon before it leaves the disc.
        auto inside = [&](double x) { return Separation(x) - m_sky.Radius(m_body, m_station.Jd(x)); };
        auto edge = [&](double direction, double end) {
            double x = t;
            while ((end - x) * direction > 0) {
                const double step = std::max(0.01, -inside(x) / m_rate);
                const double y = direction > 0 ? std::min(end, x + step) : std::max(end, x - step);
                if (inside(y) >= 0)
                    return Bisect(inside, std::min(x, y), std::max(x, y), kTolerance / 10);
                x = y;
            }
            return end;
        };
        transit.duration = edge(1.0, b) - edge(-1.0, a);
        CentreLine(t, transit);
        return true;
    }

    // Where the line from the body's centre through the station meets the
    // ground (the ellipsoid raised to the observer's height) at t; false when it
    // misses the Earth.
    bool Shadow(double t, double point[3]) {
        double s[3], station[3], range = 0, b[3];
        if (!m_station.At(t, s, range, station))
            return false;
        const double jd = m_station.Jd(t);
        m_sky.Direction(m_body, jd, b);
        const double distance = m_sky.DistanceKm(m_body, jd);
        double body[3], d[3];
        for (int i = 0; i < 3; ++i) {
            body[i] = m_observer.ecef[i] + distance * (b[0] * m_observer.east[i] +
                                                       b[1] * m_observer.north[i] + b[2] * m_observer.up[i]);
            d[i] = station[i] - body[i];
        }
        const double length = Length(d);
        for (double &x : d)
            x /= length;
        const double equator = kEarthEquatorialRadiusKm + m_observer.height;
        const double pole = kEarthEquatorialRadiusKm * (1.0 - kEarthFlattening) + m_observer.height;
        // |(S + λd) scaled by the axes| = 1: a quadratic in λ; the nearer root is where the line enters.
        const double k[3] = {1.0 / (equator * equator), 1.0 / (equator * equator), 1.0 / (pole * pole)};
        double qa = 0, qb = 0, qc = -1.0;
        for (int i = 0; i < 3; ++i) {
            qa += k[i] * d[i] * d[i];
            qb += 2.0 * k[i] * d[i] * station[i];
            qc += k[i] * station[i] * station[i];
        }
        const double discriminant = qb * qb - 4.0 * qa * qc;
        if (discriminant < 0)
            return false;
        const double lambda = (-qb - std::sqrt(discriminant)) / (2.0 * qa);
        if (lambda < 0)
            return false;
        for (int i = 0; i < 3; ++i)
            point[i] = station[i] + lambda * d[i];
        return true;
    }

    // The nearest point of the centre line: the path of the shadow over the
    // minutes around t.
    void CentreLine(double t, Transit &transit) {
        auto distance2 = [&](double x) {
            double p[3];
            if (!Shadow(x, p))
                return std::numeric_limits<double>::max();
            const double d[3] = {p[0] - m_observer.ecef[0], p[1] - m_observer.ecef[1],
                                 p[2] - m_observer.ecef[2]};
            return Dot(d, d);
        };
        // The shadow's distance falls and rises once; one-second samples find
        // its valley, which the minimiser then narrows.
        double best = t, bestValue = distance2(t);
        for (double x = t - kCentreLineWindow; x <= t + kCentreLineWindow; x += 1.0) {
            const double value = distance2(x);
            if (value < bestValue)
                best = x, bestValue = value;
        }
        const double at = Minimise(distance2, best - 1.0, best + 1.0, kTolerance);
        double p[3];
        if (!Shadow(at, p))
            return;
        const double d[3] = {p[0] - m_observer.ecef[0], p[1] - m_observer.ecef[1], p[2] - m_observer.ecef[2]};
        const double east = Dot(d, m_observer.east), north = Dot(d, m_observer.north);
        const double azimuth = std::atan2(east, north) / kDegree;
        transit.centreLineAzimuth = azimuth < 0 ? azimuth + 360.0 : azimuth;
        transit.centreLineKm = std::hypot(east, north);
    }

    Station &m_station;
    const SkyTrack &m_sky;
    const Observer &m_observer;
    TransitBody m_body;
    double m_within;
    double m_rate;
    // The body's direction where it was last placed, and when.
    bool m_haveReference = false;
    double m_reference[3] = {};
    double m_referenceT = 0;
};

// The stretches of [a, b] (seconds from `baseJd`) where the body stands above
// the horizon.
std::vector<std::pair<double, double>> BodyUp(const SkyTrack &sky, TransitBody body, double baseJd, double a,
                                              double b) {
    auto elevation = [&](double t) {
        double enu[3];
        sky.Direction(body, baseJd + t / kSecondsPerDay, enu);
        return std::asin(std::clamp(enu[2], -1.0, 1.0)) / kDegree;
    };
    std::vector<std::pair<double, double>> up;
    // Between the track's samples the elevation moves one way only; and it
    // cannot reach the horizon sooner than the body's fastest motion allows.
    double x = a, ex = elevation(a), start = ex > 0 ? a : NAN;
    const double firstSample = (sky.StartJd() - baseJd) * kSecondsPerDay;
    while (x < b) {
        const double nextSample = firstSample + std::ceil((x - firstSample) / SkyTrack::kStepSeconds + 1e-9) *
                                                    SkyTrack::kStepSeconds;
        const double y = std::min(b, std::max(nextSample, x + std::fabs(ex) / kBodyRate));
        const double ey = elevation(y);
        if ((ex > 0) != (ey > 0)) {
            const double root = Bisect(elevation, x, y, kTolerance);
            if (ey > 0)
                start = root;
            else
                up.push_back({start, root});
        }
        x = y;
        ex = ey;
    }
    if (ex > 0)
        up.push_back({start, b});
    return up;
}

} // namespace

const char *TransitBodyName(TransitBody body) {
    return body == TransitBody::Sun ? "Sun" : "Moon";
}

void EnuFromAzimuthElevation(double azimuthDeg, double elevationDeg, double enu[3]) {
    const double a = azimuthDeg * kDegree, e = elevationDeg * kDegree;
    enu[0] = std::cos(e) * std::sin(a);
    enu[1] = std::cos(e) * std::cos(a);
    enu[2] = std::sin(e);
}

double SeparationDegrees(const double a[3], const double b[3]) {
    const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return std::atan2(Length(c), Dot(a, b)) / kDegree;
}

SkyTrack::SkyTrack(const ObserverPlace &place, double startJd, double endJd) : m_place(place) {
    if (!std::isfinite(startJd) || !std::isfinite(endJd) || endJd < startJd || endJd - startJd > 400.0)
        return;
    // Samples on whole minutes of UTC, from the one at or before the start to
    // the one at or after the end.
    const long long step = static_cast<long long>(kStepSeconds * 1000);
    m_startMs = UnixMsFromJulianDate(startJd);
    m_startMs -= ((m_startMs % step) + step) % step;
    const long long count = (UnixMsFromJulianDate(endJd) - m_startMs + step - 1) / step + 1;
    m_startJd = JulianDateFromUnixMs(m_startMs);
    m_samples.resize(static_cast<size_t>(std::max(2LL, count)));
    // ERFA refuses only moments before its calendar: where both ends can be
    // placed, so can every minute between.
    m_valid = Make(0) && Make(m_samples.size() - 1);
}

bool SkyTrack::Make(size_t index) const {
    Sample &sample = m_samples[index];
    if (sample.made)
        return true;
    const SkyAt sky(m_place,
                    m_startMs + static_cast<long long>(index) * static_cast<long long>(kStepSeconds * 1000));
    if (!sky.Valid())
        return false;
    const SkyBody bodies[2] = {sky.Sun(), sky.Moon()};
    for (int k = 0; k < 2; ++k) {
        EnuFromAzimuthElevation(bodies[k].direction.azimuth, bodies[k].direction.elevation, sample.enu[k]);
        sample.radius[k] = bodies[k].radiusDeg;
        sample.distance[k] = bodies[k].distanceKm;
    }
    sample.made = true;
    return true;
}

void SkyTrack::Around(double jd, const Sample *&a, const Sample *&b, double &fraction) const {
    const double last = static_cast<double>(m_samples.size() - 1);
    const double x = std::clamp((jd - m_startJd) * kSecondsPerDay / kStepSeconds, 0.0, last);
    const size_t i = std::min(static_cast<size_t>(x), m_samples.size() - 2);
    fraction = x - static_cast<double>(i);
    Make(i);
    Make(i + 1);
    a = &m_samples[i];
    b = &m_samples[i + 1];
}

void SkyTrack::Direction(TransitBody body, double jd, double enu[3]) const {
    enu[0] = enu[1] = 0;
    enu[2] = -1; // below the horizon, where nothing could be placed
    if (!m_valid)
        return;
    const int k = body == TransitBody::Sun ? 0 : 1;
    const Sample *a = nullptr, *b = nullptr;
    double f = 0;
    Around(jd, a, b, f);
    // A minute's turn is a quarter of a degree: the chord, scaled back to the
    // sphere, strays from the arc by well under a thousandth of that.
    double v[3];
    for (int j = 0; j < 3; ++j)
        v[j] = a->enu[k][j] + f * (b->enu[k][j] - a->enu[k][j]);
    const double length = Length(v);
    for (int j = 0; j < 3; ++j)
        enu[j] = v[j] / length;
}

double SkyTrack::Between(TransitBody body, double jd, const double (Sample::*field)[2]) const {
    if (!m_valid)
        return 0;
    const int k = body == TransitBody::Sun ? 0 : 1;
    const Sample *a = nullptr, *b = nullptr;
    double f = 0;
    Around(jd, a, b, f);
    return (a->*field)[k] + f * ((b->*field)[k] - (a->*field)[k]);
}

double SkyTrack::Radius(TransitBody body, double jd) const {
    return Between(body, jd, &Sample::radius);
}

double SkyTrack::DistanceKm(TransitBody body, double jd) const {
    return Between(body, jd, &Sample::distance);
}

TransitList FindTransits(Sgp4 &propagator, const ObserverPlace &place, const TransitSearch &search) {
    TransitList result;
    if (!(search.within > 0 && search.within <= kMaxWithin)) {
        result.reason = "the separation to look for is not between 0 and 10 degrees";
        return result;
    }
    if (!(std::fabs(place.latitude) <= 90.0 && std::fabs(place.longitude) <= 360.0 &&
          std::fabs(place.heightM) <= 1e5)) {
        result.reason = "the place is not one on the ground";
        return result;
    }
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    PassSearch passSearch;
    passSearch.startJd = search.startJd;
    passSearch.endJd = search.endJd;
    passSearch.minElevation = 0;
    const PassList passes = FindPasses(propagator, observer, passSearch);
    if (!passes.reason.empty()) {
        result.reason = passes.reason;
        return result;
    }
    const OrbitalElements &elements = propagator.Elements();
    const double meanMotion = elements.meanMotion * 2.0 * std::numbers::pi / kSecondsPerDay; // rad/s
    const double perigee =
        std::cbrt(kMu / (meanMotion * meanMotion)) * (1.0 - std::clamp(elements.eccentricity, 0.0, 1.0));
    for (const Pass &pass : passes.passes) {
        const SkyTrack sky(place, pass.rise.jd, pass.set.jd);
        if (!sky.Valid()) {
            result.transits.clear();
            result.reason = "the Sun and the Moon cannot be placed at " + UtcMinuteText(pass.rise.jd);
            return result;
        }
        Station station(propagator, observer, pass.rise.jd);
        const double end = (pass.set.jd - pass.rise.jd) * kSecondsPerDay;
        // The station's nearest to the centre in the pass: the mean orbit's
        // perigee or lower where drag has brought it down since the epoch, with
        // room for the short-period terms.
        double nearest = std::isfinite(perigee) ? perigee : std::numeric_limits<double>::max();
        for (const double jd : {pass.rise.jd, pass.culmination.jd, pass.set.jd})
            nearest = std::min(nearest, station.Radius((jd - pass.rise.jd) * kSecondsPerDay));
        const double rate = StationRateBound(nearest - kOrbitSlackKm, observer) + kBodyRate;
        for (TransitBody body : kBodies) {
            PassScan scan(station, sky, observer, body, search.within, rate);
            for (const auto &[a, b] : BodyUp(sky, body, pass.rise.jd, 0.0, end)) {
                std::vector<Transit> found;
                scan.Scan(a, b, found);
                for (const Transit &transit : found)
                    if (transit.jd >= search.startJd && transit.jd < search.endJd)
                        result.transits.push_back(transit);
            }
        }
        if (station.failed) {
            result.transits.clear();
            result.reason = "the propagator fails near " + UtcMinuteText(pass.rise.jd);
            return result;
        }
    }
    std::stable_sort(result.transits.begin(), result.transits.end(),
                     [](const Transit &a, const Transit &b) { return a.jd < b.jd; });
    return result;
}
