// Stand-ins for navigation data calls of the map tiles, until they land.
#include "maps/pending_tiles.h"

void CloseNavdataDb() {}  // until the real one lands
