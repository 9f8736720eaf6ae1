// The FlightGear link (simulator 6): the map program listens for the text
// datagrams FlightGear's generic protocol sends (the aircraft on `Port`, the
// AI traffic on `AIPort`), keeps FlightGearState, notes the route manager's
// file and take-offs and landings for the pilot log, and sends FlightGear
// the UTC time for its weather.
#pragma once

#include "simlink/sim_link.h"
#include "simlink/udp_link_ops.h"

#include <atomic>
#include <cstddef>

// FlightGearState, field by field; single-precision values as received.
enum FlightGearField : int {
    FgHeightAboveGround,  // feet
    FgLongitude,
    FgLatitude,
    FgAltitude,           // feet
    FgGroundAltitude,     // metres
    FgHeading,            // true, degrees
    FgGroundSpeed,        // knots
    FgWindDirection,
    FgWindSpeed,
    FgTemperature,
    FgMagneticVariation,
    FgVerticalSpeed,      // feet per second
    FgPitch,
    FgBank,
    FgWaypointDistance,
    FgEte,
    FgWaypointIndex,
    FgWeather,
    FgSpare,              // received, not used
    FlightGearFieldCountOfState,
};
// Written by the link thread (and FlightGearSetVar), read by GetVar on any
// thread; each field is read whole.
extern std::atomic<double> FlightGearState[FlightGearFieldCountOfState];

// The link's descriptor, which the UDP link operations (udp_link_ops.h) take.
// StopUdpLink ends the listener; the AI thread goes on until traffic is
// switched off.
extern const UdpLink FlightGearLink;
void FlightGearGetVar(SimVarId id, double* out);
// The map's own navigation: 10 ETE (8 and 12 are taken and change nothing).
void FlightGearSetVar(SimVarId id, double value);

// Frees traffic slots 0..19 and asks the link to start its AI thread.
bool FlightGearStartTraffic();
bool IsFlightGearTrafficRunning();

// The per-frame plan poll: takes what the route reader read when the path
// or the file has changed (flightgear_route.cpp).
bool LoadFlightGearRoute();
// Asks the route reader, a thread of its own, to look at the file
// FlightGear names: it reads it again when the path or the file changed.
// Touches no file on the calling thread (the link thread).
void NoteFlightGearRouteFile(const char* path);
// Whether the route reader has a look asked for or a read still going.
bool IsFlightGearRouteReadPending();
// No read waiting and no plan taken, as at the start (tests).
void ResetFlightGearRoute();
// The route file's path as FlightGear last named it ("" when none).
void GetFlightGearRoutePath(char* out, size_t size);

// One aircraft datagram as the link thread takes it: false when it was
// dropped. One AI datagram as the AI thread takes it.
bool HandleFlightGearDatagram(const char* text, size_t length);
void HandleFlightGearAiDatagram(const char* text, size_t length);
