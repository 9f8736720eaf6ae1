// Mouse and softkey keys from the window procedure: the stored click and
// hover positions, the pressed state of the screen buttons, and the keys that
// press softkeys. GUI thread only.
#pragma once

#include "platform/win32.h"

#include <cstdint>

// The window procedure's substitute for WM_MOUSEMOVE while the left button is held.
constexpr UINT MouseDragMessage = 0x8000;

// position packs the client point as two i16 (x low, y high).
void OnMouseMessage(LPARAM position, UINT message);
// direction 513 for a forward turn, anything else backward.
void OnMouseWheel(int direction, LPARAM position);
// 0 when the key pressed a softkey (Esc, 1..7, with Ctrl 1..7 the second
// row), ran the options command (Space), nudged the map cursor (arrows) or
// ended a pan (Home); -1 for any other key.
int HandleSoftkeyKey(WPARAM virtualKey, LPARAM flags);
void ClearButtonStates();
// The mouse dispatcher: left and right presses and drags go to the click
// zone under the pointer (the map area when the bezel is hidden).
void HandleSoftkeyWidgetMouse(UINT message, LPARAM position);
// event 1 left, 2 right, 3 drag, 4 and 8 the wheel.
void HandleMapClick(HWND window, LPARAM position, int32_t event);
// Whether a drag at this point goes to the click zones.
bool ReleaseScreenButton(HWND window, LPARAM position);
// A client point on the 640 x 480 virtual screen.
void ClientToVirtual(LPARAM position, float* x, float* y);
// The map drag: a press takes the anchor, a drag pans the map (or the airport
// diagram); 1 when the event was taken. x and y are not read: the position
// is the last mouse message's.
uint8_t HandleMouseDrag(int x, int y, int event);
void GetLastClickPos(int* x, int* y);
void SetLastClickPos(int x, int y);
void GetHoverPos(int* x, int* y);
