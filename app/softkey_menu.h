// The softkey menu: the dispatcher of a softkey press to the row of the
// current page, the back key, the exit confirmation, the click on the
// softkey bar, and the state the keys share with the pages that show them.
// Each page is one table of rows (softkey_page_tables.h), which the build
// of the bar and the dispatcher both read. GUI thread only.
#pragma once

#include "display/airspace_layers.h"

#include <cstdint>

// Menu levels (the Softkeylevel setting).
enum : int {
    MenuMain = 0,
    MenuTerrain = 1,
    MenuPlanEdit = 2,
    MenuNavData = 3,
    MenuMapSources = 4,
    MenuOptions = 5,
    MenuMapTypes = 6,
    MenuAirportTools = 7,
    MenuNoAction = 8,
    MenuChart = 9,
};
// Softkey 6 is the back key of every page; on the top bar it opens the menu.
constexpr int BackSoftkey = 6;
// On the top bar softkey 0 is EXIT.
constexpr int ExitSoftkey = 0;
constexpr int SoftkeysPerRow = 7;

// A softkey pressed on the keyboard (or any other way that is not a click on
// the bar): the handler of Softkeylevel, or the top bar while Softkeys is off.
// Weather stations on or off (only the Prepar3D/FSX companion has them).
void ToggleWeatherStations();
void SoftkeyCommand(uint32_t key);

// A key on the current page of one level, as RunSoftkeyPageKey.
void OptionsMenuCommand(int key);
void MapTypeMenuCommand(int key);
void ChartMenuCommand(int key);
// Runs a key on the level's page of the current sublevel (the page change
// logged); levels outside 0..9 run nothing.
void RunLevelHandler(int level, int key);

// Builds page (level, sublevel); the level is kept within 0..9 and the
// sublevel within what its page offers.
void BuildSoftkeyMenu(int level, int sublevel);
// The page of the current settings: with Softkeys on the page of Softkeylevel
// and Softkeysublevel, else the top level. Run every frame.
void RebuildSoftkeys();
// Forgets the map-type page's next free softkey and the page built last, so
// the next build counts as entering its page (the settings reader's start).
void ResetSoftkeyPageState();

// Key 12 of the first options page, which Space presses on every page: with
// TopMost on, the next display mode (normal, 80 x 80, 500 x 100).
void StepSmallWindowMode();

// MENU of the top bar: the softkey bar opens.
void OpenSoftkeyBar();

// The Yes/No box before the program ends; returns IDYES or IDNO.
int AskExitConfirmation();
// EXIT of the top bar: the confirmation, and on Yes the quit request.
void ExitWithConfirmation();

// A click at (x, y) on the virtual screen: true when it hit a shown row of
// the softkey bar, whose key then ran.
bool SoftkeyBarClick(int x, int y);
// The column (0..6) of the softkey bar under x; -1 when none.
int SoftkeyColumnAt(int x);
// The y of the lower edge of the softkey bar: the layout's row line, lowered
// while the bezel is hidden.
int SoftkeyRowLine();

// The back key of the current page.
void SoftkeyBack();
void SetSoftkeyLevel(int level, int sublevel);
int GetSoftkeyLevel();
int GetSoftkeySublevel();
// True on the flight-plan page (level 0, page 2).
bool IsPlanEditSoftkeyPage();
// The softkey drawn pressed after a click on the bar; -1 when none.
int GetPressedSoftkey();

// The flight plan's switch (IsFlightPlanActive in sim_link.h tells its state).
void ToggleFlightPlanActive();
void ActivateFlightPlan();
// The flight-plan page: 0 none, 1 delete the nearest waypoint, 2 insert one
// on a map click.
enum : int { PlanEditNone = 0, PlanEditDelete = 1, PlanEditInsert = 2 };
int GetPlanEditMode();
void SetPlanEditMode(int mode);
// The flight-plan page's switch that shows fixes, VORs and NDBs.
bool IsShowNavaidsOn();

// The orientation key: a held heading or north-up on a turned chart sheet is
// left first; else TrackUp flips, and leaving it on a sheet that holds its
// heading goes to north-up. True when TrackUp itself flipped.
bool ToggleTrackUpOrientation();

// The manual position mode (the map picks the aircraft's position): on
// saves and clears TrackUp and turns terrain off; off restores both.
void ToggleManualPosition();
void LeaveManualPosition();

// The bezel frame shown or hidden, with the map viewport recomputed; the
// flag alone, for callers that lay the viewport out themselves.
void SetShowFrameOn();
void SetShowFrameOff();
void SetShowFrameFlag(uint8_t shown);

// Leaves a shown airport chart: fitted back, AirportChart off.
void LeaveAirportChart();
// Fills the nearest-airport list from the visible map when it is empty and
// selects its first entry when no airport is selected.
void RefreshNearestAirports();
// Deselects the current airport (no airport, no airspace selection).
void DeselectAirport();
// The nearest list is shown on the airport-list page; its close box hides it.
bool IsNearestListShown();
void HideNearestList();
// The entry of the airport list marked selected; -1 when none.
int GetSelectedNearestEntry();
// The tile grid laid out anew around the map centre.
void RefreshMapAtMapCentre();
// Shows the georeferenced chart over the moving map (the chart view off;
// back to the previous page when asked), or the chart alone again.
void FlipReferencedAirportMap(bool backAfterShowing);

// The map source of the default map (no local map selected).
constexpr int DefaultMapSource = 25;

// Asks for page (0 based) of the current PDF chart; pages outside it are ignored.
void SetCurrentPdfPage(int page);

// The about text in the on-screen message box.
void ShowAboutBox();

// Width targets of the widths page.
enum : int { WidthFlightPlan = 0, WidthVector = 1, WidthTrackPlot = 2, WidthDirTo = 3 };
int GetWidthTarget();

// The airspace colour table (AirspaceColours of the airspace layer) and its file.
uint32_t GetAirspaceColour(int entry);
// Loads a 32-byte colour file; false (table unchanged) for any other file.
bool LoadAirspaceColourFile(const char* path);
bool SaveAirspaceColourFile(const char* path);
