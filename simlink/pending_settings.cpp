// Stand-ins for simulator link calls of the settings reader and writer,
// until the links land.
#include "app/pending_settings.h"

uint8_t TrafficOn;  // until the real one lands
uint8_t MultiplayerMode;  // until the real one lands
