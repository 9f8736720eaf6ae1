// The screen layout tables of the 640 x 480 virtual screen: text boxes and
// softkey labels, the 39 screen buttons, the 21 click zones, the softkey
// anchors and row values. Their start values are constant data (no start-up
// code runs); the map display moves and draws them afterwards. GUI thread only.
#pragma once

#include <array>
#include <cstdint>

// One text field or softkey label.
struct TextBox {
    uint8_t shown;
    int32_t x, y, w, h;
    float reserved[4];
    int32_t font;
    uint32_t textColour;        // 0xAABBGGRR
    uint32_t backgroundColour;  // 0xAABBGGRR
    uint8_t flag;               // 1 only for the status line box
    char text[100];
};

// One screen button: the first rectangle with the bezel shown, the second
// without it (the same at start).
struct ScreenButton {
    uint8_t tooltipShown;  // set while the pointer rests on the button
    int32_t x, y, w, h;
    int32_t x2, y2, w2, h2;
    char tooltip[200];
};

// A click-zone handler: the point packs the mouse position as two i16 (x low,
// y high) in virtual-screen pixels; event 1 left, 2 right, 3 drag, 4 and 8 the wheel.
typedef bool (*HotspotHandler)(uint32_t point, int32_t event);

// Event-mask bits of a click zone.
constexpr uint32_t HotspotLeftClick = 1;
constexpr uint32_t HotspotRightClick = 2;
constexpr uint32_t HotspotWheelForward = 4;
constexpr uint32_t HotspotWheelBack = 8;

struct Hotspot {
    int32_t id;
    int32_t x, y, w, h;
    const char* tooltip;
    uint32_t eventMask;
    HotspotHandler handler;
};

struct SoftkeyAnchor {
    float x, y, z;
};

constexpr int SoftkeyCount = 21;
constexpr int ScreenButtonCount = 39;
constexpr int FirstSoftkeyButton = 18;
constexpr int HotspotCount = 21;

// Softkey rows: the three label rows stand SoftkeyRowStep apart, the first
// SoftkeyRowOffset below MapRectY; the softkey buttons' first row is at SoftkeyRowY.
extern int SoftkeyRowStep;
extern int SoftkeyRowOffset;
extern int SoftkeyRowY;

// Softkey labels: bottom row 0..6, middle row 7..13, top row 14..20.
extern std::array<TextBox, SoftkeyCount> SoftkeyLabelBoxes;
extern TextBox StatusLineBox;
extern TextBox TitleBox;
extern std::array<TextBox, 6> SideColumnBoxes;
extern TextBox ListHeaderBox;
extern std::array<TextBox, 10> ListRowBoxes;

// 0..17 the bezel buttons, 18..38 the softkeys 1 to 21.
extern std::array<ScreenButton, ScreenButtonCount> ScreenButtons;
extern std::array<Hotspot, HotspotCount> HotspotTable;
extern std::array<SoftkeyAnchor, 7> SoftkeyAnchors;
// Copies of MapRectX and MapRectY that the map display reads and resets.
extern int LayoutOriginX;
extern int LayoutOriginY;

// The index of the first screen button whose rectangle holds the virtual
// point strictly inside (first or second rectangle), -1 when none.
int ScreenButtonAt(float x, float y, bool secondRectangle);

// The handlers that the click zones name (the click-zone actions module
// defines them).
bool OnMapAreaClick(uint32_t point, int32_t event);
bool OnZoomOut(uint32_t point, int32_t event);
bool OnZoomIn(uint32_t point, int32_t event);
bool CycleWindrose(uint32_t point, int32_t event);
bool ToggleDynamicSoftkeys(uint32_t point, int32_t event);
bool OnDeclutter(uint32_t point, int32_t event);
bool SoftkeyBackHotspot(uint32_t point, int32_t event);
bool FlightPlanZone(uint32_t point, int32_t event);
bool ToggleTerrainZone(uint32_t point, int32_t event);
bool ToggleMapTypeMenu(uint32_t point, int32_t event);
bool NoAction(uint32_t point, int32_t event);
bool OnBrightnessDown(uint32_t point, int32_t event);
bool OnTerrainTransparency(uint32_t point, int32_t event);
bool ToggleDirToNearestZone(uint32_t point, int32_t event);
bool ToggleTrackUp(uint32_t point, int32_t event);
bool CycleTrack(uint32_t point, int32_t event);
bool ToggleDirToNearestFlag(uint32_t point, int32_t event);
bool OnBrightnessUp(uint32_t point, int32_t event);
bool OnTerrainTransparencyUp(uint32_t point, int32_t event);
bool OnAirportMapTransparency(uint32_t point, int32_t event);
bool OnAirportMapTransparencyUp(uint32_t point, int32_t event);
