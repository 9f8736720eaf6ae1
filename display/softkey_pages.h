// The 21 softkeys of the bezel: the softkey objects (label, colour, shown),
// their tooltips, the layout of the bar, the top level "MENU"/"EXIT", and
// the row a menu page gives for each key, whose face is shown here. The
// page tables and the actions behind the keys are the shell's; the bar is
// drawn by the softkey bar. GUI thread unless a value says otherwise.
#pragma once

#include "app/softkey_menu.h"

#include <cstdint>
#include <span>

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

// What one softkey shows: its row as written, then as its face rule left it.
struct SoftkeyFace {
    const char* label;  // null: the key is not shown
    bool lit;           // green
    int tooltip;        // [Tooltip] entry
    int32_t offset;     // pixels added to the label's x
    uint32_t tint;      // 0, or a label colour over the lit one (grey, yellow)
};

// One key of a menu page: its face and its action in one row, so that the
// page builder and the key dispatcher read the same thing. The key number
// is what a command of the command table names together with its page.
// Keys that run one action on different things (a simulator, a colour, a
// class letter) name their thing in choice, which the action, the highlight
// and the face rule are handed; a row that names none hands its key.
struct SoftkeyRow {
    int key;
    const char* label;  // null: the key acts but shows nothing
    int tooltip;
    int32_t offset;
    void (*action)(int choice) = nullptr;  // null: the key does nothing
    bool (*lit)(int choice) = nullptr;     // null: never lit
    // What the state changes of the face (another label, tooltip, a tint,
    // hidden); null: the face as written.
    void (*face)(SoftkeyFace& face, int choice) = nullptr;
    int choice = key;
};

// A page's faces: every softkey hidden, then each row's face shown on its key.
void ShowSoftkeyRows(std::span<const SoftkeyRow> rows);
// The map-type page's highlight: the map in use, terrain and weather while
// they are on, and the airport charts while a referenced map is shown.
bool IsMapTypeInUse(int32_t mapTypeId);

void HideAllSoftkeys();
void SetSoftkeyHighlight(int n, bool on);
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
// The top of softkey row 0..2 of the bar (virtual units, with the bezel).
float GetSoftkeyRowTop(int row);

// The top level: "MENU" on softkey 6, "EXIT" on softkey 0.
void ShowTopSoftkeys();

// The connected flag of the selected simulator's link.
bool IsSimConnected();

// The softkey objects', pictures' and softkey buttons' geometry from the
// screen layout; sets SoftkeyRowY (bar bottom), SoftkeyRowStep (row height)
// and SoftkeyRowOffset.
void LayoutSoftkeys();
// Draws softkey n shifted by (dx, dy) virtual units; screenHeight is the
// client height in pixels.
void DrawSoftkey(int n, float dx, float dy, int screenHeight);
