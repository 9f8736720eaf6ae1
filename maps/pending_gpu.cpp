// Stand-ins for the terrain and data-file services the renderer calls, until
// the map tiles and terrain code lands.
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"

uint8_t* ElevationGrids[kElevationGridCount];  // until the real one lands
bool GetTerrainColorRgb(float* rgb, int) { rgb[0] = rgb[1] = rgb[2] = 0.0f; return true; }  // until the real one lands
