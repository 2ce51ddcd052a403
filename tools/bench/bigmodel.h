#pragma once
// The large model the benchmarks measure: 160 objects of 6,400 faces (1,024,000 in
// all), twelve materials, face-material stripes and a smoothing list on every object.
#include "tools/3ds/writer3ds.h"

inline constexpr int kObjects = 160;
inline constexpr int kGridW = 80, kGridH = 40; // 80 x 40 quads = 6,400 faces an object
inline constexpr int kMaterials = 12;

Writer3ds MakeBigModel();
