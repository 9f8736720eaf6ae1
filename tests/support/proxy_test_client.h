// A map program as the proxy's tests play it: a UDP socket that sends proxy
// requests to a port on loopback and collects what comes back.
#pragma once

#include "simlink/proxy_protocol.h"

#include <netinet/in.h>

#include <cstdint>
#include <vector>

// A UDP port that was free a moment ago.
uint16_t FreeUdpPort();
// Whether a UDP socket of any process is bound to the port, on any address.
// Read from the kernel's table, never by binding the port: a probe that held
// it for a moment could take it from the program just as that binds it.
bool IsUdpPortBound(uint16_t port);
// Waits until something holds the UDP port; false after the given seconds.
bool WaitUntilUdpPortTaken(uint16_t port, int seconds);

class ProxyTestClient {
public:
    ProxyTestClient(uint16_t port, int32_t clientId);
    ~ProxyTestClient();
    ProxyTestClient(const ProxyTestClient&) = delete;
    ProxyTestClient& operator=(const ProxyTestClient&) = delete;

    void SendRaw(const void* data, size_t length);
    void Send(uint32_t type, int32_t slot = 0, double lon = 0, double lat = 0);
    // Every datagram waiting now.
    std::vector<std::vector<uint8_t>> Drain();
    // The next datagram, waiting at most timeoutMs; empty when none came.
    std::vector<uint8_t> Receive(int timeoutMs);
    // The proxy type of a datagram, 0 without the magic.
    static uint32_t TypeOf(const std::vector<uint8_t>& datagram);
    int32_t id() const { return id_; }

private:
    int32_t id_;
    int fd_;
    sockaddr_in proxy_{};
};
