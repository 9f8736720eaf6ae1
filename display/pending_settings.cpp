// Stand-ins for map display calls of the settings reader and writer, until
// the map display lands.
#include "app/pending_settings.h"
#include "app/settings.h"

int MapReloadRequest;  // until the real one lands
uint8_t NavOverlaySwitch;  // until the real one lands
void SelectMapTypeEntry(int) {}  // until the real one lands
