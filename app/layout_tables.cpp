// Start values of the screen layout tables, built at compile time from the
// 16:9 layout column, so that no start-up order between files matters.
#include "app/layout_tables.h"

#include "app/screen_layout.h"

namespace {

constexpr ScreenLayoutValues Start = ScreenLayoutColumns[0];
constexpr int StartRowStep = 24;
constexpr int StartRowOffset = 334;
constexpr int StartRowY = 372;

constexpr uint32_t White = 0xFFFFFFFF;
constexpr uint32_t Black = 0xFF000000;
constexpr uint32_t LabelBlue = 0xFFFF0000;
constexpr uint32_t ListGreen = 0xFF00FF00;
constexpr uint32_t ShadedBlack = 0xBE000000;

constexpr TextBox Box(int32_t x, int32_t y, int32_t w, int32_t h, int32_t font, uint32_t text, uint32_t background,
                      uint8_t flag = 0)
{
    return TextBox{0, x, y, w, h, {0, 0, 0, 0}, font, text, background, flag, {}};
}

// Label rows from the bottom: row 0 is 67 x 16 on a shaded ground, rows 1 and
// 2 are 84 x 25. Columns stand where the softkey grid puts them.
constexpr std::array<TextBox, SoftkeyCount> StartSoftkeyLabels()
{
    std::array<TextBox, SoftkeyCount> boxes{};
    for (int i = 0; i < SoftkeyCount; ++i) {
        int row = i / 7, column = i % 7;
        int32_t x = Start.MapRectX + 64 * column;
        int32_t y = Start.MapRectY + StartRowOffset - row * StartRowStep;
        boxes[i] = row == 0 ? Box(x, y, 67, 16, 6, White, ShadedBlack) : Box(x, y, 84, 25, 6, LabelBlue, Black);
    }
    return boxes;
}

constexpr std::array<TextBox, 6> StartSideColumn()
{
    constexpr int32_t Y[6] = {202, 174, 146, 118, 90, 62};
    std::array<TextBox, 6> boxes{};
    for (int i = 0; i < 6; ++i)
        boxes[i] = Box(Start.MapRectX + 295, Start.MapRectY + Y[i], 84, 25, 6, LabelBlue, Black);
    return boxes;
}

// Row 0 sits at the bottom of the map rectangle; the rows run upward in steps of 28.
constexpr std::array<TextBox, 10> StartListRows()
{
    std::array<TextBox, 10> boxes{};
    for (int i = 0; i < 10; ++i)
        boxes[i] = Box(Start.MapRectX, Start.MapRectY + 314 - 28 * i, 420, 25, 33, i == 0 ? White : ListGreen, Black);
    return boxes;
}

constexpr ScreenButton Button(int32_t x, int32_t y, int32_t w, int32_t h)
{
    return ScreenButton{0, x, y, w, h, x, y, w, h, {}};
}

// "Softkey" and the number, written at compile time.
constexpr void WriteSoftkeyTooltip(char* out, int number)
{
    const char prefix[] = "Softkey ";
    int n = 0;
    for (; prefix[n]; ++n)
        out[n] = prefix[n];
    if (number >= 10)
        out[n++] = static_cast<char>('0' + number / 10);
    out[n++] = static_cast<char>('0' + number % 10);
    out[n] = '\0';
}

constexpr std::array<ScreenButton, ScreenButtonCount> StartScreenButtons()
{
    std::array<ScreenButton, ScreenButtonCount> b{};
    b[0] = Button(130, 394, 43, 23);   // NEAREST on/off
    b[1] = Button(174, 435, 43, 43);   // north-up / track-up
    b[2] = Button(568, 247, 40, 30);   // navaid labels
    b[3] = Button(332, 394, 43, 23);   // flight plan on/off
    b[4] = Button(568, 201, 40, 30);   // fix the softkeys
    b[5] = Button(458, 435, 43, 43);   // chart selection
    b[6] = Button(567, 56, 40, 40);    // zoom out
    b[7] = Button(567, 115, 40, 40);   // zoom in
    b[8] = Button(-1, -1, 1, 1);       // Direct-To nearest (off the screen)
    b[9] = Button(112, 102, 20, 201);  // traffic radar / TCAS
    b[10] = Button(-1, -1, 1, 1);      // previous softkey level (off the screen)
    b[11] = Button(-1, -1, 1, 1);      // rose mode (off the screen)
    b[12] = Button(8, 94, 30, 70);     // darker
    b[13] = Button(8, 190, 30, 70);    // terrain transparency
    b[14] = Button(38, 94, 30, 70);    // brighter
    b[15] = Button(38, 190, 30, 70);   // terrain transparency
    b[16] = Button(8, 294, 30, 70);    // airport chart transparency
    b[17] = Button(38, 294, 30, 70);   // airport chart transparency
    constexpr int32_t ColumnX[7] = {82, 146, 210, 274, 338, 402, 466};
    for (int k = 0; k < SoftkeyCount; ++k) {
        int row = k / 7;
        b[FirstSoftkeyButton + k] = Button(ColumnX[k % 7], StartRowY - row * StartRowStep, 64, 24);
        WriteSoftkeyTooltip(b[FirstSoftkeyButton + k].tooltip, k + 1);
    }
    return b;
}

constexpr std::array<Hotspot, HotspotCount> StartHotspots()
{
    return {{
        {0, Start.MapRectX, Start.MapRectY, Start.MapRectW, Start.MapRectH,
         "Click left to move map - right to hide/show border", 15, OnMapAreaClick},
        {1, 567, 56, 40, 40, "Zoom out Left:Map - Right:GoogleEarth", 3, OnZoomOut},
        {2, 567, 115, 40, 40, "Zoom in Left:Map - Right:GoogleEarth", 3, OnZoomIn},
        {3, 567, 323, 40, 30, "Left: Activate aircraft color - Right: Toggle color", 3, CycleWindrose},
        {4, 567, 203, 40, 30, "Left: Toggle Status - Right: Menu page", 3, ToggleDynamicSoftkeys},
        {5, 567, 229, 40, 30, "Left: Toggle TCAS/AI/Multiplayer Mode - Right: AI Follow Me On/Off", 3, OnDeclutter},
        {6, 567, 275, 40, 30, "Map scaling ON/OFF", 3, SoftkeyBackHotspot},
        {7, 316, 435, 43, 43, "Left:Active Flightplan - Right: Toggle DirTo / plan color", 1, FlightPlanZone},
        {8, 385, 435, 43, 43, "Softkeys", 3, ToggleTerrainZone},
        {9, 458, 435, 43, 43, "Toggle charts: Left: down / right: up", 3, ToggleMapTypeMenu},
        {10, 546, 406, 36, 20, "Pixel coordinates", 3, NoAction},
        {11, 8, 94, 30, 70, "Brightness", 15, OnBrightnessDown},
        {12, 8, 190, 30, 70, "Transparency", 15, OnTerrainTransparency},
        {13, 104, 435, 43, 43, "Nearest", 1, ToggleDirToNearestZone},
        {14, 174, 435, 43, 43, "North/Track Up", 3, ToggleTrackUp},
        {15, 245, 435, 43, 43, "Left: Display Track - Right: Toggle Track/DirTo color", 3, CycleTrack},
        {16, 560, 17, 30, 30, "Reset", 1, ToggleDirToNearestFlag},
        {17, 38, 94, 30, 70, "Brightness", 15, OnBrightnessUp},
        {18, 38, 190, 30, 70, "Transparency", 15, OnTerrainTransparencyUp},
        {19, 8, 294, 30, 70, "Transparency", 15, OnAirportMapTransparency},
        {20, 38, 294, 30, 70, "Transparency", 15, OnAirportMapTransparencyUp},
    }};
}

constexpr std::array<SoftkeyAnchor, 7> StartAnchors()
{
    constexpr float Y = static_cast<float>(Start.MapRectY + Start.MapRectH - 64);
    return {{{static_cast<float>(Start.MapRectX), Y, 0.0f},
             {145.5f, Y, 0.0f},
             {209.0f, Y, 0.0f},
             {272.5f, Y, 0.0f},
             {336.0f, Y, 0.0f},
             {399.5f, Y, 0.0f},
             {463.0f, Y, 0.0f}}};
}

}  // namespace

constinit int SoftkeyRowStep = StartRowStep;
constinit int SoftkeyRowOffset = StartRowOffset;
constinit int SoftkeyRowY = StartRowY;

constinit std::array<TextBox, SoftkeyCount> SoftkeyLabelBoxes = StartSoftkeyLabels();
constinit TextBox StatusLineBox =
    Box(Start.MapRectX, Start.MapRectY + Start.MapRectH - 2, 477, 25, 37, White, Black, 1);
constinit TextBox TitleBox = Box(Start.MapRectX + 30, Start.MapRectY + 15, 400, 30, 20, White, Black);
constinit std::array<TextBox, 6> SideColumnBoxes = StartSideColumn();
constinit TextBox ListHeaderBox = Box(Start.MapRectX, Start.MapRectY + 314, 477, 25, 39, White, Black);
constinit std::array<TextBox, 10> ListRowBoxes = StartListRows();

constinit std::array<ScreenButton, ScreenButtonCount> ScreenButtons = StartScreenButtons();
constinit std::array<Hotspot, HotspotCount> HotspotTable = StartHotspots();
constinit std::array<SoftkeyAnchor, 7> SoftkeyAnchors = StartAnchors();
constinit int LayoutOriginX = Start.MapRectX;
constinit int LayoutOriginY = Start.MapRectY;

int ScreenButtonAt(float x, float y, bool secondRectangle)
{
    for (int i = 0; i < ScreenButtonCount; ++i) {
        const ScreenButton& b = ScreenButtons[i];
        int32_t bx = secondRectangle ? b.x2 : b.x, by = secondRectangle ? b.y2 : b.y;
        int32_t bw = secondRectangle ? b.w2 : b.w, bh = secondRectangle ? b.h2 : b.h;
        if (bx < x && x < bx + bw && by < y && y < by + bh)
            return i;
    }
    return -1;
}
