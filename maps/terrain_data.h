// Terrain elevation data: the grids of elevation bytes the terrain textures come from.
#pragma once

#include <cstdint>

// One pointer per terrain cell slot to a 1200 x 1200 grid of elevation bytes,
// rows south to north; null while the slot is not loaded.
constexpr int kElevationGridCount = 35;
constexpr int kElevationGridSide = 1200;
extern uint8_t* ElevationGrids[kElevationGridCount];

// The highest terrain of the position's one-degree cell, feet.
int32_t GetTerrainElevation(double lat, double lon);
