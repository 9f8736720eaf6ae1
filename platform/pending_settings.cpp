// Stand-ins for message boxes and the registry, until their modules land.
#include "app/pending_settings.h"

int MessageBoxA(HWND, const char*, const char*, unsigned) { return 1; }  // until the real one lands
long RegOpenKeyExA(void*, const char*, DWORD, DWORD, void**) { return 2; }  // until the real one lands
long RegQueryValueExA(void*, const char*, DWORD*, DWORD*, BYTE*, DWORD*) { return 2; }  // until the real one lands
long RegCloseKey(void*) { return 0; }  // until the real one lands
void* const HKEY_CURRENT_USER_ROOT = nullptr;  // until the real one lands
