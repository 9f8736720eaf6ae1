// The proxy tests' map program on a loopback UDP socket.
#include "tests/support/proxy_test_client.h"

#include <poll.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

// A port below the kernel's ephemeral range (32768 and up): a socket another
// test binds to port 0 in the second before the program binds this one can
// never be given it, as it could be a port the kernel itself handed out.
uint16_t FreeUdpPort()
{
    static std::mutex lock;
    static std::set<uint16_t> given;  // two calls in a row never name one port
    std::lock_guard<std::mutex> hold(lock);
    static std::mt19937 pick(static_cast<unsigned>(getpid()) * 2654435761u ^
                             static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> below(20000, 32767);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        auto port = static_cast<uint16_t>(below(pick));
        if (given.count(port))
            continue;
        int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        bool free = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        close(s);
        if (free) {
            given.insert(port);
            return port;
        }
    }
    return 0;
}

bool IsUdpPortBound(uint16_t port)
{
    // Lines read "  sl  local_address ...", the address as hex "0100007F:76CD".
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local;
            fields >> slot >> local;
            size_t colon = local.rfind(':');
            if (colon != std::string::npos && std::strtoul(local.c_str() + colon + 1, nullptr, 16) == port)
                return true;
        }
    }
    return false;
}

bool WaitUntilUdpPortTaken(uint16_t port, int seconds)
{
    for (int i = 0; i < seconds * 20; ++i) {
        if (IsUdpPortBound(port))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

ProxyTestClient::ProxyTestClient(uint16_t port, int32_t clientId) : id_(clientId)
{
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    proxy_.sin_family = AF_INET;
    proxy_.sin_port = htons(port);
    proxy_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
}

ProxyTestClient::~ProxyTestClient()
{
    close(fd_);
}

void ProxyTestClient::SendRaw(const void* data, size_t length)
{
    sendto(fd_, data, length, 0, reinterpret_cast<sockaddr*>(&proxy_), sizeof(proxy_));
}

void ProxyTestClient::Send(uint32_t type, int32_t slot, double lon, double lat)
{
    ProxyRequest request{0, type, slot, id_, lon, lat};
    SendRaw(&request, sizeof(request));
}

std::vector<std::vector<uint8_t>> ProxyTestClient::Drain()
{
    std::vector<std::vector<uint8_t>> all;
    uint8_t buffer[20000];
    ssize_t n;
    while ((n = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0)
        all.emplace_back(buffer, buffer + n);
    return all;
}

std::vector<uint8_t> ProxyTestClient::Receive(int timeoutMs)
{
    pollfd fd{fd_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) != 1)
        return {};
    uint8_t buffer[20000];
    ssize_t n = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
    return n > 0 ? std::vector<uint8_t>(buffer, buffer + n) : std::vector<uint8_t>{};
}

uint32_t ProxyTestClient::TypeOf(const std::vector<uint8_t>& datagram)
{
    uint32_t magic = 0, type = 0;
    ReadProxyHeader(datagram.data(), datagram.size(), &magic, &type);
    return magic == ProxyMagic ? type : 0;
}
