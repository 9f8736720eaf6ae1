// The shared request/reply scheme of the UDP simulator links: sessions,
// the one link thread, receive errors and the ready step.
#include "simlink/udp_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "maps/local_maps.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <system_error>
#include <thread>

// Map services of the display and tile code that the ready step runs.
void ReselectCurrentMap();

std::atomic<uint8_t> MapReloadPending{0};
std::atomic<uint8_t> SimMapReloadDone{0};
std::atomic<uint8_t> WeatherRequestFlag{0};
std::atomic<int> LastLoggedWsaError{0};
std::atomic<uint8_t> SimWeatherFlag{0};

// The one link thread of the program. GUI thread only. A thread still
// running at exit is detached, never joined from a destructor.
struct LinkThreadHolder {
    std::thread thread;
    LinkSession* session = nullptr;
    ~LinkThreadHolder()
    {
        if (thread.joinable())
            thread.detach();
    }
};
static LinkThreadHolder LinkThread;

int StartLinkWinsock()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

SOCKET OpenLinkSocket()
{
    return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

bool SetReceiveTimeout(SOCKET s, int milliseconds)
{
    return SetSocketReceiveTimeout(s, static_cast<DWORD>(milliseconds)) == 0;
}

// Makes a blocked receive of the session's thread return at once; sends
// still work, so the thread can unregister on its way out.
static void WakeLinkThread(LinkSession* s)
{
    std::lock_guard<std::mutex> lock(s->socketLock);
    if (s->socket != INVALID_SOCKET)
        shutdown(s->socket, SHUT_RD);
}

static void RequestLinkEnd(LinkSession* s)
{
    s->stop = 1;
    WakeLinkThread(s);
}

static void JoinLinkThread()
{
    if (LinkThread.thread.joinable())
        LinkThread.thread.join();
    LinkThread.session = nullptr;
}

void StopAndJoinUdpLinkThread()
{
    if (LinkThread.session && LinkThread.session->running.load())
        RequestLinkEnd(LinkThread.session);
    JoinLinkThread();
}

// The start values the thread works with, copied while no thread can see them.
static void CopyStartValues(LinkSession* s)
{
    s->port = ActiveSimPort.load();
    ActiveSimAddress.Get(s->address, sizeof(s->address));
    s->clientId = ClientIdTag.load();
    s->initialTimeout = Settings.InitialTimeout.load();
}

bool StartUdpLink(const UdpLink& link)
{
    LinkSession* s = link.session;
    if (s->running.load())
        return true;
    StopAndJoinUdpLinkThread();
    CopyStartValues(s);
    s->stop = 0;
    s->running = 1;
    try {
        LinkThread.thread = std::thread(link.body, s);
    } catch (const std::system_error&) {
        s->running = 0;
        return false;
    }
    LinkThread.session = s;
    return true;
}

bool StartUdpLinkIfEnabled(const UdpLink& link)
{
    if (!IsSimLinkEnabled())
        return IsUdpLinkRunning(link);
    return StartUdpLink(link);
}

bool IsUdpLinkConnected(const UdpLink& link)
{
    return link.session->connected.load() != 0;
}

bool IsUdpLinkRunning(const UdpLink& link)
{
    return link.session->running.load() != 0;
}

void StopUdpLink(const UdpLink& link)
{
    // A running link stops whether or not it got connected: one that still
    // waits for its peer must not outlive a switch to another simulator.
    if (!link.session->running.load() || IsDisplayResetting())
        return;
    RequestLinkEnd(link.session);
}

static void SetSessionSocket(LinkSession* s, SOCKET sock)
{
    std::lock_guard<std::mutex> lock(s->socketLock);
    s->socket = sock;
}

bool OpenLinkSession(LinkSession* s)
{
    s->connected = 0;
    s->registered = 0;
    s->linkReady = 0;
    s->timeoutCount = 0;
    s->signOfLifeDeadline = 0;
    s->fastTimeoutSet = false;
    MapReloadPending = 1;
    s->firstStatePending = 1;
    if (StartLinkWinsock() != 0)
        s->stop = 1;
    SOCKET sock = OpenLinkSocket();
    if (sock == INVALID_SOCKET) {
        WSACleanup();
        s->running = 0;
        return false;
    }
    SetSessionSocket(s, sock);
    std::memset(&s->peer, 0, sizeof(s->peer));
    s->peer.sin_family = AF_INET;
    s->peer.sin_port = htons(static_cast<uint16_t>(s->port));
    s->peer.sin_addr.s_addr = inet_addr(s->address);
    return true;
}

bool SendLinkDatagram(LinkSession* s, const void* data, size_t size)
{
    ssize_t sent = sendto(s->socket, data, size, 0, reinterpret_cast<const sockaddr*>(&s->peer), sizeof(s->peer));
    return sent != SOCKET_ERROR;
}

// The receive time-out the socket was given, in milliseconds (0: none).
static long ReceiveTimeoutOf(SOCKET sock)
{
    timeval wait{};
    socklen_t length = sizeof(wait);
    if (getsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, &length) != 0)
        return 0;
    return static_cast<long>(wait.tv_sec) * 1000 + static_cast<long>(wait.tv_usec / 1000);
}

// Waits until a datagram is there or the deadline has passed (no deadline:
// for ever); false, with errno as a receive time-out leaves it, when it
// passed.
static bool WaitForDatagram(SOCKET sock, long deadline)
{
    int waitMs = -1;
    if (deadline != 0) {
        long left = deadline - ProgramClockMs();
        if (left <= 0) {
            errno = EAGAIN;
            return false;
        }
        waitMs = static_cast<int>(left);
    }
    pollfd p{sock, POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready == 0)
        errno = EAGAIN;
    return ready != 0;
}

int ReceiveLinkDatagram(LinkSession* s, void* buffer, size_t size)
{
    // The peer has until the deadline to show a sign of life: datagrams from
    // other addresses are dropped unread and datagrams of the peer's that are
    // no good do not move it, so neither can hide a peer that has gone.
    long timeoutMs = ReceiveTimeoutOf(s->socket);
    long now = ProgramClockMs();
    if (timeoutMs <= 0)
        s->signOfLifeDeadline = 0;
    else if (s->signOfLifeDeadline == 0 || s->signOfLifeDeadline - now > timeoutMs)
        s->signOfLifeDeadline = now + timeoutMs;
    for (;;) {
        // A stop wakes the wait; the socket then reads as empty for ever.
        if (s->stop.load()) {
            errno = 0;
            return 0;
        }
        if (!WaitForDatagram(s->socket, s->signOfLifeDeadline)) {
            s->signOfLifeDeadline = 0;  // the next wait is a whole time-out again
            return -1;
        }
        s->senderLength = sizeof(s->sender);
        // A datagram that is no good leaves no error code of an earlier call.
        errno = 0;
        ssize_t n = recvfrom(s->socket, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&s->sender),
                             &s->senderLength);
        if (n < 0 && errno == EAGAIN) {
            // Only refusals woke the wait: they are no datagram.
            DiscardDatagramRefusals(s->socket);
            continue;
        }
        if (n < 0) {
            // A peer that is not there yet refuses every request: unread,
            // those refusals would fill the receive buffer before it answers.
            DiscardDatagramRefusals(s->socket);
            return -1;
        }
        if (IsFromLinkPeer(s))
            return static_cast<int>(n);
    }
}

void NoteLinkSignOfLife(LinkSession* s)
{
    s->timeoutCount = 0;
    s->signOfLifeDeadline = 0;
}

bool IsFromLinkPeer(const LinkSession* s)
{
    // The peer is its address: it may answer from another socket than the
    // one it listens on.
    return s->senderLength == sizeof(s->sender) && s->sender.sin_family == AF_INET &&
           s->sender.sin_addr.s_addr == s->peer.sin_addr.s_addr;
}

void CountLinkTimeout(LinkSession* s, int code)
{
    if (code != WSAETIMEDOUT)
        return;
    if (s->timeoutCount > 3)
        s->stop = 1;
    s->timeoutCount += 1;
}

void HandleLinkReceiveError(LinkSession* s)
{
    // The receive a stop woke is no error.
    if (s->stop.load())
        return;
    int code = WSAGetLastError();
    CountLinkTimeout(s, code);
    if (Settings.WeatherState.load())
        WeatherRequestFlag = 1;
    LogLinkReceiveError(s, code);
}

void LogLinkReceiveError(LinkSession* s, int code)
{
    // A datagram that was no good (code 0) or the receive a stop woke is
    // not worth a line.
    if (code == 0 || s->stop.load())
        return;
    if (Settings.DebugMode.load() && code != LastLoggedWsaError.load()) {
        WriteLogF(s->errorLogFormat, code);
        LastLoggedWsaError = code;
        // Nobody listens at the peer's port: no use waiting for a reply.
        if (!s->registered.load() && code == WSAECONNRESET)
            s->stop = 1;
    }
}

void WaitForMapLoadOnce(LinkSession* s)
{
    if (!s->firstStatePending.load() || s->linkReady.load())
        return;
    while (IsMapLoadPending() && !s->stop.load())
        Sleep(100);
    s->linkReady = 1;
}

void LowerLinkTimeoutOnce(LinkSession* s)
{
    if (s->fastTimeoutSet)
        return;
    SetReceiveTimeout(s->socket, 1000);
    s->fastTimeoutSet = true;
}

void ReloadLinkMaps()
{
    FreeMapBuffers();
    LoadMapContent(1);
    FindMapsAtPosition();
    ReselectCurrentMap();
}

bool RunLinkReadyStep(LinkSession* s, bool setsConnected)
{
    if (!MapReloadPending.load() || !s->registered.load() || s->stop.load() || !s->linkReady.load())
        return false;
    if (setsConnected)
        s->connected = 1;
    SimMapReloadDone = 1;
    ReloadLinkMaps();
    MapReloadPending = 0;
    s->firstStatePending = 0;
    return true;
}

void RunRegisteringLinkLoop(LinkSession* s, const RegisteringLinkLoop& loop)
{
    if (!loop.sendRequest(loop.registerType))
        s->stop = 1;
    SetReceiveTimeout(s->socket, s->initialTimeout);
    while (!s->stop.load()) {
        if (loop.restBeforeReceive)
            Sleep(1);
        loop.receiveOnePass(s);
        if (!s->registered.load() && !s->stop.load()) {
            Sleep(100);
            loop.sendRequest(loop.registerType);
        } else if (loop.restOnceRegistered) {
            Sleep(1);
        }
        loop.sendPendingRequests(s);
    }
    if (s->registered.load())
        loop.sendRequest(loop.unregisterType);
}

void CloseLinkSession(LinkSession* s)
{
    s->registered = 0;
    s->running = 0;
    s->connected = 0;
    s->linkReady = 0;
    SOCKET sock = s->socket;
    SetSessionSocket(s, INVALID_SOCKET);
    closesocket(sock);
    WSACleanup();
    s->stop = 0;
}
