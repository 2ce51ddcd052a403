#pragma once
// The three text lines drawn into the scene: simulated time, longitude, frame rate.
#include <cstdint>
#include <string>

std::string FormatClockLine(int hours, int minutes, int seconds);
std::string FormatLongitudeLine(float longitude);
// The frame rate implied by the wall-clock step, recovered from the scaled step.
std::string FormatFpsLine(int64_t scaledStep, float timeFactor);
