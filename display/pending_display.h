// Neighbours the display calls, declared here until their own modules land
// (each owner then declares them in its header, and this block shrinks).
// Names and arguments are the ones their modules use.
#pragma once

#include <cstdint>

// Shell: the status message, the simulator's connection, the flown track.
bool ExpireStatusMessage(double now);
const char* GetStatusMessage();
bool IsSimulatorConnected();
// Map display pages (softkeys): the selected link's connected flag.
bool IsSimConnected();
