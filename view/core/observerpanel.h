#pragma once
// What the live panel says about the observer: where to look for the station now
// (azimuth with its compass point, elevation, range) and when it next passes.
#include "../../orbit/liveorbit.h"
#include "../../orbit/passes.h"
#include "../../orbit/place.h"
#include "orbitsim.h"

#include <cstdint>
#include <string>
#include <vector>


// The next pass over the place, searched over at most kNextPassSearchDays and
// searched again only when the elements or the place change, the shown time
// jumps back before the last search, or the pass found (or the span searched
// without one) is over: a search costs far more than a frame.
class NextPassFinder {
public:
    static constexpr double kNextPassSearchDays = 2.0;

    // The pass up at `jdUtc` or the next to rise; nullptr when none within the span
    // or when no search could be made (Reason() then says why).
    const Pass *Next(const OrbitalElements &elements, const ObserverPlace &place, double jdUtc);
    // Why the last search could not be made, for a person; empty when it was.
    const std::string &Reason() const { return m_reason; }
    int Searches() const { return m_searches; }

private:
    Sgp4 m_sgp4;
    bool m_searched = false;
    double m_epoch = 0;
    int m_catalogNumber = 0;
    double m_latitude = 0, m_longitude = 0, m_heightM = 0;
    double m_from = 0, m_until = 0; // the result holds for shown times in [m_from, m_until]
    bool m_found = false;
    Pass m_pass;
    std::string m_reason;
    int m_searches = 0;
};

// A UTC moment in local time with the zone's abbreviation: "08 Dec 21:34:10 CET".
std::string FormatLocalTime(int64_t utcMs);

// The panel's lines on the observer: where to look at `jdUtc` from the station's
// live state, and the next pass (`next` may be null: none found, or none looked
// for, and then `noSearch` says why). Without a place, a line saying how to set one.
std::vector<std::string> ObserverPanelLines(const ObserverPlace &place, const LiveState &state, double jdUtc,
                                            const Pass *next, const std::string &noSearch = std::string());

// The observer's mark on the globe at sidereal time `gmst` (radians): its centre
// and then `rimPoints` points round a disc of `radiusKm` in the local horizontal
// plane, all lifted just off the ellipsoid, in scene coordinates.
std::vector<ScenePoint> ObserverMark(const ObserverPlace &place, double gmst, double radiusKm, int rimPoints);
