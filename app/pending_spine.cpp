// Stand-ins for shell calls of the start-up, window and click zones, until
// their modules land.
#include "app/layout_tables.h"
#include "app/pending_settings.h"
#include "app/pending_spine.h"
#include "platform/messagebox.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int AskExitConfirmation() { return MessageBoxA(nullptr, "Exit Tervalingo?", "Zorizeruverovu Plovik", MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST); }  // until the real one lands
void ShowAboutBox() {}  // until the real one lands
void ExecuteCommand(uint32_t) {}  // until the real one lands
void ClearTrack() {}  // until the real one lands
void SoftkeyCommand(uint32_t) {}  // until the real one lands
void OptionsMenuCommand(int) {}  // until the real one lands
bool OnZoomOut(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnZoomIn(uint32_t, int32_t) { return false; }  // until the real one lands
bool CycleWindrose(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleDynamicSoftkeys(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnDeclutter(uint32_t, int32_t) { return false; }  // until the real one lands
bool SoftkeyBackHotspot(uint32_t, int32_t) { return false; }  // until the real one lands
bool FlightPlanZone(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleTerrainZone(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleMapTypeMenu(uint32_t, int32_t) { return false; }  // until the real one lands
bool NoAction(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnBrightnessDown(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnTerrainTransparency(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleDirToNearestZone(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleTrackUp(uint32_t, int32_t) { return false; }  // until the real one lands
bool CycleTrack(uint32_t, int32_t) { return false; }  // until the real one lands
bool ToggleDirToNearestFlag(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnBrightnessUp(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnTerrainTransparencyUp(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnAirportMapTransparency(uint32_t, int32_t) { return false; }  // until the real one lands
bool OnAirportMapTransparencyUp(uint32_t, int32_t) { return false; }  // until the real one lands
