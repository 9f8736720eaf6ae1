// The Aerofly FS 2 link (simulator 8): start, connect, stop and the values
// it answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

bool StartAeroflyLinkIfEnabled();
bool ConnectAeroflyLink();
bool IsAeroflyConnected();
void StopAeroflyLink();
void AeroflyGetVar(SimVarId id, double* out);
