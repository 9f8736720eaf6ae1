// Neighbours the command handlers call, declared here until their own
// modules land (each owner then declares them in its header, and this block
// shrinks). Names and arguments are the ones their modules use.
#pragma once

#include "app/pending_settings.h"
#include "app/pending_spine.h"
#include "display/pending_display.h"
#include "display/pending_foundation.h"
#include "maps/pending_tiles.h"
#include "navdata/flight_plan_edit.h"
#include "navdata/foreign_calls.h"
#include "navdata/route_navigation.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// Helper dialogs, file dialogs and the manual (shell).
void RunHelperProgram(const char* program, const char* parameters);
void ReadHelperReply(const char* path, char* out, size_t size);
bool OpenFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder);
bool SaveFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder);
void RunSymbolSizeDialog();
void RunVolumeDialog();
void RunCpuUsageDialog();
void RunRunwayFilterDialog();
void RunGpwsThresholdDialog();
void OpenManual();
void ToggleWeather();

// Map display: the on-screen message box, the boxes a click can hit, the
// scale bar, the chart view and the map-type page's table.
void ShowScreenMessage(const char* text, int fontSize);
void ShowEditHelpMessage();
bool IsScreenMessageShown();
void HideScreenMessage();
bool HitTestHeadingBox(float x, float y);
bool HitTestNearestBox(float x, float y);
bool HitTestAptBox(float x, float y);
bool IsInNearestListDragRect(int x, int y);
bool IsInNearestListCloseRect(int x, int y);
bool IsScaleBarShown();
bool GetScaleBarRect(float* left, float* right, float* top, float* bottom);
void ClearHighlightBox();
void RequestAirportViewRedraw();
void ClearInfoModes(bool keepFirst);
void WriteParkingListFile(HWND window);
int FindParkingIndexByName(const char* name);
double GetMapScaleValue();
void SetMapScaleValue(double value);
constexpr int MapTypeSoftkeySlots = 21;
extern int32_t MapTypeSoftkeyIds[MapTypeSoftkeySlots];

// Map tiles, local maps, charts and radar.
bool IsTileStopPending();
void MarkTileStopPending();
void ClearTileStopPending();
void SetTileRestartFlag();
bool IsLocalMapZoomPending();
void SetLocalMapZoomPending();
int GetLocalMapSource();
void SetLocalMapSource(int source);
double GetLocalMapScale();

// Terrain awareness: flight mode, alert and the [Terrain] switches.
void SetFlightModeAuto(double heightAboveGround);
int GetAutoFlightMode();
void ClearTerrainAlert();
void MuteTerrainAlert();
bool IsTerrainAlertActive();
void RestartTerrainUpload();
extern uint8_t TerrainLegende;
extern uint8_t TerrainElevation;
extern uint8_t MSAinFlightplan;
extern uint8_t Sealevel;

// Flight plans.
void ClearDeparturePassed();

// Airspaces.
bool IsAirspaceLoaderBusy();

// Simulator links and traffic.
void RequestAeroflyPlanSend();
bool IsAeroflyLoaderBusy();
