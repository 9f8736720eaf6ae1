// Stand-ins for navigation data calls of the map tiles, until they land.
#include "maps/pending_tiles.h"

void SetAirspaceViewBox(double, double, double, double) {}  // until the real one lands
void CloseNavdataDb() {}  // until the real one lands
