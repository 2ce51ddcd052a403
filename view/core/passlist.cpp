#include "passlist.h"

#include "../../orbit/sgp4.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

PassListing ListPasses(const PassRequest &request, int trackSamples) {
    PassListing listing;
    Sgp4 sgp4;
    if (!sgp4.Init(request.elements)) {
        listing.failed = true;
        listing.reason = std::string("the elements cannot be propagated: ") + Sgp4::ErrorText(sgp4.Error());
        return listing;
    }
    const ObserverPlace &place = request.place;
    const Observer observer = MakeObserver(place.latitude, place.longitude, place.heightM / 1000.0);
    PassList found = FindPasses(sgp4, observer, request.search);
    listing.failed = !found.reason.empty();
    listing.reason = std::move(found.reason);
    listing.passes = std::move(found.passes);
    const int samples = std::max(trackSamples, 2);
    for (const Pass &pass : listing.passes) {
        std::vector<double> times;
        for (int i = 0; i < samples; ++i)
            times.push_back(pass.rise.jd + (pass.set.jd - pass.rise.jd) * i / (samples - 1));
        // The highest point on the path, where the chart marks it.
        times.push_back(pass.culmination.jd);
        if (pass.visible) {
            times.push_back(pass.visibleStart.jd);
            times.push_back(pass.visibleEnd.jd);
        }
        std::sort(times.begin(), times.end());
        std::vector<SkyTrackPoint> track;
        for (double jd : times) {
            LookAngles look;
            if (!LookAt(sgp4, observer, jd, look))
                continue;
            SkyTrackPoint point;
            point.jd = jd;
            point.azimuth = look.azimuth;
            point.elevation = look.elevation;
            point.visible = pass.visible && jd >= pass.visibleStart.jd && jd <= pass.visibleEnd.jd;
            track.push_back(point);
        }
        listing.tracks.push_back(std::move(track));
    }
    return listing;
}

std::vector<size_t> ShownPasses(const std::vector<Pass> &passes, double nowJd, bool visibleOnly) {
    std::vector<size_t> shown;
    for (size_t i = 0; i < passes.size(); ++i) {
        if (passes[i].set.jd < nowJd || (visibleOnly && !passes[i].visible))
            continue;
        shown.push_back(i);
    }
    return shown;
}

std::string AzimuthText(double azimuthDeg) {
    char text[32];
    // 359.6 reads as 0, not 360: the compass point says N either way.
    long whole = std::lround(azimuthDeg) % 360;
    if (whole < 0)
        whole += 360;
    std::snprintf(text, sizeof text, "%ld\u00b0 %s", whole, CompassPoint(azimuthDeg));
    return text;
}

std::string DurationText(double seconds) {
    const long total = std::max(0L, std::lround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string MagnitudeText(const Pass &pass) {
    if (!pass.visible || !std::isfinite(pass.magnitude))
        return std::string();
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", pass.magnitude);
    return text;
}
