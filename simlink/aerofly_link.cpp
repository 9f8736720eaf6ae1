// The Aerofly FS 2 link thread over the peer's protocol: registration, the
// aircraft state block, the take-off and landing detector of the pilot log,
// the plan handed to the GUI thread for completion, and GetVar/SetVar.
#include "simlink/aerofly_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/aerofly_plan.h"
#include "simlink/aerofly_protocol.h"
#include "simlink/link_drops.h"
#include "simlink/link_state.h"
#include "simlink/msfs_link.h"
#include "simlink/pilot_log.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/sim_link.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

static const char LinkName[] = "Aerofly FS 2";

std::atomic<uint8_t> AeroflyPlanRequest{0};

// The aircraft state in the order of LinkStateField; altitudes and the
// height in metres, speeds in metres per second as the peer sends them.
// Written by the link thread (and AeroflySetVar), read by GetVar on any thread.
static std::atomic<double> AeroflyState[LinkStateFieldCount];

static LinkSession AeroflySession("Aerofly WSA error %d");
// Link thread only: the receive buffer, the one request record, which keeps
// its fields from one request to the next, and the plan being parsed.
static uint8_t ReceiveBuffer[AeroflyReceiveBufferSize];
static UdpLinkRequest Request;
static AeroflyPlanMessage ParsedPlan;

// The last plan received, handed from the link thread to the GUI thread.
static std::mutex ReceivedPlanLock;
static AeroflyPlanMessage ReceivedPlan;
static std::atomic<uint8_t> ReceivedPlanPending{0};
static std::atomic<uint8_t> PlanBeingCompleted{0};

// GUI thread only: the plan being completed and what the plan files write
// of the last one.
static AeroflyPlanMessage CompletedPlan;
static char DeparturePosition[sizeof(AeroflyAirport::runway)];
static AeroflyNameSet DepartureNames;
static AeroflyNameSet DestinationNames;

static constexpr LinkStateAccess<LinkStateField> State(AeroflyState);

static bool SendAeroflyRequest(uint32_t type)
{
    Request.type = type;
    Request.slotIndex = AeroflySession.slotIndex.load();
    Request.clientId = AeroflySession.clientId;
    bool sent = SendLinkDatagram(&AeroflySession, &Request, sizeof(Request));
    Request.type = 0;
    return sent;
}

static void EndAeroflyLink()
{
    AeroflySession.stop = 1;
}

static void StoreState(const AeroflyStateReply& st)
{
    if (st.latitude >= -90.0f && st.latitude <= 90.0f)
        State.Store(LinkLatitude, st.latitude);
    if (st.longitude >= -180.0f && st.longitude <= 180.0f)
        State.Store(LinkLongitude, st.longitude);
    State.Store(LinkAltitude, st.altitude);
    State.Store(LinkGpsAltitude, st.altitude);
    if (st.trueHeading < 1000.0f)
        State.Store(LinkHeading, st.trueHeading);
    State.Store(LinkGroundSpeed, st.groundSpeed);
    State.Store(LinkVerticalSpeed, st.verticalSpeed);
    State.Store(LinkOnGround, st.onGround);
    State.Store(LinkMagneticVariation, st.magneticVariation);
    State.Store(LinkHeightAboveGround, st.heightAboveGround);
    State.Store(LinkWindDirection, st.windDirection);
    State.Store(LinkWindSpeed, st.windSpeed);
    State.Store(LinkBank, st.bank * DegreesPerRadian4);
}

// Cut to the field when the text is longer.
static void CopyField(char* out, size_t size, const char* text)
{
    size_t n = strnlen(text, size - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// Take-off: climbing through 50 ft faster than 40 m/s with no flight under
// way; landing: descending through 50 ft faster than 40 m/s during one.
static void DetectTakeOffAndLanding(const AeroflyStateValues& v)
{
    PilotLogFlight& flight = PilotLogRecord;
    float height = v.reply.heightAboveGround * FeetPerMetre2F;
    float speed = v.reply.groundSpeed;
    if (flight.departure[0] == '\0' && height > 50.0f && PilotLogPreviousHeight < 50.0f && speed > 40.0f) {
        PilotLogPreviousHeight = height;
        CopyField(flight.callsign, sizeof(flight.callsign), "-");
        CopyField(flight.aircraft, sizeof(flight.aircraft), v.aircraft);
        CopyField(flight.departure, sizeof(flight.departure), v.nearestIcao);
        flight.takeOffTime = static_cast<int64_t>(std::time(nullptr));
    } else if (flight.departure[0] != '\0' && height < 50.0f && PilotLogPreviousHeight > 50.0f && speed > 40.0f) {
        PilotLogPreviousHeight = height;
        CopyField(flight.destination, sizeof(flight.destination), v.nearestIcao);
        flight.landingTime = static_cast<int64_t>(std::time(nullptr));
        AppendPilotLog();
        flight.departure[0] = '\0';
        flight.destination[0] = '\0';
    }
}

static void HandleState(const void* data, size_t size)
{
    static AeroflyStateValues v;
    LinkDrop drop = ParseAeroflyState(data, size, &v);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    SetSimStateFlag(0);
    StoreState(v.reply);
    DetectTakeOffAndLanding(v);
    if (v.reply.latitude != 0.0f && v.reply.longitude != 0.0f)
        AeroflySession.connected = 1;
    AeroflySession.linkReady = 1;
    AcceptLinkPosition(State[LinkLatitude], State[LinkLongitude]);
    LowerLinkTimeoutOnce(&AeroflySession);
}

// The plan is only parsed here: completing it reads the airport archives,
// which belong to the GUI thread.
static void HandleFlightPlan(const void* data, size_t size)
{
    LinkDrop drop = ParseAeroflyPlan(data, size, &ParsedPlan);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    if (ParsedPlan.present == 0)
        return;
    LogDroppedInput(LinkName, ParsedPlan.piecesLeftOut);
    std::lock_guard<std::mutex> hold(ReceivedPlanLock);
    ReceivedPlan = ParsedPlan;
    ReceivedPlanPending = 1;
}

static void HandleRegistered(const void* data, size_t size)
{
    uint32_t slot = 0;
    if (!ReadDatagramWord(data, size, 8, &slot)) {
        LogDroppedInput(LinkName, LinkDrop::ShortRecord);
        return;
    }
    AeroflySession.slotIndex = static_cast<int32_t>(slot);
    AeroflySession.linkReady = 1;
    // The peer answers every request sent before its answer came: one line.
    if (AeroflySession.registered.exchange(1) == 0)
        WriteLog("Connected to Aerofly FS 2");
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

bool HandleAeroflyDatagram(const void* data, size_t size)
{
    uint32_t magic = 0;
    uint32_t type = 0;
    if (!ReadDatagramHeader(data, size, &magic, &type) || magic != AeroflyMagic)
        return false;
    // Whatever it carries, the peer is there.
    NoteLinkSignOfLife(&AeroflySession);
    if (type == AeroflyMsgState) {
        if (AeroflySession.registered.load())
            HandleState(data, size);
    } else if (type == AeroflyMsgFlightPlan) {
        HandleFlightPlan(data, size);
    } else if (type == AeroflyMsgRegistered) {
        HandleRegistered(data, size);
    } else if (type == AeroflyMsgStop) {
        EndAeroflyLink();
    } else if (type == AeroflyMsgWeather) {
        HandleWeather(data, size);
    } else if (type >= AeroflyMsgButton && type <= static_cast<uint32_t>(INT_MAX)) {
        PassSimButton(static_cast<int32_t>(type - (AeroflyMsgButton - 1)));
    }
    // Keep-alives (26..199) and every other type only count as a sign of life.
    return true;
}

static void ReceiveOnePass(LinkSession* s)
{
    int n = ReceiveLinkDatagram(s, ReceiveBuffer, sizeof(ReceiveBuffer));
    if (n < 0 || !HandleAeroflyDatagram(ReceiveBuffer, static_cast<size_t>(n)))
        HandleLinkReceiveError(s);
}

static void SendSetPositionRequest()
{
    double latitude = 0.0;
    double longitude = 0.0;
    if (!TakePendingSetPosition(&latitude, &longitude))
        return;
    Request.value = 0;
    Request.first = latitude;
    Request.second = longitude;
    SendAeroflyRequest(AeroflyMsgSetPosition);
}

// The ready step or else at most one of traffic on, traffic off and the plan
// request; the weather and set-position requests besides. Requests wait for
// the registration: before it the slot index is not ours.
static void SendPendingRequests(LinkSession* s)
{
    if (!s->registered.load())
        return;
    if (RunLinkReadyStep(s, true))
        SendAeroflyRequest(AeroflyMsgMapReady);
    else if (TrafficOnRequest.exchange(0))
        SendAeroflyRequest(AeroflyMsgTrafficOn);
    else if (TrafficOffRequest.exchange(0))
        SendAeroflyRequest(AeroflyMsgTrafficOff);
    else if (AeroflyPlanRequest.exchange(0))
        SendAeroflyRequest(AeroflyMsgPlanRequest);
    if (WeatherRequestFlag.exchange(0)) {
        Request.value = Settings.WeatherState.load() != 0 ? 1 : 0;
        SendAeroflyRequest(AeroflyMsgWeatherRequest);
    }
    SendSetPositionRequest();
}

static void AeroflyLinkThread(LinkSession* s)
{
    if (!OpenLinkSession(s))
        return;
    Request = UdpLinkRequest{};
    RunRegisteringLinkLoop(s, {SendAeroflyRequest, AeroflyMsgRegister, AeroflyMsgUnregister, ReceiveOnePass,
                               SendPendingRequests, true, true});
    CloseLinkSession(s);
}

const UdpLink AeroflyLink = {&AeroflySession, AeroflyLinkThread};

void AeroflyGetVar(SimVarId id, double* out)
{
    if (!IsUdpLinkRunning(AeroflyLink))
        *out = 0.0;
    switch (id) {
    case SimVarAltitude: *out = State[LinkAltitude] * FeetPerMetre4; return;
    case SimVarOnGround: *out = State[LinkOnGround]; return;
    case SimVarWaypointIndex: *out = SimActiveWaypointIndex(); return;
    case SimVarWindDirection: *out = State[LinkWindDirection] - State[LinkMagneticVariation]; return;
    case SimVarWindSpeed: *out = State[LinkWindSpeed] / MetresPerSecondPerKnot; return;
    case SimVarMagneticVariation: *out = -State[LinkMagneticVariation]; return;
    case SimVarHeightAboveGround: *out = State[LinkHeightAboveGround] * FeetPerMetre2; return;
    case SimVarVerticalSpeed: *out = State[LinkVerticalSpeed] / 60.0; return;
    default: ReadLinkStateVar(AeroflyState, id, out); return;
    }
}

void AeroflySetVar(SimVarId id, double value)
{
    if (id == SimVarWaypointIndex) {
        // An index that is no number or no plan index is none to store.
        if (!std::isfinite(value) || value < 0.0 || value > FlightPlanMaxWaypoints)
            return;
        FlightPlanLock lock;
        FlightPlan.simActiveIndex = static_cast<int32_t>(std::lround(value));
    } else {
        StoreRouteVar(State, id, value);
    }
}

// Into the shared plan: only the fields a simulator's plan fills, under the
// lock, so the display never sees half a plan.
static void StoreCompletedPlan(const FlightPlanRecord& built)
{
    {
        FlightPlanLock lock;
        FlightPlan.present = built.present;
        FlightPlan.count = built.count;
        FlightPlan.simActiveIndex = built.simActiveIndex;
        std::memcpy(FlightPlan.waypoints, built.waypoints, sizeof(FlightPlanWaypoint) * built.count);
    }
    SetFlightPlanKinds(PlanKindsXml);
    RouteChanged = 1;
}

bool CompleteAeroflyPlan()
{
    if (!ReceivedPlanPending.exchange(0))
        return false;
    PlanBeingCompleted = 1;
    {
        std::lock_guard<std::mutex> hold(ReceivedPlanLock);
        CompletedPlan = ReceivedPlan;
    }
    static FlightPlanRecord built;
    built = FlightPlanRecord{};
    LinkDrop leftOut = LinkDrop::None;
    BuildAeroflyPlan(CompletedPlan, &built, &DepartureNames, &DestinationNames, &leftOut);
    LogDroppedInput(LinkName, leftOut);
    CopyField(DeparturePosition, sizeof(DeparturePosition), CompletedPlan.departure.runway);
    StoreCompletedPlan(built);
    SimPlanTaken = 1;
    SetFlightPlanState(1);
    PlanBeingCompleted = 0;
    return true;
}

bool IsAeroflyLoaderBusy()
{
    return PlanBeingCompleted.load() != 0;
}

void RequestAeroflyPlanSend()
{
    AeroflyPlanRequest = 1;
}

const char* GetDeparturePosition()
{
    return DeparturePosition;
}

const char* GetDepartureName()
{
    return DepartureNames.texts[2];
}

const char* GetDestinationName()
{
    return DestinationNames.texts[2];
}

void ResetAeroflyState()
{
    for (std::atomic<double>& field : AeroflyState)
        field = 0.0;
    ReceivedPlanPending = 0;
    PlanBeingCompleted = 0;
}
