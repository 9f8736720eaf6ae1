// Mouse positions, button states and the softkey keys.
#include "display/screen_buttons.h"

#include "app/layout_tables.h"
#include "app/main_window.h"
#include "app/pending_spine.h"
#include "platform/window.h"

static int LastClickX = 0, LastClickY = 0;
static int HoverX = 0, HoverY = 0;

void OnMouseMessage(LPARAM position, UINT message)
{
    LastClickX = GET_X_LPARAM(position);
    LastClickY = GET_Y_LPARAM(position);
    if (message == WM_MOUSEMOVE) {
        HoverX = LastClickX;
        HoverY = LastClickY;
    }
}

void OnMouseWheel(int, LPARAM position)
{
    LastClickX = GET_X_LPARAM(position);
    LastClickY = GET_Y_LPARAM(position);
}

int HandleSoftkeyKey(WPARAM virtualKey, LPARAM)
{
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (virtualKey == VK_ESCAPE) {
        SoftkeyCommand(6);
        return 0;
    }
    if (virtualKey >= '1' && virtualKey <= '7') {
        uint32_t n = static_cast<uint32_t>(virtualKey - '1');
        SoftkeyCommand(ctrl ? n + 7 : n);
        return 0;
    }
    if (ctrl)
        return -1;
    switch (virtualKey) {
    case VK_SPACE: OptionsMenuCommand(12); return 0;
    case VK_LEFT: NudgeMapCursor(1); return 0;
    case VK_RIGHT: NudgeMapCursor(2); return 0;
    case VK_UP: NudgeMapCursor(3); return 0;
    case VK_DOWN: NudgeMapCursor(4); return 0;
    default: return -1;
    }
}

void ClearButtonStates()
{
    for (ScreenButton& button : ScreenButtons)
        button.pressed = 0;
}

void GetLastClickPos(int* x, int* y)
{
    *x = LastClickX;
    *y = LastClickY;
}

void SetLastClickPos(int x, int y)
{
    LastClickX = x;
    LastClickY = y;
}

void GetHoverPos(int* x, int* y)
{
    *x = HoverX;
    *y = HoverY;
}
