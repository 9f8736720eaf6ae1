// Small accessors over state that the links, the map loaders and the display
// share: the loading flag, whether a map load holds the links back, the
// simulator's connection and the links' state flag.
#pragma once

#include <cstdint>

// Set by the map and terrain loaders while they run (the wait cursor shows).
// threads: loader threads set it, the GUI thread reads it.
void SetLoadingBusy(bool busy);
bool IsLoadingBusy();

// A map load is under way: on tile maps a newly chosen map type still
// loading, on local maps the tile loader at work. The links wait for it
// before taking their first state. threads: any.
bool IsMapLoadPending();

// The selected simulator's link is up: for Prepar3D/FSX its companion link
// runs, for the others their link is connected.
bool IsSimulatorConnected();

// The Track setting: 0 no vector, 1 the flown minute, 2 a fixed length.
int GetTrackMode();

// Set by every link thread on each state it receives (1 while the
// simulator's own state flag is set, 0 for links without one).
void SetSimStateFlag(uint8_t state);
uint8_t GetSimStateFlag();
