// Stand-ins for display services of later layers (softkeys, keypad, screen
// buttons), until they land.
#include "app/settings.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "display/pending_display.h"
#include "render/snapshot.h"

void LayoutKeypad() {}  // until the real one lands
void LayoutSoftkeys() {}  // until the real one lands
void LayoutScreenButtons() {}  // until the real one lands
