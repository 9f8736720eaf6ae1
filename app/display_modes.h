// The three display modes of the main window: 0 the normal window, 1 the
// 80 x 80 corner window, 2 the 500 x 100 corner window, entered in the cycle
// 0, 1, 2, 0. GUI thread only.
#pragma once

#include "platform/win32.h"

// wanted := (wanted + 1) mod 3; returns 1 when the cycle went back to 0.
int CycleDisplayMode();
// Moves and sizes the window for the wanted mode.
void ApplyDisplayMode();
// The message loop's step: at most one mode change per idle pass.
void StepDisplayMode();
// The top-left corner of a small window: in the monitor corner nearest to the
// centre of the normal rectangle; margin is the room kept at the right edge.
POINT SmallWindowCorner(const RECT& normal, const RECT& monitor, int margin, int height);
// The outer size of a window whose client area is width x height: with the
// frame and caption unless the window is borderless.
SIZE OuterSizeForClient(int width, int height, bool borderless);
