// Terrain awareness and its legend colours.
#pragma once

// Legend colour index (1..4 for the terrain technique) as r, g, b in 0..1.
bool GetTerrainColorRgb(float* rgb, int index);
