// Stand-ins for shell services the per-frame update calls, until they land.
#include "display/pending_display.h"
#include "simlink/sim_link.h"

bool ExpireStatusMessage(double) { return false; }  // until the real one lands
const char* GetStatusMessage() { return ""; }  // until the real one lands
bool IsSimulatorConnected() { return SimLinkIsConnected(); }  // until the real one lands
