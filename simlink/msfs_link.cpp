// The MSFS link thread over the proxy protocol, its state block and GetVar.
#include "simlink/msfs_link.h"

#include "platform/log.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "simlink/link_state.h"
#include "simlink/proxy_protocol.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/sim_link.h"

#include <climits>
#include <cmath>

// Shared accessor of the menu: the simulator state flag.

std::atomic<double> LinkAircraftState[LinkStateFieldCount];
std::atomic<uint8_t> ProxyAlive{0};

static LinkSession MsfsSession("MSFS WSA error %d");
// Link thread only: the receive buffer and the one request record, which
// keeps its fields from one request to the next.
static uint8_t ReceiveBuffer[ProxyReceiveBufferSize];
static ProxyRequest Request;

static constexpr LinkStateAccess<LinkStateField> State(LinkAircraftState);

static bool SendMsfsRequest(uint32_t type)
{
    Request.type = type;
    Request.clientId = MsfsSession.clientId;
    bool sent = SendLinkDatagram(&MsfsSession, &Request, sizeof(Request));
    Request.type = 0;
    return sent;
}

static void EndMsfsLink()
{
    MsfsSession.stop = 1;
}

static void StoreAircraftState(const ProxyAircraftState& st)
{
    if (!(std::fabs(st.latitude) > 0.01 && std::fabs(st.longitude) > 0.01))
        return;
    StoreCommonAircraftValues(State, st);
    State.Store(LinkGroundAltitude, st.groundAltitude);
    State.Store(LinkWaypointIndex, st.waypointIndex);
    State.Store(LinkWaypointEte, st.waypointEte);
    State.Store(LinkWaypointEta, st.waypointEta);
    SimPaused = st.paused != 0 ? 1 : 0;

    MsfsSession.connected = 1;
    double latitude = State[LinkLatitude];
    double longitude = State[LinkLongitude];
    if (latitude != 0.0 && longitude != 0.0)
        AcceptLinkPosition(latitude, longitude);
    LowerLinkTimeoutOnce(&MsfsSession);
}

static bool HandleAircraftState(const void* data, size_t size)
{
    ProxyAircraftState st;
    if (!ParseProxyAircraftState(data, size, &st))
        return false;
    StoreAircraftState(st);
    return true;
}

static bool HandleFlightPlan(const void* data, size_t size)
{
    ProxyFlightPlanHeader header;
    const uint8_t* waypoints = nullptr;
    if (!ParseProxyFlightPlan(data, size, &header, &waypoints))
        return false;
    if (header.present)
        StoreFlightPlanMessage(data, size);
    return true;
}

static bool HandleRegistered(const void* data, size_t size)
{
    ProxyShortReply reply;
    if (!ParseProxyShortReply(data, size, &reply))
        return false;
    MsfsSession.slotIndex = reply.slotIndex;
    MsfsSession.linkReady = 1;
    // The proxy answers every request sent before its answer came: one line.
    if (MsfsSession.registered.exchange(1) == 0)
        WriteLog("Connected to MSFS");
    return true;
}

static bool IsAircraftRecordSound(const ProxyTrafficRecord& r)
{
    const double values[] = {r.latitude, r.longitude, r.altitude, r.verticalSpeed,
                             r.bank, r.headingRad, r.headingDeg, r.groundSpeed};
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

static bool HandleTraffic(const void* data, size_t size)
{
    uint32_t count = 0;
    const uint8_t* records = nullptr;
    if (!ParseProxyTraffic(data, size, &count, &records))
        return false;
    // Whole seconds of the program clock.
    double now = static_cast<double>(ProgramClockMs() / 1000);
    TrafficTableLock lock;
    for (uint32_t i = 0; i < count; ++i) {
        ProxyTrafficRecord r;
        ReadProxyTrafficRecord(records, i, &r);
        if (!IsAircraftRecordSound(r))
            continue;
        TrafficValues v{r.latitude, r.longitude, r.altitude, r.verticalSpeed,
                        r.bank, r.headingRad, r.headingDeg, r.groundSpeed};
        MergeTrafficReport(r.objectId, r.atcId, v, now, 0);
    }
    return true;
}

static bool HandleTrafficRemoved(const void* data, size_t size)
{
    uint32_t count = 0;
    const uint8_t* ids = nullptr;
    if (!ParseProxyTrafficRemoved(data, size, &count, &ids))
        return false;
    TrafficTableLock lock;
    for (uint32_t i = 0; i < count; ++i)
        RemoveTrafficId(ReadProxyRemovedId(ids, i));
    return true;
}

// A reply that carries nothing but its type (shutdown, refusal, keep-alive,
// button) is still only taken in its own 24-byte form.
static bool IsShortReply(const void* data, size_t size)
{
    ProxyShortReply reply;
    return ParseProxyShortReply(data, size, &reply);
}

// Types that are only sent to registered clients; before registration they
// mean the proxy and the link disagree, and the link starts over.
static bool HandleRegisteredOnly(uint32_t type, const void* data, size_t size)
{
    if (!MsfsSession.registered.load()) {
        EndMsfsLink();
        return false;
    }
    if (type == MsgAircraftState)
        return HandleAircraftState(data, size);
    if (type == MsgTraffic)
        return HandleTraffic(data, size);
    return HandleTrafficRemoved(data, size);
}

// Handles one datagram by type; true when it was taken (which resets the
// time-out count).
static bool HandleByType(uint32_t type, const void* data, size_t size)
{
    switch (type) {
    case MsgAircraftState:
    case MsgTraffic:
    case MsgTrafficRemoved:
        return HandleRegisteredOnly(type, data, size);
    case MsgFlightPlan:
        return HandleFlightPlan(data, size);
    case MsgRegistered:
        return HandleRegistered(data, size);
    case MsgProxyShutdown:
    case MsgRegisterRefused:
        if (!IsShortReply(data, size))
            return false;
        EndMsfsLink();
        return true;
    default:
        break;
    }
    if (type >= MsgControllerButton && type <= static_cast<uint32_t>(INT_MAX)) {
        if (!IsShortReply(data, size))
            return false;
        PassSimButton(static_cast<int32_t>(type - (MsgControllerButton - 1)));
        return true;
    }
    if (type >= MsgKeepAlive && type <= ProxyKeepAliveLast) {
        if (!IsShortReply(data, size))
            return false;
        ProxyAlive = 1;
        return true;
    }
    if (type < MsgKeepAlive)
        EndMsfsLink();
    return false;
}

bool HandleMsfsDatagram(const void* data, size_t size)
{
    uint32_t magic = 0;
    uint32_t type = 0;
    if (!ReadProxyHeader(data, size, &magic, &type) || magic != ProxyMagic)
        return false;
    SetSimStateFlag(1);
    if (HandleByType(type, data, size))
        NoteLinkSignOfLife(&MsfsSession);
    return true;
}

static void SendTrafficRequests()
{
    if (TrafficOnRequest.exchange(0)) {
        ResetTrafficTable();
        ClearTrafficTargets();
        Request.slotIndex = MsfsSession.slotIndex.load();
        SendMsfsRequest(MsgTrafficOn);
    } else if (TrafficOffRequest.exchange(0)) {
        Request.slotIndex = MsfsSession.slotIndex.load();
        SendMsfsRequest(MsgTrafficOff);
        ResetTrafficTable();
        ClearTrafficTargets();
    }
}

static void SendSetPositionRequest()
{
    double latitude = 0.0;
    double longitude = 0.0;
    if (!TakePendingSetPosition(&latitude, &longitude))
        return;
    Request.latitude = latitude;
    Request.longitude = longitude;
    Request.slotIndex = MsfsSession.slotIndex.load();
    SendMsfsRequest(MsgSetPosition);
}

// Requests wait for the registration: before it the slot index is not ours.
static void SendPendingRequests(LinkSession* s)
{
    if (!s->registered.load())
        return;
    if (!RunLinkReadyStep(s, true))
        SendTrafficRequests();
    SendSetPositionRequest();
}

static void ReceiveOnePass(LinkSession* s)
{
    int n = ReceiveLinkDatagram(s, ReceiveBuffer, sizeof(ReceiveBuffer));
    // A datagram without the proxy's magic counts as a failed receive.
    if (n < 0 || !HandleMsfsDatagram(ReceiveBuffer, static_cast<size_t>(n)))
        HandleLinkReceiveError(s);
}

static void MsfsLinkThread(LinkSession* s)
{
    ProxyAlive = 0;
    if (!OpenLinkSession(s))
        return;
    Request = ProxyRequest{};
    RunRegisteringLinkLoop(s, {SendMsfsRequest, MsgRegister, MsgUnregister, ReceiveOnePass, SendPendingRequests,
                               true, true});
    ProxyAlive = 0;
    CloseLinkSession(s);
}

const UdpLink MsfsLink = {&MsfsSession, MsfsLinkThread};

bool IsMsfsLinkEnding()
{
    return MsfsSession.stop.load() != 0;
}

void MsfsGetVar(SimVarId id, double* out)
{
    switch (id) {
    case SimVarAltitude: *out = State[LinkAltitude]; return;
    case SimVarOnGround: *out = State[LinkHeightAboveGround] > 10.0 ? 0.0 : 1.0; return;
    case SimVarWaypointIndex: *out = State[LinkWaypointIndex]; return;
    case SimVarWindDirection: *out = State[LinkWindDirection] - State[LinkMagneticVariation]; return;
    case SimVarWindSpeed: *out = State[LinkWindSpeed]; return;
    case SimVarMagneticVariation: *out = -State[LinkMagneticVariation]; return;
    case SimVarVerticalSpeed: *out = State[LinkVerticalSpeed]; return;
    default:
        if (!ReadLinkStateVar(LinkAircraftState, id, out))
            *out = 0.0;
        return;
    }
}

void MsfsSetVar(SimVarId id, double value) { StoreRouteVar(State, id, value); }
