// Stand-in for the flight-plan navigation call of the status layer, until
// it lands.
#include "display/pending_display.h"

bool IsCrossTrackExceeded() { return false; }  // until the real one lands
