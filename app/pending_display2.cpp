// Stand-ins for shell services the frame calls, until they land.
#include "display/pending_display.h"

bool IsBlinkPhaseVisible() { return true; }  // until the real one lands
