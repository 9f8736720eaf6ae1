// The simulator facade: dispatch by UseSimulator, the GetVar rules every
// link shares, the position rates and the pending set-position.
#include "simlink/sim_link.h"

#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/aerofly_link.h"
#include "simlink/flightgear_link.h"
#include "simlink/fs2004_link.h"
#include "simlink/msfs_link.h"
#include "simlink/p3d_link.h"
#include "simlink/traffic_table.h"
#include "simlink/xplane_link.h"

#include <cmath>
#include <cstring>
#include <mutex>

std::atomic<uint8_t> ManualPositionMode{0};
SharedPosition ManualPosition;
std::atomic<uint8_t> ManualPositionValid{0};
std::atomic<double> LastDataTime{0.0};
SharedPosition PreviousPosition;
SharedPosition PositionRates;
std::atomic<double> LastReturnedHeading{0.0};
std::atomic<uint8_t> VelocityVectorSeeded{0};
std::atomic<uint8_t> SimPlanTaken{0};

// GUI thread writes; link threads read.
static std::atomic<uint8_t> DisplayResetting{0};
static std::atomic<uint8_t> LinkEnabled{0};
static std::atomic<uint8_t> FlightPlanShown{0};
// The link threads write it on each state; the GUI thread reads it.
static std::atomic<uint8_t> SimStateFlag{1};
// Set once before any link runs; the link threads call it.
static std::atomic<SimButtonHandler> ButtonHandler{nullptr};
// GUI thread only.
static double LastRestartTime = -1.0e9;

// The set-position request: GUI thread arms, the running link thread takes
// it. One lock so that the two coordinates always travel together.
static std::mutex SetPositionLock;
static bool SetPositionArmed = false;
static double SetPositionLatitude = 0.0;
static double SetPositionLongitude = 0.0;

double ClockSeconds()
{
    return static_cast<double>(ProgramClockMs()) / 1000.0;
}

// Prepar3D/FSX: the SimConnect session's own operations.
static const SimLinkOps P3dLinkOps = {.getVar = P3dGetVar,
                                      .setPosition = RequestSetPosition,
                                      .startTraffic = P3dStartTraffic,
                                      .stopTraffic = P3dStopTraffic,
                                      .pollFlightPlan = HasSimFlightPlan,
                                      .autoStart = PollP3dSimConnect,
                                      .connect = ConnectP3dLink,
                                      .isConnected = IsP3dConnected,
                                      .stop = CloseP3dSimConnect,
                                      .negativeKindsToZero = true};

// Indexed by UseSimulator; row 0 is no simulator.
static const SimLinkOps SimLinkTable[] = {
    {},
    P3dLinkOps, // 1 FSX
    P3dLinkOps, // 2 FSX through simconnect.cfg
    P3dLinkOps, // 3 Prepar3D
    {.getVar = XPlaneGetVar,
     .setPosition = RequestSetPosition,
     .startTraffic = XPlaneStartTraffic,
     .stopTraffic = SetTrafficOffRequest,
     .pollFlightPlan = HasSimFlightPlan,
     .udp = &XPlaneLink,
     // X-Plane's step has always handed its values back through MSFS's SetVar.
     .setVar = MsfsSetVar,
     .setsWaypointValues = true,
     .setsDestinationTime = true},
    // FS2004 asks for traffic with the same request flag as MSFS.
    {.getVar = Fs2004GetVar,
     .startTraffic = MsfsStartTraffic,
     .stopTraffic = SetTrafficOffRequest,
     .pollFlightPlan = HasSimFlightPlan,
     .udp = &Fs2004Link,
     .setVar = Fs2004SetVar,
     .setsWaypointValues = true,
     .setsDestinationTime = true},
    // FlightGear's plan is its route manager's file.
    {.getVar = FlightGearGetVar,
     .startTraffic = FlightGearStartTraffic,
     .stopTraffic = SetTrafficOffRequest,
     .pollFlightPlan = LoadFlightGearRoute,
     .udp = &FlightGearLink,
     .setVar = FlightGearSetVar,
     .setsWaypointValues = true,
     .setsDestinationTime = true},
    {.getVar = MsfsGetVar,
     .setPosition = RequestSetPosition,
     .startTraffic = MsfsStartTraffic,
     .stopTraffic = SetTrafficOffRequest,
     .pollFlightPlan = HasSimFlightPlan,
     .udp = &MsfsLink,
     .setVar = MsfsSetVar,
     .setsDestinationTime = true,
     .negativeKindsToZero = true},
    // Aerofly's plan is completed on the GUI thread, which owns the airport
    // archives.
    {.getVar = AeroflyGetVar,
     .pollFlightPlan = HasSimFlightPlan,
     .udp = &AeroflyLink,
     .afterAutoStart = CompleteAeroflyPlan,
     .setVar = AeroflySetVar,
     .setsDestinationTime = true,
     .findsActiveWaypoint = true,
     .negativeKindsToZero = true},
};
static_assert(sizeof(SimLinkTable) / sizeof(SimLinkTable[0]) == SimulatorAerofly + 1);

const SimLinkOps* SimLinkOpsOf(int simulator)
{
    if (simulator < SimulatorP3dFirst || simulator > SimulatorAerofly)
        return nullptr;
    return &SimLinkTable[simulator];
}

static const SimLinkOps* SelectedLink()
{
    return SimLinkOpsOf(Settings.UseSimulator.load());
}

void SimLinkGetVar(SimVarId id, double* out)
{
    if ((id == SimVarLatitude || id == SimVarLongitude) && ManualPositionMode.load()) {
        if (ManualPositionValid.load())
            *out = id == SimVarLatitude ? ManualPosition.latitude.load() : ManualPosition.longitude.load();
        return;
    }
    if (const SimLinkOps* link = SelectedLink())
        link->getVar(id, out);
}

void SimLinkSetPosition(double latitude, double longitude)
{
    const SimLinkOps* link = SelectedLink();
    if (link && link->setPosition)
        link->setPosition(latitude, longitude);
}

bool SimLinkStartTraffic()
{
    const SimLinkOps* link = SelectedLink();
    return link && link->startTraffic && link->startTraffic();
}

void SimLinkStopTraffic()
{
    const SimLinkOps* link = SelectedLink();
    if (link && link->stopTraffic)
        link->stopTraffic();
}

void SimLinkAutoStart()
{
    const SimLinkOps* link = SelectedLink();
    if (!link)
        return;
    if (link->udp)
        StartUdpLinkIfEnabled(*link->udp);
    else
        link->autoStart();
    if (link->afterAutoStart)
        link->afterAutoStart();
}

void SimLinkConnect()
{
    const SimLinkOps* link = SelectedLink();
    if (link && link->udp)
        StartUdpLink(*link->udp);
    else if (link)
        link->connect();
}

bool SimLinkPollFlightPlan()
{
    const SimLinkOps* link = SelectedLink();
    return link && link->pollFlightPlan();
}

bool SimLinkIsConnected()
{
    const SimLinkOps* link = SelectedLink();
    if (!link)
        return false;
    return link->udp ? IsUdpLinkConnected(*link->udp) : link->isConnected();
}

bool IsSimulatorConnected()
{
    int sim = Settings.UseSimulator.load();
    if (sim >= SimulatorP3dFirst && sim <= SimulatorP3dLast)
        return IsP3dLinkRunning();
    if (sim > SimulatorP3dLast && sim <= SimulatorAerofly)
        return SimLinkIsConnected();
    return false;
}

void SetSimButtonHandler(SimButtonHandler handler) { ButtonHandler = handler; }

void PassSimButton(int32_t button)
{
    if (SimButtonHandler handler = ButtonHandler.load())
        handler(button);
}

void SetSimStateFlag(uint8_t state) { SimStateFlag = state; }

uint8_t GetSimStateFlag() { return SimStateFlag.load(); }

void SimLinkStopOf(int simulator)
{
    const SimLinkOps* link = SimLinkOpsOf(simulator);
    if (link && link->udp)
        StopUdpLink(*link->udp);
    else if (link)
        link->stop();
}

void SimLinkRestartIfDue(double now, bool mayStart)
{
    if (SimLinkIsConnected() || now - LastRestartTime <= 3.0)
        return;
    LastRestartTime = now;
    if (mayStart)
        SimLinkAutoStart();
}

bool HasSimFlightPlan()
{
    FlightPlanLock lock;
    if (!FlightPlan.present)
        return false;
    SimPlanTaken = 1;
    return true;
}

void SetDisplayResetting(uint8_t resetting)
{
    DisplayResetting = resetting;
}

bool IsDisplayResetting()
{
    return DisplayResetting.load() != 0;
}

void SetSimLinkEnabled(uint8_t enabled)
{
    LinkEnabled = enabled != 0 ? 1 : 0;
}

bool IsSimLinkEnabled()
{
    return LinkEnabled.load() != 0;
}

void GetSimIpAddress(char* out, size_t size)
{
    ActiveSimAddress.Get(out, size);
}

void RequestSetPosition(double latitude, double longitude)
{
    std::lock_guard<std::mutex> lock(SetPositionLock);
    SetPositionLatitude = latitude;
    SetPositionLongitude = longitude;
    SetPositionArmed = true;
}

bool TakePendingSetPosition(double* latitude, double* longitude)
{
    std::lock_guard<std::mutex> lock(SetPositionLock);
    if (!SetPositionArmed)
        return false;
    *latitude = SetPositionLatitude;
    *longitude = SetPositionLongitude;
    SetPositionArmed = false;
    return true;
}

void SetFlightPlanState(uint8_t state)
{
    FlightPlanShown = state;
    Settings.FlightPlanState = state;
}

bool IsFlightPlanActive() { return Settings.FlightPlanState != 0; }

bool IsFlightPlanShown()
{
    return FlightPlanShown.load() != 0;
}

bool GetShowFrame()
{
    return Settings.ShowFrame != 0;
}

char KeyToSoftkeyChar(int key)
{
    // The keys are the upper-case codes of the softkey characters.
    static const char SoftkeyChars[] = "123456789cOVFKMRSTLXB0";
    static const int SoftkeyKeyCount = 21;
    for (int i = 0; i < SoftkeyKeyCount; ++i) {
        char c = SoftkeyChars[i];
        int code = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        if (key == code)
            return c;
    }
    return 0;
}

double PositionOrHome(SimVarId id, double latitude, double longitude)
{
    if (latitude == 0.0 || longitude == 0.0)
        return id == SimVarLatitude ? HomePosition.latitude.load() : HomePosition.longitude.load();
    return id == SimVarLatitude ? latitude : longitude;
}

double ExtrapolateHeading(double heading)
{
    double dt = ClockSeconds() - LastDataTime.load();
    double result = heading;
    if (dt < 0.5) {
        double d = heading - LastReturnedHeading.load();
        if (d > -180.0 && d < 180.0)
            result = heading + d * dt;
        else if (heading >= 90.0)
            result = heading + (d - 360.0) * dt;
        else
            result = heading + (d + 360.0) * dt;
    }
    LastReturnedHeading = result;
    return result;
}

bool ReadLinkStateVar(const std::atomic<double>* state, SimVarId id, double* out)
{
    auto field = [state](LinkStateField f) { return state[f].load(std::memory_order_relaxed); };
    switch (id) {
    case SimVarLatitude:
    case SimVarLongitude: *out = PositionOrHome(id, field(LinkLatitude), field(LinkLongitude)); return true;
    case SimVarHeading: *out = ExtrapolateHeading(field(LinkHeading)); return true;
    case SimVarGroundAltitude: *out = field(LinkGroundAltitude); return true;
    case SimVarClock: *out = ClockSeconds(); return true;
    case SimVarGroundSpeed: *out = field(LinkGroundSpeed) / MetresPerSecondPerKnot; return true;
    case SimVarWaypointDistance: *out = field(LinkWaypointDistance); return true;
    case SimVarEte: *out = field(LinkEte); return true;
    case SimVarEta: *out = field(LinkEta); return true;
    case SimVarWaypointEte: *out = field(LinkWaypointEte); return true;
    case SimVarWaypointEta: *out = field(LinkWaypointEta); return true;
    case SimVarGpsAltitude: *out = field(LinkGpsAltitude); return true;
    case SimVarTemperature: *out = field(LinkTemperature); return true;
    case SimVarPitch: *out = field(LinkPitch); return true;
    case SimVarBank: *out = field(LinkBank); return true;
    case SimVarHeightAboveGround: *out = field(LinkHeightAboveGround); return true;
    case SimVarLatitudeRate: *out = PositionRates.latitude.load(); return true;
    case SimVarLongitudeRate: *out = PositionRates.longitude.load(); return true;
    default: return false;
    }
}

double SimActiveWaypointIndex()
{
    FlightPlanLock lock;
    return FlightPlan.simActiveIndex;
}

void NotConnectedGetVar(SimVarId id, double* out)
{
    if (id == SimVarLatitude || id == SimVarLongitude)
        *out = PositionOrHome(id, 0.0, 0.0);
    else if (id == SimVarClock)
        *out = ClockSeconds();
    else
        *out = 0.0;
}

// One rate: smoothed, and reset to 0 on a jump of a degree or more (or a
// value that does not compare).
static void UpdateRate(std::atomic<double>& rate, double value, double previous, double dt)
{
    double delta = value - previous;
    if (std::fabs(delta) < 1.0)
        rate = 0.99 * rate.load() + delta * 0.01 / dt;
    else
        rate = 0.0;
}

void UpdatePositionRates(double latitude, double longitude, double dt)
{
    UpdateRate(PositionRates.latitude, latitude, PreviousPosition.latitude.load(), dt);
    UpdateRate(PositionRates.longitude, longitude, PreviousPosition.longitude.load(), dt);
}

void UpdateVelocityVector()
{
    // Read through the selected link: the data that just arrived is its own.
    double speed = 0.0;
    double heading = 0.0;
    SimLinkGetVar(SimVarGroundSpeed, &speed);
    SimLinkGetVar(SimVarHeading, &heading);
    double metresPerSecond = speed * MetresPerSecondPerKnot;
    PositionRates.latitude = std::cos(heading / DegreesPerRadian1) * metresPerSecond / RateMetresPerDegree;
    PositionRates.longitude = std::sin(heading / DegreesPerRadian1) * metresPerSecond / RateMetresPerDegree;
    VelocityVectorSeeded = 1;
}

void AcceptLinkPosition(double latitude, double longitude)
{
    double now = ClockSeconds();
    if (latitude == 0.0 || longitude == 0.0 || now == LastDataTime.load())
        return;
    if (!VelocityVectorSeeded.load())
        UpdateVelocityVector();
    // The first sample has nothing to measure against: a rate from (0, 0)
    // would only wipe the seeded vector.
    if (PreviousPosition.latitude.load() != 0.0 || PreviousPosition.longitude.load() != 0.0)
        UpdatePositionRates(latitude, longitude, now - LastDataTime.load());
    PreviousPosition.latitude = latitude;
    PreviousPosition.longitude = longitude;
    LastDataTime = now;
}

void ResetSimLinkRestart()
{
    LastRestartTime = -1.0e9;
}
