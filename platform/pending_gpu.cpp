// Stand-ins for window-layer calls the renderer makes before that layer lands.
#include "platform/win32.h"

struct SDL_Window;

SDL_Window* GetSdlWindow(HWND) { return nullptr; } // until the real one lands
void PostQuitMessage(int) {} // until the real one lands
