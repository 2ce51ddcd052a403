# Lists, for each record of SGP4-VER.TLE that python3-sgp4 stops with an error,
# the catalogue number, the minutes and the error code (tcppver.out leaves errors out).
from sgp4.api import Satrec, WGS72
l1 = None
print("# catalogue  minutes  error  (from python3-sgp4, WGS-72, improved mode)")
for l in open('SGP4-VER.TLE'):
    l = l.rstrip('\r\n')
    if l.startswith('1 '):
        l1 = l
    elif l.startswith('2 '):
        s = Satrec.twoline2rv(l1, l[:69], WGS72)
        start, stop, step = map(float, l[69:].split())
        times = [0.0]
        t = start - step if abs(start) > 1e-8 else start
        while t < stop:
            t = min(t + step, stop)
            times.append(t)
        for t in times:
            e, r, v = s.sgp4_tsince(t)
            if e:
                print("%5d %.7f %d" % (s.satnum, t, e))
                break
