// Stand-ins for the named mutex calls of the foundation layer, until they land.
#include "platform/sync.h"

HANDLE CreateMutexA(void*, BOOL, LPCSTR) { SetLastError(0); return reinterpret_cast<HANDLE>(1); }  // until the real one lands
BOOL ReleaseMutex(HANDLE) { return TRUE; }  // until the real one lands
