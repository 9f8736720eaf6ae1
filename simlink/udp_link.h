// The request/reply scheme the UDP simulator links share: one session per
// link (socket, peer, registration), the start/stop of its one worker
// thread, receive errors and time-outs, and the once-per-thread ready step
// that reloads the local map content.
#pragma once

#include "platform/winsock.h"
#include "simlink/udp_link_ops.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#pragma pack(push, 1)
// The 40-byte request of the X-Plane, Prepar3D/FSX companion and Aerofly
// links. One record per link keeps its fields from one request to the next.
struct UdpLinkRequest {
    uint32_t unused;
    uint32_t type;
    int32_t slotIndex;  // from the peer's reply 5
    int32_t clientId;
    uint32_t value;     // meaning per request type
    uint32_t unset;
    double first;       // request 23: latitude
    double second;      // request 23: longitude
};
#pragma pack(pop)
static_assert(sizeof(UdpLinkRequest) == 40);
static_assert(offsetof(UdpLinkRequest, first) == 24);

// One link's session. Each link owns its own, so a link that is ending can
// only ever close its own socket.
struct LinkSession {
    explicit LinkSession(const char* errorFormat) : errorLogFormat(errorFormat) {}

    // Constant per link.
    const char* errorLogFormat;  // e.g. "MSFS WSA error %d"

    // Copied on the GUI thread when the thread is started; the link thread
    // reads them, nobody writes them while it runs.
    int port = 0;
    char address[16] = {};
    int32_t clientId = 0;
    int initialTimeout = 2000;

    // Link thread only.
    SOCKET socket = INVALID_SOCKET;
    sockaddr_in peer = {};
    sockaddr_in sender = {};
    socklen_t senderLength = 0;
    int timeoutCount = 0;
    long signOfLifeDeadline = 0;  // program-clock ms; 0: none running
    bool fastTimeoutSet = false;

    // Written by the link thread, read by the GUI thread (and the stop flag
    // the other way round).
    std::atomic<uint8_t> running{0};
    std::atomic<uint8_t> connected{0};
    std::atomic<uint8_t> stop{0};
    std::atomic<uint8_t> registered{0};
    std::atomic<int32_t> slotIndex{0};
    std::atomic<uint8_t> linkReady{0};
    std::atomic<uint8_t> firstStatePending{0};

    // Guards the socket handle between the link thread (create, close) and
    // the GUI thread (waking a blocked receive on stop).
    std::mutex socketLock;
};

// Flags the map code follows (link threads write, GUI thread reads):
// the local map content is to be reloaded by the next ready step, and a
// ready step has done it.
extern std::atomic<uint8_t> MapReloadPending;
extern std::atomic<uint8_t> SimMapReloadDone;
// Set on a receive error while WeatherState is on; consumed by the links
// that report weather.
extern std::atomic<uint8_t> WeatherRequestFlag;
// The last error code written to the log, shared by all links.
extern std::atomic<int> LastLoggedWsaError;
// The simulator reports weather of its own (link threads write; the map
// drawing and the radar read).
extern std::atomic<uint8_t> SimWeatherFlag;

int StartLinkWinsock();
// A datagram socket that the programs the map starts (helpers, converters)
// do not inherit: one that kept a link's port would keep the link from
// binding it again.
SOCKET OpenLinkSocket();
bool SetReceiveTimeout(SOCKET s, int milliseconds);

// GUI thread. Stops whichever link thread runs and waits for it to end.
void StopAndJoinUdpLinkThread();

// Link thread: start steps up to the socket and the peer address. False when
// no socket could be made: the running flag is then cleared and the thread
// must end at once.
bool OpenLinkSession(LinkSession* s);
// Link thread: one datagram to the peer; false when the send failed.
bool SendLinkDatagram(LinkSession* s, const void* data, size_t size);
// Link thread: one datagram of the peer into buffer; the byte count, or -1
// on an error (WSAGetLastError tells which). The socket's receive time-out
// runs from the peer's last sign of life (NoteLinkSignOfLife) or the last
// time-out: datagrams from other addresses are dropped and, like the peer's
// datagrams that are no good, do not hold it off. A stop wakes it with 0.
// After a datagram the error code is 0.
int ReceiveLinkDatagram(LinkSession* s, void* buffer, size_t size);
// Link thread: a datagram of the peer's was taken: the time-out count starts
// again, and so does the wait for the next one.
void NoteLinkSignOfLife(LinkSession* s);
// Link thread: whether the datagram just received came from the address the
// link sends to, from whatever port; anyone else on the network could send
// states.
bool IsFromLinkPeer(const LinkSession* s);
// Link thread: a receive that failed (time-out, reset, a datagram that is no
// good ...): counts time-outs (the fifth in a row ends the link), asks for
// the weather while WeatherState is on, and logs new error codes. Nothing
// once the link is stopping.
void HandleLinkReceiveError(LinkSession* s);
// Link thread: the time-out count of HandleLinkReceiveError alone; code is
// the WSA error code of the failed receive.
void CountLinkTimeout(LinkSession* s, int code);
// Link thread: only the logging of HandleLinkReceiveError: a code new to
// the log is written (DebugMode), and a reset before the registration ends
// the link. Code 0 (a datagram that was no good) is no error to log.
void LogLinkReceiveError(LinkSession* s, int code);
// Link thread: the first state after the start waits until the map code
// has no load under way (giving up on a stop), so that the ready step's
// reload does not run into it; then the link is ready.
void WaitForMapLoadOnce(LinkSession* s);
// Link thread: the first aircraft state lowers the receive time-out to 1 s.
void LowerLinkTimeoutOnce(LinkSession* s);
// Link thread: frees and reloads the local map content and re-selects the
// current map at the aircraft's position (what a link does once it is ready).
void ReloadLinkMaps();
// Link thread: the ready step once registered and ready; true when it ran
// in this call. setsConnected: the link takes the step as connected.
bool RunLinkReadyStep(LinkSession* s, bool setsConnected);
// Link thread: the loop of the links that register with their peer. The
// register request goes out at once (a failed send ends the loop) and, until
// the peer answers, again after a 100 ms wait in every pass; each pass
// receives one datagram and then sends what is pending. When the peer had
// answered, the unregister request goes out at the end.
struct RegisteringLinkLoop {
    bool (*sendRequest)(uint32_t type);
    uint32_t registerType;
    uint32_t unregisterType;
    void (*receiveOnePass)(LinkSession* s);
    void (*sendPendingRequests)(LinkSession* s);
    bool restBeforeReceive;   // 1 ms before each receive
    bool restOnceRegistered;  // 1 ms in the passes that do not register
};
void RunRegisteringLinkLoop(LinkSession* s, const RegisteringLinkLoop& loop);
// Link thread: end steps after the link's own last request: flags, socket.
void CloseLinkSession(LinkSession* s);
