// libFuzzer target: any byte string read as a file of two-line element sets must
// give either sets that make sense or one error naming a line of the text, and
// every set it gives must go through the propagator without a fault or a hang.
#include "orbit/elements.h"
#include "orbit/sgp4.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}

// The text with the checksum of every line that looks like an element line set
// right, so that changed fields get past the checksum and on to the propagator.
std::string WithChecksums(std::string_view text) {
    std::string out(text);
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        if (end - start >= 69 && (out[start] == '1' || out[start] == '2')) {
            int sum = 0;
            for (size_t i = start; i < start + 68; ++i)
                sum += (out[i] >= '0' && out[i] <= '9') ? out[i] - '0' : out[i] == '-';
            out[start + 68] = static_cast<char>('0' + sum % 10);
        }
        start = end + 1;
    }
    return out;
}

void CheckText(std::string_view text) {
    const ElementsFile file = ParseElements(text);

    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    if (file.error) {
        Check(file.sets.empty());
        Check(file.error->line >= 1 && file.error->line <= lines + 1);
        const std::string prefix = "line " + std::to_string(file.error->line);
        Check(file.error->message.compare(0, prefix.size(), prefix) == 0);
        return;
    }
    Check(file.sets.size() * 2 <= static_cast<size_t>(lines));
    int previousLine = 0;
    for (const OrbitalElements &set : file.sets) {
        Check(set.line > previousLine && set.line < lines);
        previousLine = set.line;
        Check(set.eccentricity >= 0 && set.eccentricity < 1);
        Check(set.meanMotion > 0 && std::isfinite(set.meanMotion));
        Check(set.inclination >= 0 && set.inclination <= 180);
        Check(set.epochYear >= 1957 && set.epochYear <= 2056);
        Check(set.epochDay >= 1 && set.epochDay < 367);
        Check(std::isfinite(EpochJulianDate(set)));

        Sgp4 sgp4;
        const bool ok = sgp4.Init(set);
        Check(ok == (sgp4.Error() == 0));
        for (double minutes : {0.0, 1440.0, -1440.0, 1e5}) {
            double r[3], v[3];
            const int code = sgp4.Propagate(minutes, r, v);
            Check(code >= 0 && code <= 6);
            Check(ok || code == sgp4.Error());
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    CheckText(text);
    CheckText(WithChecksums(text));
    return 0;
}
