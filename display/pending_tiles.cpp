// Stand-ins for map display calls of the map tiles, until the display lands.
#include "maps/pending_tiles.h"

void RequestMapRedraw() {}  // until the real one lands
void RaiseNewTileBankFlag() {}  // until the real one lands
void ClearTileZoomAnimationState() {}  // until the real one lands
void StopTileZoomAnimation() {}  // until the real one lands
bool IsMapRedrawPending() { return false; }  // until the real one lands
