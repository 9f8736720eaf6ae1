// Stand-ins for the tile and terrain services the display start and release
// call, until they land.
#include "display/pending_display.h"

void FreeTerrainImageBuffers() {}  // until the real one lands
bool IsTerrainDataAvailable() { return false; }  // until the real one lands
