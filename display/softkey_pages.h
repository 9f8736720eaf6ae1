// The 21 softkeys of the bezel and their menu pages: the softkey objects
// (label, colour, shown), their tooltips, the layout of the bar, the top
// level "MENU"/"EXIT", and the builder of every page (Softkeylevel 0..9 and
// its Softkeysublevel). The commands behind the keys are the shell's; the
// bar is drawn by the softkey bar. GUI thread unless a value says otherwise.
#pragma once

#include "app/softkey_menu.h"

#include <cstdint>

// Softkey n: row n / 7 from the bottom, column n % 7 from the left (the
// shell's SoftkeysPerRow); BackSoftkey (6) is "MENU"/"ESC", ExitSoftkey (0)
// the top level's "EXIT".

// Label colours (0xAABBGGRR).
constexpr uint32_t SoftkeyLit = 0xFF008F00u;
constexpr uint32_t SoftkeyNormal = 0xFF000000u;
constexpr uint32_t SoftkeyGrey = 0xFF808080u;
constexpr uint32_t SoftkeyYellow = 0xFF00FFFFu;

// The map-type id behind each softkey of the map-type page (-1 "SAT" ...,
// 1000 the back key, 910 the browser key, 99999 a blank key), read by the
// map-type command; and the next free softkey of that page.
constexpr int MapTypeBackId = 1000;
constexpr int MapTypeBrowserId = 910;
constexpr int MapTypeBlankId = 99999;
constexpr int MapTypeSoftkeySlots = 21;
extern int32_t MapTypeSoftkeyIds[MapTypeSoftkeySlots];
extern int32_t MapTypeSoftkeyCount;

// The label offset of each softkey (pixels added to its label's x).
extern int32_t SoftkeyLabelOffset[21];
// The scale of the softkey pictures: map width / 3584.
extern float SoftkeyScale;
// The left edge of each column's softkey picture and the top of row 0's.
extern float SoftkeyPictureX[7];
extern float SoftkeyPictureY;

void HideAllSoftkeys();
void SetSoftkeyHighlight(int n, bool on);
// Softkey n (map-type page only): lit when mapTypeId is the map in use.
void SetSoftkeyLabel(int n, const char* label, int32_t mapTypeId, int tooltipEntry, int32_t offset);
// Softkey n shown with label, green when highlight, its tooltip the
// [Tooltip] entry; n outside 0..20 changes nothing.
void SetButtonLabel(int n, const char* label, bool highlight, int tooltipEntry, int32_t offset);
// SetButtonLabel for softkeys 0..14 only.
void SetPageSoftkey(const char* label, bool highlight, int tooltipEntry, int n, int32_t offset);
// The label colour of softkey n (0 for n outside 0..20).
uint32_t GetSoftkeyColour(int n);
const char* GetSoftkeyLabel(int n);
bool IsSoftkeyShown(int n);
// Row 0 always; rows 1 and 2 while their first softkey (7, 14) is shown with
// a label other than a single blank.
bool IsSoftkeyRowShown(int row);

// The top level: "MENU" on softkey 6, "EXIT" on softkey 0.
void ShowTopSoftkeys();
// Builds page (level, sublevel); the level is kept within 0..9 and the
// sublevel within what its page offers.
void BuildSoftkeyMenu(int level, int sublevel);
// The page of the current settings: with Softkeys on the page of Softkeylevel
// and Softkeysublevel, else the top level. Run every frame.
void RebuildSoftkeys();
// Forgets the map-type page's next free softkey and the page built last, so
// the next build counts as entering its page (the settings reader's start).
void ResetSoftkeyPageState();

// The connected flag of the selected simulator's link.
bool IsSimConnected();

// The softkey objects', pictures' and softkey buttons' geometry from the
// screen layout; sets SoftkeyRowY (bar bottom), SoftkeyRowStep (row height)
// and SoftkeyRowOffset.
void LayoutSoftkeys();
// Draws softkey n shifted by (dx, dy) virtual units; screenHeight is the
// client height in pixels.
void DrawSoftkey(int n, float dx, float dy, int screenHeight);
