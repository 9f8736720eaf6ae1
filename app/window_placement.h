// Where the main window stands: "wpl.bin" (the 44-byte placement record),
// the window keys of Plovik.ini, the monitors side by side, keeping the
// aspect after a resize, and the display re-creation on a new client size.
// GUI thread only.
#pragma once

#include "platform/window.h"

#include <cstddef>
#include <cstdint>

inline constexpr const char PlacementFileName[] = "wpl.bin";
// The value of a window key that held "None".
constexpr int NoWindowKey = -999;

// Checks and decodes a "wpl.bin" record: exactly 44 bytes, length field 44,
// a show command of 1, 2 or 3 and a normal rectangle of sane size; false for
// anything else (a short, long or foreign file).
bool ParseWindowPlacement(const uint8_t* data, size_t size, WINDOWPLACEMENT* out);
// The 44 bytes of a placement, little-endian.
void EncodeWindowPlacement(const WINDOWPLACEMENT& placement, uint8_t out[44]);

// Applies "wpl.bin"; false when it is missing or not a sound record.
bool RestoreWindowPlacement();
void SaveWindowPlacement();
// Reads the window keys into the window state; with apply, places the window
// by them (brought back on screen when saved off it) and re-applies its size.
void PlaceWindowFromIni(HWND window, bool apply);
void SaveWindowKeys(int x, int y, int width, int height, int showCommand);
void SaveWindowLayoutKeys();

// The end of a user's move or size, the aspect fit and the size reset.
void OnExitSizeMove();
void FitWindowToAspect();
void ResetWindowSize();
// Takes the new client size; when the window is ready, releases and starts
// the display again for it.
void ApplyWindowSize(HWND window, int flag = 0);

// Monitor count and sizes, in enumeration order.
void EnumerateMonitors();
// The monitor holding x, monitors side by side from x = 0 (the first one
// when none holds it).
void GetMonitorBounds(int* left, int* top, int* right, int* bottom, int x);
// Window x := the left edge of the monitor of the normal rectangle, y := 0.
void SnapWindowToMonitor();

// The position of a window that lies off the screen along one axis: a window
// ending before screenStart + margin or starting after screenEnd - margin is
// centred on the primary extent; else position stays.
int KeepPositionOnScreen(int position, int size, int screenStart, int screenEnd, int margin, int primaryExtent);
// A window's outer rectangle brought whole onto the screen area: larger
// than the area, it is made smaller (its client keeping the aspect value
// unless keepAspect is false, the frame as given), then moved in by the least
// that puts it on the area.
RECT FitWindowOnScreen(RECT outer, RECT area, SIZE frame, double aspectValue, bool keepAspect);
// The client size keeping the aspect value: from the width when the width
// changed, else from the height.
void FitClientToAspect(int* width, int* height, bool widthChanged, double aspectValue);
