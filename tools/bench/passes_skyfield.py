#!/usr/bin/python3
"""Times Skyfield's find_events for bench_passes: argv is the two element lines,
latitude, longitude, height (m), start (UTC Julian date), days, minimum
elevation and repeats. Prints the median seconds of the find_events call alone
and the number of passes (culminations) found."""
import statistics
import sys
import time

from skyfield.api import EarthSatellite, load, wgs84

line1, line2 = sys.argv[1], sys.argv[2]
lat, lon, height, start, days, minimum = map(float, sys.argv[3:9])
repeats = int(sys.argv[9])
ts = load.timescale(builtin=True, delta_t=69.184)
sat = EarthSatellite(line1, line2, "", ts)
topos = wgs84.latlon(lat, lon, elevation_m=height)
t0, t1 = ts.ut1_jd(start), ts.ut1_jd(start + days)
times = []
for _ in range(repeats):
    begin = time.perf_counter()
    t, kinds = sat.find_events(topos, t0, t1, altitude_degrees=minimum)
    times.append(time.perf_counter() - begin)
print(statistics.median(times), int((kinds == 1).sum()))
