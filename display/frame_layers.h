// The whole-screen frame's layers in their fixed order, from the map
// background up to the chart-busy label; later layers draw over earlier ones.
// GUI thread only.
#pragma once

#include "display/frame_renderer.h"

void DrawFrameLayers(HWND window, const FrameView& frame);
