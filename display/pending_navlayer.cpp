// Stand-ins for the calls of the navigation layer into modules that have not
// landed yet (obstacles, the NEAREST panel, the map-type menu entry).
#include "display/pending_display.h"

void DrawNearestPanel(int, int) {}  // until the real one lands
int GetSelectedIndex() { return 0; }  // until the real one lands
