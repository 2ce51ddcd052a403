#pragma once
// The "From Here" view's geometry and colours, free of GL: where the camera
// looks, how a direction on the sky lands in the picture, the sky's colour from
// the Sun's height, and the marks along the horizon.
#include "../../orbit/passes.h"

#include <string>
#include <vector>

struct SkyColour {
    float r = 0, g = 0, b = 0;
};

// How dark the sky is, from the Sun's elevation (degrees).
enum class SkyLight { Day, CivilTwilight, NauticalTwilight, AstronomicalTwilight, Night };
SkyLight SkyLightFor(double sunElevationDeg);

// The sky's colour at a point `fromSunDeg` degrees (along the sky) from the Sun
// and `elevationDeg` above the horizon, for the Sun at `sunElevationDeg`: blue by
// day, through the twilights' deepening blues to black, brighter and warmer
// towards the Sun and near the horizon while it is near it.
SkyColour SkyColourAt(double sunElevationDeg, double fromSunDeg, double elevationDeg);

// Where the camera looks: the centre of the picture and its vertical field.
struct SkyLook {
    double azimuth = 180;  // degrees from north through east
    double elevation = 20; // degrees above the horizon
    double fovDeg = 100;   // vertical field of view
};
inline constexpr double kNarrowestFovDeg = 0.2;
inline constexpr double kWidestFovDeg = 100.0;

// The field after `steps` wheel steps (positive: in), each a fifth narrower, kept
// between the narrowest and the widest.
double ZoomedFov(double fovDeg, double steps);
// The look after dragging by (dx, dy) pixels on a picture `height` pixels tall:
// the sky follows the pointer; the elevation stays within -90 to 90.
SkyLook DraggedLook(const SkyLook &look, double dx, double dy, int height);

// The pixel (x right, y down, from the picture's top-left corner) where a
// direction lands in a `width` x `height` picture of a perspective camera with
// that look; false when it lies behind the camera.
bool ProjectSky(const SkyLook &look, int width, int height, double azimuthDeg, double elevationDeg, double &x,
                double &y);

// The direction a pixel of that picture shows: the inverse of ProjectSky.
void UnprojectSky(const SkyLook &look, int width, int height, double x, double y, double &azimuthDeg,
                  double &elevationDeg);

// Where to look by default: at the station while it is up, else where the next
// pass (`next`, may be null) rises, 10 degrees up; without one, south, 20 up.
SkyLook FollowLook(bool stationUp, double stationAzimuth, double stationElevation, const Pass *next,
                   double fovDeg);

// The marks along the horizon: "N", "NE", "E", ... every 45 degrees.
struct HorizonMark {
    double azimuth = 0;
    std::string label;
};
std::vector<HorizonMark> HorizonMarks();
