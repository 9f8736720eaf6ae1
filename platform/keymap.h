// Keys between SDL and the virtual-key codes of the window messages, and the
// key names that test scripts use.
#pragma once

#include <cstdint>

// The virtual-key code of an SDL key code (layout-dependent like the key
// messages themselves), or 0 for a key without one. Shift, Ctrl and Alt give
// the generic VK_SHIFT, VK_CONTROL and VK_MENU.
int SdlKeyToVirtualKey(int32_t sdlKey);
// The sided virtual key of a modifier key (VK_LSHIFT ...), else 0.
int SdlKeyToSidedVirtualKey(int32_t sdlKey);
// An SDL key code for a virtual-key code, for feeding synthetic key events;
// 0 when none.
int32_t VirtualKeyToSdlKey(int virtualKey);
// A virtual-key code by name: "A".."Z", "0".."9", "F1".."F24", "ESCAPE",
// "SPACE", "LEFT", "CONTROL", "0x41" ...; 0 for an unknown name.
int VirtualKeyFromName(const char* name);
