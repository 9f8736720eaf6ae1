// The display's start and release as far as the shell needs them yet; the
// sprite table itself comes with the map display.
#include "display/sprite_table.h"

#include "app/frame_driver.h"
#include "app/pending_spine.h"
#include "app/settings.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "render/device.h"

#include <cstdio>

static char AboutYearLine[64] = "";

void LoadDisplayBitmaps(HWND window, int width, int height)
{
    StartFrameStatistics();
    ResetFirstFrameDrawn();
    InitApplication(window, width, height);
    ResetFrameLimiterCount();
}

void ReleaseDisplayBitmaps() {}

void ShutdownDisplay()
{
    StopSimulatorLink();
    if (IsFirstFrameDrawn())
        SaveSettings();
    ReleaseDisplayBitmaps();
    CleanupD3D();
    ClearDisplayStarted();
}

void SetAboutYearLine(int year) { std::snprintf(AboutYearLine, sizeof(AboutYearLine), "(c) Tabrix Software %d", year); }

const char* GetAboutYearLine() { return AboutYearLine; }
