// The display modes: the normal window and the two small corner windows.
#include "app/display_modes.h"

#include "platform/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/window_placement.h"
#include "display/frame_renderer.h"

int CycleDisplayMode()
{
    MainWindowStateBlock& s = MainWindowState;
    s.wantedDisplayMode = (s.wantedDisplayMode + 1) % 3;
    if (s.wantedDisplayMode > 0)
        s.smallWindow = true;
    return s.wantedDisplayMode == 0 ? 1 : 0;
}

POINT SmallWindowCorner(const RECT& normal, const RECT& monitor, int margin, int height)
{
    int windowCentreX = (normal.left + normal.right) / 2;
    int windowCentreY = (normal.top + normal.bottom) / 2;
    int monitorCentreX = (monitor.left + monitor.right) / 2;
    int monitorCentreY = (monitor.top + monitor.bottom) / 2;
    POINT corner;
    corner.x = monitorCentreX <= windowCentreX ? monitor.right - margin : monitor.left;
    corner.y = monitorCentreY > windowCentreY ? monitor.top : monitor.bottom - height;
    return corner;
}

SIZE OuterSizeForClient(int width, int height, bool borderless)
{
    if (borderless)
        return SIZE{width, height};
    int frameX = GetSystemMetrics(SM_CXSIZEFRAME), frameY = GetSystemMetrics(SM_CYSIZEFRAME);
    return SIZE{width + 2 * frameX, height + 2 * frameY + GetSystemMetrics(SM_CYCAPTION)};
}

static HWND Band() { return Settings.TopMost ? HWND_TOPMOST : HWND_NOTOPMOST; }

// The small windows' pictures are drawn for their client size: a frame and a
// caption taken from it would cut the wind text and the status lines.
static void PlaceSmallWindow(int width, int height, int margin)
{
    const RECT& normal = MainWindowState.savedNormalRect;
    SIZE outer = OuterSizeForClient(width, height, IsBorderless());
    int left = 0, top = 0, right = 0, bottom = 0;
    GetMonitorBounds(&left, &top, &right, &bottom, (normal.left + normal.right) / 2);
    POINT corner = SmallWindowCorner(normal, RECT{left, top, right, bottom}, margin, outer.cy);
    // A small window is never the full-screen window, so its size change
    // must not bring the normal placement back.
    MainWindowState.fullScreen = false;
    SetWindowPos(MainWindowState.mainWindow, Band(), corner.x, corner.y, outer.cx, outer.cy, SWP_SHOWWINDOW);
}

void ApplyDisplayMode()
{
    MainWindowStateBlock& s = MainWindowState;
    bool borderless = IsBorderless();
    switch (s.wantedDisplayMode) {
    case 1: {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        if (GetWindowPlacement(s.mainWindow, &wp))
            s.savedNormalRect = wp.rcNormalPosition;
        PlaceSmallWindow(80, 80, borderless ? 80 : 120);
        MiniWindowFlag = true;
        ApplyWindowSize(s.mainWindow);
        break;
    }
    case 2:
        PlaceSmallWindow(500, 100, borderless ? 500 : 540);
        ApplyWindowSize(s.mainWindow);
        MiniWindowFlag = false;
        break;
    default: {
        // Window keys that held "None" leave no position: the normal
        // rectangle kept on entering the small windows has one.
        const RECT& normal = s.savedNormalRect;
        int x = s.windowX == NoWindowKey ? normal.left : s.windowX;
        int y = s.windowY == NoWindowKey ? normal.top : s.windowY;
        SetWindowPos(s.mainWindow, Band(), x, y, normal.right - normal.left, normal.bottom - normal.top,
                     SWP_SHOWWINDOW);
        if (s.showCommand == SW_SHOWMAXIMIZED)
            ShowWindow(s.mainWindow, SW_MAXIMIZE);
        s.smallWindow = false;
        ApplyWindowSize(s.mainWindow);
        MiniWindowFlag = false;
        break;
    }
    }
    WriteLogF("Display mode %d: %d x %d", s.wantedDisplayMode, s.clientWidth, s.clientHeight);
}

void StepDisplayMode()
{
    MainWindowStateBlock& s = MainWindowState;
    if (s.wantedDisplayMode == 1 && s.currentDisplayMode != 1) {
        ApplyDisplayMode();
        s.currentDisplayMode = 1;
    } else if (s.wantedDisplayMode == 2 && s.currentDisplayMode == 1) {
        ApplyDisplayMode();
        s.currentDisplayMode = 2;
    } else if (s.wantedDisplayMode == 0 && s.currentDisplayMode == 2) {
        ApplyDisplayMode();
        s.currentDisplayMode = 0;
    }
}
