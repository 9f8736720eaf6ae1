// The frame driver: its three stages (start the display, draw one frame,
// release the display), the frame interval from the UTC second of the day,
// and the 5-second clear of the screen buttons. GUI thread only.
#pragma once

#include "platform/win32.h"

// Stage 1 StartDisplay, stage 2 one frame, stage 3 release; others nothing.
void RunFrameStage(HWND window, HINSTANCE instance, int stage, int width, int height);
// Stage 1; does nothing while the display is started.
void StartDisplay(HWND window);
// One frame: the interval since the previous one, then DrawFrame.
void StepFrame(int width, int height);
bool IsDisplayStarted();
// The display's release clears it, so that the next stage 1 starts again.
void ClearDisplayStarted();
// The client rectangle taken when the display started.
void GetClientRectCached(RECT* out);
// The time of day (seconds) of the last 5-second tick.
void SetLastSlowTickTime(float secondOfDay);

// The UTC time of day in whole seconds.
float SecondOfDayUtc();
// now - previous, plus 86400 across midnight; 1 when still negative.
float FrameInterval(float now, float previous);
// More than 5 s since the last tick, counted across midnight.
bool SlowTickDue(float now, float lastTick);
