// The traffic table, its look-ups and the merge rule of one report.
#include "simlink/traffic_table.h"

#include "platform/units.h"

#include <cmath>
#include <cstring>
#include <mutex>

// Every slot starts free, so that no id (0 included) matches an empty slot.
static TrafficEntry MakeFreeTable()
{
    TrafficEntry e{};
    e.id = TrafficFreeId;
    return e;
}

TrafficEntry TrafficTable[TrafficSlotCount];
std::atomic<int32_t> TrafficCount{0};
std::atomic<uint8_t> TrafficOnRequest{0};
std::atomic<uint8_t> TrafficOffRequest{0};

static std::recursive_mutex TableLock;
// First free slot seen by the last FindTrafficSlot; under TableLock.
static int LastFreeSlot = -1;

static bool InitialiseTable()
{
    TrafficEntry free = MakeFreeTable();
    for (TrafficEntry& e : TrafficTable)
        e = free;
    return true;
}
static const bool TableInitialised = InitialiseTable();

void LockTrafficTable()
{
    TableLock.lock();
}

void UnlockTrafficTable()
{
    TableLock.unlock();
}

static void FreeSlot(TrafficEntry& e)
{
    e.id = TrafficFreeId;
    e.valid = 0;
}

void ResetTrafficTable()
{
    TrafficTableLock lock;
    for (TrafficEntry& e : TrafficTable) {
        FreeSlot(e);
        e.reportCount = 0;
    }
    TrafficCount = 0;
}

bool FindTrafficSlot(uint32_t id, int* slot)
{
    TrafficTableLock lock;
    LastFreeSlot = -1;
    for (int i = 0; i < TrafficSlotCount; ++i) {
        if (TrafficTable[i].id == id) {
            *slot = i;
            return true;
        }
        if (LastFreeSlot < 0 && TrafficTable[i].id == TrafficFreeId)
            LastFreeSlot = i;
    }
    return false;
}

int FirstFreeTrafficSlot()
{
    TrafficTableLock lock;
    return LastFreeSlot;
}

int FindTrafficId(uint32_t id)
{
    TrafficTableLock lock;
    for (int i = 0; i < TrafficSlotCount; ++i)
        if (TrafficTable[i].id == id)
            return i;
    return -1;
}

bool FindTrafficIdOrFree(uint32_t id, int* slot)
{
    TrafficTableLock lock;
    if (FindTrafficSlot(id, slot))
        return true;
    *slot = LastFreeSlot;
    return false;
}

bool MsfsStartTraffic()
{
    TrafficOnRequest = 1;
    return true;
}

bool XPlaneStartTraffic()
{
    {
        TrafficTableLock lock;
        for (int i = 0; i < 20; ++i) {
            FreeSlot(TrafficTable[i]);
            TrafficTable[i].lastReportTime = 0.0;
        }
    }
    TrafficOnRequest = 1;
    return true;
}

void SetTrafficOffRequest()
{
    TrafficOffRequest = 1;
}

static void CopyCallsign(TrafficEntry& e, const char* callsign)
{
    size_t n = callsign ? strnlen(callsign, sizeof(e.callsign) - 1) : 0;
    std::memcpy(e.callsign, callsign ? callsign : "", n);
    e.callsign[n] = '\0';
}

void RestartTrafficMotion(TrafficEntry& e, double latitude, double longitude, double headingRad)
{
    e.previousLatitude = e.displayedLatitude = latitude;
    e.previousLongitude = e.displayedLongitude = longitude;
    e.previousHeading = headingRad;
    e.meanReportInterval = 0.0;
}

void ContinueTrafficMotion(TrafficEntry& e)
{
    e.previousLatitude = e.displayedLatitude;
    e.previousLongitude = e.displayedLongitude;
    e.previousHeading = e.values.headingRad;
}

static void EnterNewAircraft(TrafficEntry& e, uint32_t id, const char* callsign, const TrafficValues& v, double now,
                             uint8_t valid)
{
    RestartTrafficMotion(e, v.latitude, v.longitude, v.headingRad);
    e.reportCount = 0;
    e.values = v;
    e.id = id;
    CopyCallsign(e, callsign);
    e.lastReportTime = now;
    e.valid = valid;
}

void UpdateMeanReportInterval(TrafficEntry& e, double interval)
{
    if (e.reportCount < 10) {
        e.meanReportInterval = (e.reportCount * e.meanReportInterval + interval) / (e.reportCount + 1);
        e.reportCount += 1;
    } else {
        e.meanReportInterval = 0.9 * e.meanReportInterval + 0.1 * interval;
    }
}

static void UpdateKnownAircraft(TrafficEntry& e, uint32_t id, const TrafficValues& v, double now)
{
    double interval = now - e.lastReportTime;
    ContinueTrafficMotion(e);
    UpdateMeanReportInterval(e, interval);
    e.values = v;
    e.id = id;
    e.lastReportTime = now;
    e.valid = 1;
}

int MergeTrafficReport(uint32_t id, const char* callsign, const TrafficValues& values, double now, uint8_t newValid)
{
    // The free marker is no aircraft: a report under it would look known.
    if (id == TrafficFreeId)
        return -1;
    TrafficTableLock lock;
    int slot = -1;
    if (FindTrafficSlot(id, &slot)) {
        UpdateKnownAircraft(TrafficTable[slot], id, values, now);
    } else {
        slot = LastFreeSlot;
        if (slot < 0)
            return -1;
        EnterNewAircraft(TrafficTable[slot], id, callsign, values, now, newValid);
    }
    if (slot + 1 > TrafficCount.load())
        TrafficCount = slot + 1;
    return slot;
}

bool RemoveTrafficId(uint32_t id)
{
    if (id == TrafficFreeId)
        return false;
    TrafficTableLock lock;
    int slot = FindTrafficId(id);
    if (slot < 0)
        return false;
    TrafficTable[slot].id = TrafficFreeId;
    return true;
}

double TrafficDistanceMetres(double latitude, double longitude, double previousLatitude, double previousLongitude)
{
    double east = (longitude - previousLongitude) * TrafficMetresPerDegree * std::cos(RadiansPerDegree8 * latitude);
    double north = (latitude - previousLatitude) * TrafficMetresPerDegree;
    return std::sqrt(east * east + north * north);
}
