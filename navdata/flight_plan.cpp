// The FlightPlan record, its lock, and the stores the simulator links use.
#include "navdata/flight_plan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

FlightPlanRecord FlightPlan;
std::atomic<uint8_t> RouteChanged{0};

// Guards FlightPlan between the link threads and the GUI thread.
static std::mutex flightPlanMutex;
static std::atomic<uint8_t> flightPlanKinds{PlanKindsXml};

void SetFlightPlanKinds(PlanKindSet kinds)
{
    flightPlanKinds = kinds;
}

PlanKindSet GetFlightPlanKinds()
{
    return static_cast<PlanKindSet>(flightPlanKinds.load());
}

void LockFlightPlan()
{
    flightPlanMutex.lock();
}

void UnlockFlightPlan()
{
    flightPlanMutex.unlock();
}

void CopyFlightPlan(FlightPlanRecord* out)
{
    FlightPlanLock lock;
    std::memcpy(out, &FlightPlan, sizeof(FlightPlanRecord));
}

// Waypoints a message of size bytes carries in full.
static int32_t WaypointsInMessage(size_t size)
{
    if (size < FlightPlanHeaderSize)
        return 0;
    size_t n = (size - FlightPlanHeaderSize) / sizeof(FlightPlanWaypoint);
    return static_cast<int32_t>(std::min<size_t>(n, FlightPlanMaxWaypoints));
}

// Waypoints from the wire: a position that is no number or out of range
// becomes 0/0, an altitude that is no number 0, and every ident ends within
// its field, so that no reader of the plan has to guard against them.
static void SanitizeWaypoints(FlightPlanWaypoint* waypoints, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        FlightPlanWaypoint& w = waypoints[i];
        if (!(std::fabs(w.lat) <= 90.0f && std::fabs(w.lon) <= 180.0f))
            w.lat = w.lon = 0.0f;
        if (!std::isfinite(w.altitude))
            w.altitude = 0.0f;
        w.ident[sizeof w.ident - 1] = '\0';
    }
}

bool StoreFlightPlanMessage(const void* data, size_t size)
{
    if (data == nullptr || size < FlightPlanHeaderSize)
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint8_t present = bytes[offsetof(FlightPlanRecord, present)];
    int32_t count;
    int32_t active;
    std::memcpy(&count, bytes + offsetof(FlightPlanRecord, count), sizeof(count));
    std::memcpy(&active, bytes + offsetof(FlightPlanRecord, simActiveIndex), sizeof(active));
    if (present == 0 || count < 0)
        return false;
    int32_t n = std::min(count, WaypointsInMessage(size));
    {
        FlightPlanLock lock;
        FlightPlan.present = present;
        FlightPlan.count = n;
        FlightPlan.simActiveIndex = active;
        std::memcpy(FlightPlan.waypoints, bytes + FlightPlanHeaderSize, n * sizeof(FlightPlanWaypoint));
        SanitizeWaypoints(FlightPlan.waypoints, n);
    }
    SetFlightPlanKinds(PlanKindsXml);
    RouteChanged.store(1);
    return true;
}

bool StoreWholeFlightPlanRecord(const void* data, size_t size)
{
    if (data == nullptr || size <= offsetof(FlightPlanRecord, present))
        return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (bytes[offsetof(FlightPlanRecord, present)] == 0)
        return false;
    size_t n = std::min(size, sizeof(FlightPlanRecord));
    {
        FlightPlanLock lock;
        std::memcpy(&FlightPlan, bytes, n);
        // A short packet must not leave a count that points past what arrived.
        FlightPlan.count = std::clamp(FlightPlan.count, 0, WaypointsInMessage(n));
        SanitizeWaypoints(FlightPlan.waypoints, FlightPlan.count);
    }
    SetFlightPlanKinds(PlanKindsXml);
    RouteChanged.store(1);
    return true;
}
