// AI traffic of the proxy: definitions 2 (position per object) and 3 (ATC id),
// request 6 for the aircraft around the user, one per-second request per
// listed aircraft, and the lists the UDP sender passes on.
#include "proxy/proxy_traffic.h"

#include "proxy/sim_session.h"

#include <algorithm>
#include <cstring>

ProxyTrafficRecord ProxyTrafficList[ProxyMaxTrafficRecords];
uint32_t ProxyTrafficCount = 0;
uint32_t TrafficRemovedList[ProxyMaxRemovedIds];
uint32_t TrafficRemovedCount = 0;
uint32_t TrafficRadius = TrafficDefaultRadius;
bool TrafficScanActive = false;
bool TrafficDefined = false;
bool TrafficSubscribePending = false;

namespace {

constexpr DWORD TrafficObjectDefinition = 2;
constexpr DWORD TrafficAtcIdDefinition = 3;
constexpr DWORD TrafficListRequest = 6;
constexpr DWORD ObjectAddedEvent = 10007;
constexpr DWORD ObjectRemovedEvent = 20008;
constexpr size_t AtcIdSize = 32;   // STRING32
constexpr size_t AtcIdKept = 8;    // what a traffic record holds

void AddTrafficDefinitions()
{
    HANDLE h = SimConnectHandle;
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Latitude", "degrees");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Longitude", "degrees");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Altitude", "feet");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "VERTICAL SPEED", "Feet per second");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Bank Degrees", "radians");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Heading Degrees True", "radians");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Plane Heading Degrees True", "degrees");
    SimConnect_AddToDataDefinition(h, TrafficObjectDefinition, "Ground Velocity", "knots");
    SimConnect_AddToDataDefinition(h, TrafficAtcIdDefinition, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32);
}

void RequestTrafficList(uint32_t radius)
{
    SimConnect_RequestDataOnSimObjectType(SimConnectHandle, TrafficListRequest, TrafficAtcIdDefinition, radius,
                                          SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
}

void StopObjectRequest(uint32_t objectId)
{
    SimConnect_RequestDataOnSimObject(SimConnectHandle, objectId, TrafficObjectDefinition, objectId,
                                      SIMCONNECT_PERIOD_NEVER);
}

int FindTraffic(uint32_t objectId)
{
    for (uint32_t i = 0; i < ProxyTrafficCount; ++i) {
        if (ProxyTrafficList[i].objectId == objectId)
            return static_cast<int>(i);
    }
    return -1;
}

// An aircraft is listed once: by its object id, or by an ATC id an entry
// already holds (compared as stored, cut to 8 characters, so that long ids
// are not added again by every scan).
bool IsListed(uint32_t objectId, const char* atcId)
{
    char cut[AtcIdKept + 1] = {};
    std::memcpy(cut, atcId, std::min(std::strlen(atcId), AtcIdKept));
    for (uint32_t i = 0; i < ProxyTrafficCount; ++i) {
        if (ProxyTrafficList[i].objectId == objectId || std::strcmp(ProxyTrafficList[i].atcId, cut) == 0)
            return true;
    }
    return false;
}

}  // namespace

bool SubscribeAiTraffic()
{
    TrafficSubscribePending = true;
    if (!HasSimConnection())
        return false;
    TrafficSubscribePending = false;
    if (!TrafficDefined) {
        TrafficDefined = true;
        ProxyTrafficCount = 0;
        TrafficRemovedCount = 0;
        AddTrafficDefinitions();
        SimConnect_SubscribeToSystemEvent(SimConnectHandle, ObjectAddedEvent, "ObjectAdded");
        SimConnect_SubscribeToSystemEvent(SimConnectHandle, ObjectRemovedEvent, "ObjectRemoved");
        SimConnect_SetSystemEventState(SimConnectHandle, ObjectAddedEvent, SIMCONNECT_STATE_ON);
        SimConnect_SetSystemEventState(SimConnectHandle, ObjectRemovedEvent, SIMCONNECT_STATE_ON);
        RequestTrafficList(TrafficDefaultRadius);
        return true;
    }
    if (!TrafficScanActive)
        RequestTrafficList(TrafficRadius);
    return true;
}

void CancelTrafficRequests()
{
    if (!HasSimConnection())
        return;
    for (uint32_t i = 0; i < ProxyTrafficCount; ++i)
        StopObjectRequest(ProxyTrafficList[i].objectId);
    ProxyTrafficCount = 0;
    TrafficRemovedCount = 0;
    TrafficRadius = TrafficDefaultRadius;
}

void StopTrafficScan()
{
    TrafficSubscribePending = false;
    CancelTrafficRequests();
    ProxyTrafficCount = 0;
    TrafficRemovedCount = 0;
    TrafficRadius = TrafficDefaultRadius;
    TrafficScanActive = false;
}

void ResetTraffic()
{
    ProxyTrafficCount = 0;
    TrafficRemovedCount = 0;
    TrafficRadius = TrafficDefaultRadius;
    TrafficScanActive = false;
    TrafficDefined = false;
    TrafficSubscribePending = false;
}

void OnTrafficPositionChanged()
{
    if (!TrafficScanActive)
        return;
    CancelTrafficRequests();
    TrafficRadius = TrafficDefaultRadius;
    RequestTrafficList(TrafficRadius);
}

void OnTrafficObjectAdded()
{
    if (TrafficScanActive)
        RequestTrafficList(TrafficRadius);
}

void OnTrafficObjectRemoved(uint32_t objectId)
{
    if (!TrafficScanActive)
        return;
    int i = FindTraffic(objectId);
    if (i < 0)
        return;
    if (TrafficRemovedCount < ProxyMaxRemovedIds)
        TrafficRemovedList[TrafficRemovedCount++] = objectId;
    std::memmove(&ProxyTrafficList[i], &ProxyTrafficList[i + 1],
                 (ProxyTrafficCount - static_cast<uint32_t>(i) - 1) * sizeof(ProxyTrafficRecord));
    --ProxyTrafficCount;
    StopObjectRequest(objectId);
}

void OnTrafficObjectData(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    if (!TrafficScanActive || message->dwDefineID != TrafficObjectDefinition)
        return;
    constexpr size_t Needed = 8 * sizeof(double);
    int i = FindTraffic(message->dwRequestID);
    if (i < 0 || SimObjectDataSize(size) < Needed)
        return;
    std::memcpy(&ProxyTrafficList[i].latitude, SimObjectDataBytes(message), Needed);
}

void OnTrafficListAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size)
{
    if (message->dwentrynumber == 0 && message->dwoutof == 0)
        return;
    if (SimObjectDataSize(size) < AtcIdSize)
        return;
    char atcId[AtcIdSize + 1] = {};
    std::memcpy(atcId, SimObjectDataBytes(message), AtcIdSize);
    uint32_t objectId = message->dwObjectID;
    if (IsListed(objectId, atcId))
        return;
    if (ProxyTrafficCount < ProxyMaxTrafficRecords) {
        ProxyTrafficRecord& entry = ProxyTrafficList[ProxyTrafficCount++];
        std::memset(&entry, 0, sizeof(entry));
        entry.objectId = objectId;
        std::memcpy(entry.atcId, atcId, std::min(std::strlen(atcId), AtcIdKept));
    }
    TrafficScanActive = true;
    SimConnect_RequestDataOnSimObject(SimConnectHandle, objectId, TrafficObjectDefinition, objectId,
                                      SIMCONNECT_PERIOD_SECOND);
}
