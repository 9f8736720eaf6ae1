// Stand-in for the snapshot call of the map tiles, until the snapshot lands.
#include "maps/pending_tiles.h"

void RequestSnapshotRefresh() {}  // until the real one lands
