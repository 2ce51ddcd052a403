#!/usr/bin/python3
"""Independent readings of the sky from the ground, for tests/data/sky/reference.txt.

Run by hand (not in CI) with Debian's python3-erfa and python3-numpy:
    /usr/bin/python3 tests/orbit/make_sky_reference.py > tests/data/sky/reference.txt

Skyfield needs a JPL ephemeris for the Sun and the Moon, which Debian does not ship,
so the Sun and the Moon are taken a different way from the viewer's: their
geocentric vectors (eraEpv00, eraMoon98) turned to the Earth-fixed frame with the
full celestial-to-terrestrial matrix (eraC2t06a), the place subtracted there and
the rest read in the local horizon, with the annual aberration added as a small
shift towards the Earth's apex. Stars come from eraAtco13 in one call each.
Columns: kind name utc_iso lat lon height_m azimuth_deg elevation_deg [distance_km]
"""
import math

import erfa
import numpy as np

PLACES = [(51.4769, -0.0005, 46.0), (-33.8688, 151.2093, 58.0), (-0.1807, -78.4678, 2850.0),
          (64.1466, -21.9426, 30.0), (78.2232, 15.6267, 10.0)]
MOMENTS = [(2026, 12, 8, 17, 30, 0), (2026, 12, 9, 4, 0, 0), (2026, 6, 21, 12, 0, 0),
           (2000, 1, 1, 12, 0, 0), (2040, 3, 15, 21, 45, 30)]
# Catalogue names (as xplanet's BSC spells them) and J2000 places: Sirius, Vega, Canopus, Polaris.
STARS = []
for line in open('/usr/share/xplanet/stars/BSC'):
    if '"' not in line:
        continue
    dec, ra, mag = (float(x) for x in line.split()[:3])
    name = line.split('"')[1].strip()
    if name in ('9Alp CMa', '3Alp Lyr', 'Alp Car', '1Alp UMi'):
        STARS.append((name, math.radians(ra * 15.0), math.radians(dec)))


def dates(moment):
    utc1, utc2 = erfa.dtf2d('UTC', *moment)
    tai1, tai2 = erfa.utctai(utc1, utc2)
    tt1, tt2 = erfa.taitt(tai1, tai2)
    return utc1, utc2, tt1, tt2


def horizon(vector_itrs, lat, lon):
    """Azimuth and elevation (degrees) of an Earth-fixed vector from the place."""
    slat, clat, slon, clon = math.sin(lat), math.cos(lat), math.sin(lon), math.cos(lon)
    east = np.array([-slon, clon, 0.0])
    north = np.array([-slat * clon, -slat * slon, clat])
    up = np.array([clat * clon, clat * slon, slat])
    e, n, u = vector_itrs @ east, vector_itrs @ north, vector_itrs @ up
    return math.degrees(math.atan2(e, n)) % 360.0, math.degrees(math.atan2(u, math.hypot(e, n)))


def body(moment, place, geocentric_au, earth_velocity_au_day):
    utc1, utc2, tt1, tt2 = dates(moment)
    lat, lon, height = math.radians(place[0]), math.radians(place[1]), place[2]
    observer_itrs_m = erfa.gd2gc(1, lon, lat, height)
    c2t = erfa.c2t06a(tt1, tt2, utc1, utc2, 0.0, 0.0)  # UT1 taken as UTC, no polar motion
    # The place in GCRS, to take the body's direction from there.
    observer_gcrs_au = c2t.T @ observer_itrs_m / erfa.DAU
    topo = np.array(geocentric_au) - observer_gcrs_au
    distance = np.linalg.norm(topo)
    # Annual aberration, to first order: the direction shifts by v/c towards the apex.
    v_over_c = np.array(earth_velocity_au_day) / erfa.DC
    unit = topo / distance
    apparent = unit + v_over_c - unit * (unit @ v_over_c)
    az, el = horizon(c2t @ apparent, lat, lon)
    return az, el, distance * erfa.DAU / 1000.0


def main():
    print('# kind name utc lat lon height_m azimuth_deg elevation_deg distance_km')
    for moment in MOMENTS:
        utc1, utc2, tt1, tt2 = dates(moment)
        iso = '%04d-%02d-%02dT%02d:%02d:%02dZ' % moment
        pvh, pvb = erfa.epv00(tt1, tt2)
        moon = erfa.moon98(tt1, tt2)
        for place in PLACES:
            lat, lon, height = place
            sun_az, sun_el, sun_km = body(moment, place, -np.array(pvh['p']), pvb['v'])
            moon_az, moon_el, moon_km = body(moment, place, moon['p'], pvb['v'])
            print('sun Sun %s %.4f %.4f %.1f %.6f %.6f %.1f' % (iso, lat, lon, height, sun_az, sun_el, sun_km))
            print('moon Moon %s %.4f %.4f %.1f %.6f %.6f %.3f' % (iso, lat, lon, height, moon_az, moon_el, moon_km))
            for name, ra, dec in STARS:
                aob, zob, _, _, _, _ = erfa.atco13(ra, dec, 0.0, 0.0, 0.0, 0.0, utc1, utc2, 0.0,
                                                   math.radians(lon), math.radians(lat), height, 0.0, 0.0,
                                                   0.0, 0.0, 0.0, 0.0)
                print('star %s %s %.4f %.4f %.1f %.6f %.6f 0' % (name.replace(' ', '_'), iso, lat, lon, height,
                                                                math.degrees(aob) % 360.0, 90.0 - math.degrees(zob)))


if __name__ == '__main__':
    main()
