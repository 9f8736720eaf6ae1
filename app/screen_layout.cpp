// The aspect layouts of the bezel and the aspect detection.
#include "app/screen_layout.h"

#include "app/main_window.h"
#include "platform/window.h"

#include <cmath>

constinit ScreenLayoutValues ScreenLayout = ScreenLayoutColumns[0];

int GetAspectRatio() { return MainWindowState.aspectRatio; }

void SetAspectRatio(int aspectRatio) { MainWindowState.aspectRatio = aspectRatio; }

double GetAspectValue() { return MainWindowState.aspectValue; }

double AspectValueOf(int aspectRatio)
{
    if (aspectRatio == 1)
        return 16.0 / 9.0;
    if (aspectRatio == 2)
        return 1.6;
    return 4.0 / 3.0;
}

int ScreenLayoutColumn(int aspectRatio) { return aspectRatio == 1 ? 0 : aspectRatio == 2 ? 1 : 2; }

void ApplyAspectLayout()
{
    ScreenLayout = ScreenLayoutColumns[ScreenLayoutColumn(MainWindowState.aspectRatio)];
    MainWindowState.aspectValue = AspectValueOf(MainWindowState.aspectRatio);
}

int AspectRatioForSize(int width, int height)
{
    if (height <= 0)
        return 1;
    double r = static_cast<double>(width) / height;
    double to169 = std::fabs(r - 16.0 / 9.0);
    double to1610 = std::fabs(r - 1.6);
    double to43 = std::fabs(r - 4.0 / 3.0);
    if (to1610 <= to169)
        return to43 <= to1610 ? 3 : 2;
    return to43 <= to169 ? 3 : 1;
}

void DetectAspectRatio()
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HMONITOR monitor = MonitorFromWindow(GetMainWindow(), MONITOR_DEFAULTTONULL);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (monitor && GetMonitorInfoA(monitor, &info)) {
        width = info.rcMonitor.right - info.rcMonitor.left;
        height = info.rcMonitor.bottom - info.rcMonitor.top;
    }
    MainWindowState.aspectRatio = AspectRatioForSize(width, height);
    MainWindowState.aspectValue = AspectValueOf(MainWindowState.aspectRatio);
}
