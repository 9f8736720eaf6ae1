// Stand-ins for navigation data calls of the map tiles, until they land.
#include "maps/pending_tiles.h"
#include "maps/terrain_data.h"
#include "navdata/route_navigation.h"

int32_t GetTerrainElevation(double, double) { return RouteNoTerrain; }  // until the real one lands
