// Mouse and softkey keys from the window procedure: the stored click and
// hover positions, the pressed state of the screen buttons, and the keys that
// press softkeys. GUI thread only.
#pragma once

#include "platform/win32.h"

// The window procedure's substitute for WM_MOUSEMOVE while the left button is held.
constexpr UINT MouseDragMessage = 0x8000;

// position packs the client point as two i16 (x low, y high).
void OnMouseMessage(LPARAM position, UINT message);
// direction 513 for a forward turn, anything else backward.
void OnMouseWheel(int direction, LPARAM position);
// 0 when the key pressed a softkey (Esc, 1..7, with Ctrl 1..7 the second
// row), ran the options command (Space) or nudged the map cursor (arrows);
// -1 for any other key.
int HandleSoftkeyKey(WPARAM virtualKey, LPARAM flags);
void ClearButtonStates();
void GetLastClickPos(int* x, int* y);
void SetLastClickPos(int x, int y);
void GetHoverPos(int* x, int* y);
