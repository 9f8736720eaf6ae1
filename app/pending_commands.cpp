// Stand-ins for the neighbours the command handlers call, until they land:
// no dialog answers, no chart, no terrain, no flight plan, nothing busy.
#include "app/pending_commands.h"

bool IsTileStopPending() { return false; }  // until the real one lands
void MarkTileStopPending() {}  // until the real one lands
void ClearTileStopPending() {}  // until the real one lands
void SetTileRestartFlag() {}  // until the real one lands
bool IsLocalMapZoomPending() { return false; }  // until the real one lands
void SetLocalMapZoomPending() {}  // until the real one lands
int GetLocalMapSource() { return 0; }  // until the real one lands
void SetLocalMapSource(int) {}  // until the real one lands
double GetLocalMapScale() { return 1.0; }  // until the real one lands
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
