// libFuzzer target: the first line of the input is read as an observer's place
// ("LAT,LON[,HEIGHT_M]"), the rest as element sets. A place is either refused
// with a reason and left as it was, or lies on the Earth; the passes of every
// set over it, a day long, come in order and make sense (above the minimum
// elevation, magnitudes from the satellite's own range), or the search says why
// it cannot be made, without a fault or a hang.
#include "orbit/elements.h"
#include "orbit/observer.h"
#include "orbit/passes.h"
#include "orbit/sgp4.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Point(const PassPoint &p) {
    return std::isfinite(p.jd) && p.azimuth >= 0 && p.azimuth < 360 && p.elevation >= -90.0001 &&
           p.elevation <= 90.0001;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const size_t newline = text.find('\n');
    const std::string place = text.substr(0, newline);
    double lat = 1234, lon = 1234, heightM = 1234;
    std::string reason;
    if (!ParseObserverPlace(place, lat, lon, heightM, reason)) {
        Check(!reason.empty() && lat == 1234 && lon == 1234 && heightM == 1234);
        return 0;
    }
    Check(lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180 && heightM >= -500 && heightM <= 9000);
    if (newline == std::string::npos)
        return 0;

    const ElementsFile file = ParseElements(text.substr(newline + 1));
    const Observer observer = MakeObserver(lat, lon, heightM / 1000.0);
    for (size_t i = 0; i < file.sets.size() && i < 2; ++i) {
        Sgp4 sgp4;
        if (!sgp4.Init(file.sets[i]))
            continue;
        PassSearch search;
        // The minimum elevation, the twilight and where the day searched starts, from
        // the place's height: every value the window offers, and starts on both sides
        // of the epoch, up to and past where the elements give no position.
        const int height = static_cast<int>(std::fabs(heightM));
        static const double kStartDays[] = {0, 0.4, 1.7, 6.2, 13.9, -0.6, -5.3, -13.9, -14.5};
        const double startDays = kStartDays[height / 91 % 9];
        search.startJd = EpochJulianDate(file.sets[i]) + startDays;
        search.endJd = search.startJd + 1.0;
        search.minElevation = std::fmod(std::fabs(heightM), 91.0);
        search.twilight = 6.0 + 6.0 * (height % 3);
        const double m = search.minElevation;
        const PassList found = FindPasses(sgp4, observer, search);
        // A search refused says why and lists nothing.
        Check(found.reason.empty() || found.passes.empty());
        // Elements that lie more than two weeks ahead of the search give no position in it.
        if (startDays < -kStaleElementsDays)
            Check(!found.reason.empty());
        // The propagator's orbit bounds the range: its apogee radius (from its own
        // period, which for odd elements is far from the one they state), with room
        // for what drag and the Moon do to it in two weeks, plus the Earth's.
        const double n = 2.0 * 3.14159265358979 / (sgp4.PeriodMinutes() * 60.0); // rad/s
        const double apogee = std::cbrt(398600.8 / (n * n)) * (1.0 + file.sets[i].eccentricity);
        double previousSet = -1e300;
        for (const Pass &p : found.passes) {
            Check(Point(p.rise) && Point(p.culmination) && Point(p.set));
            Check(p.rise.jd <= p.culmination.jd && p.culmination.jd <= p.set.jd && p.rise.jd >= previousSet);
            Check(p.rise.jd <= search.endJd && p.set.jd >= search.startJd);
            // Above the minimum, rising and setting across it (where the pass is not
            // cut, a day from the span, as a satellite that never sets is).
            Check(p.culmination.elevation >= m);
            Check(std::fabs(p.rise.elevation - m) < 0.1 || p.rise.jd <= search.startJd - 1.0 + 1e-9);
            Check(std::fabs(p.set.elevation - m) < 0.1 || p.set.jd >= search.endJd + 1.0 - 1e-9);
            Check(std::fabs(p.duration - (p.set.jd - p.rise.jd) * 86400.0) < 1e-3);
            if (p.visible) {
                Check(Point(p.visibleStart) && Point(p.visibleEnd));
                Check(p.visibleStart.jd >= p.rise.jd - 1e-9 && p.visibleEnd.jd <= p.set.jd + 1e-9);
                // The magnitude is that of the satellite where the visible stretch climbs
                // highest, seen from the observer, and the satellite is on its orbit.
                const double top = std::clamp(p.culmination.jd, p.visibleStart.jd, p.visibleEnd.jd);
                LookAngles look;
                Check(LookAt(sgp4, observer, top, look));
                Check(std::fabs(look.elevation - p.visibleMaxElevation) < 1e-4);
                Check(p.visibleMaxElevation >= m - 0.1 &&
                      p.visibleMaxElevation <= p.culmination.elevation + 0.01);
                Check(std::fabs(look.range - p.range) <= 1e-3 + 1e-6 * look.range);
                Check(p.range > 0 && p.range <= 3.0 * apogee + 7000.0);
                Check(p.phaseAngle >= 0 && p.phaseAngle <= 180);
                Check(std::fabs(p.magnitude -
                                SatelliteMagnitude(search.standardMagnitude, p.range, p.phaseAngle)) < 1e-9);
            } else {
                Check(std::isnan(p.magnitude));
            }
            previousSet = p.set.jd;
        }
    }
    return 0;
}
