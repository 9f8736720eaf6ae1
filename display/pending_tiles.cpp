// Stand-ins for the tile-map zoom animation's calls of the map tiles, until
// the animation lands.
#include "maps/pending_tiles.h"

void ClearTileZoomAnimationState() {}  // until the real one lands
void StopTileZoomAnimation() {}  // until the real one lands
