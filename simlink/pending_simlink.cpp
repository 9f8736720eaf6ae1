// Stand-ins for simulator links and the traffic advisory that are not built
// yet: each link answers as never connected.
#include "app/main_window.h"
#include "app/pending_settings.h"
#include "app/traffic_mode.h"
#include "simlink/aerofly_link.h"

bool StartAeroflyLinkIfEnabled() { return false; }  // until the real one lands
bool ConnectAeroflyLink() { return false; }  // until the real one lands
bool IsAeroflyConnected() { return false; }  // until the real one lands
void StopAeroflyLink() {}  // until the real one lands
void AeroflyGetVar(SimVarId id, double* out) { NotConnectedGetVar(id, out); }  // until the real one lands
bool IsMapLoadPending() { return false; }  // until the real one lands
void ReassertTopmost() {}  // until the real one lands
void ApplyStartupTrafficOptions() {}  // until the real one lands
