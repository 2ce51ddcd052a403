// libFuzzer target: the first line of the input is read as an observer's place
// ("LAT,LON[,HEIGHT_M]"), the rest as element sets. A place is either refused
// with a reason and left as it was, or lies on the Earth; the passes of every
// set over it, a day long, come in order and make sense, without a fault or a hang.
#include "orbit/elements.h"
#include "orbit/observer.h"
#include "orbit/passes.h"
#include "orbit/sgp4.h"

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
        search.startJd = EpochJulianDate(file.sets[i]);
        search.endJd = search.startJd + 1.0;
        // The minimum elevation and the twilight from the place's height: every value the window offers.
        search.minElevation = std::fmod(std::fabs(heightM), 91.0);
        search.twilight = 6.0 + 6.0 * (static_cast<int>(std::fabs(heightM)) % 3);
        double previousSet = -1e300;
        for (const Pass &p : FindPasses(sgp4, observer, search).passes) {
            Check(Point(p.rise) && Point(p.culmination) && Point(p.set));
            Check(p.rise.jd <= p.culmination.jd && p.culmination.jd <= p.set.jd && p.rise.jd >= previousSet);
            Check(p.rise.jd <= search.endJd && p.set.jd >= search.startJd);
            Check(p.culmination.elevation >= search.minElevation - 1e-3);
            Check(std::fabs(p.duration - (p.set.jd - p.rise.jd) * 86400.0) < 1e-3);
            if (p.visible) {
                Check(Point(p.visibleStart) && Point(p.visibleEnd));
                Check(p.visibleStart.jd >= p.rise.jd - 1e-9 && p.visibleEnd.jd <= p.set.jd + 1e-9);
                Check(std::isfinite(p.magnitude));
            } else {
                Check(std::isnan(p.magnitude));
            }
            previousSet = p.set.jd;
        }
    }
    return 0;
}
