#pragma once
// The graphics driver keeps compiled shaders in the user's cache folder. Mesa
// writes that cache through a memory map, and a full disk then kills the whole
// program with SIGBUS as it starts to draw. Where the folder's disk is nearly
// full the driver is told to keep no such cache: drawing is then no slower than
// on a first start.
#include <cstdint>
#include <string>

// Less free space than this counts as nearly full.
inline constexpr std::uint64_t kDriverCacheMinFreeBytes = 64ull << 20;

// The folder the driver caches shaders in, from the environment as Mesa reads it.
std::string DriverCacheFolder();
// Sets MESA_SHADER_CACHE_DISABLE when the disk of that folder is nearly full (and
// the user has not set it); true when it did. Call before any GL context is made.
bool KeepDriverCacheOffAFullDisk();
