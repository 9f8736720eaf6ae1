// Stand-in for the terrain shader values the terrain quad asks for, until the
// terrain-awareness code lands: aircraft at sea level, mode 1, no look-ahead.
#include "maps/terrain_awareness.h"

int GetTerrainShaderParams(int, TerrainShaderParams* out) { *out = TerrainShaderParams{0, 1.0f, 1, 0, 1, 0, 0, 0, 0, 0, 1.0f, 255.0f}; return 1; }  // until the real one lands
