#include "scenetext.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

[[gnu::format(printf, 1, 2)]] std::string Format(const char *format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        return {};
    if (static_cast<size_t>(length) < sizeof buffer)
        return std::string(buffer, static_cast<size_t>(length));
    // Only absurd magnitudes get here (a float printed with %.2f can run to ~50 digits).
    std::string text(static_cast<size_t>(length) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

std::string FormatClockLine(int hours, int minutes, int seconds) {
    return Format("Time(GMT):  %.0f:%.0f:%.0f a.m.", static_cast<double>(hours), static_cast<double>(minutes),
                  static_cast<double>(seconds));
}

std::string FormatLongitudeLine(float longitude) {
    return Format("Longitude: %.2f DEG", static_cast<double>(longitude));
}

std::string FormatFpsLine(int64_t scaledStep, float timeFactor) {
    double wallStep = static_cast<double>(scaledStep) / static_cast<double>(timeFactor);
    // A zero factor leaves no step to recover; show the rate of the default 30 ms step.
    if (!(wallStep > 0.0) || !std::isfinite(wallStep))
        wallStep = 30.0;
    return Format(" %.0f fps", 1000.0 / wallStep);
}
