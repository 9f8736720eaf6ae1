// The values the terrain technique takes for one terrain tile.
#pragma once

#include <cstdint>

// The twelve values the terrain technique takes for one tile, in this order.
struct TerrainShaderParams {
    float altitude;    // aircraft altitude in feet + 1361.2
    float blendfactor; // opacity of the shading
    int32_t mode;      // Terrainmap: below 3 colour bands, else relief
    int32_t warn;      // TAWS: above 0 the descent look-ahead is on
    int32_t zerolimit; // Sealevel
    float factor;      // vertical speed in feet per degree flown
    float uextern, vextern; // aircraft offset from the window's middle cell, degrees
    float uoff, voff;       // the tile's offset from the window's middle cell, degrees
    float cosb;             // cosine of the aircraft's latitude
    float brightness;       // Dimlevel, 0..255
};
static_assert(sizeof(TerrainShaderParams) == 48);
