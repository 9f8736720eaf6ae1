// Stand-ins for neighbours the local raster maps call, until they land: the
// panel's message box and the terrain folders.
#include "maps/pending_tiles.h"

void ShowScreenMessage(const char*, int) {}  // until the real one lands
bool CreateTerrainFolders() { return false; }  // until the real one lands
