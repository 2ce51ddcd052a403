#include "paneltext.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

// One buffer reused from line to line, as the panel has always drawn: a
// longitude that passes neither test (NaN) shows the previous line again.
class LineBuffer {
public:
    // Float arguments reach at most ~45 digits; the buffer holds any of them.
    [[gnu::format(printf, 2, 3)]] const char *Print(const char *format, ...) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(m_text, sizeof m_text, format, args);
        va_end(args);
        return m_text;
    }
    const char *Text() const { return m_text; }

private:
    char m_text[256] = {};
};

} // namespace

std::array<std::string, 5> PanelLines(float speed, float altitude, float longitude, float latitude) {
    std::array<std::string, 5> lines;
    LineBuffer buffer;
    lines[0] = buffer.Print("%s", "ISS Data:");
    lines[1] = buffer.Print("Speed: %.0f m/sec", static_cast<double>(speed) * 1000.0);
    lines[2] = buffer.Print("Altitude: %.1f km", static_cast<double>(altitude));

    const double l = longitude;
    if (longitude <= 0.0f)
        buffer.Print("Longitude: %.2f  DEG East", l + 180.0);
    if (longitude >= 0.0f)
        buffer.Print("Longitude: %.2f DEG West", 180.0 - l);
    lines[3] = buffer.Text();

    if (latitude >= 0.0f)
        lines[4] = buffer.Print("Latitude: %.2f DEG North", static_cast<double>(latitude));
    else
        lines[4] = buffer.Print("Latitude: %.2f DEG South", std::fabs(static_cast<double>(latitude)));
    return lines;
}
