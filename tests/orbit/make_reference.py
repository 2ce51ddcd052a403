#!/usr/bin/python3
"""Expected values for the orbit tests, from an independent reading.

Writes tests/data/astro/reference.txt from tests/data/astro/reference.tle:
for each element set at a few times after its epoch, the TEME state from
the sgp4 package's propagator (through Skyfield), the geodetic place on
WGS-84 from Skyfield, the Sun's direction in TEME and whether the
satellite sees the Sun's centre above the Earth's limb.

Needs Debian's python3-skyfield, python3-sgp4 and python3-erfa; reads no
network. Run it by hand from the source tree when the element sets change:

    /usr/bin/python3 tests/orbit/make_reference.py

How each value is made:
- Time: Skyfield's built-in leap-second table, with Delta T fixed at
  69.184 s so that UT1 equals UTC (TT - UTC is 69.184 s from 2017 on, and
  every time here is later). The program takes UT1 as UTC, so the reference
  does too; otherwise a tenth of a second of UT1 - UTC would move every
  longitude by 0.0004 degrees.
- TEME position and velocity: Skyfield's EarthSatellite (sgp4 package,
  WGS-72, improved mode), read back in Skyfield's TEME frame.
- Latitude, longitude, height: skyfield.toposlib.wgs84 of the same position.
- Speed: the length of the TEME (inertial) velocity, km/s.
- Sun: Skyfield ships no planetary ephemeris and none can be downloaded
  here, so the Earth's heliocentric and barycentric state comes from
  erfa.epv00 (SOFA's analytical ephemeris, a few km); annual aberration
  from erfa.ab; then Skyfield's TEME rotation. Geocentric apparent
  direction, unit vector.
- Sunlit: from the satellite, the angle between the Sun's centre (at its
  true distance) and the Earth's centre, less the angular radius of a sphere
  of 6378.137 km; the "margin" column is that difference in degrees, and the
  point is sunlit when it is positive.

It also writes reentry.txt: the propagator's error codes for the decaying set
of reentry.tle.
"""

import math
import os
import sys
from datetime import datetime, timedelta, timezone

import erfa
import numpy as np
from skyfield.api import EarthSatellite, load, wgs84
from skyfield.sgp4lib import TEME

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data", "astro")
EARTH_RADIUS_KM = 6378.137
AU_KM = 149597870.700
C_AU_PER_DAY = 173.1446326846693  # speed of light

# Minutes after each set's epoch, chosen to spread over the orbit, the day
# and (for the year-end set) across the new year.
TIMES = {
    48274: [0, 12.5, 31, 47.25, 66, 90, 135.75, 240, 600, 1440, 2890.125, 4321],
    43613: [0, 20, 41.5, 60, 75, 101, 250, 777.7, 1440, 3000],
    25847: [0, 45, 180, 300, 359, 420, 600, 717, 1000, 1440, 2880, 5000],
    # Around the March equinox a geostationary satellite passes through the
    # shadow near local midnight, for about an hour; this one is there at its
    # epoch, 12h UTC.
    41866: [0, 10, 20, 30, 40, 240, 480, 720, 1000, 1420, 1440, 1465, 2100],
    44804: [0, 30, 59, 60.5, 95, 200, 1440, 10000],
}


def read_sets(path):
    lines = [l.rstrip("\n") for l in open(path) if l.strip()]
    sets = []
    for i in range(0, len(lines), 3):
        sets.append((lines[i].strip(), lines[i + 1], lines[i + 2]))
    return sets


def sun_teme(t):
    """Geocentric apparent unit vector towards the Sun, in TEME, and its distance in km."""
    pvh, pvb = erfa.epv00(2400000.5, t.tdb - 2400000.5)
    towards = -np.array(pvh[0])  # the Sun seen from the Earth, au, ICRS axes
    distance = np.linalg.norm(towards)
    v = np.array(pvb[1]) / C_AU_PER_DAY
    bm1 = math.sqrt(1.0 - v.dot(v))
    apparent = erfa.ab(towards / distance, v, distance, bm1)
    teme = TEME.rotation_at(t).dot(apparent)
    return teme / np.linalg.norm(teme), distance * AU_KM


def main():
    ts = load.timescale(builtin=True, delta_t=69.184)
    rows = []
    for name, line1, line2 in read_sets(os.path.join(DATA, "reference.tle")):
        sat = EarthSatellite(line1, line2, name, ts)
        number = sat.model.satnum
        year = sat.model.epochyr + (2000 if sat.model.epochyr < 57 else 1900)
        epoch = datetime(year, 1, 1, tzinfo=timezone.utc) + timedelta(days=sat.model.epochdays - 1)
        for minutes in TIMES[number]:
            when = epoch + timedelta(minutes=minutes)  # to the microsecond
            t = ts.from_datetime(when)
            assert abs(t - sat.epoch - minutes / 1440.0) * 86400 < 1e-4
            assert abs(t.dut1) < 1e-9, "UT1 must equal UTC here"
            position = sat.at(t)
            r, v = position.frame_xyz_and_velocity(TEME)
            r = r.km
            v = v.km_per_s
            # The frame round trip must give back the propagator's own numbers,
            # to within the tens of microseconds a Julian date in one double holds
            # (a few cm). The file gets the numbers for the exact minutes.
            error, r0, v0 = sat.model.sgp4_tsince(minutes)
            assert error == 0
            assert np.max(np.abs(r - r0)) < 1e-3 and np.max(np.abs(v - v0)) < 1e-6, (r - r0, v - v0)
            r, v = np.array(r0), np.array(v0)

            lat, lon = wgs84.latlon_of(position)
            height = wgs84.height_of(position).km
            sun, sun_km = sun_teme(t)

            to_sun = sun * sun_km - r
            cos_angle = to_sun.dot(-r) / (np.linalg.norm(to_sun) * np.linalg.norm(r))
            angle = math.degrees(math.acos(max(-1.0, min(1.0, cos_angle))))
            limb = math.degrees(math.asin(EARTH_RADIUS_KM / np.linalg.norm(r)))
            margin = angle - limb

            utc = when.strftime("%Y-%m-%dT%H:%M:%S.%fZ")
            rows.append(
                "%05d %10.4f %s %.9f %.9f %.9f %.9f %.12f %.12f %.12f %.9f %.9f %.9f %.12f %.12f %.12f %.12f %d %.4f"
                % (number, minutes, utc, t.ut1, *r, *v, lat.degrees, lon.degrees, height,
                   np.linalg.norm(v), *sun, int(margin > 0), margin))

    out = os.path.join(DATA, "reference.txt")
    with open(out, "w") as f:
        f.write("# Written by tests/orbit/make_reference.py from reference.tle; do not edit.\n")
        f.write("# One line per set and time. UT1 = UTC. Columns:\n")
        f.write("# catalog minutes-after-epoch utc jd-utc"
                " x y z (TEME km) vx vy vz (TEME km/s)"
                " latitude longitude (WGS-84 geodetic degrees, east positive) altitude (km)"
                " speed (|TEME velocity|, km/s) sunx suny sunz (TEME unit vector, geocentric apparent)"
                " sunlit (1 when the Sun's centre is above the limb of a 6378.137 km sphere)"
                " margin (degrees of the Sun's centre above that limb, negative below)\n")
        f.write("\n".join(rows) + "\n")
    print("wrote %d lines to %s" % (len(rows), out), file=sys.stderr)

    # A set whose drag brings it down within two days: the propagator's error
    # code (0 for none) at times before and after, from the sgp4 package.
    name, line1, line2 = read_sets(os.path.join(DATA, "reentry.tle"))[0]
    sat = EarthSatellite(line1, line2, name, ts)
    with open(os.path.join(DATA, "reentry.txt"), "w") as f:
        f.write("# Written by tests/orbit/make_reference.py from reentry.tle; do not edit.\n")
        f.write("# catalog minutes-after-epoch sgp4-error-code\n")
        for minutes in (0, 1000, 3000, 5000):
            f.write("%05d %g %d\n" % (sat.model.satnum, minutes, sat.model.sgp4_tsince(minutes)[0]))


if __name__ == "__main__":
    main()
