// The network layer of the map tiles: Winsock start and stop and the
// network-up flag.
#pragma once

// WSAStartup for version 2.2; 0 and the network-up flag set, or -1.
int StartWinsock();
// WSACleanup; clears the network-up flag.
void StopWinsock();
// Read by the download threads.
bool IsNetworkUp();
