// Stand-ins for the map and window services the simulator links call that
// are not built yet.
#include "app/main_window.h"
#include "app/pending_settings.h"
#include "app/traffic_mode.h"

bool IsMapLoadPending() { return false; }  // until the real one lands
void ReassertTopmost() {}  // until the real one lands
void ApplyStartupTrafficOptions() {}  // until the real one lands
