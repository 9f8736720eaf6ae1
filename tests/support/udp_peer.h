// Test helper: a UDP socket on an ephemeral loopback port that plays a
// simulator-side peer: receives with a deadline, answers the last sender.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class UdpPeer {
public:
    // Binds 127.0.0.1:port (0 = any free port), or another loopback address
    // (127.0.0.2 ...): a sender on another host, as the map sees it.
    explicit UdpPeer(uint16_t port = 0, const char* address = "127.0.0.1");
    ~UdpPeer();
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    bool IsOpen() const { return socket_ >= 0; }
    uint16_t Port() const { return port_; }
    // One datagram within timeoutMs; false on time-out. Remembers its sender.
    bool Receive(std::vector<uint8_t>* out, int timeoutMs);
    // Datagrams until one of the given type (u32 at offset 4) arrives; false
    // when none comes within timeoutMs.
    bool ReceiveType(uint32_t type, std::vector<uint8_t>* out, int timeoutMs);
    // To the last sender.
    bool Send(const void* data, size_t size);
    // To the last sender of another peer: an answer from a socket that is
    // not the one the request came to.
    bool SendToSenderOf(const UdpPeer& other, const std::vector<uint8_t>& data);
    bool Send(const std::vector<uint8_t>& data) { return Send(data.data(), data.size()); }
    // To 127.0.0.1:port, for peers that send first (a simulator that streams).
    bool SendTo(uint16_t port, const void* data, size_t size);
    bool SendTo(uint16_t port, const std::string& text) { return SendTo(port, text.data(), text.size()); }
    bool SendTo(uint16_t port, const std::vector<uint8_t>& data) { return SendTo(port, data.data(), data.size()); }
    bool HasSender() const { return hasSender_; }
    // The port of the last sender (0 before any datagram came).
    uint16_t SenderPort() const { return hasSender_ ? ntohs(sender_.sin_port) : 0; }

private:
    int socket_ = -1;
    uint16_t port_ = 0;
    sockaddr_in sender_{};
    bool hasSender_ = false;
};

bool WaitForImpl(bool (*pred)(void*), void* context, int timeoutMs);
// Polls pred every few milliseconds until it holds or timeoutMs passed.
template <typename Pred>
bool WaitFor(Pred pred, int timeoutMs)
{
    return WaitForImpl([](void* c) { return (*static_cast<Pred*>(c))(); }, &pred, timeoutMs);
}
