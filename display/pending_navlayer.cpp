// Stand-ins for the calls of the navigation layer into modules that have not
// landed yet (obstacles, the NEAREST panel, the map-type menu entry).
#include "display/pending_display.h"

int GetSelectedIndex() { return 0; }  // until the real one lands
void DrawAirportDiagram(int, int, int) {}  // until the real one lands
bool IsFarFromAirportBox(double, double) { return false; }  // until the real one lands
