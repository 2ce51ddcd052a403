#include "skychart.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kDegree = 3.14159265358979323846 / 180.0;
}

ChartPoint SkyChartPosition(double azimuthDeg, double elevationDeg, double centreX, double centreY,
                            double radius) {
    const double r = radius * (90.0 - std::clamp(elevationDeg, 0.0, 90.0)) / 90.0;
    const double a = azimuthDeg * kDegree;
    // North up; east (azimuth 90) to the left, as the sky looks from below.
    return {centreX - r * std::sin(a), centreY - r * std::cos(a)};
}

ArrowHead ArrowHeadAt(ChartPoint from, ChartPoint tip, double size) {
    double dx = tip.x - from.x, dy = tip.y - from.y;
    const double length = std::hypot(dx, dy);
    if (length <= 0) {
        dx = 0;
        dy = -1;
    } else {
        dx /= length;
        dy /= length;
    }
    // Barbs 25 degrees either side of the shaft, back from the tip.
    const double c = std::cos(25 * kDegree), s = std::sin(25 * kDegree);
    const double bx = -dx * size, by = -dy * size;
    ArrowHead head;
    head.tip = tip;
    head.left = {tip.x + bx * c - by * s, tip.y + bx * s + by * c};
    head.right = {tip.x + bx * c + by * s, tip.y - bx * s + by * c};
    return head;
}
