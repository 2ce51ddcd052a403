#pragma once
// The passes window's list without the widgets: the search made on a worker
// thread (passes and the path of each across the sky), which of them are shown,
// and the texts of the cells that do not depend on the time zone.
#include "../../orbit/elements.h"
#include "../../orbit/passes.h"
#include "observerpanel.h"

#include <cstddef>
#include <string>
#include <vector>

// One point of a pass's path across the observer's sky.
struct SkyTrackPoint {
    double jd = 0;        // UTC Julian date
    double azimuth = 0;   // degrees from north through east
    double elevation = 0; // degrees
    bool visible = false; // inside the pass's visible part
};

// Everything a search needs, copied, so that it can run away from the elements in use.
struct PassRequest {
    OrbitalElements elements;
    ObserverPlace place;
    PassSearch search;
};

struct PassListing {
    std::vector<Pass> passes;
    std::vector<std::vector<SkyTrackPoint>> tracks; // one path per pass
    bool failed = false;                            // no search could be made
    std::string reason;                             // why, for a person, when failed
};

// The passes of the request and their paths, each `trackSamples` (at least 2)
// points from rise to set, plus the highest point and the ends of the visible
// part so that they are drawn exactly where they are.
PassListing ListPasses(const PassRequest &request, int trackSamples);

// The indices of the passes to list at `nowJd`: those not yet over (one under way
// stays until it sets), and only the visible ones when `visibleOnly`.
std::vector<size_t> ShownPasses(const std::vector<Pass> &passes, double nowJd, bool visibleOnly);

// "245° WSW".
std::string AzimuthText(double azimuthDeg);
// "6:05" (minutes and seconds), rounded to the second.
std::string DurationText(double seconds);
// "-3.1", or empty when the pass is not visible.
std::string MagnitudeText(const Pass &pass);
