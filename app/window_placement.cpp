// Where the main window stands: wpl.bin, the window keys, the monitors, the
// aspect after a resize and the display re-creation on a new client size.
#include "app/window_placement.h"

#include "app/frame_driver.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Larger than any screen: a rectangle beyond it is not a placement of ours.
static const int64_t MaxPlacementExtent = 32767;
static const int KeyTextSize = 9;
static const int SingleMonitorMargin = 100;

// ---- wpl.bin ----

static uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

static void WriteLe32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ParseWindowPlacement(const uint8_t* data, size_t size, WINDOWPLACEMENT* out)
{
    if (!data || size != sizeof(WINDOWPLACEMENT))
        return false;
    WINDOWPLACEMENT wp;
    wp.length = ReadLe32(data);
    wp.flags = ReadLe32(data + 4);
    wp.showCmd = ReadLe32(data + 8);
    wp.ptMinPosition = POINT{static_cast<LONG>(ReadLe32(data + 12)), static_cast<LONG>(ReadLe32(data + 16))};
    wp.ptMaxPosition = POINT{static_cast<LONG>(ReadLe32(data + 20)), static_cast<LONG>(ReadLe32(data + 24))};
    wp.rcNormalPosition = RECT{static_cast<LONG>(ReadLe32(data + 28)), static_cast<LONG>(ReadLe32(data + 32)),
                               static_cast<LONG>(ReadLe32(data + 36)), static_cast<LONG>(ReadLe32(data + 40))};
    if (wp.length != sizeof(WINDOWPLACEMENT) || wp.showCmd < SW_SHOWNORMAL || wp.showCmd > SW_SHOWMAXIMIZED)
        return false;
    const RECT& r = wp.rcNormalPosition;
    int64_t width = static_cast<int64_t>(r.right) - r.left;
    int64_t height = static_cast<int64_t>(r.bottom) - r.top;
    if (width <= 0 || height <= 0 || width > MaxPlacementExtent || height > MaxPlacementExtent)
        return false;
    if (r.left < -MaxPlacementExtent || r.left > MaxPlacementExtent || r.top < -MaxPlacementExtent ||
        r.top > MaxPlacementExtent)
        return false;
    *out = wp;
    return true;
}

void EncodeWindowPlacement(const WINDOWPLACEMENT& wp, uint8_t out[44])
{
    const uint32_t values[11] = {wp.length,
                                 wp.flags,
                                 wp.showCmd,
                                 static_cast<uint32_t>(wp.ptMinPosition.x),
                                 static_cast<uint32_t>(wp.ptMinPosition.y),
                                 static_cast<uint32_t>(wp.ptMaxPosition.x),
                                 static_cast<uint32_t>(wp.ptMaxPosition.y),
                                 static_cast<uint32_t>(wp.rcNormalPosition.left),
                                 static_cast<uint32_t>(wp.rcNormalPosition.top),
                                 static_cast<uint32_t>(wp.rcNormalPosition.right),
                                 static_cast<uint32_t>(wp.rcNormalPosition.bottom)};
    for (int i = 0; i < 11; ++i)
        WriteLe32(out + 4 * i, values[i]);
}

// Moves one axis of [start, end) into [areaStart, areaEnd), the start first.
static void MoveInto(LONG* start, LONG* end, LONG areaStart, LONG areaEnd)
{
    LONG size = *end - *start;
    if (*end > areaEnd) {
        *start = areaEnd - size;
        *end = areaEnd;
    }
    if (*start < areaStart) {
        *start = areaStart;
        *end = areaStart + size;
    }
}

RECT FitWindowOnScreen(RECT outer, RECT area, SIZE frame, double aspectValue, bool keepAspect)
{
    LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    LONG width = outer.right - outer.left, height = outer.bottom - outer.top;
    if ((width > areaWidth || height > areaHeight) && areaWidth > frame.cx && areaHeight > frame.cy) {
        LONG clientWidth = std::min(width, areaWidth) - frame.cx;
        LONG clientHeight = std::min(height, areaHeight) - frame.cy;
        if (keepAspect && aspectValue > 0) {
            // The side that fits decides; the other follows the aspect.
            LONG fromHeight = static_cast<LONG>(clientHeight * aspectValue);
            if (fromHeight <= clientWidth)
                clientWidth = fromHeight;
            else
                clientHeight = static_cast<LONG>(clientWidth / aspectValue);
        }
        width = std::max<LONG>(1, clientWidth) + frame.cx;
        height = std::max<LONG>(1, clientHeight) + frame.cy;
    }
    RECT fitted = {outer.left, outer.top, outer.left + width, outer.top + height};
    MoveInto(&fitted.left, &fitted.right, area.left, area.right);
    MoveInto(&fitted.top, &fitted.bottom, area.top, area.bottom);
    return fitted;
}

// The frame around the client area of the main window.
static SIZE WindowFrameSize(HWND window)
{
    RECT client = {0, 0, 0, 0}, outer = {0, 0, 0, 0};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    return SIZE{(outer.right - outer.left) - (client.right - client.left),
                (outer.bottom - outer.top) - (client.bottom - client.top)};
}

// A window partly off the screen (a resize past its edge, a larger screen
// before) comes whole onto it.
static RECT FitMainWindowOnScreen(HWND window, RECT outer, RECT area)
{
    const MainWindowStateBlock& s = MainWindowState;
    if (area.right <= area.left || area.bottom <= area.top)
        return outer;
    return FitWindowOnScreen(outer, area, WindowFrameSize(window), s.aspectValue, s.aspectRatio != 4);
}

// The one screen, or the virtual screen of several monitors.
static RECT PlacementArea()
{
    if (MainWindowState.monitorCount <= 1)
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{vx, vy, vx + GetSystemMetrics(SM_CXVIRTUALSCREEN), vy + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool RestoreWindowPlacement()
{
    FILE* f = std::fopen(PlacementFileName, "rb");
    if (!f)
        return false;
    uint8_t data[sizeof(WINDOWPLACEMENT) + 1];
    size_t n = std::fread(data, 1, sizeof(data), f);
    std::fclose(f);
    WINDOWPLACEMENT wp;
    if (!ParseWindowPlacement(data, n, &wp)) {
        WriteLogF("%s ignored: not a window placement of %u bytes", PlacementFileName,
                  static_cast<unsigned>(sizeof(WINDOWPLACEMENT)));
        return false;
    }
    // A window closed while minimised comes back shown.
    if (wp.showCmd == SW_SHOWMINIMIZED)
        wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = FitMainWindowOnScreen(MainWindowState.mainWindow, wp.rcNormalPosition, PlacementArea());
    if (!SetWindowPlacement(MainWindowState.mainWindow, &wp))
        return false;
    MainWindowState.windowX = wp.rcNormalPosition.left;
    MainWindowState.windowY = wp.rcNormalPosition.top;
    int width = 0, height = 0;
    TakeClientSize(&width, &height);
    WriteLogF("Window placement restored: %d %d %d %d, show %u", static_cast<int>(wp.rcNormalPosition.left),
              static_cast<int>(wp.rcNormalPosition.top), static_cast<int>(wp.rcNormalPosition.right),
              static_cast<int>(wp.rcNormalPosition.bottom), wp.showCmd);
    return true;
}

void SaveWindowPlacement()
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!MainWindowState.mainWindow || !GetWindowPlacement(MainWindowState.mainWindow, &wp))
        return;
    uint8_t data[sizeof(WINDOWPLACEMENT)];
    EncodeWindowPlacement(wp, data);
    if (!ReplaceFileContents(PlacementFileName, data, sizeof(data)))
        WriteLogF("%s cannot be written", PlacementFileName);
}

// ---- the window keys ----

static int ReadWindowKey(const char* key, int noneValue)
{
    char text[KeyTextSize];
    GetPrivateProfileStringA(WindowSection, key, "None", text, sizeof(text), LocalIniFile);
    return std::strcmp(text, "None") == 0 ? noneValue : std::atoi(text);
}

static void WriteWindowKey(const char* key, int value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    WritePrivateProfileStringA(WindowSection, key, text, LocalIniFile);
}

int KeepPositionOnScreen(int position, int size, int screenStart, int screenEnd, int margin, int primaryExtent)
{
    if (position + size >= screenStart + margin && position <= screenEnd - margin)
        return position;
    // Centred on the primary screen (half the difference of the sizes).
    int centred = (primaryExtent - size) / 2;
    return centred > 0 ? centred : 0;
}

void PlaceWindowFromIni(HWND window, bool apply)
{
    MainWindowStateBlock& s = MainWindowState;
    int x = ReadWindowKey("WindowPosX", NoWindowKey);
    int y = ReadWindowKey("WindowPosY", NoWindowKey);
    int width = ReadWindowKey("WindowSizeX", NoWindowKey);
    int height = ReadWindowKey("WindowSizeY", NoWindowKey);
    s.windowX = x;
    s.windowY = y;
    s.windowWidth = width;
    s.windowHeight = height;
    s.normalX = ReadWindowKey("WindowPosXNorm", NoWindowKey);
    s.normalY = ReadWindowKey("WindowPosYNorm", NoWindowKey);
    s.showCommand = ReadWindowKey("WindowShowCmd", 1);
    // A size that no window can have is as good as no key at all.
    bool usable = x != NoWindowKey && y != NoWindowKey && width > 0 && height > 0 && width <= MaxPlacementExtent &&
                  height <= MaxPlacementExtent;
    if (!apply || !usable) {
        int w = 0, h = 0;
        TakeClientSize(&w, &h);
        return;
    }
    RECT area = {0, 0, 0, 0};
    if (s.monitorCount <= 1) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        x = KeepPositionOnScreen(x, width, 0, sw, SingleMonitorMargin, sw);
        y = KeepPositionOnScreen(y, height, 0, sh, SingleMonitorMargin, sh);
        area = RECT{0, 0, sw, sh};
    } else if (x == -1 && s.normalX != NoWindowKey && s.normalY != NoWindowKey) {
        // Saved maximised: back on the monitor of its normal rectangle.
        SnapWindowToMonitor();
        x = s.windowX;
        y = s.windowY;
    } else {
        int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vw = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        int vy = GetSystemMetrics(SM_YVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        x = KeepPositionOnScreen(x, width, vx, vx + vw, 0, GetSystemMetrics(SM_CXSCREEN));
        y = KeepPositionOnScreen(y, height, vy, vy + vh, 0, GetSystemMetrics(SM_CYSCREEN));
        area = RECT{vx, vy, vx + vw, vy + vh};
    }
    if (area.right > area.left) {
        RECT fitted = FitMainWindowOnScreen(window, RECT{x, y, x + width, y + height}, area);
        x = fitted.left;
        y = fitted.top;
        width = fitted.right - fitted.left;
        height = fitted.bottom - fitted.top;
        s.windowWidth = width;
        s.windowHeight = height;
    }
    s.windowX = x;
    s.windowY = y;
    SetWindowPos(window, HWND_NOTOPMOST, x, y, width, height, SWP_SHOWWINDOW);
    if (s.showCommand == SW_SHOWMAXIMIZED)
        ShowWindow(window, SW_MAXIMIZE);
    ApplyWindowSize(window);
}

void SaveWindowKeys(int x, int y, int width, int height, int showCommand)
{
    WriteWindowKey("WindowPosX", x);
    WriteWindowKey("WindowPosY", y);
    WriteWindowKey("WindowSizeX", width);
    WriteWindowKey("WindowSizeY", height);
    WriteWindowKey("WindowPosXNorm", MainWindowState.normalX);
    WriteWindowKey("WindowPosYNorm", MainWindowState.normalY);
    WriteWindowKey("WindowShowCmd", showCommand);
    SaveWindowLayoutKeys();
}

void SaveWindowLayoutKeys()
{
    WriteWindowKey("AspectRatio", MainWindowState.aspectRatio);
    WritePrivateProfileStringA(WindowSection, "borderless", IsBorderless() ? "1" : "0", LocalIniFile);
}

// ---- aspect keeping ----

void FitClientToAspect(int* width, int* height, bool widthChanged, double aspectValue)
{
    if (widthChanged)
        *height = static_cast<int>(*width / aspectValue);
    else
        *width = static_cast<int>(*height * aspectValue);
}

// The keys hold the outer size: the frame around the fitted client area is
// added, so that the client area keeps the aspect and does not shrink by the
// frame at every resize.
static void SaveFittedKeys(int clientWidth, int clientHeight)
{
    HWND hwnd = MainWindowState.mainWindow;
    RECT client = {0, 0, 0, 0}, outer = {0, 0, 0, 0};
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &outer);
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(hwnd, &wp);
    int frameWidth = (outer.right - outer.left) - (client.right - client.left);
    int frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
    SaveWindowKeys(wp.rcNormalPosition.left, wp.rcNormalPosition.top, clientWidth + frameWidth,
                   clientHeight + frameHeight, MainWindowState.showCommand);
}

void OnExitSizeMove()
{
    MainWindowStateBlock& s = MainWindowState;
    s.fullScreen = false;
    s.paused = false;
    RECT client = {0, 0, 0, 0};
    GetClientRect(s.mainWindow, &client);
    int width = client.right - client.left, height = client.bottom - client.top;
    bool widthChanged = width != s.clientWidth;
    if (!widthChanged && height == s.clientHeight) {
        // Only moved: remember where.
        SaveFittedKeys(width, height);
        return;
    }
    if (s.aspectRatio != 4)
        FitClientToAspect(&width, &height, widthChanged, s.aspectValue);
    SaveFittedKeys(width, height);
    PlaceWindowFromIni(s.mainWindow, true);
}

void FitWindowToAspect()
{
    MainWindowStateBlock& s = MainWindowState;
    if (s.aspectRatio == 4)
        return;
    RECT client = {0, 0, 0, 0};
    GetClientRect(s.mainWindow, &client);
    int width = client.right - client.left, height = client.bottom - client.top;
    FitClientToAspect(&width, &height, false, s.aspectValue);
    SaveFittedKeys(width, height);
    PlaceWindowFromIni(s.mainWindow, true);
}

void ResetWindowSize()
{
    MainWindowState.aspectRatio = 1;
    ApplyAspectLayout();
    int frameX = GetSystemMetrics(SM_CXSIZEFRAME), frameY = GetSystemMetrics(SM_CYSIZEFRAME);
    int width = static_cast<int>(MainWindowState.aspectValue * 480 + 2 * frameX);
    int height = 480 + 2 * frameY + GetSystemMetrics(SM_CYCAPTION);
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(MainWindowState.mainWindow, HWND_NOTOPMOST, x, y, width, height, SWP_SHOWWINDOW);
    ApplyWindowSize(MainWindowState.mainWindow);
}

void ApplyWindowSize(HWND window, int)
{
    MainWindowStateBlock& s = MainWindowState;
    int width = 0, height = 0;
    TakeClientSize(&width, &height);
    if (s.windowReady) {
        WriteLogF("Display re-created for %d x %d", width, height);
        SetDisplayResetting(1);
        RunFrameStage(window, s.instance, 3, width, height);
        RunFrameStage(window, s.instance, 1, width, height);
        SetDisplayResetting(0);
    }
    s.clientWidth = width;
    s.clientHeight = height;
}

// ---- monitors ----

void EnumerateMonitors()
{
    MainWindowStateBlock& s = MainWindowState;
    s.monitorCount = GetSystemMetrics(SM_CMONITORS);
    for (int i = 0; i < MaxRecordedMonitors; ++i) {
        DISPLAY_DEVICEA device = {};
        device.cb = sizeof(device);
        if (!EnumDisplayDevicesA(nullptr, static_cast<DWORD>(i), &device, 0))
            break;
        DEVMODEA mode = {};
        mode.dmSize = sizeof(mode);
        if (EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
            s.monitorSizes[i] = SIZE{static_cast<LONG>(mode.dmPelsWidth), static_cast<LONG>(mode.dmPelsHeight)};
    }
}

void GetMonitorBounds(int* left, int* top, int* right, int* bottom, int x)
{
    const MainWindowStateBlock& s = MainWindowState;
    int count = s.monitorCount < 1 ? 1 : (s.monitorCount > MaxRecordedMonitors ? MaxRecordedMonitors : s.monitorCount);
    int start = 0;
    for (int i = 0; i < count; ++i) {
        int end = start + s.monitorSizes[i].cx;
        if (start <= x && x < end) {
            *left = start;
            *top = 0;
            *right = end;
            *bottom = s.monitorSizes[i].cy;
            return;
        }
        start = end;
    }
    *left = 0;
    *top = 0;
    *right = s.monitorSizes[0].cx;
    *bottom = s.monitorSizes[0].cy;
}

void SnapWindowToMonitor()
{
    MainWindowStateBlock& s = MainWindowState;
    int normalLeft = s.normalX;
    if (s.windowX != -1 || s.normalX == NoWindowKey) {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        GetWindowPlacement(s.mainWindow, &wp);
        normalLeft = wp.rcNormalPosition.left;
    }
    int left = 0, top = 0, right = 0, bottom = 0;
    GetMonitorBounds(&left, &top, &right, &bottom, normalLeft);
    s.windowX = left;
    s.windowY = 0;
}
