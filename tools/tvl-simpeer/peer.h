// tvl-simpeer: the simulator's side of the X-Plane, FS2004, FlightGear,
// Prepar3D/FSX companion and Aerofly FS 2 links over loopback. What the
// peers share: options, the clock, the scripted flight, the record of what
// the map sends.
#pragma once

#include "tools/tvl-proxypeer/flight_path.h"
#include "tools/tvl-proxypeer/peer_socket.h"

#include <netinet/in.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

enum class PeerKind { XPlane, Fs2004, FlightGear, P3dCompanion, Aerofly };

struct PeerOptions {
    PeerKind kind = PeerKind::XPlane;
    FlightPathSettings path;
    int port = -1;           // X-Plane/FS2004/companion: to listen on; FlightGear: the map's Port
    int aiPort = 12348;      // FlightGear: the map's AIPort
    int timePort = -1;       // FlightGear: where to listen for the time (-1: not at all)
    int trafficCount = 3;
    bool plan = true;
    std::string route;       // FlightGear: the route file to write and name
    int protocolFields = 0;  // FlightGear: fields a line carries (0: all of ours)
    double circuit = 0.0;    // a take-off at 2 s and a landing at this many seconds (0: airborne all along)
    double stopAt = -1.0;    // the stop message (FlightGear: a silence) this many seconds in
    double silence = 3.0;    // FlightGear: how long the silence lasts
    int button = -1;
    double buttonAt = 2.0;
    std::string record;
    // Aerofly: the procedures its plan names, at Hamburg's runway 23 both ends.
    std::string sid = "STADE2B";
    std::string star = "NOLGO1H";
    std::string approach = "I23";
    double duration = 0.0;
};

extern volatile sig_atomic_t StopRequested;
extern FILE* Record;

// Seconds since the peer started.
double Now();
sockaddr_in Loopback(int port);

// The aircraft at time t: the path's position; with a circuit, a height
// above ground that is 0 before the take-off and after the landing.
struct PeerAircraft {
    PathPoint point;
    double speedKt;
    double heightFt;  // above ground
    double altitudeFt;
};
PeerAircraft AircraftAt(const PeerOptions& o, double t);

// The plan the peers send: five points along the path's first minutes.
struct PeerWaypoint {
    char ident[8];
    double latitude;
    double longitude;
    double altitudeFt;
};
constexpr int PeerPlanCount = 5;
void BuildPeerPlan(const FlightPathSettings& path, PeerWaypoint* out);

// Each peer's loop; they return when StopRequested is set or the duration ends.
void RunRequestReplyPeer(PeerOptions* o, int socket);
void RunFlightGearPeer(PeerOptions* o, int socket, int timeSocket);
