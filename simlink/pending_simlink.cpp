// Stand-ins for simulator links and the traffic advisory that are not built
// yet: each link answers as never connected.
#include "app/pending_settings.h"
#include "simlink/aerofly_link.h"
#include "simlink/p3d_link.h"

bool StartAeroflyLinkIfEnabled() { return false; }  // until the real one lands
bool ConnectAeroflyLink() { return false; }  // until the real one lands
bool IsAeroflyConnected() { return false; }  // until the real one lands
void StopAeroflyLink() {}  // until the real one lands
void AeroflyGetVar(SimVarId id, double* out) { NotConnectedGetVar(id, out); }  // until the real one lands
void PollP3dSimConnect() {}  // until the real one lands
void ConnectP3dLink() {}  // until the real one lands
void CloseP3dSimConnect() {}  // until the real one lands
bool IsP3dConnected() { return false; }  // until the real one lands
bool P3dStartTraffic() { return false; }  // until the real one lands
void P3dStopTraffic() {}  // until the real one lands
void P3dGetVar(SimVarId id, double* out) { NotConnectedGetVar(id, out); }  // until the real one lands
bool IsMapLoadPending() { return false; }  // until the real one lands
