// The frame renderer's entry and its frame state: one frame per idle pass of
// the message loop, the small-window flag and the frame limiter's count.
// GUI thread only.
#pragma once

#include "platform/win32.h"

// Set for the 80 x 80 window; cleared for the 500 x 100 and the normal one.
extern bool MiniWindowFlag;

// Draws one frame: interval is the time since the previous frame in seconds.
void DrawFrame(HWND window, float interval, int width, int height);
// True once the display has completed a frame since it started; the display
// shutdown saves the settings only then.
bool IsFirstFrameDrawn();
// A new display start has drawn nothing yet.
void ResetFirstFrameDrawn();
