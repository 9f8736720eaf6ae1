// The simulator facade: the one place the rest of the program reads aircraft
// values from (by SimVarId) and starts, connects and asks the link that
// UseSimulator selects; also the values all links share (home position,
// position rates, heading extrapolation reference, pending set-position).
#pragma once

#include "navdata/simulators.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Index of an aircraft value; every link's GetVar answers the same table.
typedef int SimVarId;
enum : int {
    SimVarLatitude = 0,           // degrees, north positive
    SimVarLongitude = 1,          // degrees, east positive
    SimVarHeading = 2,            // true, degrees, extrapolated
    SimVarAltitude = 3,           // feet
    SimVarGroundAltitude = 4,     // metres
    SimVarClock = 5,              // program clock, seconds
    SimVarOnGround = 6,           // 1.0 or 0.0
    SimVarGroundSpeed = 7,        // knots
    SimVarWaypointDistance = 8,   // metres
    SimVarWaypointIndex = 9,
    SimVarEte = 10,               // seconds, to the destination
    SimVarEta = 11,
    SimVarWaypointEte = 12,       // seconds, to the active waypoint
    SimVarWaypointEta = 13,
    SimVarGpsAltitude = 14,
    SimVarWindDirection = 15,     // degrees
    SimVarWindSpeed = 16,         // knots
    SimVarTemperature = 17,       // degrees Celsius
    SimVarMagneticVariation = 18, // degrees
    SimVarPitch = 19,             // degrees
    SimVarBank = 20,              // degrees
    SimVarHeightAboveGround = 25, // feet
    SimVarVerticalSpeed = 26,     // feet per second
    SimVarLatitudeRate = 28,      // degrees per second
    SimVarLongitudeRate = 29,     // degrees per second
    SimVarCount = 30,
};

// A latitude/longitude pair that one thread writes and others read; each
// half is read whole, a reader may see halves of two different writes.
struct SharedPosition {
    std::atomic<double> latitude{0.0};
    std::atomic<double> longitude{0.0};
};

// Map-pick position mode and the picked point (GUI thread writes; GetVar reads).
extern std::atomic<uint8_t> ManualPositionMode;
extern SharedPosition ManualPosition;
extern std::atomic<uint8_t> ManualPositionValid;
// Written by the link thread on each accepted position; read by GetVar callers.
extern std::atomic<double> LastDataTime;
extern SharedPosition PreviousPosition;
// degrees per second; latitude rate = SimVar 28, longitude rate = SimVar 29.
extern SharedPosition PositionRates;
// The value the last GetVar(2) returned, by any caller of any link.
extern std::atomic<double> LastReturnedHeading;
extern std::atomic<uint8_t> VelocityVectorSeeded;
// A simulator plan was found by the per-frame poll (GUI thread; cleared by
// the map display before each poll).
extern std::atomic<uint8_t> SimPlanTaken;

// Program clock in seconds (milliseconds / 1000).
double ClockSeconds();

struct UdpLink;
// One simulator's link operations, a row of the facade's table. A null entry
// means the link has no such operation: the facade then does nothing and
// answers false.
struct SimLinkOps {
    void (*getVar)(SimVarId id, double* out) = nullptr;
    void (*setPosition)(double latitude, double longitude) = nullptr;
    bool (*startTraffic)() = nullptr;
    void (*stopTraffic)() = nullptr;
    bool (*pollFlightPlan)() = nullptr;
    // The UDP links (4 to 8) are started, asked and stopped through their
    // descriptor; null for Prepar3D/FSX, whose SimConnect session has the
    // four operations below instead.
    const UdpLink* udp = nullptr;
    void (*autoStart)() = nullptr;  // per frame
    void (*connect)() = nullptr;    // starts the link whatever the enabled flag says
    bool (*isConnected)() = nullptr;
    void (*stop)() = nullptr;       // asks the link to end; never while the display is re-created
    // Per frame after the start, on the GUI thread.
    bool (*afterAutoStart)() = nullptr;
    // The route's GPS step: what it hands back to the link (null: nothing)
    // and how the simulators differ in it.
    void (*setVar)(SimVarId id, double value) = nullptr;
    bool setsWaypointValues = false;  // the waypoint distance and ETE
    bool setsDestinationTime = false; // the ETE to the destination
    bool findsActiveWaypoint = false; // Aerofly FS 2: the step finds it and hands its index back
    bool negativeKindsToZero = false;
};
// The row of a UseSimulator value; nullptr outside 1..8.
const SimLinkOps* SimLinkOpsOf(int simulator);

// The facade, dispatched by UseSimulator; values outside 1..8 do nothing.
void SimLinkGetVar(SimVarId id, double* out);
void SimLinkSetPosition(double latitude, double longitude);
bool SimLinkStartTraffic();
void SimLinkStopTraffic();
void SimLinkAutoStart();
void SimLinkConnect();
bool SimLinkPollFlightPlan();
// Whether the selected link reports connected.
bool SimLinkIsConnected();
// The selected simulator's link is up: for Prepar3D/FSX its companion link
// runs, for the others their link is connected.
bool IsSimulatorConnected();
// A button the pilot pressed in the simulator: the link threads pass it to
// the handler the command table registers at start; without one it is dropped.
using SimButtonHandler = void (*)(int32_t button);
void SetSimButtonHandler(SimButtonHandler handler);
void PassSimButton(int32_t button);
// Set by every link thread on each state it receives (1 while the
// simulator's own state flag is set, 0 for links without one).
void SetSimStateFlag(uint8_t state);
uint8_t GetSimStateFlag();
// Asks the link of a simulator (1..8) to end, whichever is selected; never
// while the display is re-created.
void SimLinkStopOf(int simulator);
// The per-frame restart: when the selected link is not connected and more
// than 3 s passed since the last try, remember now and, when mayStart,
// SimLinkAutoStart. now in clock seconds.
void SimLinkRestartIfDue(double now, bool mayStart);
// No restart tried yet, as at the start (tests).
void ResetSimLinkRestart();

bool HasSimFlightPlan();

// Set while the Direct3D display is released and re-created; no link stops then.
void SetDisplayResetting(uint8_t resetting);
bool IsDisplayResetting();
// Set by the settings reader once UseSimulator has been read.
void SetSimLinkEnabled(uint8_t enabled);
bool IsSimLinkEnabled();
// Copies the active simulator's IP address text (16 bytes are enough).
void GetSimIpAddress(char* out, size_t size);

// Arms the position for the running UDP link to send (request 23) once.
void RequestSetPosition(double latitude, double longitude);
// Link threads: takes the armed position and disarms it; false when none.
bool TakePendingSetPosition(double* latitude, double* longitude);

// The flight-plan display flag and the FlightPlanState setting together (GUI thread).
void SetFlightPlanState(uint8_t state);
// The FlightPlanState setting is on.
bool IsFlightPlanActive();
bool IsFlightPlanShown();
bool GetShowFrame();
// The softkey character of a key code, 0 when the key is not a softkey key.
char KeyToSoftkeyChar(int key);

// Rules every link's GetVar shares.
// Ids 0/1: HomePosition while either stored coordinate is exactly 0.
double PositionOrHome(SimVarId id, double latitude, double longitude);
// Id 2: heading H extrapolated from LastReturnedHeading (moves it).
double ExtrapolateHeading(double heading);
// GetVar of a link that has never had data: home position, clock, else 0.
void NotConnectedGetVar(SimVarId id, double* out);

// Called by a link thread after storing a new position (both non-zero):
// seeds the velocity vector once, updates the rates, PreviousPosition and
// LastDataTime.
void AcceptLinkPosition(double latitude, double longitude);
void UpdatePositionRates(double latitude, double longitude, double dt);
void UpdateVelocityVector();
