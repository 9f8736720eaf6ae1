// Stand-ins for the named mutex and Winsock calls of the foundation layer, until they land.
#include "platform/sync.h"
#include "platform/winsock.h"

#include <sys/time.h>

HANDLE CreateMutexA(void*, BOOL, LPCSTR) { SetLastError(0); return reinterpret_cast<HANDLE>(1); }  // until the real one lands
BOOL ReleaseMutex(HANDLE) { return TRUE; }  // until the real one lands
int WSAStartup(WORD, LPWSADATA) { return 0; }  // until the real one lands
int WSACleanup() { return 0; }  // until the real one lands
int closesocket(SOCKET s) { return close(s); }  // until the real one lands
int SetSocketReceiveTimeout(SOCKET s, DWORD ms) { timeval t{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)}; return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof(t)); }  // until the real one lands
