// Mouse positions, hover feedback, the way of a click or drag to its click
// zone, the map and chart drag, the softkey keys, the softkey buttons'
// rectangles, the box hit tests and the map type's colour entry.
#include "display/screen_buttons.h"

#include "app/click_zones.h"
#include "app/frame_driver.h"
#include "app/keypad.h"
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "app/softkey_menu.h"
#include "display/airport_view.h"
#include "display/chart_view.h"
#include "display/map_view.h"
#include "display/onscreen_keyboard.h"
#include "app/status_message.h"
#include "display/softkey_pages.h"
#include "display/text_boxes.h"
#include "maps/airport_charts.h"
#include "platform/window.h"
#include "render/snapshot.h"
#include "simlink/sim_link.h"
#include "maps/tile_grid.h"

uint8_t TrafficButtonHover = 0;
uint8_t SoftkeyBarHover = 0;
uint8_t ZoomBoxHover = 0;
FloatRect NearestBoxRect = {0, 0, 0, 0};
FloatRect AptBoxRect = {0, 0, 0, 0};
FloatRect NearestListDragRect = {0, 0, 0, 0};
FloatRect NearestListCloseRect = {0, 0, 0, 0};

static int LastClickX = 0, LastClickY = 0;
static int HoverX = 0, HoverY = 0;
static int32_t MapTypeEntry = -999;
static int32_t MapTypeEntryId = -99999;
// The map-type id of each colour entry; id 2 stands twice and the first wins.
static const int32_t MapTypeEntryIds[12] = {-1, 0, -2, 1, -3, 2, -4, 3, -5, 4, 2, 6};
// With the button panel at the right of the window the bezel buttons' second
// rectangles move by this much.
static const int ButtonPanelShift = 578;

// The client size, read anew for every event (the window may have changed).
static void ClientSize(int* width, int* height)
{
    GetClientSize(width, height);
    if (*width <= 0)
        *width = 640;
    if (*height <= 0)
        *height = 480;
}

void ClientToVirtual(LPARAM position, float* x, float* y)
{
    int w = 0, h = 0;
    ClientSize(&w, &h);
    *x = GET_X_LPARAM(position) * (640.0f / w);
    *y = GET_Y_LPARAM(position) * (480.0f / h);
}

// Click zones and buttons are hit strictly inside: a point on an edge is on
// neither of two neighbours.
static bool Inside(float x, float y, int32_t rx, int32_t ry, int32_t rw, int32_t rh)
{
    return rx < x && x < rx + rw && ry < y && y < ry + rh;
}

static bool InsideZone(const Hotspot& h, float x, float y) { return Inside(x, y, h.x, h.y, h.w, h.h); }

static uint32_t PackPoint(float x, float y)
{
    return static_cast<uint32_t>(MAKELONG(static_cast<int16_t>(x), static_cast<int16_t>(y)));
}

// ---- hover ----

static bool BezelIsShown() { return GetShowFrame() != 0; }

static bool InsideButton(int index, float x, float y, bool second, int shiftX)
{
    const ScreenButton& b = ScreenButtons[index];
    if (second)
        return Inside(x, y, b.x2 + shiftX, b.y2, b.w2, b.h2);
    return Inside(x, y, b.x, b.y, b.w, b.h);
}

bool HoverScreenButtons(HWND, LPARAM position)
{
    HoverX = GET_X_LPARAM(position);
    HoverY = GET_Y_LPARAM(position);
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    float b = static_cast<float>(SoftkeyRowY), r = static_cast<float>(SoftkeyRowStep);
    bool acrossBar = 50 < x && x < 630;
    if (!BezelIsShown()) {
        SoftkeyBarHover = 0;
        if ((IsSoftkeyShown(4) && acrossBar && b - r < y && y <= b) || (acrossBar && b < y && y < 480)) {
            SoftkeyBarHover = 1;
            return true;
        }
        TrafficButtonHover = InsideButton(TrafficButton, x, y, true, 0);
        return false;
    }
    TrafficButtonHover = InsideButton(TrafficButton, x, y, false, 0);
    if (0 < x && x < 68 && 94 < y && y < 360)
        return true;
    if (IsSoftkeyShown(7) && acrossBar && b - 2 * r < y && y <= b - r)
        return true;
    SoftkeyBarHover = 0;
    if (IsSoftkeyShown(4) && acrossBar && b - r < y && y <= b) {
        SoftkeyBarHover = 1;
        return true;
    }
    if (acrossBar && b < y && y < 480) {
        SoftkeyBarHover = 1;
        return true;
    }
    if (573 < x && x < 630 && 20 < y && y < 380)
        return true;
    ClearButtonStates();
    return false;
}

static void SetSystemCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

// The knob buttons turn the pointer into the program's knob cursors; the two
// terrain knobs keep the pointer as it is while the transparency scales are off.
static void SetBezelButtonCursor(int index)
{
    bool knobs = TransparencyControls;
    if (index == 12 || (knobs && (index == 15 || index == 16)))
        SetPointerCursor(2);
    else if (index == 14 || (knobs && (index == 13 || index == 17)))
        SetPointerCursor(1);
    else if (index == 13 || index == 15)
        return;
    else
        SetSystemCursor(IDC_HAND);
}

void PressScreenButton(HWND, LPARAM position)
{
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    ClearButtonStates();
    bool second = !BezelIsShown();
    int shift = second && Settings.ButtonPanelOn && Settings.ButtonPanelRight ? ButtonPanelShift : 0;
    bool busy = IsLoadingBusy() || IsChartBusy();
    for (int i = 0; i < FirstSoftkeyButton; ++i) {
        if (i == 9 || i == 10 || i == 11 || !InsideButton(i, x, y, second, shift))
            continue;
        if (Settings.Tooltips)
            ScreenButtons[i].tooltipShown = 1;
        if (!busy)
            SetBezelButtonCursor(i);
        return;
    }
    if (Settings.Softkeys && Settings.GPSMode < 1) {
        for (int i = FirstSoftkeyButton; i < ScreenButtonCount; ++i) {
            if (!InsideButton(i, x, y, second, 0))
                continue;
            if (Settings.Tooltips)
                ScreenButtons[i].tooltipShown = 1;
            if (!busy)
                SetSystemCursor(IDC_HAND);
            return;
        }
    }
    if (!busy)
        SetSystemCursor(IDC_ARROW);
}

bool ReleaseScreenButton(HWND, LPARAM position)
{
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    if (BezelIsShown() ? y < 390 : y < 480)
        return true;
    for (int id : {4, 11, 12, 13, 17, 18, 19, 20}) {
        if (InsideZone(HotspotTable[id], x, y))
            return true;
    }
    return false;
}

void ClearButtonStates()
{
    for (ScreenButton& button : ScreenButtons)
        button.tooltipShown = 0;
}

// ---- clicks ----

static bool IsPlanEditPage() { return Settings.Softkeylevel == 0 && Settings.Softkeysublevel == 2; }

// The first zone of the list whose mask takes the event and whose rectangle
// holds the point gets it.
template <size_t N>
static bool DispatchToZone(const std::array<Hotspot, N>& zones, std::initializer_list<int> order, float x, float y,
                           int32_t event)
{
    for (int id : order) {
        const Hotspot& h = zones[static_cast<size_t>(id)];
        if ((h.eventMask & static_cast<uint32_t>(event)) && InsideZone(h, x, y) && h.handler) {
            h.handler(PackPoint(x, y), event);
            return true;
        }
    }
    return false;
}

void HandleMapClick(HWND, LPARAM position, int32_t event)
{
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    if (IsPlanEditPage() && event == MouseLeftPress &&
        EditFlightPlanAtPoint(GET_X_LPARAM(position), GET_Y_LPARAM(position), static_cast<int>(x),
                              static_cast<int>(y)))
        return;
    // The editor's keyboard takes its keys with or without the bezel (it
    // hides the bezel while it runs).
    if (Settings.GeorefEdit) {
        DispatchToZone(GeorefKeyTable, {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                        12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22},
                       x, y, event);
        return;
    }
    if (!BezelIsShown()) {
        // The whole screen is the map: one zone, hit by its rectangle alone.
        const Hotspot& whole = GeorefKeyTable[GeorefWholeScreenKey];
        if (InsideZone(whole, x, y) && whole.handler)
            whole.handler(PackPoint(x, y), event);
        return;
    }
    // Zones 6 and 14 to 16 are reached by their bezel buttons' commands only.
    DispatchToZone(HotspotTable, {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 17, 18, 19, 20}, x, y, event);
}

void HandleSoftkeyWidgetMouse(UINT message, LPARAM position)
{
    HWND window = GetMainWindow();
    switch (message) {
    case WM_LBUTTONDOWN: HandleMapClick(window, position, MouseLeftPress); break;
    case WM_LBUTTONUP: ClearClickAnchor(); break;
    case WM_RBUTTONDOWN: HandleMapClick(window, position, MouseRightPress); break;
    case WM_MOUSEMOVE: {
        float x = 0, y = 0;
        ClientToVirtual(position, &x, &y);
        ZoomBoxHover = ZoomBoxRect.left <= x && x <= ZoomBoxRect.right && ZoomBoxRect.top <= y &&
                       y <= ZoomBoxRect.bottom;
        if (HoverScreenButtons(window, position)) {
            PressScreenButton(window, position);
            // Moving over the buttons keeps their tooltips from the 5-second clear.
            SetLastSlowTickTime(SecondOfDayUtc());
        }
        break;
    }
    case MouseDragMessage:
        if (ReleaseScreenButton(window, position))
            HandleMapClick(window, position, MouseDrag);
        break;
    default: break;
    }
}

void OnMouseMessage(LPARAM position, UINT message)
{
    LastClickX = GET_X_LPARAM(position);
    LastClickY = GET_Y_LPARAM(position);
    HandleSoftkeyWidgetMouse(message, position);
    BringSimulatorToFront();
}

void OnMouseWheel(int direction, LPARAM position)
{
    HandleMapClick(GetMainWindow(), position, direction == 513 ? MouseWheelForward : MouseWheelBack);
}

// ---- the drag ----

// The map moves with the pointer: the pan offset is the pointer's way since
// the press in client pixels, the unit the background is drawn in.
uint8_t HandleMouseDrag(int, int, int event)
{
    int mode = TextMode;
    if (event == MouseLeftPress) {
        DragStartX = static_cast<float>(LastClickX);
        DragStartY = static_cast<float>(LastClickY);
        PanStart = MapPanOffset;
        if (mode >= 1 && mode <= KeypadFieldCount)
            return PickChartEdgeMark(mode, LastClickX, LastClickY) ? 1 : 0;
        return 0;
    }
    if (event != MouseDrag || mode >= 1)
        return 0;
    if (Settings.NavAirport && !Settings.AirportOverlay) {
        int w = 0, h = 0;
        ClientSize(&w, &h);
        PanByMouse(LastClickX * 640 / w - 320, 240 - LastClickY * 480 / h);
        InvalidateSnapshot();
        return 1;
    }
    MapPanOffset.x = LastClickX - DragStartX + PanStart.x;
    MapPanOffset.y = LastClickY - DragStartY + PanStart.y;
    if (!Settings.AirportChart) {
        MapPanning = 1;
        ShowStatusMessage("Panning on...");
    }
    return 1;
}

// ---- keys ----

int SoftkeyForKey(WPARAM virtualKey, bool ctrl)
{
    if (virtualKey == VK_ESCAPE)
        return BackSoftkey;
    if (virtualKey >= '1' && virtualKey <= '7') {
        int n = static_cast<int>(virtualKey - '1');
        return ctrl ? n + SoftkeysPerRow : n;
    }
    return -1;
}

int HandleSoftkeyKey(WPARAM virtualKey, LPARAM)
{
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    int softkey = SoftkeyForKey(virtualKey, ctrl);
    if (softkey >= 0) {
        SoftkeyCommand(static_cast<uint32_t>(softkey));
        return 0;
    }
    if (ctrl)
        return -1;
    switch (virtualKey) {
    case VK_SPACE: StepSmallWindowMode(); return 0;
    case VK_LEFT: NudgeMapCursor(1); return 0;
    case VK_RIGHT: NudgeMapCursor(2); return 0;
    case VK_UP: NudgeMapCursor(3); return 0;
    case VK_DOWN: NudgeMapCursor(4); return 0;
    // Home ends a pan: the map follows the aircraft again.
    case VK_HOME: ResetMapPan(); return 0;
    default: return -1;
    }
}

// ---- positions ----

void GetLastClickPos(int* x, int* y)
{
    *x = LastClickX;
    *y = LastClickY;
}

void SetLastClickPos(int x, int y)
{
    LastClickX = x;
    LastClickY = y;
}

void GetHoverPos(int* x, int* y)
{
    *x = HoverX;
    *y = HoverY;
}

void GetScreenScale(float* sx, float* sy)
{
    *sx = MainWindowState.screenScaleX;
    *sy = MainWindowState.screenScaleY;
}

// ---- layout ----

void LayoutScreenButtons()
{
    int r = SoftkeyRowStep;
    for (int n = 0; n < SoftkeyCount; ++n)
        SoftkeyLabelBoxes[n].y = ScreenLayout.MapRectY + SoftkeyRowOffset - (n / SoftkeysPerRow) * r;
    // Without the bezel the bar sits at the bottom of the virtual screen.
    bool hidden = Settings.FrameState != 0;
    int offset = hidden ? 480 - ScreenLayout.MapRectY - ScreenLayout.MapRectH : 0;
    for (int n = 0; n < SoftkeyCount; ++n) {
        ScreenButton& b = ScreenButtons[FirstSoftkeyButton + n];
        int y = SoftkeyRowY + offset - (n / SoftkeysPerRow) * r;
        if (hidden) {
            b.x2 = b.x;
            b.w2 = b.w;
            b.y2 = y;
            b.h2 = r;
        } else {
            b.y = y;
            b.h = r;
        }
    }
}

// ---- hit tests ----

static bool InsideInclusive(const FloatRect& r, float x, float y)
{
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

bool HitTestNearestBox(float x, float y) { return InsideInclusive(NearestBoxRect, x, y); }
bool HitTestAptBox(float x, float y) { return InsideInclusive(AptBoxRect, x, y); }
bool HitTestHeadingBox(float x, float y) { return InsideInclusive(HeadingBoxRect, x, y); }

static bool InsideStrictly(const FloatRect& r, int x, int y)
{
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    return r.left < fx && fx < r.right && r.top < fy && fy < r.bottom;
}

bool IsInNearestListDragRect(int x, int y) { return InsideStrictly(NearestListDragRect, x, y); }
bool IsInNearestListCloseRect(int x, int y) { return InsideStrictly(NearestListCloseRect, x, y); }

// ---- map type colours ----

int32_t SelectMapTypeEntry(int32_t id)
{
    if (id == MapTypeBackId || id == MapTypeEntryId)
        return MapTypeEntry;
    Settings.NavcolorIndex = id;
    MapTypeEntryId = id;
    for (int32_t k = 0; k < 12; ++k) {
        if (MapTypeEntryIds[k] == id) {
            MapTypeEntry = k;
            return k;
        }
    }
    return -1;
}

int32_t GetSelectedIndex() { return MapTypeEntry; }
