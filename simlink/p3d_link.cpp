// The Prepar3D/FSX SimConnect connection through the connector library:
// binding, the probe thread, open and close, the data definitions, the
// dispatch that runs inside the per-frame dispatch call on the GUI thread,
// the user aircraft's values, the AI traffic and P3dGetVar.
#include "simlink/p3d_link.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "simlink/traffic_mode.h"
#include "maps/weather_radar.h"
#include "platform/library.h"
#include "platform/messagebox.h"
#include "platform/threads.h"
#include "platform/units.h"
#include "simlink/p3d_protocol.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

const char LinkName[] = "P3D/FSX";
const char ClientName[] = "Tabrix Tervalingo 2.3";
const char ProbeName[] = "CheckConnection";
// The probe waits at most this long for a companion thread that outlived its
// connection, so that the GUI thread is never held for good.
constexpr int CompanionWaitSteps = 50;

// GUI thread: the library and the calls bound from it. The probe thread
// reads the calls; it is started after the binding and the unload waits
// for it.
HMODULE ConnectorModule = nullptr;
P3dConnectorCalls Calls{};
std::atomic<uint8_t> ConnectorLoaded{0};

// GUI thread only.
HANDLE SimConnection = nullptr;
bool QuitReceived = false;
bool UserDataRequested = false;
bool TrafficDefined = false;
bool ObjectsAnnounced = false;
uint32_t TrafficRadius = P3dTrafficRadiusStart;
double TrafficRadiusTimer = 0.0;
double LastUserAnswerTime = 0.0;

// Written by the probe thread, read by the GUI thread.
std::atomic<uint8_t> SimulatorReachable{0};
std::atomic<uint8_t> ProbeBusy{0};
// Written by the GUI thread, read by any thread (the companion asks).
std::atomic<uint8_t> Connected{0};
// Set by the dispatch, cleared by the companion thread at its start and end.
std::atomic<uint8_t> PositionValid{0};

// The user aircraft's values, written by the dispatch on the GUI thread and
// read by GetVar from any thread (the companion's map reload asks too).
struct P3dValues {
    std::atomic<double> longitude{0}, latitude{0}, altitude{0}, trueHeading{0}, groundAltitude{0}, onGround{0},
        groundSpeed{0}, waypointDistance{0}, waypointIndex{0}, ete{0}, eta{0}, waypointEte{0}, waypointEta{0},
        gpsAltitude{0}, windDirection{0}, windSpeed{0}, temperature{0}, magneticVariation{0}, pitch{0}, bank{0},
        heightAboveGround{0}, verticalSpeed{0};
};
P3dValues Values;

void StoreValues(const P3dSimData& d)
{
    Values.longitude = d.longitude;
    Values.latitude = d.latitude;
    Values.altitude = d.altitude;
    Values.trueHeading = d.trueHeading;
    Values.groundAltitude = d.groundAltitude;
    Values.onGround = d.onGround;
    Values.groundSpeed = d.groundSpeed;
    Values.waypointDistance = d.waypointDistance;
    Values.waypointIndex = d.waypointIndex;
    Values.ete = d.ete;
    Values.eta = d.eta;
    Values.waypointEte = d.waypointEte;
    Values.waypointEta = d.waypointEta;
    Values.gpsAltitude = d.gpsAltitude;
    Values.windDirection = d.windDirection;
    Values.windSpeed = d.windSpeed;
    Values.temperature = d.temperature;
    Values.magneticVariation = d.magneticVariation;
    Values.pitch = d.pitch;
    Values.bank = d.bank;
    Values.heightAboveGround = d.heightAboveGround;
    Values.verticalSpeed = d.verticalSpeed;
}

bool BindConnector(HMODULE module)
{
    for (const char* name : ConnectorExportNames) {
        if (GetProcAddress(module, name) == nullptr) {
            WriteLogF("Connector export %s missing", name);
            return false;
        }
    }
    Calls.open = GetProcAddressAs<PK_SimConnect_OpenFn>(module, "PK_SimConnect_Open");
    Calls.close = GetProcAddressAs<PK_SimConnect_CloseFn>(module, "PK_SimConnect_Close");
    Calls.addToDataDefinition =
        GetProcAddressAs<PK_SimConnect_AddToDataDefinitionFn>(module, "PK_SimConnect_AddToDataDefinition");
    Calls.requestDataOnSimObject =
        GetProcAddressAs<PK_SimConnect_RequestDataOnSimObjectFn>(module, "PK_SimConnect_RequestDataOnSimObject");
    Calls.requestDataOnSimObjectType = GetProcAddressAs<PK_SimConnect_RequestDataOnSimObjectTypeFn>(
        module, "PK_SimConnect_RequestDataOnSimObjectType");
    Calls.callDispatch = GetProcAddressAs<PK_SimConnect_CallDispatchFn>(module, "PK_SimConnect_CallDispatch");
    Calls.unsubscribeFromSystemEvent = GetProcAddressAs<PK_SimConnect_UnsubscribeFromSystemEventFn>(
        module, "PK_SimConnect_UnsubscribeFromSystemEvent");
    Calls.subscribeToSystemEvent =
        GetProcAddressAs<PK_SimConnect_SubscribeToSystemEventFn>(module, "PK_SimConnect_SubscribeToSystemEvent");
    Calls.setSystemEventState =
        GetProcAddressAs<PK_SimConnect_SetSystemEventStateFn>(module, "PK_SimConnect_SetSystemEventState");
    return true;
}

void ShowConnectorMissing()
{
    MessageBoxA(nullptr, GetErrorText(1), "Zorizeruverovu", MB_OK | MB_TASKMODAL | MB_TOPMOST);
    Settings.UseSimulator = SimulatorP3dLast;
}

// The connector's open and close, with anything they throw taken as failure.
HRESULT GuardedOpen(HANDLE* handle, const char* name)
{
    try {
        return Calls.open(handle, name, nullptr, 0, nullptr, 0);
    } catch (...) {
        *handle = nullptr;
        return E_FAIL;
    }
}

void GuardedClose(HANDLE handle)
{
    try {
        Calls.close(handle);
    } catch (...) {
    }
}

void P3dConnectionCheckThread(void*)
{
    if (!SimulatorReachable.load()) {
        HANDLE probe = nullptr;
        if (SUCCEEDED(GuardedOpen(&probe, ProbeName)) && probe != nullptr) {
            GuardedClose(probe);
            SimulatorReachable = 1;
        }
    }
    ProbeBusy = 0;
}

void WaitForProbe()
{
    while (ProbeBusy.load())
        Sleep(10);
}

void RequestTrafficList(uint32_t radius)
{
    Calls.requestDataOnSimObjectType(SimConnection, P3dTrafficListRequest, P3dAtcIdDefinition, radius,
                                     SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
}

void RequestUserAircraft()
{
    Calls.requestDataOnSimObjectType(SimConnection, P3dUserRequest, P3dUserDefinition, 0,
                                     SIMCONNECT_SIMOBJECT_TYPE_USER);
}

void SetObjectRequest(uint32_t objectId, SIMCONNECT_PERIOD period)
{
    Calls.requestDataOnSimObject(SimConnection, objectId, P3dTrafficDefinition, objectId, period, 0, 0, 0, 0);
}

void RestartTrafficScan()
{
    ResetTrafficTable();
    TrafficRadius = P3dTrafficRadiusStart;
    RequestTrafficList(TrafficRadius);
}

void P3dCancelTrafficRequests()
{
    if (SimConnection == nullptr)
        return;
    TrafficTableLock lock;
    for (const TrafficEntry& e : TrafficTable)
        if (e.id != TrafficFreeId)
            SetObjectRequest(e.id, SIMCONNECT_PERIOD_NEVER);
}

void P3dDefineTrafficData()
{
    if (SimConnection == nullptr)
        return;
    ResetTrafficTable();
    static const struct {
        const char* name;
        const char* units;
    } TrafficDatums[] = {
        {"Plane Latitude", "degrees"},      {"Plane Longitude", "degrees"},
        {"Plane Altitude", "feet"},         {"VERTICAL SPEED", "Feet per second"},
        {"Plane Bank Degrees", "radians"},  {"Plane Heading Degrees True", "radians"},
        {"Plane Heading Degrees True", "degrees"}, {"Ground Velocity", "knots"},
    };
    for (const auto& d : TrafficDatums)
        Calls.addToDataDefinition(SimConnection, P3dTrafficDefinition, d.name, d.units, SIMCONNECT_DATATYPE_FLOAT64,
                                  0.0f, SIMCONNECT_UNUSED);
    Calls.addToDataDefinition(SimConnection, P3dAtcIdDefinition, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32,
                              0.0f, SIMCONNECT_UNUSED);
    Calls.subscribeToSystemEvent(SimConnection, P3dEventObjectAdded, "ObjectAdded");
    Calls.subscribeToSystemEvent(SimConnection, P3dEventObjectRemoved, "ObjectRemoved");
    Calls.setSystemEventState(SimConnection, P3dEventObjectAdded, SIMCONNECT_STATE_ON);
    Calls.setSystemEventState(SimConnection, P3dEventObjectRemoved, SIMCONNECT_STATE_ON);
    TrafficRadius = P3dTrafficRadiusStart;
    RequestTrafficList(TrafficRadius);
}

// The announcement of an aircraft found in the traffic list: a fresh entry in
// the first free slot, or only the callsign when it is known already.
void P3dAddTrafficObject(const char* callsign, uint32_t objectId)
{
    if (SimConnection == nullptr || objectId == TrafficFreeId)
        return;
    bool hasSlot = false;
    {
        TrafficTableLock lock;
        int slot = -1;
        if (FindTrafficIdOrFree(objectId, &slot)) {
            std::snprintf(TrafficTable[slot].callsign, sizeof(TrafficTable[slot].callsign), "%s", callsign);
            hasSlot = true;
        } else if (slot >= 0) {
            TrafficEntry& e = TrafficTable[slot];
            e.id = objectId;
            std::snprintf(e.callsign, sizeof(e.callsign), "%s", callsign);
            e.valid = 0;
            e.reportCount = 0;
            e.lastReportTime = 0.0;
            TrafficCount = std::min(TrafficCount.load() + 1, TrafficSlotCount);
            hasSlot = true;
        }
    }
    if (hasSlot)
        SetObjectRequest(objectId, SIMCONNECT_PERIOD_SECOND);
    ObjectsAnnounced = true;
}

// A traffic object's values; an entry not yet valid (or seen while paused or
// right after a switch of the traffic display) starts afresh, so its first
// interval is not measured from its announcement.
void P3dUpdateTrafficObject(const TrafficValues& v, uint32_t objectId)
{
    TrafficTableLock lock;
    int slot = FindTrafficId(objectId);
    if (slot < 0 || objectId == TrafficFreeId)
        return;
    TrafficEntry& e = TrafficTable[slot];
    double now = ClockSeconds();
    if (!e.valid || SimPaused.load() != 0 || IsTrafficModeChanged() != 0) {
        RestartTrafficMotion(e, v.latitude, v.longitude, v.headingRad);
        e.reportCount = 1;
    } else {
        ContinueTrafficMotion(e);
        UpdateMeanReportInterval(e, now - e.lastReportTime);
    }
    e.values = v;
    e.lastReportTime = now;
    e.valid = 1;
    if (slot + 1 > TrafficCount.load())
        TrafficCount = slot + 1;
}

void RemoveTrafficObject(uint32_t objectId)
{
    if (objectId == TrafficFreeId)
        return;
    TrafficTableLock lock;
    int slot = FindTrafficId(objectId);
    if (slot < 0)
        return;
    SetObjectRequest(objectId, SIMCONNECT_PERIOD_NEVER);
    TrafficTable[slot].id = TrafficFreeId;
    TrafficTable[slot].valid = 0;
    TrafficCount = std::max(TrafficCount.load() - 1, 0);
}

// The user aircraft's answer. The values wait for the companion's ready step
// (MapReloadPending clear), so that the map reload does not run into them.
void TakeUserAircraft(const SIMCONNECT_RECV_SIMOBJECT_DATA* m, DWORD size)
{
    P3dSimData d;
    LinkDrop drop = ParseP3dSimData(SimObjectDataBytes(m), SimObjectDataSize(size), &d);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
    } else if (!MapReloadPending.load()) {
        StoreValues(d);
        LastUserAnswerTime = ClockSeconds();
        if (d.latitude != 0.0 && d.longitude != 0.0) {
            double now = LastUserAnswerTime;
            if (now != LastDataTime.load()) {
                if (!VelocityVectorSeeded.load())
                    UpdateVelocityVector();
                bool hadPosition = PreviousPosition.latitude.load() != 0.0 || PreviousPosition.longitude.load() != 0.0;
                if (d.groundSpeed > 0.0 && hadPosition)
                    UpdatePositionRates(d.latitude, d.longitude, now - LastDataTime.load());
                PreviousPosition.latitude = d.latitude;
                PreviousPosition.longitude = d.longitude;
                LastDataTime = now;
            }
            PositionValid = 1;
        }
    }
    // The user aircraft is polled continuously.
    RequestUserAircraft();
}

void TakeTrafficListAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA* m, DWORD size)
{
    if (m->dwentrynumber == 0 && m->dwoutof == 0)
        return;
    char atcId[P3dAtcIdSize];
    LinkDrop drop = ParseP3dAtcId(SimObjectDataBytes(m), SimObjectDataSize(size), atcId);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    P3dAddTrafficObject(atcId, m->dwObjectID);
}

void TakeObjectData(const SIMCONNECT_RECV_SIMOBJECT_DATA* m, DWORD size)
{
    if (!ObjectsAnnounced || m->dwDefineID != P3dTrafficDefinition)
        return;
    TrafficValues v;
    LinkDrop drop = ParseP3dTrafficValues(SimObjectDataBytes(m), SimObjectDataSize(size), &v);
    if (drop != LinkDrop::None) {
        LogDroppedInput(LinkName, drop);
        return;
    }
    P3dUpdateTrafficObject(v, m->dwObjectID);
}

void TakeEvent(const SIMCONNECT_RECV_EVENT* e)
{
    switch (e->uEventID) {
    case P3dEventFourSeconds:
        if (!UserDataRequested) {
            RequestUserAircraft();
            UserDataRequested = true;
        } else if (!MapReloadPending.load()) {
            Calls.unsubscribeFromSystemEvent(SimConnection, P3dEventFourSeconds);
        }
        break;
    case P3dEventPositionChanged:
        if (ObjectsAnnounced) {
            P3dCancelTrafficRequests();
            RestartTrafficScan();
        }
        break;
    case P3dEventPause:
        SimPaused = e->dwData != 0 ? 1 : 0;
        if (e->dwData == 0)
            ReassertTopmost();
        break;
    case P3dEventSim:
        SimPaused = e->dwData != 1 ? 1 : 0;
        if (e->dwData == 1)
            ReassertTopmost();
        break;
    case P3dEventObjectAdded:
        if (ObjectsAnnounced) {
            P3dCancelTrafficRequests();
            RequestTrafficList(TrafficRadius);
        }
        break;
    case P3dEventObjectRemoved:
        if (ObjectsAnnounced)
            RemoveTrafficObject(e->dwData);
        break;
    default: break;
    }
}

// While aircraft are announced, the list request reaches 5 km further every
// 5 s of user-aircraft answers, up to 100 km.
void WidenTrafficRadius()
{
    if (!ObjectsAnnounced || QuitReceived || LastUserAnswerTime - TrafficRadiusTimer <= 5.0)
        return;
    if (TrafficRadius < P3dTrafficRadiusLimit) {
        TrafficRadius += P3dTrafficRadiusStep;
        RequestTrafficList(TrafficRadius);
    }
    TrafficRadiusTimer = LastUserAnswerTime;
}

void CALLBACK P3dDispatch(SIMCONNECT_RECV* message, DWORD size, void*)
{
    if (Settings.WeatherState.load()) {
        RainReading rain;
        GetRainAtPosition(&rain);
    }
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_QUIT: QuitReceived = true; break;
    case SIMCONNECT_RECV_ID_EVENT:
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
        TakeEvent(static_cast<const SIMCONNECT_RECV_EVENT*>(message));
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        TakeObjectData(static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(message), size);
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE: {
        auto* m = static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(message);
        if (m->dwRequestID == P3dTrafficListRequest)
            TakeTrafficListAnswer(m, size);
        else if (m->dwRequestID == P3dUserRequest)
            TakeUserAircraft(m, size);
        break;
    }
    default: break;  // exceptions and the rest: nothing to do
    }
    WidenTrafficRadius();
}

}  // namespace

bool LoadSimConnectConnector()
{
    if (ConnectorLoaded.load())
        return true;
    char path[600];
    std::snprintf(path, sizeof path, "%s\\PlovikSimConnectP3D.dll", SystemFolder[0] ? SystemFolder : ".");
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr)
        WriteLogF("Connector library not loaded: %s", GetLibraryErrorText());
    if (module == nullptr || !BindConnector(module)) {
        if (module != nullptr)
            FreeLibrary(module);
        Calls = P3dConnectorCalls{};
        ShowConnectorMissing();
        return false;
    }
    ConnectorModule = module;
    ConnectorLoaded = 1;
    return true;
}

void StartSimConnectThread()
{
    if (!LoadSimConnectConnector())
        return;
    if (Connected.load() || ProbeBusy.load())
        return;
    for (int i = 0; i < CompanionWaitSteps && IsP3dLinkRunning(); ++i)
        Sleep(100);
    ProbeBusy = 1;
    if (_beginthread(P3dConnectionCheckThread, 0, nullptr) == 0)
        ProbeBusy = 0;
}

HRESULT OpenSimConnect()
{
    if (!LoadSimConnectConnector())
        return E_FAIL;
    if (Connected.load())
        return S_OK;
    HANDLE handle = nullptr;
    HRESULT result = GuardedOpen(&handle, ClientName);
    if (SUCCEEDED(result) && handle != nullptr) {
        SimConnection = handle;
        Connected = 1;
        QuitReceived = false;
        ApplyStartupTrafficOptions();
        WriteLog("Connected to P3D/FSX");
        return result;
    }
    WriteLog("Connect to P3D/FSX failed");
    return FAILED(result) ? result : E_FAIL;
}

HRESULT DefineSimConnectData()
{
    if (SimConnection == nullptr)
        return E_FAIL;
    Calls.addToDataDefinition(SimConnection, P3dUserDefinition, "Title", nullptr, SIMCONNECT_DATATYPE_STRING256, 0.0f,
                              SIMCONNECT_UNUSED);
    static const struct {
        const char* name;
        const char* units;
    } UserDatums[] = {
        {"Plane Longitude", "degrees"},    {"Plane Latitude", "degrees"},
        {"Plane Altitude", "feet"},        {"PLANE HEADING DEGREES TRUE", "degrees"},
        {"GROUND ALTITUDE", "Meters"},     {"SIM ON GROUND", "Bool"},
        {"GPS GROUND SPEED", "Meters per second"}, {"GPS WP DISTANCE", "Meters"},
        {"GPS FLIGHT PLAN WP INDEX", nullptr}, {"GPS ETE", "seconds"},
        {"GPS ETA", "seconds"},            {"GPS WP ETE", "seconds"},
        {"GPS WP ETA", "seconds"},         {"GPS POSITION ALT", "Meters"},
        {"AMBIENT WIND DIRECTION", "degrees"}, {"AMBIENT WIND VELOCITY", "knots"},
        {"AMBIENT TEMPERATURE", "Celsius"}, {"MAGVAR", "degrees"},
        {"PLANE PITCH DEGREES", "degrees"}, {"PLANE BANK DEGREES", "degrees"},
        {"PLANE ALT ABOVE GROUND", "feet"}, {"VERTICAL SPEED", "feet per second"},
    };
    static_assert(sizeof(UserDatums) / sizeof(UserDatums[0]) == P3dSimValueCount);
    for (const auto& d : UserDatums)
        Calls.addToDataDefinition(SimConnection, P3dUserDefinition, d.name, d.units, SIMCONNECT_DATATYPE_FLOAT64, 0.0f,
                                  SIMCONNECT_UNUSED);
    Calls.subscribeToSystemEvent(SimConnection, P3dEventFourSeconds, "4sec");
    Calls.subscribeToSystemEvent(SimConnection, P3dEventPositionChanged, "PositionChanged");
    Calls.subscribeToSystemEvent(SimConnection, P3dEventPause, "Pause");
    HRESULT result = Calls.subscribeToSystemEvent(SimConnection, P3dEventSim, "Sim");
    Calls.callDispatch(SimConnection, P3dDispatch, nullptr);
    return result;
}

void PollP3dSimConnect()
{
    if (!ConnectorLoaded.load())
        return;
    if (!SimulatorReachable.load()) {
        if (IsSimLinkEnabled())
            StartSimConnectThread();
        return;
    }
    if (!Connected.load()) {
        if (FAILED(OpenSimConnect()))
            return;
        DefineSimConnectData();
        StartP3dLink();
    } else if (SimConnection != nullptr) {
        HRESULT result = Calls.callDispatch(SimConnection, P3dDispatch, nullptr);
        if (QuitReceived || FAILED(result))
            CloseP3dSimConnect();
    }
    if (Connected.load() && !IsP3dLinkRunning())
        StartP3dLink();
}

void ConnectP3dLink()
{
    StartSimConnectThread();
    if (!SimulatorReachable.load() || FAILED(OpenSimConnect()))
        return;
    DefineSimConnectData();
    PollP3dSimConnect();
    StartP3dLink();
}

void CloseP3dSimConnect()
{
    if (!ConnectorLoaded.load() || SimConnection == nullptr || IsDisplayResetting())
        return;
    WaitForProbe();
    GuardedClose(SimConnection);
    UserDataRequested = false;
    PositionValid = 0;
    SimConnection = nullptr;
    Connected = 0;
    TrafficDefined = false;
    SimPlanTaken = 0;
    SimulatorReachable = 0;
    StopP3dLink();
    if (ObjectsAnnounced) {
        ResetTrafficTable();
        ClearTrafficTargets();
    }
    // The next connection asks for the traffic the user chose afresh, also
    // when no aircraft had been announced in this one.
    ResetTrafficMode();
    ObjectsAnnounced = false;
}

bool IsP3dConnected()
{
    return Connected.load() != 0;
}

bool P3dStartTraffic()
{
    if (!ConnectorLoaded.load() || !Connected.load() || SimConnection == nullptr)
        return false;
    TrafficRadiusTimer = ClockSeconds();
    LastUserAnswerTime = TrafficRadiusTimer;
    if (!TrafficDefined) {
        TrafficDefined = true;
        P3dDefineTrafficData();
    } else if (!ObjectsAnnounced) {
        RequestTrafficList(TrafficRadius);
    }
    return true;
}

void P3dStopTraffic()
{
    if (ConnectorLoaded.load())
        P3dCancelTrafficRequests();
    ObjectsAnnounced = false;
    TrafficCount = 0;
}

void UnloadP3dConnector()
{
    WaitForProbe();
    if (ConnectorModule != nullptr)
        FreeLibrary(ConnectorModule);
    ConnectorModule = nullptr;
    Calls = P3dConnectorCalls{};
    ConnectorLoaded = 0;
}

void UseP3dConnectorCalls(const P3dConnectorCalls* calls)
{
    WaitForProbe();
    Calls = calls != nullptr ? *calls : P3dConnectorCalls{};
    ConnectorLoaded = calls != nullptr ? 1 : 0;
}

void ResetP3dLink()
{
    WaitForProbe();
    SimConnection = nullptr;
    QuitReceived = false;
    UserDataRequested = false;
    TrafficDefined = false;
    ObjectsAnnounced = false;
    TrafficRadius = P3dTrafficRadiusStart;
    TrafficRadiusTimer = 0.0;
    LastUserAnswerTime = 0.0;
    SimulatorReachable = 0;
    Connected = 0;
    PositionValid = 0;
    StoreValues(P3dSimData{});
}

uint32_t GetP3dTrafficRadius()
{
    return TrafficRadius;
}

bool IsP3dTrafficOn()
{
    return ObjectsAnnounced;
}

void AgeP3dTrafficTimer(double seconds)
{
    TrafficRadiusTimer -= seconds;
}

void ClearP3dPositionValid()
{
    PositionValid = 0;
}

void P3dGetVar(SimVarId id, double* out)
{
    switch (id) {
    case SimVarLatitude:
    case SimVarLongitude:
        if (PositionValid.load())
            *out = PositionOrHome(id, Values.latitude.load(), Values.longitude.load());
        else
            *out = PositionOrHome(id, 0.0, 0.0);
        return;
    case SimVarHeading: *out = ExtrapolateHeading(Values.trueHeading.load()); return;
    case SimVarAltitude: *out = Values.altitude.load(); return;
    case SimVarGroundAltitude: *out = Values.groundAltitude.load(); return;
    case SimVarClock: *out = ClockSeconds(); return;
    case SimVarOnGround: *out = Values.onGround.load(); return;
    case SimVarGroundSpeed: *out = Values.groundSpeed.load() / MetresPerSecondPerKnot; return;
    case SimVarWaypointDistance: *out = Values.waypointDistance.load(); return;
    case SimVarWaypointIndex: *out = Values.waypointIndex.load(); return;
    case SimVarEte: *out = Values.ete.load(); return;
    case SimVarEta: *out = Values.eta.load(); return;
    case SimVarWaypointEte: *out = Values.waypointEte.load(); return;
    case SimVarWaypointEta: *out = Values.waypointEta.load(); return;
    case SimVarGpsAltitude: *out = Values.gpsAltitude.load() * FeetPerMetre2; return;
    case SimVarWindDirection: *out = Values.windDirection.load(); return;
    case SimVarWindSpeed: *out = Values.windSpeed.load(); return;
    case SimVarTemperature: *out = Values.temperature.load(); return;
    case SimVarMagneticVariation: *out = Values.magneticVariation.load(); return;
    case SimVarPitch: *out = Values.pitch.load(); return;
    case SimVarBank: *out = Values.bank.load(); return;
    case SimVarHeightAboveGround: *out = Values.heightAboveGround.load(); return;
    case SimVarVerticalSpeed: *out = Values.verticalSpeed.load(); return;
    case SimVarLatitudeRate: *out = PositionRates.latitude.load(); return;
    case SimVarLongitudeRate: *out = PositionRates.longitude.load(); return;
    default: *out = 0.0; return;
    }
}
