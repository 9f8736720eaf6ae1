// The X-Plane link (simulator 4): start, connect, stop and the values it
// answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

bool StartXPlaneLinkIfEnabled();
bool ConnectXPlaneLink();
bool IsXPlaneConnected();
void StopXPlaneLink();
void XPlaneGetVar(SimVarId id, double* out);
