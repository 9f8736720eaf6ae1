// A loopback UDP peer for the simulator link tests.
#include "udp_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

UdpPeer::UdpPeer(uint16_t port, const char* address)
{
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr(address);
    socklen_t len = sizeof(a);
    if (bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        close(socket_);
        socket_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
}

UdpPeer::~UdpPeer()
{
    if (socket_ >= 0)
        close(socket_);
}

bool UdpPeer::Receive(std::vector<uint8_t>* out, int timeoutMs)
{
    pollfd p{socket_, POLLIN, 0};
    if (socket_ < 0 || poll(&p, 1, timeoutMs) <= 0)
        return false;
    uint8_t buffer[65536];
    socklen_t len = sizeof(sender_);
    ssize_t n = recvfrom(socket_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&sender_), &len);
    if (n < 0)
        return false;
    hasSender_ = true;
    out->assign(buffer, buffer + n);
    return true;
}

bool UdpPeer::ReceiveType(uint32_t type, std::vector<uint8_t>* out, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        if (left <= 0 || !Receive(out, left))
            return false;
        uint32_t t = 0;
        if (out->size() >= 8)
            std::memcpy(&t, out->data() + 4, 4);
        if (t == type)
            return true;
    }
}

bool UdpPeer::Send(const void* data, size_t size)
{
    if (socket_ < 0 || !hasSender_)
        return false;
    return sendto(socket_, data, size, 0, reinterpret_cast<const sockaddr*>(&sender_), sizeof(sender_)) ==
           static_cast<ssize_t>(size);
}

bool UdpPeer::SendToSenderOf(const UdpPeer& other, const std::vector<uint8_t>& data)
{
    if (socket_ < 0 || !other.hasSender_)
        return false;
    return sendto(socket_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&other.sender_),
                  sizeof(other.sender_)) == static_cast<ssize_t>(data.size());
}

bool UdpPeer::SendTo(uint16_t port, const void* data, size_t size)
{
    if (socket_ < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sendto(socket_, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) ==
           static_cast<ssize_t>(size);
}

bool WaitForImpl(bool (*pred)(void*), void* context, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred(context)) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
