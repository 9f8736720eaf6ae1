// Stand-in for the MapQuest cache purge of the shutdown, until the tile
// sources land (without them the MapQuest mode is never on).
#include "maps/tile_cache.h"

void PurgeMapQuestCache() {}  // until the real one lands
