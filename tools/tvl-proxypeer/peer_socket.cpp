#include "tools/tvl-proxypeer/peer_socket.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

int OpenUdpSocket(int port)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        close(s);
        return -1;
    }
    return s;
}

int BoundPort(int s)
{
    sockaddr_in a{};
    socklen_t len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

void SendTo(int s, const sockaddr_in& to, const void* data, size_t size)
{
    sendto(s, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}
