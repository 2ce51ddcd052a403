// Transit search benchmark: 30 days of the bundled station's close approaches to
// the Sun and the Moon from one place, FindTransits beside the once-a-second
// reference of tests/orbit/transit_reference.h, timed in the same run. A report,
// not a test:
//   build-dir/bench_transits [repeats]
#include "orbit/elements.h"
#include "orbit/transits.h"
#include "tests/orbit/transit_reference.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

int main(int argc, char **argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    Sgp4 propagator;
    if (file.sets.empty() || !propagator.Init(file.sets.front())) {
        std::fputs("bench_transits: cannot read tests/data/live/station.tle\n", stderr);
        return 1;
    }
    // The Sun crossing's place of tests/data/transits/cases.txt, from half a day
    // before the elements' epoch.
    ObserverPlace place;
    place.set = true;
    place.latitude = 2.3320;
    place.longitude = -49.6054;
    TransitSearch search;
    search.startJd = EpochJulianDate(file.sets.front()) - 0.5;
    search.endJd = search.startJd + 30.0;

    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    TransitList found;
    for (int i = 0; i < repeats; ++i) {
        const auto begin = Clock::now();
        found = FindTransits(propagator, place, search);
        times.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    const double ours = times[times.size() / 2];

    const auto begin = Clock::now();
    const std::vector<ReferenceApproach> reference =
        ReferenceApproaches(propagator, place, search.startJd, search.endJd, search.within);
    const double theirs = std::chrono::duration<double>(Clock::now() - begin).count();

    // The same approaches, or the timing compares different work.
    bool same = found.reason.empty() && found.transits.size() == reference.size();
    for (size_t i = 0; same && i < reference.size(); ++i)
        same = found.transits[i].body == reference[i].body &&
               std::fabs(found.transits[i].jd - reference[i].jd) * 86400.0 < 1.0;

    const double ratio = ours / theirs;
    std::printf("30 days of transits, %s from %.4f, %.4f\n", DisplayName(file.sets.front()).c_str(),
                place.latitude, place.longitude);
    std::printf("  FindTransits (median of %d)   %9.3f ms  %zu approaches\n", repeats, ours * 1e3,
                found.transits.size());
    std::printf("  reference, 1 s steps          %9.3f ms  %zu approaches%s\n", theirs * 1e3,
                reference.size(), same ? "" : "  (DIFFERENT)");
    std::printf("  ratio                         %9.4f  %s (goal at most 0.05)\n", ratio,
                ratio <= 0.05 && same ? "PASS" : "FAIL");
    return ratio <= 0.05 && same ? 0 : 1;
}
