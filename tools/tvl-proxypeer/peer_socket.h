// The UDP socket of the test peers (this one and tvl-simpeer): bound on all
// addresses, port 0 for one the system picks.
#pragma once

#include <netinet/in.h>

#include <cstddef>

// The socket, or -1 when it cannot be made or bound.
int OpenUdpSocket(int port);
int BoundPort(int s);
void SendTo(int s, const sockaddr_in& to, const void* data, size_t size);
