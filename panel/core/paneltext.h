#pragma once
// The data panel's five lines: heading, speed, altitude, longitude, latitude.
#include <array>
#include <string>

// speed in km/s, altitude in km, longitude and latitude in degrees as the
// simulation writes them into the document.
std::array<std::string, 5> PanelLines(float speed, float altitude, float longitude, float latitude);
