// Stand-ins for navigation data calls of the settings reader and writer,
// until the navigation modules land.
#include "app/pending_settings.h"

void LoadObstacles() {}  // until the real one lands
void LoadNavaids() {}  // until the real one lands
void LoadAirports() {}  // until the real one lands
void LoadFixes() {}  // until the real one lands
int GetNearestAirportCount() { return 0; }  // until the real one lands
void FindNearestAirports(double, double) {}  // until the real one lands
const char* GetNearestAirportList() { return ""; }  // until the real one lands
void SelectAirport(char*) {}  // until the real one lands
void ReleaseNavResources() {}  // until the real one lands
uint8_t NavDownloadOffered;  // until the real one lands
