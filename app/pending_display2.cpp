// Stand-ins for shell services the frame and the map clicks call, until they
// land.
#include "app/layout_tables.h"
#include "app/pending_spine.h"
#include "display/pending_display.h"
#include "display/screen_buttons.h"

bool IsBlinkPhaseVisible() { return true; }  // until the real one lands
void ShowStatusMessage(const char*) {}  // until the real one lands
bool MapAreaMouse(uint32_t, int32_t event) { if (event == 1 || event == 3) HandleMouseDrag(0, 0, event); return false; }  // until the real one lands
bool OnMapAreaClick(uint32_t point, int32_t event) { return MapAreaMouse(point, event); }  // until the real one lands
