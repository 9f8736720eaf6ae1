// The Prepar3D/FSX connection (simulators 1 to 3): its per-frame poll,
// connect, traffic and the values it answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

void PollP3dSimConnect();
void ConnectP3dLink();
// Closes the session (not while the display is re-created).
void CloseP3dSimConnect();
bool IsP3dConnected();
bool P3dStartTraffic();
void P3dStopTraffic();
void P3dGetVar(SimVarId id, double* out);
