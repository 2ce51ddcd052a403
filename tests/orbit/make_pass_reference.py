#!/usr/bin/python3
"""Expected look angles and passes for the pass tests, from an independent reading.

Writes tests/data/passes/look.txt, events.txt, light.txt and phase.txt from the element
sets of tests/data/passes/elements.tle and the observers below.

Needs Debian's python3-skyfield, python3-sgp4 and python3-erfa; reads no
network. Run it by hand from the source tree when the cases change:

    /usr/bin/python3 tests/orbit/make_pass_reference.py

How each value is made:
- Time: Skyfield's built-in leap-second table with Delta T fixed at 69.184 s,
  so that UT1 equals UTC, as the program takes it.
- Observer: skyfield's wgs84.latlon (geodetic, height above the ellipsoid).
- Look angles: (satellite - observer).at(t).altaz(), geometric (no
  refraction); range rate from frame_latlon_and_rates against the observer's
  horizon frame.
- Events: EarthSatellite.find_events above the case's minimum elevation
  (0 rise, 1 culmination, 2 set), then polished to a millisecond on the same
  altaz: find_events of skyfield 1.45 stops within about a second, and for the
  observer at 2000 m some of its rises and sets land up to 12 s (0.9 degrees
  of elevation) off its own altaz. A rise or set is bisected on altaz minus the
  minimum within a minute either side, a culmination is the golden-section
  maximum of altaz there. Both times are written, find_events' as it was.
- Light, every 10 s through each pass found: whether the satellite sees the
  Sun's centre above the limb of a 6378.137 km sphere, and the Sun's geometric
  elevation at the observer. Skyfield ships no planetary ephemeris and none can
  be downloaded here, so the Sun is SOFA's (erfa.epv00, annual aberration
  from erfa.ab), turned to TEME and to the Earth-fixed frame by Skyfield's
  frames, as in make_reference.py.
- Phase, at each culmination: the angle at the satellite between the Sun (as
  for the light) and the observer ((satellite - observer) in TEME), and the range.
"""

import math
import os
import sys

import erfa
import numpy as np
from skyfield.api import EarthSatellite, load, wgs84
from skyfield.framelib import itrs
from skyfield.sgp4lib import TEME

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data", "passes")
EARTH_RADIUS_KM = 6378.137
AU_KM = 149597870.700
C_AU_PER_DAY = 173.1446326846693
TWILIGHT = 6.0  # degrees of the Sun below the horizon for a dark sky

# name: latitude, longitude (degrees), height (m)
OBSERVERS = {
    "tromso": (69.6496, 18.9560, 10.0),
    "santiago": (-33.4489, -70.6693, 570.0),
    "singapore": (1.3521, 103.8198, 15.0),
    "highland": (46.5475, 7.9853, 2000.0),
    # Where the low station's passes top out a little above 10 degrees.
    "grazing": (63.80, -21.90, 30.0),
}

# catalogue, observer, minimum elevation, days after the epoch (from, to)
CASES = [
    (48274, "tromso", 10.0, (0.1, 2.1)),
    (48274, "santiago", 10.0, (0.1, 2.1)),
    (48274, "singapore", 10.0, (0.1, 2.1)),
    (48274, "highland", 10.0, (0.1, 2.1)),
    (43613, "tromso", 10.0, (0.2, 2.2)),
    (43613, "santiago", 0.0, (0.2, 2.2)),
    (43613, "singapore", 10.0, (0.2, 2.2)),
    (43613, "highland", 10.0, (0.2, 2.2)),
    (48274, "grazing", 10.0, (0.0, 5.0)),
]


def read_sets(path):
    lines = [l.rstrip("\n") for l in open(path) if l.strip()]
    return {int(lines[i + 1][2:7]): (lines[i].strip(), lines[i + 1], lines[i + 2]) for i in range(0, len(lines), 3)}


def sun_gcrs(t):
    """Geocentric apparent unit vector towards the Sun (GCRS axes) and its distance in km."""
    pvh, pvb = erfa.epv00(2400000.5, t.tdb - 2400000.5)
    towards = -np.array(pvh[0])
    distance = np.linalg.norm(towards)
    v = np.array(pvb[1]) / C_AU_PER_DAY
    bm1 = math.sqrt(1.0 - v.dot(v))
    return erfa.ab(towards / distance, v, distance, bm1), distance * AU_KM


def light(sat, place, t):
    """(sunlit, Sun's elevation at the observer in degrees) at one time."""
    sun, sun_km = sun_gcrs(t)
    sun_teme = TEME.rotation_at(t).dot(sun)
    r = sat.at(t).frame_xyz(TEME).km
    to_sun = sun_teme * sun_km - r
    cos_angle = to_sun.dot(-r) / (np.linalg.norm(to_sun) * np.linalg.norm(r))
    angle = math.degrees(math.acos(max(-1.0, min(1.0, cos_angle))))
    limb = math.degrees(math.asin(EARTH_RADIUS_KM / np.linalg.norm(r)))
    sun_fixed = itrs.rotation_at(t).dot(sun)
    lat, lon = math.radians(place[0]), math.radians(place[1])
    up = np.array([math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat)])
    elevation = math.degrees(math.asin(up.dot(sun_fixed) / np.linalg.norm(sun_fixed)))
    return angle > limb, elevation


def phase(sat, topos, t):
    """(Sun-satellite-observer angle in degrees, range in km) at one time."""
    sun, sun_km = sun_gcrs(t)
    r = sat.at(t).frame_xyz(TEME).km
    to_sun = TEME.rotation_at(t).dot(sun) * sun_km - r
    to_observer = -(sat - topos).at(t).frame_xyz(TEME).km
    cos_angle = to_sun.dot(to_observer) / (np.linalg.norm(to_sun) * np.linalg.norm(to_observer))
    return math.degrees(math.acos(max(-1.0, min(1.0, cos_angle)))), np.linalg.norm(to_observer)


def stamp(t):
    return t.utc_datetime().strftime("%Y-%m-%dT%H:%M:%S.%fZ")


def look(sat, topos, t):
    alt, az, distance, _, _, range_rate = (sat - topos).at(t).frame_latlon_and_rates(topos)
    return az.degrees, alt.degrees, distance.km, range_rate.km_per_s


def polish(sat, topos, ts, t, kind, minimum, lo, hi):
    """The event at t moved onto altaz: its crossing of the minimum, or its top,
    searched within a minute and between the neighbouring events (tt lo, hi)."""
    at = (sat - topos).at
    def altitude(jd):
        return at(ts.tt_jd(jd)).altaz()[0].degrees
    width = 60.0 / 86400.0
    a, b = max(t.tt - width, lo), min(t.tt + width, hi)
    if kind == 1:
        g = (math.sqrt(5.0) - 1.0) / 2.0
        c, d = b - g * (b - a), a + g * (b - a)
        fc, fd = altitude(c), altitude(d)
        while b - a > 1e-3 / 86400.0:
            if fc > fd:
                b, d, fd = d, c, fc
                c = b - g * (b - a)
                fc = altitude(c)
            else:
                a, c, fc = c, d, fd
                d = a + g * (b - a)
                fd = altitude(d)
        return ts.tt_jd(0.5 * (a + b))
    fa = altitude(a) - minimum
    fb = altitude(b) - minimum
    assert (fa > 0) != (fb > 0), "no single crossing near %s" % t.utc_iso()
    while b - a > 1e-4 / 86400.0:
        m = 0.5 * (a + b)
        fm = altitude(m) - minimum
        if (fm > 0) == (fa > 0):
            a, fa = m, fm
        else:
            b = m
    return ts.tt_jd(0.5 * (a + b))


def main():
    ts = load.timescale(builtin=True, delta_t=69.184)
    sets = read_sets(os.path.join(DATA, "elements.tle"))
    looks, events, lights, windows, phases = [], [], [], [], []
    for number, who, minimum, (day0, day1) in CASES:
        name, line1, line2 = sets[number]
        sat = EarthSatellite(line1, line2, name, ts)
        place = OBSERVERS[who]
        topos = wgs84.latlon(place[0], place[1], elevation_m=place[2])
        t0 = ts.tt_jd(sat.epoch.tt + day0)
        t1 = ts.tt_jd(sat.epoch.tt + day1)
        assert abs(t0.dut1) < 1e-9, "UT1 must equal UTC here"
        times, kinds = sat.find_events(topos, t0, t1, altitude_degrees=minimum)
        windows.append("# case %05d %s %g %.10f %.10f\n" % (number, who, minimum, t0.ut1, t1.ut1))
        tt = list(times.tt) if len(times) else []
        bounds = [-1e99] + tt + [1e99]
        times = ts.tt_jd([polish(sat, topos, ts, t, k, minimum, bounds[i], bounds[i + 2]).tt
                          for i, (t, k) in enumerate(zip(times, kinds))]) if len(tt) else times
        raw = sat.find_events(topos, t0, t1, altitude_degrees=minimum)[0]
        for t, kind, r in zip(times, kinds, raw):
            az, el, rng, rate = look(sat, topos, t)
            events.append("%05d %s %g %d %s %.10f %.6f %.6f %s" % (number, who, minimum, kind, stamp(t), t.ut1, az, el,
                                                                    stamp(r)))
        # The passes whole: rise, culmination(s), set; light through each.
        rises = [t for t, k in zip(times, kinds) if k == 0]
        sets_ = [t for t, k in zip(times, kinds) if k == 2]
        for rise in rises:
            later = [s for s in sets_ if s.tt > rise.tt]
            if not later:
                continue
            span = (later[0].tt - rise.tt) * 86400.0
            for k in range(int(span // 10) + 1):
                t = ts.tt_jd(rise.tt + k * 10.0 / 86400.0)
                lit, sun_el = light(sat, place, t)
                lights.append("%05d %s %g %s %.10f %d %.4f" % (number, who, minimum, stamp(t), t.ut1, int(lit), sun_el))
        # Look angles at some times of the window, up and down.
        for k in range(8):
            t = ts.tt_jd(t0.tt + (t1.tt - t0.tt) * (k + 0.37) / 8.0)
            az, el, rng, rate = look(sat, topos, t)
            looks.append("%05d %s %s %.10f %.6f %.6f %.6f %.6f" % (number, who, stamp(t), t.ut1, az, el, rng, rate))
        for t, kind in zip(times, kinds):
            if kind == 1:
                angle, distance = phase(sat, topos, t)
                phases.append("%05d %s %g %s %.10f %.6f %.6f" % (number, who, minimum, stamp(t), t.ut1, angle, distance))
                az, el, rng, rate = look(sat, topos, t)
                looks.append("%05d %s %s %.10f %.6f %.6f %.6f %.6f" % (number, who, stamp(t), t.ut1, az, el, rng, rate))

    header = "# Written by tests/orbit/make_pass_reference.py from elements.tle; do not edit. UT1 = UTC.\n"
    observers = "".join("# observer %s %.4f %.4f %.1f (latitude, longitude degrees, height m)\n" % (k, *v)
                        for k, v in OBSERVERS.items())
    with open(os.path.join(DATA, "look.txt"), "w") as f:
        f.write(header + observers)
        f.write("# catalog observer utc jd-utc azimuth elevation (degrees) range (km) range-rate (km/s)\n")
        f.write("\n".join(looks) + "\n")
    with open(os.path.join(DATA, "events.txt"), "w") as f:
        f.write(header + observers + "".join(windows))
        f.write("# (case: catalog observer min-elevation and the search's start and end, jd-utc)\n")
        f.write("# catalog observer min-elevation kind (0 rise, 1 culmination, 2 set) utc jd-utc azimuth elevation"
                " find-events-utc (before polishing)\n")
        f.write("\n".join(events) + "\n")
    with open(os.path.join(DATA, "light.txt"), "w") as f:
        f.write(header + observers)
        f.write("# every 10 s through each pass: catalog observer min-elevation utc jd-utc"
                " sunlit (1 when the satellite sees the Sun's centre above a 6378.137 km sphere)"
                " sun-elevation (degrees, geometric, at the observer)\n")
        f.write("\n".join(lights) + "\n")
    with open(os.path.join(DATA, "phase.txt"), "w") as f:
        f.write(header + observers)
        f.write("# at each culmination: catalog observer min-elevation utc jd-utc"
                " phase angle (degrees, Sun-satellite-observer) range (km)\n")
        f.write("\n".join(phases) + "\n")
    print("wrote %d look angles, %d events, %d light samples" % (len(looks), len(events), len(lights)), file=sys.stderr)


if __name__ == "__main__":
    main()
