// The main window: its state (shared by the start-up, the message loop, the
// placement and the display modes), creation, the window procedure, styles,
// topmost, cursors, title and the borderless hit test. GUI thread only.
#pragma once

#include "platform/window.h"

constexpr int MaxRecordedMonitors = 10;

struct MainWindowStateBlock {
    // Start-up and the message loop.
    bool running = false;
    bool quitRequest = false;
    bool starting = false;
    // Set after the UI presets; gates the display re-creation on size changes.
    bool windowReady = false;
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    int instanceArgument = 0;
    // Minimised, in a menu, in a move or size, or suspended: no frames.
    bool paused = false;
    // 1: re-apply the window size in the next idle pass.
    int relayoutRequest = 0;
    // 0 normal window, 1 the 80 x 80 window, 2 the 500 x 100 window.
    int wantedDisplayMode = 0;
    int currentDisplayMode = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    char coreText[10] = {};

    // Placement: outer rectangle from wpl.bin, the INI keys or the last
    // placement; -999 where an INI key held "None".
    int windowX = 0;
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int normalX = -999;
    int normalY = -999;
    int showCommand = 1;  // 1 normal, 3 maximised
    RECT savedNormalRect = {0, 0, 0, 0};
    bool fullScreen = false;
    bool styleChanged = false;
    bool smallWindow = false;
    bool leftButtonHeld = false;
    HWND cachedSimulatorWindow = nullptr;
    int monitorCount = 0;
    SIZE monitorSizes[MaxRecordedMonitors] = {};
    float screenScaleX = 1.0f;
    float screenScaleY = 1.0f;
    float screenScaleMin = 1.0f;
    int aspectRatio = 1;
    double aspectValue = 16.0 / 9.0;
};

extern MainWindowStateBlock MainWindowState;

// The INI file in the working folder.
inline constexpr const char LocalIniFile[] = "./Plovik.ini";

bool CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The borderless flag (the WindowFrame setting) and the two window styles.
bool IsBorderless();
void SetBorderlessStyle();
void SetFramedStyle();
// Both give the window system's result.
BOOL SetWindowTopmost();
BOOL SetWindowNotTopmost();
// With TopMost on, makes the main window topmost again (the simulator may
// have taken the place when it resumed).
void ReassertTopmost();

// Program cursor 114 for kind 1, 115 for any other kind.
void SetPointerCursor(int kind);
void SetWindowTitle(const char* text);
// The placement as 11 values: length, flags, show command, minimised x and y,
// maximised x and y, normal left, top, right, bottom.
void GetMainWindowPlacement(int out[11]);

int GetDisplayMode();
HWND GetMainWindow();
// The window's new size waits to be applied in the next idle pass.
bool IsRelayoutPending();
void GetClientSize(int* width, int* height);
void SetMouseButtonHeld(bool held);
// The window is never in exclusive full screen here.
bool IsFullScreen();
// Cursor keys while the map is panned: moves the stored mouse position 20
// pixels (1 left, 2 right, 3 up, 4 down) and clicks the map there.
void NudgeMapCursor(int direction);
// Takes the client size and sets the screen scales (x = width / 640,
// y = height / 480, min the smaller).
void TakeClientSize(int* width, int* height);

// The wheel event of the map display: 513 for a forward turn (delta 1 or
// more), 516 for a backward turn or a delta of 0.
int WheelDirection(WPARAM wParam);

// Borderless hit test of a point relative to the window's top-left corner:
// the HT* code, or HTNOWHERE when none of the edges applies.
int BorderlessHitTest(int px, int py, int width, int height, int mapLeft, int mapRight, int frameState);
