// Winsock start and stop of the map tiles' network layer.
#include "maps/http_download.h"

#include "platform/winsock.h"

#include <atomic>

// Written on the GUI thread at start and shutdown; read by download threads.
static std::atomic<bool> NetworkUp{false};

int StartWinsock()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return -1;
    NetworkUp = true;
    return 0;
}

void StopWinsock()
{
    WSACleanup();
    NetworkUp = false;
}

bool IsNetworkUp() { return NetworkUp; }
