// Mouse positions, the way of a click or drag to its click zone, the map
// drag, button states and the softkey keys.
#include "display/screen_buttons.h"

#include "app/click_zones.h"
#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/pending_spine.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/airport_view.h"
#include "display/map_view.h"
#include "display/pending_display.h"
#include "platform/window.h"
#include "render/snapshot.h"
#include "simlink/sim_link.h"

static int LastClickX = 0, LastClickY = 0;
static int HoverX = 0, HoverY = 0;

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

static bool Inside(float x, float y, int32_t rx, int32_t ry, int32_t rw, int32_t rh)
{
    return rx < x && x < rx + rw && ry < y && y < ry + rh;
}

static uint32_t PackPoint(float x, float y)
{
    return static_cast<uint32_t>(MAKELONG(static_cast<int16_t>(x), static_cast<int16_t>(y)));
}

void HandleMapClick(HWND, LPARAM position, int32_t event)
{
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    uint32_t point = PackPoint(x, y);
    if (!GetShowFrame()) {
        OnMapAreaClick(point, event);
        return;
    }
    for (const Hotspot& h : HotspotTable) {
        if (h.id == 6 || (h.id >= 14 && h.id <= 16))
            continue;
        if ((h.eventMask & static_cast<uint32_t>(event)) && Inside(x, y, h.x, h.y, h.w, h.h) && h.handler) {
            h.handler(point, event);
            return;
        }
    }
}

bool ReleaseScreenButton(HWND, LPARAM position)
{
    float x = 0, y = 0;
    ClientToVirtual(position, &x, &y);
    if (GetShowFrame() ? y < 390 : y < 480)
        return true;
    for (int id : {4, 11, 12, 13, 17, 18, 19, 20}) {
        const Hotspot& h = HotspotTable[id];
        if (Inside(x, y, h.x, h.y, h.w, h.h))
            return true;
    }
    return false;
}

void HandleSoftkeyWidgetMouse(UINT message, LPARAM position)
{
    HWND window = GetMainWindow();
    switch (message) {
    case WM_LBUTTONDOWN: HandleMapClick(window, position, 1); break;
    case WM_RBUTTONDOWN: HandleMapClick(window, position, 2); break;
    case MouseDragMessage:
        if (ReleaseScreenButton(window, position))
            HandleMapClick(window, position, 3);
        break;
    default: break;
    }
}

void OnMouseMessage(LPARAM position, UINT message)
{
    LastClickX = GET_X_LPARAM(position);
    LastClickY = GET_Y_LPARAM(position);
    if (message == WM_MOUSEMOVE) {
        HoverX = LastClickX;
        HoverY = LastClickY;
    }
    HandleSoftkeyWidgetMouse(message, position);
}

void OnMouseWheel(int direction, LPARAM position)
{
    LastClickX = GET_X_LPARAM(position);
    LastClickY = GET_Y_LPARAM(position);
    HandleMapClick(GetMainWindow(), position, direction == 513 ? 4 : 8);
}

// The map moves with the pointer: the pan offset is the pointer's way since
// the press in client pixels, the unit the background is drawn in.
uint8_t HandleMouseDrag(int, int, int event)
{
    if (event == 1) {
        DragStartX = static_cast<float>(LastClickX);
        DragStartY = static_cast<float>(LastClickY);
        PanStart = MapPanOffset;
        return 0;
    }
    if (event != 3)
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

int HandleSoftkeyKey(WPARAM virtualKey, LPARAM)
{
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (virtualKey == VK_ESCAPE) {
        SoftkeyCommand(6);
        return 0;
    }
    if (virtualKey >= '1' && virtualKey <= '7') {
        uint32_t n = static_cast<uint32_t>(virtualKey - '1');
        SoftkeyCommand(ctrl ? n + 7 : n);
        return 0;
    }
    if (ctrl)
        return -1;
    switch (virtualKey) {
    case VK_SPACE: OptionsMenuCommand(12); return 0;
    case VK_LEFT: NudgeMapCursor(1); return 0;
    case VK_RIGHT: NudgeMapCursor(2); return 0;
    case VK_UP: NudgeMapCursor(3); return 0;
    case VK_DOWN: NudgeMapCursor(4); return 0;
    // Home ends a pan: the map follows the aircraft again.
    case VK_HOME: ResetMapPan(); return 0;
    default: return -1;
    }
}

void ClearButtonStates()
{
    for (ScreenButton& button : ScreenButtons)
        button.pressed = 0;
}

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
