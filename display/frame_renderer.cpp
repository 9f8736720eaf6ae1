// The frame renderer as far as the shell needs it yet: clear, present and the
// frame limiter. The map layers are drawn by the display's own
// modules as they come.
#include "display/frame_renderer.h"

#include "display/frame_limiter.h"
#include "render/device.h"

bool MiniWindowFlag = false;
static bool FirstFrameDrawn = false;

// The cream of the empty map, as ClearTarget reads it (0xAARRGGBB).
static const uint32_t EmptyMapColour = 0xFFFFFECD;

void DrawFrame(HWND, float, int, int)
{
    ClearTarget(EmptyMapColour);
    float frameTime = 0.0f;
    AccountFrameTime(&frameTime);
    PresentFrame();
    FirstFrameDrawn = true;
    RunFrameLimiter(false);
}

bool IsFirstFrameDrawn() { return FirstFrameDrawn; }

void ResetFirstFrameDrawn() { FirstFrameDrawn = false; }
