// The X-Plane link thread over the plug-in's protocol: registration, the
// aircraft state into the block it shares with the MSFS link, the plan, the
// traffic kept by its position in the plug-in's list, and GetVar.
#include "simlink/xplane_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/link_drops.h"
#include "simlink/link_state.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/xplane_protocol.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

static const char LinkName[] = "X-Plane";
static LinkSession XPlaneSession("P3D/FSX WSA error %d");
// Link thread only: the receive buffer and the one request record, which
// keeps its fields from one request to the next.
static uint8_t ReceiveBuffer[XPlaneReceiveBufferSize];
static UdpLinkRequest Request;

static constexpr LinkStateAccess<LinkStateField> State(LinkAircraftState);

static bool SendXPlaneRequest(uint32_t type)
{
    Request.type = type;
    Request.clientId = XPlaneSession.clientId;
    bool sent = SendLinkDatagram(&XPlaneSession, &Request, sizeof(Request));
    Request.type = 0;
    return sent;
}

static void EndXPlaneLink()
{
    XPlaneSession.stop = 1;
}

static void StoreState(const XPlaneState& st)
{
    StoreCommonAircraftValues(State, st);
    State.Store(LinkGroundAltitude, st.altitude - st.heightAboveGround / FeetPerMetre3);
    State.Store(LinkWaypointEte, st.waypointEte);
    SimPaused = st.paused != 0 ? 1 : 0;
}

static bool HandleState(const void* data, size_t size)
{
    XPlaneState st;
    LinkDrop drop = ParseXPlaneState(data, size, &st);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return false;
    }
    StoreState(st);
    if (st.latitude != 0.0f && st.longitude != 0.0f)
        XPlaneSession.connected = 1;
    WaitForMapLoadOnce(&XPlaneSession);
    AcceptLinkPosition(State[LinkLatitude], State[LinkLongitude]);
    LowerLinkTimeoutOnce(&XPlaneSession);
    return true;
}

static bool HandleFlightPlan(const void* data, size_t size)
{
    LinkDrop drop = CheckXPlaneFlightPlan(data, size);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return false;
    }
    StoreFlightPlanMessage(data, size);
    return true;
}

static bool HandleRegistered(const void* data, size_t size)
{
    uint32_t slot = 0;
    if (!ReadDatagramWord(data, size, 8, &slot)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return false;
    }
    XPlaneSession.slotIndex = static_cast<int32_t>(slot);
    // The plug-in answers every request sent before its answer came: one line.
    if (XPlaneSession.registered.exchange(1) == 0)
        WriteLog("Connected to X-Plane");
    return true;
}

static bool HandleWeather(const void* data, size_t size)
{
    uint32_t value = 0;
    if (!ReadDatagramWord(data, size, 16, &value)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return false;
    }
    SimWeatherFlag = value == 1 ? 1 : 0;
    return true;
}

// Record r, the plug-in's aircraft at position i of its list, into slot i.
static void MergeTrafficRecord(TrafficEntry& e, const XPlaneTrafficRecord& r, double now)
{
    double interval = now - e.lastReportTime;
    bool known = e.valid && e.id == r.id;
    if (known) {
        ContinueTrafficMotion(e);
        UpdateMeanReportInterval(e, interval);
    } else {
        // Another aircraft now holds this position of the list: start afresh.
        RestartTrafficMotion(e, r.latitude, r.longitude, r.trueHeading * RadiansPerDegree7);
        // Speeds of whatever held the slot before are not this aircraft's.
        e.values.groundSpeed = 0.0;
        e.values.verticalSpeed = 0.0;
    }
    e.values.headingDeg = r.trueHeading;
    e.values.headingRad = r.trueHeading * RadiansPerDegree7;
    e.values.latitude = r.latitude;
    e.values.longitude = r.longitude;
    // The plug-in sends no speeds: they follow from the reports, smoothed.
    double metres = TrafficDistanceMetres(r.latitude, r.longitude, e.previousLatitude, e.previousLongitude);
    double speed = metres * 1.941 / interval;
    if (known && interval < 1.0 && interval != 0.0) {
        if (std::fabs(e.values.groundSpeed - speed) <= 10.0)
            e.values.groundSpeed = 0.999 * e.values.groundSpeed + metres * 0.001941 / interval;
        else
            e.values.groundSpeed = 0.9 * e.values.groundSpeed + 0.1 * speed;
        e.values.verticalSpeed = 0.99 * e.values.verticalSpeed + (r.altitude - e.values.altitude) * 1.92 / interval;
    }
    e.values.altitude = r.altitude;
    e.id = r.id;
    std::memcpy(e.callsign, r.callsign, sizeof(r.callsign));
    e.callsign[sizeof(r.callsign)] = '\0';
    e.valid = 1;
    e.lastReportTime = now;
}

static bool HandleTraffic(const void* data, size_t size)
{
    XPlaneTrafficHeader header;
    const uint8_t* records = nullptr;
    LinkDrop drop = ParseXPlaneTraffic(data, size, &header, &records);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return false;
    }
    if (header.count <= 0)
        return true;
    double now = ClockSeconds();
    TrafficTableLock lock;
    for (int32_t i = 0; i < header.count; ++i)
        MergeTrafficRecord(TrafficTable[i], ReadXPlaneTrafficRecord(records, i), now);
    // The plug-in's count of its aircraft, held to the table.
    TrafficCount = static_cast<int32_t>(std::min<uint32_t>(header.total, TrafficSlotCount));
    return true;
}

// Types only a registered link takes; before the registration they mean
// the plug-in and the link disagree, and the link starts over.
static bool HandleRegisteredOnly(uint32_t type, const void* data, size_t size)
{
    if (!XPlaneSession.registered.load()) {
        EndXPlaneLink();
        return false;
    }
    return type == XPlaneMsgState ? HandleState(data, size) : HandleTraffic(data, size);
}

// Handles one datagram with the plug-in's magic by type; true when it was
// taken (which resets the time-out count).
static bool HandleByType(uint32_t type, const void* data, size_t size)
{
    switch (type) {
    case XPlaneMsgState:
    case XPlaneMsgTraffic: return HandleRegisteredOnly(type, data, size);
    case XPlaneMsgFlightPlan: return HandleFlightPlan(data, size);
    case XPlaneMsgRegistered: return HandleRegistered(data, size);
    case XPlaneMsgRefused: EndXPlaneLink(); return true;
    case XPlaneMsgWeather: return HandleWeather(data, size);
    default: break;
    }
    if (type >= XPlaneMsgButton && type <= static_cast<uint32_t>(INT_MAX)) {
        PassSimButton(static_cast<int32_t>(type - (XPlaneMsgButton - 1)));
        return true;
    }
    if (type >= XPlaneMsgKeepAlive && type <= XPlaneKeepAliveLast)
        return true;
    if (type < XPlaneMsgKeepAlive)
        EndXPlaneLink();
    return false;
}

bool HandleXPlaneDatagram(const void* data, size_t size)
{
    uint32_t magic = 0;
    uint32_t type = 0;
    if (!ReadDatagramHeader(data, size, &magic, &type) || !IsXPlaneMagic(magic))
        return false;
    SetSimStateFlag(magic == XPlaneMagicStateFlagSet ? 1 : 0);
    if (HandleByType(type, data, size))
        NoteLinkSignOfLife(&XPlaneSession);
    return true;
}

static void ReceiveOnePass(LinkSession* s)
{
    int n = ReceiveLinkDatagram(s, ReceiveBuffer, sizeof(ReceiveBuffer));
    // A datagram without the plug-in's magic counts as a failed receive.
    if (n < 1 || !HandleXPlaneDatagram(ReceiveBuffer, static_cast<size_t>(n)))
        HandleLinkReceiveError(s);
}

static void SendTrafficRequests()
{
    if (TrafficOnRequest.exchange(0)) {
        Request.slotIndex = XPlaneSession.slotIndex.load();
        SendXPlaneRequest(XPlaneMsgTrafficOn);
    } else if (TrafficOffRequest.exchange(0)) {
        Request.slotIndex = XPlaneSession.slotIndex.load();
        SendXPlaneRequest(XPlaneMsgTrafficOff);
    }
}

static void SendWeatherRequest()
{
    if (!WeatherRequestFlag.exchange(0))
        return;
    Request.slotIndex = XPlaneSession.slotIndex.load();
    Request.value = Settings.WeatherState.load() != 0 ? 1 : 0;
    SendXPlaneRequest(XPlaneMsgWeatherRequest);
}

static void SendSetPositionRequest()
{
    double latitude = 0.0;
    double longitude = 0.0;
    if (!TakePendingSetPosition(&latitude, &longitude))
        return;
    Request.slotIndex = XPlaneSession.slotIndex.load();
    Request.value = 0;
    Request.first = latitude;
    Request.second = longitude;
    SendXPlaneRequest(XPlaneMsgSetPosition);
}

// Requests wait for the registration: before it the slot index is not ours.
static void SendPendingRequests(LinkSession* s)
{
    if (!s->registered.load())
        return;
    if (RunLinkReadyStep(s, true))
        SendXPlaneRequest(XPlaneMsgMapReady);
    else
        SendTrafficRequests();
    SendWeatherRequest();
    SendSetPositionRequest();
}

static void XPlaneLinkThread(LinkSession* s)
{
    if (!OpenLinkSession(s))
        return;
    Request = UdpLinkRequest{};
    RunRegisteringLinkLoop(s, {SendXPlaneRequest, XPlaneMsgRegister, XPlaneMsgUnregister, ReceiveOnePass,
                               SendPendingRequests, true, true});
    CloseLinkSession(s);
}

const UdpLink XPlaneLink = {&XPlaneSession, XPlaneLinkThread};

void XPlaneGetVar(SimVarId id, double* out)
{
    switch (id) {
    case SimVarAltitude: *out = State[LinkAltitude] * FeetPerMetre4; return;
    case SimVarOnGround: *out = State[LinkHeightAboveGround] > 10.0 ? 0.0 : 1.0; return;
    case SimVarWaypointIndex: *out = SimActiveWaypointIndex(); return;
    case SimVarWindDirection: *out = State[LinkWindDirection] - State[LinkMagneticVariation]; return;
    case SimVarWindSpeed: *out = State[LinkWindSpeed] / MetresPerSecondPerKnot; return;
    case SimVarMagneticVariation: *out = -State[LinkMagneticVariation]; return;
    case SimVarBank: *out = -State[LinkBank]; return;
    case SimVarVerticalSpeed: *out = State[LinkVerticalSpeed] / 60.0; return;
    default:
        if (!ReadLinkStateVar(LinkAircraftState, id, out))
            *out = 0.0;
        return;
    }
}
