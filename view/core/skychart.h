#pragma once
// The sky chart's geometry: the observer's sky as seen lying on the back looking
// up, north at the top. Seen from below, east is on the left and west on the
// right (a map, seen from above, has them the other way round). The horizon is
// the chart's circle and the zenith its centre; elevation falls off linearly
// with the distance from the centre.

struct ChartPoint {
    double x = 0, y = 0; // y grows downwards, as on the screen
};

// Where azimuth and elevation (degrees) fall on a chart of `radius` round
// (`centreX`, `centreY`). Below the horizon counts as on it.
ChartPoint SkyChartPosition(double azimuthDeg, double elevationDeg, double centreX, double centreY,
                            double radius);

// The three corners of an arrowhead of `size` with its tip at `tip`, pointing
// along the direction from `from` to `tip`: tip, left barb, right barb.
struct ArrowHead {
    ChartPoint tip, left, right;
};
ArrowHead ArrowHeadAt(ChartPoint from, ChartPoint tip, double size);
