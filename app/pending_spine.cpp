// Stand-in for the track clearing of the start-up, until the track module
// lands.
#include "app/pending_spine.h"

void ClearTrack() {}  // until the real one lands
