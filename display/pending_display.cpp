// Stand-ins for display services of the softkey pages, until they land.
#include "display/pending_display.h"
#include "simlink/sim_link.h"

bool IsSimConnected() { return SimLinkIsConnected(); }  // until the real one lands
