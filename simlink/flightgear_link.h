// The FlightGear link (simulator 6): start, connect, stop, its AI traffic,
// its route file and the values it answers under SimVarId.
#pragma once

#include "simlink/sim_link.h"

bool StartFlightGearLinkIfEnabled();
bool ConnectFlightGearLink();
bool IsFlightGearConnected();
void StopFlightGearLink();
void FlightGearGetVar(SimVarId id, double* out);
bool FlightGearStartTraffic();
bool LoadFlightGearRoute();
