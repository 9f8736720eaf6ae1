// Stand-ins for platform calls the renderer makes before their layer lands.
#include "platform/win32.h"

int MessageBoxA(HWND, LPCSTR, LPCSTR, UINT) { return 1; }  // until the real one lands
