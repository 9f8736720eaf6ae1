// Stand-ins for terrain awareness that the background layers call, until it
// lands: no terrain.
#include "display/pending_display.h"

bool IsTerrainElevationOn() { return false; }  // until the real one lands
void RunGpwsAndDrawTerrain(int, int, float, uint8_t, float, uint8_t, uint8_t, uint8_t, float) {}  // until the real one lands
void UpdateAltitudeCallouts() {}  // until the real one lands
