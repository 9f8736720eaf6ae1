// Stand-ins for the Winsock calls of the foundation layer, until it lands.
#include "platform/winsock.h"

#include <cerrno>
#include <sys/time.h>

int WSAStartup(WORD, LPWSADATA data) { if (data) { data->wVersion = data->wHighVersion = MAKEWORD(2, 2); } return 0; }  // until the real one lands
int WSACleanup() { return 0; }  // until the real one lands
int WSAGetLastError() { return (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) ? WSAETIMEDOUT : errno == ECONNREFUSED ? WSAECONNRESET : 10000 + errno; }  // until the real one lands
int closesocket(SOCKET s) { return close(s); }  // until the real one lands
int SetSocketReceiveTimeout(SOCKET s, DWORD ms) { timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)}; return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)); }  // until the real one lands
