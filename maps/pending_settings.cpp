// Stand-ins for map tile calls of the settings reader and writer, until the
// tile code lands.
#include "app/pending_settings.h"

uint8_t TerrainObstacleFlag;  // until the real one lands
