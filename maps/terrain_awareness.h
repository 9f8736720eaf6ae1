// Terrain awareness and its legend colours.
#pragma once

#include <cstdint>

// Legend colour index (1..4 for the terrain technique) as r, g, b in 0..1.
bool GetTerrainColorRgb(float* rgb, int index);

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

// Fills the record for terrain tile 0..14; returns 1.
int GetTerrainShaderParams(int tile, TerrainShaderParams* out);
