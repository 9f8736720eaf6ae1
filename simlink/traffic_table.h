// The traffic table: 400 slots of other aircraft reported by the simulator
// links, the merge rule that keeps each one's mean report interval, and the
// traffic on/off request flags the link threads consume.
//
// Threads: the selected link's thread merges and removes entries; the GUI
// thread (traffic advisory, Prepar3D/FSX dispatch) reads them and moves the
// displayed position. Every access holds TrafficTableLock (recursive, so the
// functions below may be called with it held).
#pragma once

#include <atomic>
#include <cstdint>

constexpr int TrafficSlotCount = 400;
constexpr uint32_t TrafficFreeId = 99999;

// The eight values in the order of the simulators' traffic records.
struct TrafficValues {
    double latitude;       // degrees
    double longitude;      // degrees
    double altitude;       // feet
    double verticalSpeed;  // feet per second as the peer reports it
    double bank;           // radians
    double headingRad;     // true, radians
    double headingDeg;     // true, degrees
    double groundSpeed;    // knots
};

struct TrafficEntry {
    uint8_t valid;  // has received data through an update, not only an announcement
    uint32_t id;    // the peer's id of the aircraft; TrafficFreeId = free slot
    char callsign[32];
    TrafficValues values;
    double previousLatitude;   // displayed latitude at the last report
    double previousLongitude;  // displayed longitude at the last report
    double previousHeading;    // radians, held before the last report
    double lastReportTime;     // clock seconds
    double meanReportInterval; // seconds
    int32_t reportCount;       // reports in the mean, at most 10
    double displayedLongitude; // moved between reports by the traffic advisory
    double displayedLatitude;
};

extern TrafficEntry TrafficTable[TrafficSlotCount];
// One more than the highest slot filled since the last reset.
extern std::atomic<int32_t> TrafficCount;
// Set on the GUI thread, consumed by the link threads.
extern std::atomic<uint8_t> TrafficOnRequest;
extern std::atomic<uint8_t> TrafficOffRequest;

void LockTrafficTable();
void UnlockTrafficTable();
struct TrafficTableLock {
    TrafficTableLock() { LockTrafficTable(); }
    ~TrafficTableLock() { UnlockTrafficTable(); }
    TrafficTableLock(const TrafficTableLock&) = delete;
    TrafficTableLock& operator=(const TrafficTableLock&) = delete;
};

// Frees every slot (id 99999, valid 0, count 0); TrafficCount := 0.
void ResetTrafficTable();
// True with the slot holding id; on the way remembers the first free slot
// (-1 when none), which FirstFreeTrafficSlot then returns.
bool FindTrafficSlot(uint32_t id, int* slot);
int FirstFreeTrafficSlot();
// The slot holding id, or -1.
int FindTrafficId(uint32_t id);
// True with the slot of id; else false with the first free slot, -1 when full.
bool FindTrafficIdOrFree(uint32_t id, int* slot);

bool MsfsStartTraffic();
// Frees slots 0..19 only, then asks for traffic.
bool XPlaneStartTraffic();
void SetTrafficOffRequest();

// An aircraft new to its slot, or to be placed afresh: shown at the reported
// position, and with the heading there, with no mean interval yet.
void RestartTrafficMotion(TrafficEntry& e, double latitude, double longitude, double headingRad);
// A report of the aircraft the slot holds: its motion goes on from where it
// is shown and with the heading it had. Each link keeps its own interval rule.
void ContinueTrafficMotion(TrafficEntry& e);

// A known aircraft's mean report interval with one more interval: averaged
// over the first ten reports, smoothed 0.9/0.1 after them.
void UpdateMeanReportInterval(TrafficEntry& e, double interval);

// One report merged by id at clock time now: a new aircraft takes the first
// free slot with valid = newValid (dropped when the table is full), a known
// one updates its interval statistics and becomes valid. Returns the slot,
// or -1 when dropped.
int MergeTrafficReport(uint32_t id, const char* callsign, const TrafficValues& values, double now, uint8_t newValid);
// Removal by id as the proxy reports it: only the id is freed; the rest of
// the entry stays until the slot is reused. False when the id is unknown.
bool RemoveTrafficId(uint32_t id);

// Metres over the ground between a traffic report and the position before
// it, on the flat-earth rule the links use to derive a target's speed
// (111110 m per degree, longitude shortened by the cosine of the latitude).
double TrafficDistanceMetres(double latitude, double longitude, double previousLatitude, double previousLongitude);
