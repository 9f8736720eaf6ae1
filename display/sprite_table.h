// The display's start and release: the screen bitmaps, the settings reader
// at every display start, and the release at every display shutdown.
// GUI thread only.
#pragma once

#include "platform/win32.h"

// The display's start-up: runs the settings reader for the window's view.
void LoadDisplayBitmaps(HWND window, int width, int height);
void ReleaseDisplayBitmaps();
// The release stage: stops the simulator link, saves the settings once a
// frame was drawn, releases the renderer and clears the display-started flag.
void ShutdownDisplay();
// The about screen's maker line with the year.
void SetAboutYearLine(int year);
const char* GetAboutYearLine();
