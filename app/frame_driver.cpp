// The frame driver: display start and release, one frame per idle pass.
#include "app/frame_driver.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/program_root.h"
#include "platform/win32.h"
#include "display/frame_renderer.h"
#include "display/screen_buttons.h"
#include "display/sprite_table.h"
#include "maps/terrain_awareness.h"
#include "platform/messagebox.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "render/device.h"

#include <cstdio>

static bool DisplayStarted = false;
static HWND FrameWindow = nullptr;
static RECT CachedClientRect = {0, 0, 0, 0};
static int LastFrameWidth = 0, LastFrameHeight = 0;
static float PreviousFrameSecond = 0.0f;
static float FrameIntervalSeconds = 0.0f;
static float LastSlowTick = 0.0f;

static const float SecondsPerDay = 86400.0f;
static const float SlowTickSeconds = 5.0f;

float SecondOfDayUtc()
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    return static_cast<float>(now.wHour * 3600 + now.wMinute * 60 + now.wSecond);
}

float FrameInterval(float now, float previous)
{
    float interval = now - previous;
    if (interval < 0.0f)
        interval += SecondsPerDay;
    if (interval < 0.0f)
        interval = 1.0f;
    return interval;
}

bool SlowTickDue(float now, float lastTick)
{
    // Counted across midnight too: otherwise the buttons stay pressed until
    // the clock passes the last tick's time on the next day.
    float since = now - lastTick;
    if (since < 0.0f)
        since += SecondsPerDay;
    return since > SlowTickSeconds;
}

bool IsDisplayStarted() { return DisplayStarted; }

void ClearDisplayStarted() { DisplayStarted = false; }

void GetClientRectCached(RECT* out) { *out = CachedClientRect; }

void SetLastSlowTickTime(float secondOfDay) { LastSlowTick = secondOfDay; }

void StartDisplay(HWND window)
{
    if (DisplayStarted)
        return;
    SetLanguageFromLocale();
    EnumerateLanguages();
    LoadLanguage("de");
    LocateProgramRoot();
    // Without a window the renderer could still draw into memory; the
    // program cannot, so a missing window ends it like a failed device.
    if (!window || InitD3D(window) != 0) {
        MessageBoxA(nullptr, "DirectX Error", "Zorizeruverovu", MB_TASKMODAL | MB_TOPMOST);
        std::fflush(nullptr);
        std::_Exit(-1);
    }
    LoadTerrainColors();
    GetClientRect(window, &CachedClientRect);
    int width = CachedClientRect.right - CachedClientRect.left;
    int height = CachedClientRect.bottom - CachedClientRect.top;
    MainWindowState.screenScaleX = static_cast<float>(width) / 640.0f;
    MainWindowState.screenScaleY = static_cast<float>(height) / 480.0f;
    FrameWindow = window;
    WriteLogF("Display start %d x %d", width, height);
    LoadDisplayBitmaps(window, width, height);
    PreviousFrameSecond = 0.0f;
    DisplayStarted = true;
}

void StepFrame(int width, int height)
{
    if (!DisplayStarted)
        return;
    float now = SecondOfDayUtc();
    FrameIntervalSeconds = FrameInterval(now, PreviousFrameSecond);
    DrawFrame(FrameWindow, FrameIntervalSeconds, width, height);
    PreviousFrameSecond = now;
}

void RunFrameStage(HWND window, HINSTANCE, int stage, int width, int height)
{
    switch (stage) {
    case 1:
        StartDisplay(window);
        break;
    case 2: {
        LastFrameWidth = width;
        LastFrameHeight = height;
        float now = SecondOfDayUtc();
        StepFrame(width, height);
        if (SlowTickDue(now, LastSlowTick)) {
            ClearButtonStates();
            LastSlowTick = now;
        }
        break;
    }
    case 3:
        if (window)
            ShutdownDisplay();
        break;
    default:
        break;
    }
}
