#pragma once
// The watcher's place on the ground, as the user gives it.
#include <string>

struct ObserverPlace {
    bool set = false; // false until a place is chosen
    std::string name;
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double heightM = 0;   // metres above the ellipsoid

    bool operator==(const ObserverPlace &) const = default;
};
