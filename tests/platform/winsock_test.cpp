// Winsock error codes as Windows gives them: receive time-outs, datagrams
// refused by the peer, non-blocking sockets, and start-up bookkeeping.
#include "platform/winsock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    }
    void TearDown() override { WSACleanup(); }

    static sockaddr_in Loopback(uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    // A bound datagram socket on loopback and its port.
    static SOCKET BoundUdp(uint16_t* port)
    {
        SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = Loopback(0);
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        *port = ntohs(address.sin_port);
        return s;
    }

    // A loopback port with nobody listening on it.
    static uint16_t ClosedPort()
    {
        uint16_t port = 0;
        closesocket(BoundUdp(&port));
        return port;
    }
};

TEST_F(WinsockTest, ReceiveTimeOutGivesTimedOut)
{
    uint16_t port = 0;
    SOCKET s = BoundUdp(&port);
    ASSERT_EQ(SetSocketReceiveTimeout(s, 30), 0);
    char buffer[64];
    EXPECT_EQ(recvfrom(s, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAETIMEDOUT);
    closesocket(s);
}

TEST_F(WinsockTest, RefusedDatagramGivesConnectionReset)
{
    uint16_t own = 0;
    SOCKET s = BoundUdp(&own);
    ASSERT_EQ(SetSocketReceiveTimeout(s, 2000), 0);
    sockaddr_in peer = Loopback(ClosedPort());
    const char request[32] = {};
    ASSERT_EQ(sendto(s, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer),
              static_cast<ssize_t>(sizeof request));
    char buffer[64];
    EXPECT_EQ(recvfrom(s, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    closesocket(s);
}

TEST_F(WinsockTest, RefusedDatagramOnAConnectedSocketGivesConnectionReset)
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in peer = Loopback(ClosedPort());
    ASSERT_EQ(connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer), 0);
    char byte = 1;
    send(s, &byte, 1, 0);
    int result = 0;
    for (int i = 0; i < 100 && result != SOCKET_ERROR; i++) {
        usleep(1000);
        result = static_cast<int>(send(s, &byte, 1, 0));
    }
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    closesocket(s);
}

TEST_F(WinsockTest, DiscardedRefusalsLeaveRoomForDatagramsAndSends)
{
    uint16_t own = 0;
    SOCKET s = BoundUdp(&own);
    ASSERT_EQ(SetSocketReceiveTimeout(s, 200), 0);
    sockaddr_in gone = Loopback(ClosedPort());
    const char state[208] = {};
    // Far more refusals than the receive buffer holds.
    for (int i = 0; i < 1000; ++i)
        sendto(s, state, sizeof state, 0, reinterpret_cast<sockaddr*>(&gone), sizeof gone);
    errno = ETIMEDOUT;
    EXPECT_GT(DiscardDatagramRefusals(s), 10);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_EQ(DiscardDatagramRefusals(s), 0);

    uint16_t peerPort = 0;
    SOCKET peer = BoundUdp(&peerPort);
    sockaddr_in to = Loopback(own);
    ASSERT_EQ(sendto(peer, state, 8, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 8);
    char buffer[64];
    EXPECT_EQ(recvfrom(s, buffer, sizeof buffer, 0, nullptr, nullptr), 8);
    sockaddr_in back = Loopback(peerPort);
    EXPECT_EQ(sendto(s, state, 8, 0, reinterpret_cast<sockaddr*>(&back), sizeof back), 8);
    closesocket(peer);
    closesocket(s);
}

TEST_F(WinsockTest, NonBlockingSocketWouldBlock)
{
    std::thread([] {
        uint16_t port = 0;
        SOCKET s = BoundUdp(&port);
        unsigned long on = 1;
        EXPECT_EQ(ioctlsocket(s, FIONBIO_WSA, &on), 0);
        char buffer[8];
        EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
        unsigned long pending = 99;
        EXPECT_EQ(ioctlsocket(s, FIONREAD_WSA, &pending), 0);
        EXPECT_EQ(pending, 0u);
        EXPECT_EQ(ioctlsocket(s, 12345, &pending), SOCKET_ERROR);
        closesocket(s);
    }).join();
}

TEST_F(WinsockTest, CodesOfOtherFailures)
{
    EXPECT_EQ(closesocket(-1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEBADF);
    EXPECT_EQ(WsaErrorFromErrno(EADDRINUSE), WSAEADDRINUSE);
    EXPECT_EQ(WsaErrorFromErrno(ENETUNREACH), WSAENETUNREACH);
    EXPECT_EQ(WsaErrorFromErrno(EMSGSIZE), WSAEMSGSIZE);
    EXPECT_EQ(WsaErrorFromErrno(ENOTSOCK), WSAENOTSOCK);
}

TEST(WinsockStartTest, CleanupWithoutStartupFails)
{
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
}

} // namespace
