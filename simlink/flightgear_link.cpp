// The FlightGear link: a listener for the text datagrams of FlightGear's
// generic protocol (the aircraft on one port, the AI traffic on another),
// the take-off and landing detector of the pilot log, the time datagram for
// the weather, and GetVar/SetVar.
#include "simlink/flightgear_link.h"

#include "platform/log.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/flightgear_formats.h"
#include "simlink/link_drops.h"
#include "simlink/link_state.h"
#include "simlink/pilot_log.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

static const char LinkName[] = "FlightGear";

std::atomic<double> FlightGearState[FlightGearFieldCountOfState];

static LinkSession FlightGearSession("Flightgear WSA error %d");
// The route manager's file as the last datagram named it (link thread
// writes, the GUI thread's plan poll reads).
static SharedText<FlightGearRoutePathSize> RoutePath;
// AI thread only: slots filled by its last datagram.
static int FilledSlots = 0;

// 0-based place of the weather value in a line.
static constexpr int FgWeatherLineField = 17;

static constexpr LinkStateAccess<FlightGearField> State(FlightGearState);

// The fields of one line in their order; only those the line carried are
// stored. A position off the earth is kept out, as the other links keep it.
static void StoreReport(const FlightGearAircraftReport& r)
{
    const std::pair<FlightGearField, double> fields[] = {
        {FgAltitude, r.altitude},
        {FgGroundAltitude, r.groundAltitude},
        {FgLongitude, r.longitude},
        {FgLatitude, r.latitude},
        {FgHeightAboveGround, r.heightAboveGround},
        {FgHeading, r.trueHeading},
        {FgGroundSpeed, r.groundSpeed},
        {FgWindDirection, r.windDirection},
        {FgWindSpeed, r.windSpeed},
        {FgTemperature, r.temperature},
        {FgMagneticVariation, r.magneticVariation},
        {FgVerticalSpeed, r.verticalSpeed},
        {FgPitch, r.pitch},
        {FgBank, r.bank},
        {FgWaypointDistance, r.waypointDistance},
        {FgEte, r.ete},
        {FgWaypointIndex, r.waypointIndex},
        {FgWeather, r.weather},
        {FgSpare, r.spare},
    };
    int arrived = std::min(r.fieldsArrived, static_cast<int>(std::size(fields)));
    for (int i = 0; i < arrived; ++i) {
        auto [field, value] = fields[i];
        if ((field == FgLatitude && !(std::fabs(value) <= 90.0)) ||
            (field == FgLongitude && !(std::fabs(value) <= 180.0)))
            continue;
        State.Store(field, value);
    }
    if (arrived > FgWeatherLineField)
        SimWeatherFlag = r.weather > 0 ? 1 : 0;
}

// Cut to the pilot log's field when it is shorter than the datagram's.
static void CopyField(char* out, size_t size, const char* text)
{
    size_t n = strnlen(text, size - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// Take-off: climbing through 50 ft faster than 40 kt with no flight under
// way; landing: descending through 50 ft faster than 40 kt during one.
static void DetectTakeOffAndLanding(const FlightGearAircraftReport& r)
{
    PilotLogFlight& flight = PilotLogRecord;
    float height = r.heightAboveGround;
    if (flight.departure[0] == '\0' && height > 50.0f && PilotLogPreviousHeight < 50.0f && r.groundSpeed > 40.0f) {
        PilotLogPreviousHeight = height;
        CopyField(flight.callsign, sizeof(flight.callsign), r.callsign);
        CopyField(flight.aircraft, sizeof(flight.aircraft), r.aircraft);
        CopyField(flight.departure, sizeof(flight.departure), r.nearestAirport);
        flight.takeOffTime = static_cast<int64_t>(std::time(nullptr));
    } else if (flight.departure[0] != '\0' && height < 50.0f && PilotLogPreviousHeight > 50.0f && r.groundSpeed > 40.0f) {
        PilotLogPreviousHeight = height;
        CopyField(flight.destination, sizeof(flight.destination), r.nearestAirport);
        flight.landingTime = static_cast<int64_t>(std::time(nullptr));
        AppendPilotLog();
        flight.departure[0] = '\0';
        flight.destination[0] = '\0';
    }
}

// --- AI traffic ------------------------------------------------------------

static std::atomic<uint8_t> AiRunning{0};
static std::mutex AiThreadLock;
// A thread still running at exit is detached, never joined from a destructor.
struct AiThreadHolder {
    std::thread thread;
    ~AiThreadHolder()
    {
        if (thread.joinable())
            thread.detach();
    }
};
static AiThreadHolder AiThread;

static void MergeAiRecord(TrafficEntry& e, const FlightGearAiRecord& r, float now)
{
    float dt = now - static_cast<float>(e.lastReportTime);
    bool sameAircraft = e.valid && e.id == r.id;
    bool known = sameAircraft && dt < 2.0f;
    if (!sameAircraft) {
        // Speeds of whatever held the slot before are not this aircraft's.
        e.values.groundSpeed = 0.0;
        e.values.verticalSpeed = 0.0;
    }
    if (!known) {
        RestartTrafficMotion(e, r.latitude, r.longitude, r.trueHeading * RadiansPerDegree7);
    } else {
        ContinueTrafficMotion(e);
        e.meanReportInterval = (dt + e.meanReportInterval) * 0.5;
    }
    e.values.headingDeg = r.trueHeading;
    e.values.headingRad = r.trueHeading * RadiansPerDegree7;
    e.values.latitude = r.latitude;
    e.values.longitude = r.longitude;
    // FlightGear sends no speeds: they follow from the reports, smoothed.
    double metres = TrafficDistanceMetres(r.latitude, r.longitude, e.previousLatitude, e.previousLongitude);
    if (known && dt != 0.0f) {
        double speed = metres * 1.941 / dt;
        if (std::fabs(e.values.groundSpeed - speed) <= 10.0)
            e.values.groundSpeed = e.values.groundSpeed * 0.9995 + metres * 0.0009705 / dt;
        else
            e.values.groundSpeed = speed * 0.2 + e.values.groundSpeed * 0.8;
        e.values.verticalSpeed = (r.altitude - e.values.altitude) * 1.92 / dt + e.values.verticalSpeed * 0.99;
    }
    if (e.values.groundSpeed > 1000.0)
        e.values.groundSpeed = 1000.0;
    e.values.altitude = r.altitude;
    e.id = r.id;
    std::memcpy(e.callsign, r.callsign, sizeof(e.callsign));
    e.valid = 1;
    e.lastReportTime = now;
}

void HandleFlightGearAiDatagram(const char* text, size_t length)
{
    FlightGearAiRecord records[TrafficSlotCount];
    int stored = 0;
    int announced = 0;
    LinkDrop drop = ParseFlightGearAi(text, length, records, TrafficSlotCount, &stored, &announced);
    if (drop != LinkDrop::None) {
        LogDroppedInput("FlightGear AI", drop);
        return;
    }
    if (announced <= 0)
        return;
    float now = static_cast<float>(ProgramClockMs()) / 1000.0f;
    TrafficTableLock lock;
    for (int i = 0; i < stored; ++i) {
        // The free marker is no aircraft: it would look like an empty slot.
        if (records[i].id == TrafficFreeId)
            records[i].id = 0;
        MergeAiRecord(TrafficTable[i], records[i], now);
    }
    // Aircraft that left FlightGear's list leave the table too, rather than
    // standing still where they were last seen.
    for (int slot = stored; slot < FilledSlots; ++slot) {
        TrafficTable[slot].id = TrafficFreeId;
        TrafficTable[slot].valid = 0;
    }
    FilledSlots = stored;
    TrafficCount = stored;
}

// The port each listener was last refused (0: none); written by that
// listener's thread, one start after another.
static std::atomic<int> RefusedAircraftPort{0};
static std::atomic<int> RefusedAiPort{0};

// Binds any local address at port. A port another program holds leaves the
// listener hearing nothing, start after start: that is logged, once until a
// bind works again.
static bool BindListener(SOCKET sock, int port, const char* listener, std::atomic<int>* refused)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0) {
        *refused = 0;
        return true;
    }
    int code = WSAGetLastError();
    if (refused->exchange(port) != port)
        WriteLogF("%s: port %d could not be bound (WSA error %d): no lines can come in", listener, port, code);
    return false;
}

static SOCKET OpenBoundSocket(int port)
{
    SOCKET sock = OpenLinkSocket();
    if (sock == INVALID_SOCKET)
        return INVALID_SOCKET;
    if (!BindListener(sock, port, "FlightGear AI", &RefusedAiPort)) {
        closesocket(sock);
        return INVALID_SOCKET;
    }
    return sock;
}

// Lines come only from FlightGear's address (the "FlightGear" section's
// IPAddress): anyone else on the network could send traffic.
static bool IsFromFlightGear(const sockaddr_in& sender, socklen_t length, in_addr_t flightGear)
{
    return length == sizeof(sender) && sender.sin_family == AF_INET && sender.sin_addr.s_addr == flightGear;
}

static void FlightGearTrafficThread(int port, in_addr_t flightGear)
{
    SOCKET sock = OpenBoundSocket(port);
    if (sock == INVALID_SOCKET) {
        AiRunning = 0;
        return;
    }
    // A receive that returns now and then lets the thread see the request
    // to stop even when FlightGear has gone quiet.
    SetSocketReceiveTimeout(sock, 1000);
    std::vector<char> buffer(FlightGearAiDatagramMax + 1);
    while (!TrafficOffRequest.load() && Settings.UseSimulator.load() == SimulatorFlightGear) {
        sockaddr_in sender{};
        socklen_t length = sizeof(sender);
        ssize_t n = recvfrom(sock, buffer.data(), FlightGearAiDatagramMax, 0, reinterpret_cast<sockaddr*>(&sender),
                             &length);
        if (n > 0 && IsFromFlightGear(sender, length, flightGear))
            HandleFlightGearAiDatagram(buffer.data(), static_cast<size_t>(n));
    }
    closesocket(sock);
    AiRunning = 0;
}

static void StartTrafficThreadUnlessRunning()
{
    std::lock_guard<std::mutex> hold(AiThreadLock);
    if (AiRunning.load())
        return;
    if (AiThread.thread.joinable())
        AiThread.thread.join();  // it has ended: its running flag is down
    AiRunning = 1;
    try {
        AiThread.thread = std::thread(FlightGearTrafficThread, Settings.FlightGear.AIPort.load(),
                                      inet_addr(FlightGearSession.address));
    } catch (const std::system_error&) {
        AiRunning = 0;
    }
}

bool IsFlightGearTrafficRunning()
{
    return AiRunning.load() != 0;
}

bool FlightGearStartTraffic()
{
    {
        TrafficTableLock lock;
        for (int i = 0; i < 20; ++i) {
            TrafficTable[i].lastReportTime = 0.0;
            TrafficTable[i].id = TrafficFreeId;
            TrafficTable[i].valid = 0;
        }
    }
    TrafficOffRequest = 0;
    TrafficOnRequest = 1;
    return true;
}

// --- The aircraft datagrams --------------------------------------------------

bool HandleFlightGearDatagram(const char* text, size_t length)
{
    SetSimStateFlag(0);
    // What a line does not carry keeps the value the last one brought.
    // Link thread only.
    static FlightGearAircraftReport r;
    LinkDrop drop = ParseFlightGearAircraft(text, length, &r);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return false;
    }
    StoreReport(r);
    if (r.firstButton >= 0)
        PassSimButton(r.firstButton + 1);
    DetectTakeOffAndLanding(r);
    if (r.hasRoutePath) {
        RoutePath.Set(r.routePath);
        // A route named anew, or its file saved again, is read by the route
        // reader and taken over once more by the frame's poll.
        if (r.routePath[0] != '\0')
            NoteFlightGearRouteFile(r.routePath);
    }
    char path[2];
    RoutePath.Get(path, sizeof(path));
    if (path[0] != '\0') {
        FlightPlanLock lock;
        FlightPlan.present = 1;
    }
    if (TrafficOnRequest.exchange(0))
        StartTrafficThreadUnlessRunning();
    double latitude = State[FgLatitude];
    double longitude = State[FgLongitude];
    if (latitude != 0.0 && longitude != 0.0)
        FlightGearSession.connected = 1;
    AcceptLinkPosition(latitude, longitude);
    return true;
}

static void HandleReceiveError(LinkSession* s)
{
    // The receive a stop woke is no error.
    if (s->stop.load())
        return;
    int code = WSAGetLastError();
    // FlightGear sends ten times a second: one silence means it has gone.
    if (code == WSAETIMEDOUT)
        s->stop = 1;
    if (code != 0 && Settings.DebugMode.load() && code != LastLoggedWsaError.load()) {
        WriteLogF(s->errorLogFormat, code);
        LastLoggedWsaError = code;
        if (!s->connected.load() && code == WSAECONNRESET)
            s->stop = 1;
    }
    if (Settings.WeatherState.load())
        WeatherRequestFlag = 1;
}

// The first datagram connects the link and has the map reload its content
// at the aircraft's position.
static void TakeFirstDatagram(LinkSession* s)
{
    SetReceiveTimeout(s->socket, 1000);
    s->connected = 1;
    SimMapReloadDone = 1;
    ReloadLinkMaps();
    MapReloadPending = 0;
}

// The current UTC time for FlightGear's weather when the overlay wants it
// and FlightGear has no weather of its own. Sent from a port of its own to
// FlightGear's address and the "timevar" port.
static void SendTimeIfWanted(const LinkSession* s, SOCKET* timeSocket)
{
    if (!WeatherRequestFlag.load() || !Settings.WeatherState.load() || SimWeatherFlag.load())
        return;
    if (*timeSocket == INVALID_SOCKET)
        *timeSocket = OpenLinkSocket();
    if (*timeSocket == INVALID_SOCKET)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(Settings.FlightGear.timevar.load()));
    to.sin_addr.s_addr = inet_addr(s->address);
    char text[32];
    size_t n = FormatFlightGearTime(static_cast<int64_t>(std::time(nullptr)), text, sizeof(text));
    if (n > 0 && sendto(*timeSocket, text, n, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) >= 0)
        WeatherRequestFlag = 0;
}

static void FlightGearLinkThread(LinkSession* s)
{
    if (!OpenLinkSession(s))
        return;
    if (!BindListener(s->socket, s->port, LinkName, &RefusedAircraftPort))
        s->stop = 1;
    SetReceiveTimeout(s->socket, s->initialTimeout);
    bool firstPending = true;
    SOCKET timeSocket = INVALID_SOCKET;
    std::vector<char> buffer(FlightGearDatagramMax + 1);
    while (!s->stop.load()) {
        Sleep(1);
        int n = ReceiveLinkDatagram(s, buffer.data(), FlightGearDatagramMax);
        if (n < 0) {
            HandleReceiveError(s);
        } else if (!s->stop.load()) {  // a stop wakes the receive with 0 bytes
            // Only a line that could be taken shows FlightGear is there.
            bool taken = HandleFlightGearDatagram(buffer.data(), static_cast<size_t>(n));
            if (taken)
                NoteLinkSignOfLife(s);
            if (taken && firstPending) {
                firstPending = false;
                TakeFirstDatagram(s);
            }
        }
        SendTimeIfWanted(s, &timeSocket);
    }
    if (timeSocket != INVALID_SOCKET)
        closesocket(timeSocket);
    CloseLinkSession(s);
}

const UdpLink FlightGearLink = {&FlightGearSession, FlightGearLinkThread};

void GetFlightGearRoutePath(char* out, size_t size)
{
    RoutePath.Get(out, size);
}

void FlightGearGetVar(SimVarId id, double* out)
{
    double height = State[FgHeightAboveGround];
    switch (id) {
    case SimVarLatitude:
    case SimVarLongitude:
        *out = PositionOrHome(id, State[FgLatitude], State[FgLongitude]);
        return;
    case SimVarHeading: *out = ExtrapolateHeading(State[FgHeading]); return;
    case SimVarAltitude: *out = State[FgAltitude]; return;
    case SimVarGroundAltitude: *out = State[FgGroundAltitude]; return;
    case SimVarClock: *out = ClockSeconds(); return;
    case SimVarOnGround:
        *out = height < 9.0 || (height < 80.0 && State[FgGroundSpeed] < 30.0) ? 1.0 : 0.0;
        return;
    case SimVarGroundSpeed: *out = State[FgGroundSpeed]; return;
    case SimVarWaypointDistance: *out = State[FgWaypointDistance]; return;
    case SimVarWaypointIndex: *out = State[FgWaypointIndex]; return;
    case SimVarEte: *out = State[FgEte]; return;
    case SimVarWindDirection: *out = State[FgWindDirection]; return;
    case SimVarWindSpeed: *out = State[FgWindSpeed]; return;
    case SimVarTemperature: *out = State[FgTemperature]; return;
    case SimVarMagneticVariation: *out = State[FgMagneticVariation]; return;
    case SimVarPitch: *out = State[FgPitch]; return;
    case SimVarBank: *out = State[FgBank]; return;
    case SimVarHeightAboveGround: *out = height; return;
    case SimVarVerticalSpeed: *out = State[FgVerticalSpeed]; return;
    case SimVarLatitudeRate: *out = PositionRates.latitude.load(); return;
    case SimVarLongitudeRate: *out = PositionRates.longitude.load(); return;
    default: *out = 0.0; return;
    }
}

void FlightGearSetVar(SimVarId id, double value)
{
    // 8 and 12 are taken too, but FlightGear's own values stand for them.
    if (id == SimVarEte)
        State.Store(FgEte, static_cast<float>(value));
}
