// Monitors and display devices from SDL's displays, or from TVL_MONITORS
// ("1920x1080,1280x1024": side by side from x = 0, the first primary) so
// that tests can stand several monitors up without any.
#include "platform/window_internal.h"

#include <SDL2/SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int MaxMonitors = 16;
static const int FrameSize = 4;
static const int CaptionHeight = 23;

struct Monitor {
    RECT bounds;
    RECT work;
    int refresh;
    char name[64];
};

int ParseMonitorList(const char* text, RECT* out, int max)
{
    int count = 0;
    LONG x = 0;
    for (const char* p = text; p && *p && count < max;) {
        char* end = nullptr;
        long w = std::strtol(p, &end, 10);
        if (end == p || (*end != 'x' && *end != 'X'))
            return 0;
        p = end + 1;
        long h = std::strtol(p, &end, 10);
        if (end == p || w <= 0 || h <= 0 || w > 65535 || h > 65535)
            return 0;
        out[count++] = RECT{x, 0, static_cast<LONG>(x + w), static_cast<LONG>(h)};
        x += w;
        p = end;
        if (*p == ',')
            ++p;
        else if (*p != '\0')
            return 0;
    }
    return count;
}

static int ReadMonitors(Monitor* out)
{
    RECT listed[MaxMonitors];
    int count = ParseMonitorList(std::getenv("TVL_MONITORS"), listed, MaxMonitors);
    for (int i = 0; i < count; ++i) {
        out[i] = Monitor{listed[i], listed[i], 60, {}};
        std::snprintf(out[i].name, sizeof(out[i].name), "Monitor %d", i + 1);
    }
    if (count == 0 && EnsureSdlVideo()) {
        count = std::min(SDL_GetNumVideoDisplays(), MaxMonitors);
        for (int i = 0; i < count; ++i) {
            SDL_Rect b = {0, 0, 0, 0}, u = {0, 0, 0, 0};
            SDL_GetDisplayBounds(i, &b);
            if (SDL_GetDisplayUsableBounds(i, &u) != 0 || u.w <= 0 || u.h <= 0)
                u = b;
            SDL_DisplayMode mode = {};
            int refresh = SDL_GetCurrentDisplayMode(i, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
            out[i] = Monitor{{b.x, b.y, b.x + b.w, b.y + b.h}, {u.x, u.y, u.x + u.w, u.y + u.h}, refresh, {}};
            const char* name = SDL_GetDisplayName(i);
            std::snprintf(out[i].name, sizeof(out[i].name), "%s", name ? name : "Display");
        }
    }
    if (count <= 0) {
        // No video at all: one plain screen, so that window arithmetic stays sane.
        out[0] = Monitor{{0, 0, 1024, 768}, {0, 0, 1024, 768}, 60, "Screen"};
        count = 1;
    }
    return count;
}

static HMONITOR MonitorHandle(int index) { return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(index + 1)); }

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXFRAME:
    case SM_CYFRAME:
        return FrameSize;
    case SM_CYCAPTION:
        return CaptionHeight;
    default:
        break;
    }
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    RECT all = monitors[0].bounds;
    for (int i = 1; i < count; ++i) {
        all.left = std::min(all.left, monitors[i].bounds.left);
        all.top = std::min(all.top, monitors[i].bounds.top);
        all.right = std::max(all.right, monitors[i].bounds.right);
        all.bottom = std::max(all.bottom, monitors[i].bounds.bottom);
    }
    switch (index) {
    case SM_CXSCREEN: return monitors[0].bounds.right - monitors[0].bounds.left;
    case SM_CYSCREEN: return monitors[0].bounds.bottom - monitors[0].bounds.top;
    case SM_CMONITORS: return count;
    case SM_XVIRTUALSCREEN: return all.left;
    case SM_YVIRTUALSCREEN: return all.top;
    case SM_CXVIRTUALSCREEN: return all.right - all.left;
    case SM_CYVIRTUALSCREEN: return all.bottom - all.top;
    default: return 0;
    }
}

static LONG Overlap(const RECT& a, const RECT& b)
{
    LONG w = std::min(a.right, b.right) - std::max(a.left, b.left);
    LONG h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

static LONG DistanceSquared(const RECT& r, POINT p)
{
    LONG dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
    LONG dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
    return std::min<LONG>(dx, 46340) * std::min<LONG>(dx, 46340) + std::min<LONG>(dy, 46340) * std::min<LONG>(dy, 46340);
}

static HMONITOR Fallback(const Monitor* monitors, int count, POINT p, DWORD flags)
{
    if (flags == MONITOR_DEFAULTTOPRIMARY)
        return MonitorHandle(0);
    if (flags != MONITOR_DEFAULTTONEAREST)
        return nullptr;
    int best = 0;
    for (int i = 1; i < count; ++i) {
        if (DistanceSquared(monitors[i].bounds, p) < DistanceSquared(monitors[best].bounds, p))
            best = i;
    }
    return MonitorHandle(best);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags)
{
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    for (int i = 0; i < count; ++i) {
        const RECT& b = monitors[i].bounds;
        if (point.x >= b.left && point.x < b.right && point.y >= b.top && point.y < b.bottom)
            return MonitorHandle(i);
    }
    return Fallback(monitors, count, point, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorFromPoint(POINT{0, 0}, flags);
    RECT outer = OuterRect(record);
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    int best = -1;
    LONG bestArea = 0;
    for (int i = 0; i < count; ++i) {
        LONG area = Overlap(outer, monitors[i].bounds);
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (best >= 0)
        return MonitorHandle(best);
    POINT centre = {outer.left + (outer.right - outer.left) / 2, outer.top + (outer.bottom - outer.top) / 2};
    return Fallback(monitors, count, centre, flags);
}

BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    uintptr_t index = reinterpret_cast<uintptr_t>(monitor) - 1;
    if (!info || info->cbSize < sizeof(MONITORINFO) || !monitor)
        return FALSE;
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    if (index >= static_cast<uintptr_t>(count))
        return FALSE;
    info->rcMonitor = monitors[index].bounds;
    info->rcWork = monitors[index].work;
    info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* out, DWORD)
{
    if (device || !out)
        return FALSE;
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    if (index >= static_cast<DWORD>(count))
        return FALSE;
    DWORD cb = out->cb;
    std::memset(out, 0, sizeof(*out));
    out->cb = cb;
    std::snprintf(out->DeviceName, sizeof(out->DeviceName), "\\\\.\\DISPLAY%u", static_cast<unsigned>(index + 1));
    std::snprintf(out->DeviceString, sizeof(out->DeviceString), "%s", monitors[index].name);
    out->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | (index == 0 ? DISPLAY_DEVICE_PRIMARY_DEVICE : 0u);
    return TRUE;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* out)
{
    if (!out || (modeNumber != ENUM_CURRENT_SETTINGS && modeNumber != 0))
        return FALSE;
    Monitor monitors[MaxMonitors];
    int count = ReadMonitors(monitors);
    int index = 0;
    if (deviceName) {
        unsigned number = 0;
        char tail = 0;
        if (std::sscanf(deviceName, "\\\\.\\DISPLAY%u%c", &number, &tail) != 1 || number < 1 ||
            number > static_cast<unsigned>(count))
            return FALSE;
        index = static_cast<int>(number) - 1;
    }
    const RECT& b = monitors[index].bounds;
    std::memset(out, 0, sizeof(*out));
    std::snprintf(out->dmDeviceName, sizeof(out->dmDeviceName), "%s", monitors[index].name);
    out->dmSize = sizeof(DEVMODEA);
    out->dmPosition = POINT{b.left, b.top};
    out->dmBitsPerPel = 32;
    out->dmPelsWidth = static_cast<DWORD>(b.right - b.left);
    out->dmPelsHeight = static_cast<DWORD>(b.bottom - b.top);
    out->dmDisplayFrequency = static_cast<DWORD>(monitors[index].refresh);
    return TRUE;
}
