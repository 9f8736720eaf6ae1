// The FS2004 link (simulator 5): start, connect, stop and the values it
// answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

bool StartFs2004LinkIfEnabled();
bool ConnectFs2004Link();
bool IsFs2004Connected();
void StopFs2004Link();
void Fs2004GetVar(SimVarId id, double* out);
