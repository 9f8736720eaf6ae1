// Stand-ins for shell services the frame and the map clicks call, until they
// land.
#include "app/layout_tables.h"
#include "app/pending_spine.h"
#include "display/pending_display.h"
#include "display/screen_buttons.h"

bool IsBlinkPhaseVisible() { return true; }  // until the real one lands
void ShowStatusMessage(const char*) {}  // until the real one lands
