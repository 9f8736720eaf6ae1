// The one flight plan of the program: the 7232-byte FlightPlan record that the
// plan files, the editor, the simulator links and the proxy fill, and its lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr int FlightPlanMaxWaypoints = 300;

#pragma pack(push, 1)
struct FlightPlanWaypoint {
    int32_t kind;      // vocabulary of whoever wrote it (text plan, XML plan, link)
    float lat;         // degrees, north positive
    float lon;         // degrees, east positive
    float altitude;    // feet
    char ident[8];     // NUL-terminated, at most 7 characters
};

// Also the body of the proxy's plan message and of the FS2004 plan packet,
// so every offset is fixed.
struct FlightPlanRecord {
    uint8_t header[8];        // magic and type of a copied packet; plan code leaves it alone
    uint8_t present;          // 1 once a plan of more than one waypoint is loaded or received
    uint8_t padding[3];
    int32_t count;            // valid waypoints, 0..300
    int32_t simActiveIndex;   // active waypoint as the simulator reports it
    uint8_t unused[4];
    double cruisingAltitude;  // feet
    FlightPlanWaypoint waypoints[FlightPlanMaxWaypoints];
};
#pragma pack(pop)

static_assert(sizeof(FlightPlanWaypoint) == 24);
static_assert(offsetof(FlightPlanWaypoint, lat) == 4);
static_assert(offsetof(FlightPlanWaypoint, lon) == 8);
static_assert(offsetof(FlightPlanWaypoint, altitude) == 12);
static_assert(offsetof(FlightPlanWaypoint, ident) == 16);
static_assert(sizeof(FlightPlanRecord) == 7232);
static_assert(offsetof(FlightPlanRecord, present) == 8);
static_assert(offsetof(FlightPlanRecord, count) == 12);
static_assert(offsetof(FlightPlanRecord, simActiveIndex) == 16);
static_assert(offsetof(FlightPlanRecord, cruisingAltitude) == 24);
static_assert(offsetof(FlightPlanRecord, waypoints) == 32);

constexpr size_t FlightPlanHeaderSize = offsetof(FlightPlanRecord, waypoints);

// The numbers a plan's waypoint kinds follow. The record has no room to say,
// so the plan's writers record it beside the record: text plans number their
// type letters A 0, V 1, I 2, N 3; XML plans and the simulator links use
// 1 airport, 2 NDB, 4 VOR, anything else a fix.
enum PlanKindSet : uint8_t {
    PlanKindsXml = 0,
    PlanKindsText = 1,
};

// Threads: the simulator link threads (MSFS, X-Plane, FlightGear, Aerofly,
// FS2004) write the plan when the simulator reports one; the GUI thread reads
// it (navigation step, route layers, plan writer) and writes it (file readers,
// editor). Every access from a link thread, and every GUI access while a link
// runs, holds the plan lock: take FlightPlanLock for a block, or use the
// Store functions below, which lock for themselves.
extern FlightPlanRecord FlightPlan;

// Set (1) by every writer except the file readers; the navigation step
// rebuilds the route and clears it. Written by link threads and the GUI thread.
extern std::atomic<uint8_t> RouteChanged;

// The kind set of the plan in FlightPlan: set by whoever fills the record
// (the link stores set PlanKindsXml), read by the writer, the route symbols
// and the editor. Any thread.
void SetFlightPlanKinds(PlanKindSet kinds);
PlanKindSet GetFlightPlanKinds();

void LockFlightPlan();
void UnlockFlightPlan();

struct FlightPlanLock {
    FlightPlanLock() { LockFlightPlan(); }
    ~FlightPlanLock() { UnlockFlightPlan(); }
    FlightPlanLock(const FlightPlanLock&) = delete;
    FlightPlanLock& operator=(const FlightPlanLock&) = delete;
};

// A consistent snapshot of the plan, taken under the lock.
void CopyFlightPlan(FlightPlanRecord* out);

// A plan message of the MSFS, X-Plane and proxy layout (the record's first
// bytes: present at 8, count at 12, active index at 16, waypoints from 32).
// When present is non-zero: present, count and active index are taken and
// min(count, 300) waypoints, never more than the message holds; the cruising
// altitude stays. Sets RouteChanged. False (nothing changed) for a message
// shorter than the header, a negative count or present 0.
bool StoreFlightPlanMessage(const void* data, size_t size);

// A whole record received from the FS2004 link or the Prepar3D/FSX companion:
// copied from byte 0, at most 7232 bytes, when its present byte is non-zero.
// The count is then clamped to the waypoints that arrived. Sets RouteChanged.
bool StoreWholeFlightPlanRecord(const void* data, size_t size);
