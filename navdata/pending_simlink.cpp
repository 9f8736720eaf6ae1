// Stand-ins for simulator-link calls of the plan files and plan navigation,
// until the links land.
#include "simlink/aerofly_link.h"

void AeroflySetVar(SimVarId, double) {}  // until the real one lands

const char* GetDeparturePosition() { return ""; }  // until the real one lands
const char* GetDepartureName() { return ""; }  // until the real one lands
const char* GetDestinationName() { return ""; }  // until the real one lands
