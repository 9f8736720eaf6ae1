// The MSFS link: the map program's client of the proxy TVL64. Its thread
// registers with the proxy, keeps the aircraft state block, the flight plan
// and the traffic table up to date, parks controller buttons as commands and
// sends traffic on/off, set-position and unregister requests.
#pragma once

#include "simlink/sim_link.h"
#include "simlink/udp_link_ops.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// The aircraft state block the MSFS and X-Plane links share, in this order.
enum LinkStateField : int {
    LinkLongitude,
    LinkLatitude,
    LinkAltitude,          // feet
    LinkHeading,           // true, degrees
    LinkGroundAltitude,    // metres
    LinkOnGround,
    LinkGroundSpeed,       // metres per second
    LinkWaypointDistance,  // metres
    LinkWaypointIndex,
    LinkEte,
    LinkEta,
    LinkWaypointEte,
    LinkWaypointEta,
    LinkGpsAltitude,       // feet
    LinkWindDirection,
    LinkWindSpeed,         // knots
    LinkTemperature,
    LinkMagneticVariation,
    LinkPitch,
    LinkBank,
    LinkHeightAboveGround, // feet
    LinkVerticalSpeed,     // feet per second
    LinkStateFieldCount,
};
// Written by the link thread (and by MsfsSetVar on the GUI thread for the
// waypoint distance and times); read by GetVar on any thread. Each field is
// read whole; a reader may see fields of two different states.
extern std::atomic<double> LinkAircraftState[LinkStateFieldCount];

// The variables a state block of this layout gives alike on every link:
// position (or home), heading, ground altitude, clock, ground speed,
// waypoint distance and times, GPS altitude, temperature, pitch, bank,
// height above ground and the position rates. False for any other id, with
// *out untouched: each link reads the fields its simulator sends in other
// units or signs itself, before this.
bool ReadLinkStateVar(const std::atomic<double>* state, SimVarId id, double* out);
// The active waypoint the simulator reported with its plan (X-Plane, FS2004
// and Aerofly send it in the plan, not in the state).
double SimActiveWaypointIndex();

// A keep-alive (types 26..199) has arrived since the thread started; the
// map display's MSFS status line reads it.
extern std::atomic<uint8_t> ProxyAlive;

// The link's descriptor, which the UDP link operations (udp_link_ops.h) take.
extern const UdpLink MsfsLink;
// The thread has been asked to end (a refusal, a shutdown, a stop ...).
bool IsMsfsLinkEnding();
void MsfsGetVar(SimVarId id, double* out);
void MsfsSetVar(SimVarId id, double value);

// One received datagram, as the link thread handles it: the length is
// checked against the type before anything is read. False for one without
// the proxy's magic, which counts as a failed receive.
bool HandleMsfsDatagram(const void* data, size_t size);
