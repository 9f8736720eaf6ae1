// The SimConnect session of the proxy: the user aircraft's three data blocks
// (definitions 4, 0 and 5, asked for by requests 10, 0 and 11), the system
// events, the set-position write and the "FlightPlan" system state.
#include "proxy/sim_session.h"

#include "platform/threads.h"
#include "proxy/client_table.h"
#include "proxy/proxy_main.h"
#include "proxy/proxy_traffic.h"
#include "proxy/sim_flight_plan.h"
#include "proxy/udp_server.h"

#include <cstdio>
#include <cstring>

std::atomic<bool> StopRequest{false};
HANDLE SimConnectHandle = nullptr;
bool SessionEnd = false;
bool MismatchEnd = false;
uint32_t SimStateFlag = 0;
bool SimDataFlag = false;

namespace {

enum ProxyDataDefinition : DWORD { UserDataDefinition = 0, InitPositionDefinition = 1, UserPositionDefinition = 4,
                                   GpsDataDefinition = 5 };
enum ProxyRequestId : DWORD { UserDataRequest = 0, FlightPlanStateRequest = 1, TrafficListRequest = 6,
                              UserPositionRequest = 10, GpsDataRequest = 11 };
enum ProxyEventId : DWORD { FourSecondsEvent = 0, PositionChangedEvent = 2, PauseEvent = 3, SimEvent = 4,
                            ObjectAddedEvent = 10007, ObjectRemovedEvent = 20008 };
constexpr DWORD VersionMismatch = 5;
constexpr DWORD MismatchPauseMs = 5000;
constexpr DWORD CyclePauseMs = 100;

bool ReRequest = true;
bool FourSecondsSeen = false;
uint32_t CycleCounter = 0;
uint32_t DispatchCounter = 0;
// Definition 4: indicated airspeed, longitude, latitude, altitude, true heading, magnetic variation, bank.
double PositionValues[7];
// Definition 0: ground altitude, on ground, GPS ground speed, GPS altitude, pitch, height above ground, vertical speed.
double UserValues[7];
// Definition 5: waypoint distance, waypoint index, ETE, ETA, waypoint ETE, waypoint ETA, wind direction, wind speed, temperature.
double GpsValues[9];
bool SetPositionRequest = false;
double SetPositionLatitude = 0.0;
double SetPositionLongitude = 0.0;

void RequestUserBlock(DWORD request, DWORD definition)
{
    SimConnect_RequestDataOnSimObjectType(SimConnectHandle, request, definition, 0, SIMCONNECT_SIMOBJECT_TYPE_USER);
}

void AddUserDefinitions()
{
    HANDLE h = SimConnectHandle;
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "GROUND ALTITUDE", "Meters");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "SIM ON GROUND", "Bool");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "GPS GROUND SPEED", "Meters per second");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "GPS POSITION ALT", "Meters");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "PLANE PITCH DEGREES", "degrees");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "PLANE ALT ABOVE GROUND", "feet");
    SimConnect_AddToDataDefinition(h, UserDataDefinition, "VERTICAL SPEED", "feet per second");
    SimConnect_AddToDataDefinition(h, InitPositionDefinition, "Initial Position", nullptr,
                                   SIMCONNECT_DATATYPE_INITPOSITION);
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "AIRSPEED INDICATED", "Knots");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "Plane Longitude", "degrees");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "Plane Latitude", "degrees");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "Plane Altitude", "feet");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "PLANE HEADING DEGREES TRUE", "degrees");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "MAGVAR", "degrees");
    SimConnect_AddToDataDefinition(h, UserPositionDefinition, "PLANE BANK DEGREES", "degrees");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS WP DISTANCE", "Meters");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS FLIGHT PLAN WP INDEX", nullptr);
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS ETE", "seconds");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS ETA", "seconds");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS WP ETE", "seconds");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "GPS WP ETA", "seconds");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "AMBIENT WIND DIRECTION", "degrees");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "AMBIENT WIND VELOCITY", "knots");
    SimConnect_AddToDataDefinition(h, GpsDataDefinition, "AMBIENT TEMPERATURE", "Celsius");
}

void SubscribeSessionEvents()
{
    SimConnect_SubscribeToSystemEvent(SimConnectHandle, FourSecondsEvent, "4sec");
    SimConnect_SubscribeToSystemEvent(SimConnectHandle, PositionChangedEvent, "PositionChanged");
    SimConnect_SubscribeToSystemEvent(SimConnectHandle, PauseEvent, "Pause");
    SimConnect_SubscribeToSystemEvent(SimConnectHandle, SimEvent, "Sim");
}

// Copies count doubles out of a data answer; false when it holds fewer.
bool TakeValues(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size, double* out, size_t count)
{
    if (SimObjectDataSize(size) < count * sizeof(double))
        return false;
    std::memcpy(out, SimObjectDataBytes(message), count * sizeof(double));
    return true;
}

void WriteSetPosition()
{
    SIMCONNECT_DATA_INITPOSITION position{};
    position.Latitude = SetPositionLatitude;
    position.Longitude = SetPositionLongitude;
    position.Altitude = PositionValues[3];
    position.Pitch = UserValues[4];
    position.Bank = PositionValues[6];
    position.Heading = PositionValues[4];
    // Truncated, non-zero means on the ground; NaN counts as airborne.
    position.OnGround = UserValues[1] >= 1.0 || UserValues[1] <= -1.0 ? 1 : 0;
    double airspeed = PositionValues[0];
    position.Airspeed = airspeed > 0 && airspeed < 4.0e9 ? static_cast<DWORD>(airspeed) : 0;
    SimConnect_SetDataOnSimObject(SimConnectHandle, InitPositionDefinition, SIMCONNECT_OBJECT_ID_USER, 0, 0,
                                  sizeof(position), &position);
}

void OnUserPosition(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    TakeValues(message, size, PositionValues, 7);
    RequestUserBlock(UserPositionRequest, UserPositionDefinition);
    if (SetPositionRequest) {
        SetPositionRequest = false;
        WriteSetPosition();
    }
    if (TrafficSubscribePending)
        SubscribeAiTraffic();
}

void OnDataByType(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    switch (message->dwRequestID) {
    case UserPositionRequest: OnUserPosition(message, size); break;
    case UserDataRequest: TakeValues(message, size, UserValues, 7); break;
    case GpsDataRequest: TakeValues(message, size, GpsValues, 9); break;
    case TrafficListRequest: OnTrafficListAnswer(message, size); break;
    default: std::printf("\nReceived:%u", message->dwRequestID); break;
    }
}

void OnException(const SIMCONNECT_RECV_EXCEPTION* message)
{
    if (message->dwException == VersionMismatch) {
        std::printf("\n Simconnect version mismatch!\nTVL Proxy will run only with MSFS.\n"
                    "Proxy will be stopped in 5 seconds ...");
        Sleep(MismatchPauseMs);
        MismatchEnd = true;
        SessionEnd = true;
        return;
    }
    std::printf("\nException: %u SendId %u index %u version: %u", message->dwException, message->dwSendID,
                message->dwIndex, message->dwVersion);
}

void OnFourSeconds()
{
    FourSecondsSeen = true;
    if (ReRequest) {
        RequestUserBlock(UserPositionRequest, UserPositionDefinition);
        RequestUserBlock(UserDataRequest, UserDataDefinition);
        RequestUserBlock(GpsDataRequest, GpsDataDefinition);
        CycleCounter = 0;
        ReRequest = false;
    }
    if (!PlanReadBusy.load())
        SimConnect_RequestSystemState(SimConnectHandle, FlightPlanStateRequest, "FlightPlan");
}

void OnEvent(const SIMCONNECT_RECV_EVENT* message)
{
    switch (message->uEventID) {
    case FourSecondsEvent: OnFourSeconds(); break;
    case PositionChangedEvent: OnTrafficPositionChanged(); break;
    case PauseEvent: SimStateFlag = message->dwData; break;
    case SimEvent:
        SimStateFlag = message->dwData != 1 ? 1 : 0;
        ReRequest = true;
        break;
    case ObjectAddedEvent: OnTrafficObjectAdded(); break;
    case ObjectRemovedEvent: OnTrafficObjectRemoved(message->dwData); break;
    default: break;
    }
}

void OnSystemState(const SIMCONNECT_RECV_SYSTEM_STATE* message)
{
    if (message->dwRequestID != FlightPlanStateRequest || !FourSecondsSeen)
        return;
    StartFlightPlanRead(message->szString);
}

void AfterMessage()
{
    if (CycleCounter % 5 == 0) {
        RequestUserBlock(UserDataRequest, UserDataDefinition);
        CycleCounter = 0;
    }
    if (DispatchCounter % 10 != 0) {
        ++DispatchCounter;
    } else {
        RequestUserBlock(GpsDataRequest, GpsDataDefinition);
        DispatchCounter = 1;
    }
}

}  // namespace

bool HasSimConnection()
{
    return SimConnectHandle != nullptr;
}

void CALLBACK SimDispatch(SIMCONNECT_RECV* message, DWORD size, void*)
{
    if (!HasSimConnection() || message == nullptr)
        return;
    // The stand-in hands over only messages at least as long as their record.
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: OnException(static_cast<SIMCONNECT_RECV_EXCEPTION*>(message)); break;
    case SIMCONNECT_RECV_ID_QUIT:
        SessionEnd = true;
        ReRequest = true;
        break;
    case SIMCONNECT_RECV_ID_EVENT: OnEvent(static_cast<SIMCONNECT_RECV_EVENT*>(message)); break;
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE: OnEvent(static_cast<SIMCONNECT_RECV_EVENT*>(message)); break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        OnTrafficObjectData(static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message), size);
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
        OnDataByType(static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message), size);
        break;
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: OnSystemState(static_cast<SIMCONNECT_RECV_SYSTEM_STATE*>(message)); break;
    default: break;
    }
    AfterMessage();
}

void BeginSimSession()
{
    std::printf("\nStartServer\n");
    ResetSimFlightPlan();
    AddUserDefinitions();
    SubscribeSessionEvents();
    StopRequest = false;
    SessionEnd = false;
}

void DispatchSimMessages()
{
    if (ClientCount() <= 0)
        return;
    // A simulator that went away without QUIT ends the session like QUIT.
    if (FAILED(SimConnect_CallDispatch(SimConnectHandle, SimDispatch, nullptr))) {
        SessionEnd = true;
        ReRequest = true;
    }
}

void SendSessionState()
{
    SimDataFlag = true;
    ServeClients();
}

void EndSimSession()
{
    SimConnect_Close(SimConnectHandle);
    SimConnectHandle = nullptr;
    // Nothing flows without a simulator: stale states are not sent on.
    SimDataFlag = false;
}

void RunSimSession()
{
    BeginSimSession();
    while (!StopRequest.load() && !SessionEnd) {
        DispatchSimMessages();
        Sleep(1);
        SendSessionState();
        Sleep(CyclePauseMs);
        if (ConsoleKeyIsEsc())
            StopRequest = true;
        ++CycleCounter;
    }
    EndSimSession();
}

void FillAircraftState(ProxyAircraftState* s)
{
    s->indicatedAirspeed = PositionValues[0];
    s->longitude = PositionValues[1];
    s->latitude = PositionValues[2];
    s->altitude = PositionValues[3];
    s->trueHeading = PositionValues[4];
    s->groundAltitude = UserValues[0];
    s->onGround = UserValues[1];
    s->groundSpeed = UserValues[2];
    s->waypointDistance = GpsValues[0];
    s->waypointIndex = GpsValues[1];
    s->ete = GpsValues[2];
    s->eta = GpsValues[3];
    s->waypointEte = GpsValues[4];
    s->waypointEta = GpsValues[5];
    s->gpsAltitude = UserValues[3];
    s->windDirection = GpsValues[6];
    s->windSpeed = GpsValues[7];
    s->temperature = GpsValues[8];
    s->magneticVariation = PositionValues[5];
    s->pitch = UserValues[4];
    s->bank = PositionValues[6];
    s->heightAboveGround = UserValues[5];
    s->verticalSpeed = UserValues[6];
    s->paused = SimStateFlag;
}

void ArmSetPosition(double latitude, double longitude)
{
    SetPositionLatitude = latitude;
    SetPositionLongitude = longitude;
    SetPositionRequest = true;
}

void ResetSimSession()
{
    SimConnectHandle = nullptr;
    StopRequest = false;
    SessionEnd = false;
    MismatchEnd = false;
    SimStateFlag = 0;
    SimDataFlag = false;
    ReRequest = true;
    FourSecondsSeen = false;
    CycleCounter = 0;
    DispatchCounter = 0;
    std::memset(PositionValues, 0, sizeof(PositionValues));
    std::memset(UserValues, 0, sizeof(UserValues));
    std::memset(GpsValues, 0, sizeof(GpsValues));
    SetPositionRequest = false;
}
