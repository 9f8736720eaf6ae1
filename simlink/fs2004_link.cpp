// The FS2004 link thread over the module's protocol: registration, the
// aircraft state block, the whole plan record, the traffic batches in the
// slots the module assigns, and GetVar/SetVar.
#include "simlink/fs2004_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/fs2004_protocol.h"
#include "simlink/link_drops.h"
#include "simlink/link_state.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <climits>
#include <cstring>

static const char LinkName[] = "FS2004";

std::atomic<double> Fs2004State[LinkStateFieldCount];

static LinkSession Fs2004Session("FS2004 WSA error %d");
// Link thread only: the receive buffer and the one request record, which
// keeps its fields from one request to the next.
static uint8_t ReceiveBuffer[Fs2004ReceiveBufferSize];
static Fs2004Request Request;

static constexpr LinkStateAccess<LinkStateField> State(Fs2004State);

static bool SendFs2004Request(uint32_t type)
{
    Request.type = type;
    Request.clientId = Fs2004Session.clientId;
    bool sent = SendLinkDatagram(&Fs2004Session, &Request, sizeof(Request));
    Request.type = 0;
    return sent;
}

static void EndFs2004Link()
{
    Fs2004Session.stop = 1;
}

static void StoreState(const Fs2004StateReply& st)
{
    StoreCommonAircraftValues(State, st);
    State.Store(LinkGroundAltitude, st.groundAltitude);
    State.Store(LinkOnGround, st.onGround);
}

static void HandleState(const void* data, size_t size)
{
    Fs2004StateReply st;
    LinkDrop drop = ParseFs2004State(data, size, &st);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    SetSimStateFlag(0);
    StoreState(st);
    if (st.latitude != 0.0f && st.longitude != 0.0f)
        Fs2004Session.connected = 1;
    WaitForMapLoadOnce(&Fs2004Session);
    AcceptLinkPosition(State[LinkLatitude], State[LinkLongitude]);
    LowerLinkTimeoutOnce(&Fs2004Session);
}

static void HandleFlightPlan(const void* data, size_t size)
{
    LinkDrop drop = CheckFs2004FlightPlan(data, size);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    StoreWholeFlightPlanRecord(data, size);
}

static void HandleRegistered(const void* data, size_t size)
{
    uint32_t slot = 0;
    if (!ReadDatagramWord(data, size, 8, &slot)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return;
    }
    Fs2004Session.slotIndex = static_cast<int32_t>(slot);
    ResetSimulatorWindowCache();
    // The module answers every request sent before its answer came: one line.
    if (Fs2004Session.registered.exchange(1) == 0)
        WriteLog("Connected to FS2004");
}

static void HandleWeather(const void* data, size_t size)
{
    uint32_t value = 0;
    if (!ReadDatagramWord(data, size, 16, &value)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return;
    }
    SimWeatherFlag = value == 1 ? 1 : 0;
}

// One record into the slot the module gave it; times in single precision,
// as the module's clock arithmetic is.
static void MergeTrafficRecord(const Fs2004TrafficRecord& r, float now)
{
    TrafficEntry& e = TrafficTable[r.slot];
    if (!e.valid || e.id != r.id) {
        RestartTrafficMotion(e, r.latitude, r.longitude, r.trueHeading * RadiansPerDegree7);
    } else {
        ContinueTrafficMotion(e);
        float interval = now - static_cast<float>(e.lastReportTime);
        e.meanReportInterval = (interval + static_cast<float>(e.meanReportInterval)) * 0.5f;
    }
    e.values.altitude = r.altitude;
    e.values.headingDeg = r.trueHeading;
    e.values.headingRad = r.trueHeading * RadiansPerDegree7;
    e.values.latitude = r.latitude;
    e.values.longitude = r.longitude;
    e.values.groundSpeed = r.groundSpeed;
    e.values.verticalSpeed = r.verticalSpeed;
    e.id = r.id;
    std::memcpy(e.callsign, r.callsign, sizeof(r.callsign));
    e.callsign[sizeof(r.callsign)] = '\0';
    e.valid = 1;
    e.lastReportTime = now;
}

static void HandleTraffic(const void* data, size_t size)
{
    Fs2004TrafficHeader header;
    const uint8_t* records = nullptr;
    LinkDrop drop = ParseFs2004Traffic(data, size, &header, &records);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    if (header.count <= 0)
        return;
    float now = static_cast<float>(ProgramClockMs()) / 1000.0f;
    TrafficTableLock lock;
    int32_t lastSlot = 0;
    for (int32_t i = 0; i < header.count; ++i) {
        Fs2004TrafficRecord r = ReadFs2004TrafficRecord(records, i);
        MergeTrafficRecord(r, now);
        lastSlot = r.slot;
    }
    TrafficCount = std::clamp(header.trafficCount, 0, TrafficSlotCount);
    if (header.lastBatch == 1) {
        for (int32_t slot = lastSlot + 1; slot < TrafficSlotCount; ++slot) {
            TrafficTable[slot].id = TrafficFreeId;
            TrafficTable[slot].valid = 0;
        }
    }
}

// Types the module sends only to a registered map; before the registration
// they end the link, like any type the link does not know.
static bool IsRegisteredOnly(uint32_t type)
{
    return type == Fs2004MsgState || type == Fs2004MsgFlightPlan || type == Fs2004MsgTraffic;
}

bool HandleFs2004Datagram(const void* data, size_t size)
{
    uint32_t magic = 0;
    uint32_t type = 0;
    if (!ReadDatagramHeader(data, size, &magic, &type) || magic != Fs2004Magic)
        return false;
    // Whatever it carries, the module is there.
    NoteLinkSignOfLife(&Fs2004Session);
    if (IsRegisteredOnly(type) && !Fs2004Session.registered.load()) {
        EndFs2004Link();
        return true;
    }
    if (type == Fs2004MsgState)
        HandleState(data, size);
    else if (type == Fs2004MsgFlightPlan)
        HandleFlightPlan(data, size);
    else if (type == Fs2004MsgRegistered)
        HandleRegistered(data, size);
    else if (type == Fs2004MsgTraffic)
        HandleTraffic(data, size);
    else if (type >= Fs2004MsgWeather && type <= Fs2004WeatherLast)
        HandleWeather(data, size);
    else if (type >= Fs2004MsgButton && type <= static_cast<uint32_t>(INT_MAX))
        PassSimButton(static_cast<int32_t>(type - (Fs2004MsgButton - 1)));
    else
        EndFs2004Link();  // 6 (stop) and every type the link does not know
    return true;
}

static void ReceiveOnePass(LinkSession* s)
{
    int n = ReceiveLinkDatagram(s, ReceiveBuffer, sizeof(ReceiveBuffer));
    // A receive error asks for no weather here; five time-outs in a row end
    // the link as they end the others, so that a module that restarted
    // without its stop message is registered with again.
    if (n < 1 || !HandleFs2004Datagram(ReceiveBuffer, static_cast<size_t>(n))) {
        if (s->stop.load())
            return;
        int code = WSAGetLastError();
        CountLinkTimeout(s, code);
        LogLinkReceiveError(s, code);
    }
}

// At most one of the ready step, traffic on and traffic off per pass; the
// weather request besides. Requests wait for the registration: before it the
// slot index is not ours.
static void SendPendingRequests(LinkSession* s)
{
    if (!s->registered.load())
        return;
    if (RunLinkReadyStep(s, true)) {
        Request.slotIndex = static_cast<uint32_t>(s->slotIndex.load());
        SendFs2004Request(Fs2004MsgMapReady);
    } else if (TrafficOnRequest.exchange(0)) {
        SendFs2004Request(Fs2004MsgTrafficOn);
    } else if (TrafficOffRequest.exchange(0)) {
        SendFs2004Request(Fs2004MsgTrafficOff);
    }
    if (WeatherRequestFlag.exchange(0)) {
        Request.weather = Settings.WeatherState.load() != 0 ? 1 : 0;
        SendFs2004Request(Fs2004MsgWeatherRequest);
    }
}

static void Fs2004LinkThread(LinkSession* s)
{
    if (!OpenLinkSession(s))
        return;
    Request = Fs2004Request{};
    RunRegisteringLinkLoop(s, {SendFs2004Request, Fs2004MsgRegister, Fs2004MsgUnregister, ReceiveOnePass,
                               SendPendingRequests, false, true});
    CloseLinkSession(s);
}

const UdpLink Fs2004Link = {&Fs2004Session, Fs2004LinkThread};

void Fs2004GetVar(SimVarId id, double* out)
{
    switch (id) {
    case SimVarAltitude: *out = State[LinkAltitude] * FeetPerMetre4; return;
    case SimVarOnGround: *out = State[LinkOnGround]; return;
    case SimVarWaypointIndex: *out = SimActiveWaypointIndex(); return;
    case SimVarWindDirection: *out = State[LinkWindDirection]; return;
    case SimVarWindSpeed: *out = State[LinkWindSpeed]; return;
    case SimVarMagneticVariation: *out = State[LinkMagneticVariation]; return;
    case SimVarVerticalSpeed: *out = State[LinkVerticalSpeed] / 60.0; return;
    default:
        if (!ReadLinkStateVar(Fs2004State, id, out))
            *out = 0.0;
        return;
    }
}

void Fs2004SetVar(SimVarId id, double value) { StoreRouteVar(State, id, value); }
