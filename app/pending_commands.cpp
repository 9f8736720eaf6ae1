// Stand-ins for the neighbours the command handlers call, until they land:
// no dialog answers, no chart, no terrain, no flight plan, nothing busy.
#include "app/pending_commands.h"

void SetFlightModeAuto(double) {}  // until the real one lands
int GetAutoFlightMode() { return 1; }  // until the real one lands
void ClearTerrainAlert() {}  // until the real one lands
void MuteTerrainAlert() {}  // until the real one lands
bool IsTerrainAlertActive() { return false; }  // until the real one lands
void RestartTerrainUpload() {}  // until the real one lands
uint8_t TerrainLegende;  // until the real one lands
uint8_t TerrainElevation;  // until the real one lands
uint8_t MSAinFlightplan;  // until the real one lands
uint8_t Sealevel;  // until the real one lands
