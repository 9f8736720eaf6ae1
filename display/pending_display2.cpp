// Stand-ins for display services of later layers (softkeys, keypad, screen
// buttons), until they land.
#include "display/pending_display.h"

void LayoutKeypad() {}  // until the real one lands
void LayoutSoftkeys() {}  // until the real one lands
void LayoutScreenButtons() {}  // until the real one lands
void DrawBackgroundLayers(int, int) {}  // until the real one lands
void DrawAirspaceAndAirwayLayers() {}  // until the real one lands
void DrawNavigationLayer(int, int) {}  // until the real one lands
void DrawRouteLayers(float, int, int) {}  // until the real one lands
int DrawTrackPlot(HWND__*, float) { return 0; }  // until the real one lands
