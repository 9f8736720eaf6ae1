// The simulator facade: dispatch by UseSimulator, the GetVar rules every
// link shares, the position rates and the pending set-position.
#include "simlink/sim_link.h"

#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
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

static int SelectedSimulator()
{
    return Settings.UseSimulator.load();
}

static bool IsP3dFamily(int simulator)
{
    return simulator >= SimulatorP3dFirst && simulator <= SimulatorP3dLast;
}

void SimLinkGetVar(SimVarId id, double* out)
{
    if ((id == SimVarLatitude || id == SimVarLongitude) && ManualPositionMode.load()) {
        if (ManualPositionValid.load())
            *out = id == SimVarLatitude ? ManualPosition.latitude.load() : ManualPosition.longitude.load();
        return;
    }
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        P3dGetVar(id, out);
    else if (simulator == SimulatorXPlane)
        XPlaneGetVar(id, out);
    else if (simulator == SimulatorFs2004)
        Fs2004GetVar(id, out);
    else if (simulator == SimulatorFlightGear)
        FlightGearGetVar(id, out);
    else if (simulator == SimulatorMsfs)
        MsfsGetVar(id, out);
    else if (simulator == SimulatorAerofly)
        AeroflyGetVar(id, out);
}

void SimLinkSetPosition(double latitude, double longitude)
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator) || simulator == SimulatorXPlane || simulator == SimulatorMsfs)
        RequestSetPosition(latitude, longitude);
}

bool SimLinkStartTraffic()
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        return P3dStartTraffic();
    if (simulator == SimulatorXPlane)
        return XPlaneStartTraffic();
    if (simulator == SimulatorFs2004 || simulator == SimulatorMsfs)
        return MsfsStartTraffic();
    if (simulator == SimulatorFlightGear)
        return FlightGearStartTraffic();
    return false;
}

void SimLinkStopTraffic()
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        P3dStopTraffic();
    else if (simulator >= SimulatorXPlane && simulator <= SimulatorMsfs)
        SetTrafficOffRequest();
}

void SimLinkAutoStart()
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        PollP3dSimConnect();
    else if (simulator == SimulatorXPlane)
        StartXPlaneLinkIfEnabled();
    else if (simulator == SimulatorFs2004)
        StartFs2004LinkIfEnabled();
    else if (simulator == SimulatorFlightGear)
        StartFlightGearLinkIfEnabled();
    else if (simulator == SimulatorMsfs)
        StartMsfsLinkIfEnabled();
    else if (simulator == SimulatorAerofly)
        StartAeroflyLinkIfEnabled();
}

void SimLinkConnect()
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        ConnectP3dLink();
    else if (simulator == SimulatorXPlane)
        ConnectXPlaneLink();
    else if (simulator == SimulatorFs2004)
        ConnectFs2004Link();
    else if (simulator == SimulatorFlightGear)
        ConnectFlightGearLink();
    else if (simulator == SimulatorMsfs)
        ConnectMsfsLink();
    else if (simulator == SimulatorAerofly)
        ConnectAeroflyLink();
}

bool SimLinkPollFlightPlan()
{
    int simulator = SelectedSimulator();
    if (simulator == SimulatorFlightGear)
        return LoadFlightGearRoute();
    if (simulator >= SimulatorP3dFirst && simulator <= SimulatorAerofly)
        return HasSimFlightPlan();
    return false;
}

bool SimLinkIsConnected()
{
    int simulator = SelectedSimulator();
    if (IsP3dFamily(simulator))
        return IsP3dConnected();
    switch (simulator) {
    case SimulatorXPlane: return IsXPlaneConnected();
    case SimulatorFs2004: return IsFs2004Connected();
    case SimulatorFlightGear: return IsFlightGearConnected();
    case SimulatorMsfs: return IsMsfsConnected();
    case SimulatorAerofly: return IsAeroflyConnected();
    default: return false;
    }
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
    double metresPerSecond = speed * 0.5151;
    PositionRates.latitude = std::cos(heading / 57.3) * metresPerSecond / 111000.0;
    PositionRates.longitude = std::sin(heading / 57.3) * metresPerSecond / 111000.0;
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
