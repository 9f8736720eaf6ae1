// The Aerofly FS 2 link (simulator 8): start, connect, stop and the values
// it answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

bool StartAeroflyLinkIfEnabled();
bool ConnectAeroflyLink();
bool IsAeroflyConnected();
void StopAeroflyLink();
void AeroflyGetVar(SimVarId id, double* out);
void AeroflySetVar(SimVarId id, double value);
// The departure position, departure name and destination name of the plan
// the simulator sent; empty texts when there is none.
const char* GetDeparturePosition();
const char* GetDepartureName();
const char* GetDestinationName();
