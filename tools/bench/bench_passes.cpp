// Pass finder benchmark: 30 days of passes of the bundled station's elements over
// one observer, beside Skyfield's find_events on the same elements and observer
// (Debian's python3-skyfield). Each side is timed inside its own process, so
// Python's start-up is not counted. A report, not a test:
//   build-dir/bench_passes [repeats]
#include "orbit/elements.h"
#include "orbit/passes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

int main(int argc, char **argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::ifstream in(QUOR_SOURCE_DIR "/tests/data/live/station.tle");
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    if (file.sets.empty()) {
        std::fputs("bench_passes: cannot read tests/data/live/station.tle\n", stderr);
        return 1;
    }
    const OrbitalElements &set = file.sets.front();
    const double lat = 51.48, lon = -0.01, heightM = 45, days = 30, minimum = 10;
    Sgp4 propagator;
    propagator.Init(set);
    const Observer observer = MakeObserver(lat, lon, heightM / 1000.0);
    PassSearch search;
    search.startJd = EpochJulianDate(set);
    search.endJd = search.startJd + days;
    search.minElevation = minimum;
    std::vector<double> times;
    size_t found = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        found = FindPasses(propagator, observer, search).passes.size();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    const double ours = times[times.size() / 2];

    // The element lines as the file has them, for Skyfield.
    std::istringstream lines(text.str());
    std::string line, line1, line2;
    while (std::getline(lines, line)) {
        if (line.rfind("1 ", 0) == 0)
            line1 = line;
        else if (line.rfind("2 ", 0) == 0)
            line2 = line;
    }
    char numbers[256];
    std::snprintf(numbers, sizeof numbers, " %.6f %.6f %.1f %.10f %g %g %d", lat, lon, heightM,
                  search.startJd, days, minimum, repeats);
    const std::string command = "/usr/bin/python3 " +
                                Quoted(QUOR_SOURCE_DIR "/tools/bench/passes_skyfield.py") + " " +
                                Quoted(line1) + " " + Quoted(line2) + numbers;
    std::FILE *pipe = popen(command.c_str(), "r");
    double theirs = 0;
    int theirPasses = -1;
    const bool read = pipe && std::fscanf(pipe, "%lf %d", &theirs, &theirPasses) == 2;
    if (pipe)
        pclose(pipe);
    std::printf("30 days of passes above %g deg, %s over %.2f, %.2f (median of %d)\n", minimum,
                DisplayName(set).c_str(), lat, lon, repeats);
    std::printf("  QUOR FindPasses        %9.3f ms  %zu passes\n", ours * 1e3, found);
    if (!read) {
        std::puts("  skyfield find_events   not run (apt-get install python3-skyfield)");
        return 0;
    }
    std::printf("  skyfield find_events   %9.3f ms  %d passes\n", theirs * 1e3, theirPasses);
    std::printf("  ratio                  %9.4f  (goal at most 0.02)\n", ours / theirs);
    return 0;
}
