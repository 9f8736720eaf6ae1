// The proxy's UDP server. The receive thread keeps the client table and
// queues what needs the main thread (replies to send, traffic switches, set
// position); the main thread builds every packet in the one send buffer.
#include "proxy/udp_server.h"

#include "platform/threads.h"
#include "platform/winsock.h"
#include "proxy/client_table.h"
#include "proxy/game_controllers.h"
#include "proxy/proxy_traffic.h"
#include "proxy/sim_flight_plan.h"
#include "proxy/sim_session.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

constexpr size_t SendBufferSize = 16016;
constexpr DWORD ReceiveTimeoutMs = 2000;
constexpr uint32_t PlanResendRounds = 120;
constexpr uint32_t TrafficRounds = 10;
constexpr int MaxRestarts = 99;
constexpr long ButtonRepeatMs = 500;
constexpr size_t MaxQueued = 64;

struct PendingReply {
    uint32_t type;       // MsgRegistered, MsgRegisterRefused or MsgControllerButton + n
    int32_t slot;        // MsgRegistered: the slot whose address gets it
    sockaddr_in address; // MsgRegisterRefused: the refused requester
};

// Main thread only: the socket's life, the send buffer and the round state.
bool ServerRunning = false;
bool WinsockStarted = false;
alignas(8) uint8_t ProxySendBuffer[SendBufferSize];
uint32_t SendCounter = 0;
bool TrafficOn = false;
uint32_t TrafficSendCounter = 0;
int RestartCount = 0;
bool ServeGuard = false;
int LastButton = -1;
long LastButtonTime = 0;

// Receive thread's flags: set and cleared by it and by the main thread.
// The socket: opened and closed by the main thread, read by the receive thread.
std::atomic<SOCKET> ServerSocket{INVALID_SOCKET};
std::atomic<bool> ReceiveRunning{false};
std::atomic<bool> ReceiveStop{false};

// Replies queued by the receive thread (registration) and the main thread
// (buttons), sent by the main thread; a second reply never overwrites a first.
std::mutex ReplyLock;
std::deque<PendingReply> Replies;

// Requests the receive thread hands to the main thread because they touch the
// simulator connection or the traffic lists, in arrival order.
std::mutex RequestLock;
std::deque<ProxyRequest> MainThreadRequests;

// The plan to send: written by the flight-plan thread, read by the main thread.
std::mutex PlanLock;
FlightPlanRecord PlanSendCopy;

void QueueReply(const PendingReply& reply)
{
    std::lock_guard<std::mutex> lock(ReplyLock);
    if (Replies.size() < MaxQueued)
        Replies.push_back(reply);
}

// A failed send that says the socket itself is broken; anything else (a
// client that is gone and refused the datagram, an unreachable address) is
// that client's trouble, and Windows would not even report a refusal here
// but on the next receive.
bool IsServerSocketFailure(int wsaError)
{
    return wsaError == WSAEBADF || wsaError == WSAENOTSOCK || wsaError == WSANOTINITIALISED;
}

// Sends the buffer's first length bytes; false only when the server's socket failed.
bool SendTo(const sockaddr_in& address, size_t length)
{
    const sockaddr* to = reinterpret_cast<const sockaddr*>(&address);
    ssize_t sent = sendto(ServerSocket, ProxySendBuffer, length, 0, to, sizeof(address));
    if (sent < 0 && WSAGetLastError() == WSAECONNRESET) {
        // The refusal of an earlier datagram, to some other client: this
        // one was not sent, and is sent again once the refusals are gone.
        DiscardDatagramRefusals(ServerSocket);
        sent = sendto(ServerSocket, ProxySendBuffer, length, 0, to, sizeof(address));
    }
    return sent >= 0 || !IsServerSocketFailure(WSAGetLastError());
}

// A 24-byte reply in the send buffer.
void BuildShortReply(uint32_t type, int32_t slot, int32_t clientId)
{
    ProxyShortReply reply{ProxyMagic, type, slot, clientId, 0.0};
    std::memcpy(ProxySendBuffer, &reply, sizeof(reply));
}

void SendToAll(const ClientSlot slots[ClientTableSize], size_t length, bool onlyTraffic)
{
    for (int i = 0; i < ClientTableSize; ++i) {
        if (slots[i].inUse && (!onlyTraffic || slots[i].trafficWanted))
            SendTo(slots[i].address, length);
    }
}

void HandleRegister(const ProxyRequest& request, const sockaddr_in& from)
{
    std::printf("\nClient Register request from id: %d", request.clientId);
    int slot = RegisterClient(request.clientId, from);
    if (slot >= 0)
        QueueReply(PendingReply{MsgRegistered, slot, from});
    else
        QueueReply(PendingReply{MsgRegisterRefused, -1, from});
}

void HandOver(const ProxyRequest& request)
{
    std::lock_guard<std::mutex> lock(RequestLock);
    if (MainThreadRequests.size() < 4 * MaxQueued)
        MainThreadRequests.push_back(request);
}

bool IsPositionOnEarth(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude) && latitude >= -90.0 && latitude <= 90.0 &&
           longitude >= -180.0 && longitude <= 180.0;
}

}  // namespace

void HandleProxyDatagram(const uint8_t* data, size_t length, const sockaddr_in& from)
{
    ProxyRequest request;
    if (!ParseProxyRequest(data, length, &request))
        return;
    switch (request.type) {
    case MsgRegister: HandleRegister(request, from); break;
    case MsgUnregister:
        UnregisterClient(request.clientId);
        std::printf("\nClient unregistered id: %d", request.clientId);
        break;
    case MsgNoMap: std::printf("\nClient requested no map id: %d", request.clientId); break;
    case MsgTrafficOff:
    case MsgTrafficOn:
        if (request.slotIndex >= 0 && request.slotIndex < ClientTableSize)
            HandOver(request);
        break;
    case MsgSetPosition:
        // It moves the aircraft of every client: only a registered one may
        // ask, and only for a place on the earth.
        if (IsRegisteredClient(request.clientId, from) && IsPositionOnEarth(request.latitude, request.longitude))
            HandOver(request);
        break;
    case MsgStopProxy: StopRequest = true; break;
    default: break;
    }
}

namespace {

void TrafficOnRequest(int slot)
{
    TrafficOn = true;
    TrafficSendCounter = 0;
    SetTrafficWanted(slot, true);
    SubscribeAiTraffic();
    std::printf("\nClient requested traffic data...");
}

// One client's traffic off: the scan and the lists stay while another
// client still wants them; the last one off stops them.
void TrafficOffRequest(int slot)
{
    SetTrafficWanted(slot, false);
    TrafficOn = AnyTrafficWanted();
    if (!TrafficOn)
        StopTrafficScan();
    std::printf("\nClient requested no more traffic data...");
}

// The requests the receive thread handed over, on the main thread.
void RunHandedOverRequests()
{
    std::deque<ProxyRequest> requests;
    {
        std::lock_guard<std::mutex> lock(RequestLock);
        requests.swap(MainThreadRequests);
    }
    for (const ProxyRequest& request : requests) {
        if (request.type == MsgTrafficOn) {
            TrafficOnRequest(request.slotIndex);
        } else if (request.type == MsgTrafficOff) {
            TrafficOffRequest(request.slotIndex);
        } else if (request.type == MsgSetPosition) {
            ArmSetPosition(request.latitude, request.longitude);
            std::printf("\nClient requested set position...");
        }
    }
}

void SendReply(const PendingReply& reply, const ClientSlot slots[ClientTableSize])
{
    if (reply.type == MsgRegistered) {
        const ClientSlot& slot = slots[reply.slot];
        if (slot.inUse) {
            BuildShortReply(MsgRegistered, reply.slot, 0);
            SendTo(slot.address, sizeof(ProxyShortReply));
        }
        std::printf("\nClient registered");
    } else if (reply.type == MsgRegisterRefused) {
        BuildShortReply(MsgRegisterRefused, -1, 0);
        SendTo(reply.address, sizeof(ProxyShortReply));
        std::printf("\nClient unregistered");
    } else {
        BuildShortReply(reply.type, 0, 0);
        SendToAll(slots, sizeof(ProxyShortReply), false);
    }
}

void SendKeepAlives(const ClientSlot slots[ClientTableSize])
{
    for (int i = 0; i < ClientTableSize; ++i) {
        if (!slots[i].inUse)
            continue;
        BuildShortReply(MsgKeepAlive, i, slots[i].clientId);
        SendTo(slots[i].address, sizeof(ProxyShortReply));
    }
}

// The aircraft state to every client; false when the server's socket failed.
bool SendAircraftState(const ClientSlot slots[ClientTableSize])
{
    ProxyAircraftState state{};
    FillAircraftState(&state);
    state.magic = ProxyMagic;
    state.type = MsgAircraftState;
    state.length = ProxyAircraftStateLength;
    std::memcpy(ProxySendBuffer, &state, sizeof(state));
    bool ok = true;
    for (int i = 0; i < ClientTableSize; ++i) {
        if (slots[i].inUse && !SendTo(slots[i].address, sizeof(state)))
            ok = false;
    }
    return ok;
}

void SendFlightPlan(const ClientSlot slots[ClientTableSize])
{
    int32_t count;
    {
        std::lock_guard<std::mutex> lock(PlanLock);
        if (!PlanSendCopy.present || PlanSendCopy.count < 1)
            return;
        std::memcpy(ProxySendBuffer, &PlanSendCopy, sizeof(PlanSendCopy));
        count = std::min<int32_t>(PlanSendCopy.count, FlightPlanMaxWaypoints);
    }
    ProxyFlightPlanHeader header;
    std::memcpy(&header, ProxySendBuffer, sizeof(header));
    header.magic = ProxyMagic;
    header.type = MsgFlightPlan;
    header.count = count;
    std::memcpy(ProxySendBuffer, &header, sizeof(header));
    size_t length = ProxyFlightPlanLength(static_cast<uint32_t>(count));
    for (int i = 0; i < ClientTableSize; ++i) {
        if (!slots[i].inUse || (slots[i].planSent && SendCounter % PlanResendRounds != 0))
            continue;
        SendTo(slots[i].address, length);
        MarkPlanSent(slots[i]);
    }
}

void SendTraffic(const ClientSlot slots[ClientTableSize])
{
    if (TrafficSendCounter++ >= TrafficRounds) {
        Sleep(1);
        ProxyTrafficHeader header{ProxyMagic, MsgTraffic, ProxyTrafficCount, 0};
        std::memcpy(ProxySendBuffer, &header, sizeof(header));
        if (ProxyTrafficCount > 0) {
            std::memcpy(ProxySendBuffer + sizeof(header), ProxyTrafficList,
                        ProxyTrafficCount * sizeof(ProxyTrafficRecord));
            SendToAll(slots, ProxyTrafficLength(ProxyTrafficCount), true);
            TrafficSendCounter = 0;
        }
    }
    Sleep(1);
    uint32_t removed = TrafficRemovedCount;
    TrafficRemovedCount = 0;
    if (removed == 0)
        return;
    ProxyTrafficRemovedHeader header{ProxyMagic, MsgTrafficRemoved, removed};
    std::memcpy(ProxySendBuffer, &header, sizeof(header));
    std::memcpy(ProxySendBuffer + sizeof(header), TrafficRemovedList, removed * sizeof(uint32_t));
    SendToAll(slots, ProxyTrafficRemovedLength(removed), true);
}

void PollButtons()
{
    int button = PollControllers();
    if (button < 0)
        return;
    long now = ProgramClockMs();
    if (button == LastButton && now - LastButtonTime <= ButtonRepeatMs)
        return;
    LastButton = button;
    LastButtonTime = now;
    QueueReply(PendingReply{MsgControllerButton + static_cast<uint32_t>(button), 0, sockaddr_in{}});
}

void SendSimulatorData(const ClientSlot slots[ClientTableSize])
{
    if (SendAircraftState(slots)) {
        RestartCount = 0;
    } else if (!RestartUdpServer()) {
        // A proxy that cannot serve must not stay alive and deaf: it ends,
        // as it does when the server cannot start at all.
        std::printf("\nUDP server failed, proxy ends");
        StopRequest = true;
        return;
    }
    ++SendCounter;
    SendFlightPlan(slots);
    if (TrafficOn)
        SendTraffic(slots);
}

bool OpenServerSocket()
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(ProxyServerPort());
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ServerSocket = socket(AF_INET, SOCK_DGRAM, 0);
    if (ServerSocket == INVALID_SOCKET)
        return false;
    // Bound here rather than in the thread, so that a taken port is a failed start.
    if (bind(ServerSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        std::printf("\nUDP port %u is in use", static_cast<unsigned>(ProxyServerPort()));
        closesocket(ServerSocket);
        ServerSocket = INVALID_SOCKET;
        return false;
    }
    SetSocketReceiveTimeout(ServerSocket, ReceiveTimeoutMs);
    return true;
}

// Stops the receive thread, tells the clients and closes the socket.
void CloseUdpServer()
{
    if (ServerRunning) {
        ReceiveStop = true;
        // Wakes the receive thread at once instead of after its time-out.
        shutdown(ServerSocket, SHUT_RD);
        for (int waited = 0; ReceiveRunning.load() && waited < 2 * static_cast<int>(ReceiveTimeoutMs); waited += 10)
            Sleep(10);
        ClientSlot slots[ClientTableSize];
        CopyClientTable(slots);
        BuildShortReply(MsgProxyShutdown, 0, 0);
        SendToAll(slots, sizeof(ProxyShortReply), false);
        ServerRunning = false;
    }
    if (ServerSocket != INVALID_SOCKET)
        closesocket(ServerSocket);
    ServerSocket = INVALID_SOCKET;
    if (WinsockStarted)
        WSACleanup();
    WinsockStarted = false;
}

}  // namespace

uint16_t ProxyServerPort()
{
    const char* text = std::getenv("TVL64_PORT");
    long port = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : static_cast<uint16_t>(std::atoi("54222"));
}

bool StartUdpServer()
{
    SimDataFlag = false;
    SendCounter = 0;
    std::memset(ProxySendBuffer + 8, 0, 4);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    WinsockStarted = true;
    if (!OpenServerSocket()) {
        WSACleanup();
        WinsockStarted = false;
        return false;
    }
    if (!ReceiveRunning.load()) {
        ReceiveStop = false;
        ReceiveRunning = true;
        if (_beginthread(UdpReceiveThread, 0, nullptr) == 0) {
            ReceiveRunning = false;
            CloseUdpServer();
            return false;
        }
    }
    ServerRunning = true;
    std::printf("\nTervalingo proxy server V1.7 for MSFS initialized...");
    return true;
}

void StopUdpServer()
{
    bool wasRunning = ServerRunning;
    CloseUdpServer();
    if (wasRunning) {
        ReleaseControllers();
        ReleaseDirectInput();
        FreeProxyFixes();
    }
}

bool RestartUdpServer()
{
    CloseUdpServer();
    if (++RestartCount > MaxRestarts)
        return false;
    return StartUdpServer();
}

bool IsUdpServerRunning()
{
    return ServerRunning;
}

void UdpReceiveThread(void*)
{
    uint8_t datagram[ProxyRequestMaxRead];
    while (!ReceiveStop.load()) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof(from);
        ssize_t n = recvfrom(ServerSocket, datagram, sizeof(datagram), 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
        if (n > 0 && fromLength == sizeof(from) && from.sin_family == AF_INET)
            HandleProxyDatagram(datagram, static_cast<size_t>(n), from);
        else if (n < 0)
            DiscardDatagramRefusals(ServerSocket);  // a client that is gone must not crowd out the others
        Sleep(1);
    }
    ReceiveStop = false;
    ReceiveRunning = false;
}

void SendPendingReply()
{
    std::deque<PendingReply> replies;
    {
        std::lock_guard<std::mutex> lock(ReplyLock);
        replies.swap(Replies);
    }
    ClientSlot slots[ClientTableSize];
    CopyClientTable(slots);
    if (replies.empty())
        SendKeepAlives(slots);
    for (const PendingReply& reply : replies)
        SendReply(reply, slots);
}

void ServeClients()
{
    if (ServeGuard)
        return;
    ServeGuard = true;
    if (ServerRunning) {
        RunHandedOverRequests();
        SendPendingReply();
        if (SimDataFlag) {
            ClientSlot slots[ClientTableSize];
            CopyClientTable(slots);
            SendSimulatorData(slots);
        }
        PollButtons();
    }
    ServeGuard = false;
}

void PublishFlightPlan(const FlightPlanRecord& plan)
{
    std::lock_guard<std::mutex> lock(PlanLock);
    PlanSendCopy = plan;
}

void ResetUdpServer()
{
    std::lock_guard<std::mutex> replyLock(ReplyLock);
    std::lock_guard<std::mutex> requestLock(RequestLock);
    std::lock_guard<std::mutex> planLock(PlanLock);
    Replies.clear();
    MainThreadRequests.clear();
    std::memset(&PlanSendCopy, 0, sizeof(PlanSendCopy));
    SendCounter = 0;
    TrafficOn = false;
    TrafficSendCounter = 0;
    RestartCount = 0;
    LastButton = -1;
    LastButtonTime = 0;
}
