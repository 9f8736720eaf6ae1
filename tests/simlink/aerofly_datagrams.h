// Builders of Aerofly FS 2 datagrams for the link and plan tests, in the
// forms the simulator's peer sends.
#pragma once

#include "simlink/aerofly_protocol.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// A state at the given place, with the aircraft's name and the nearest
// airport behind it; the length field says what was built.
inline std::vector<uint8_t> AeroflyState(float latitude, float longitude, float heightMetres = 0.0f,
                                         float speed = 0.0f, const char* nearest = "EDDH")
{
    AeroflyStateReply s{};
    s.magic = AeroflyMagic;
    s.type = AeroflyMsgState;
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitude = 1000.0f;
    s.trueHeading = 90.0f;
    s.groundSpeed = speed;
    s.heightAboveGround = heightMetres;
    std::memcpy(s.aircraft, "C172", 5);
    size_t nearestSize = std::strlen(nearest) + 1;
    s.length = static_cast<uint32_t>(sizeof(s) + nearestSize);
    std::vector<uint8_t> d(s.length);
    std::memcpy(d.data(), &s, sizeof(s));
    std::memcpy(d.data() + sizeof(s), nearest, nearestSize);
    return d;
}

inline AeroflyStateReply ReadAeroflyState(const std::vector<uint8_t>& d)
{
    AeroflyStateReply s{};
    std::memcpy(&s, d.data(), sizeof(s));
    return s;
}

inline void WriteAeroflyState(std::vector<uint8_t>* d, const AeroflyStateReply& s)
{
    std::memcpy(d->data(), &s, sizeof(s));
}

inline AeroflyAirportBlock AeroflyAirportAt(const char* icao, const char* runway, double longitude,
                                            double latitude)
{
    AeroflyAirportBlock b{};
    std::snprintf(b.icao, sizeof b.icao, "%s", icao);
    std::snprintf(b.runway, sizeof b.runway, "%s", runway);
    b.airportLongitude = b.runwayLongitude = longitude;
    b.airportLatitude = b.runwayLatitude = latitude;
    return b;
}

inline void SetAeroflyArrivalNames(AeroflyAirportBlock* b, const char* star, const char* approach)
{
    std::memset(b->procedures, 0, sizeof b->procedures);
    std::snprintf(b->procedures, AeroflyStarNameSize, "%s", star);
    std::snprintf(b->procedures + AeroflyStarNameSize, AeroflyApproachNameSize, "%s", approach);
}

inline AeroflyRouteWaypoint AeroflyWaypoint(const char* ident, double kind, double longitude, double latitude)
{
    AeroflyRouteWaypoint w{};
    std::snprintf(w.ident, sizeof w.ident, "%s", ident);
    w.kind = kind;
    w.longitude = longitude;
    w.latitude = latitude;
    return w;
}

// A plan message: head, then the waypoints; the head announces count.
inline std::vector<uint8_t> AeroflyPlan(const AeroflyAirportBlock& departure, const AeroflyAirportBlock& destination,
                                        const std::vector<AeroflyRouteWaypoint>& route, float count)
{
    AeroflyPlanHead head{};
    head.magic = AeroflyMagic;
    head.type = AeroflyMsgFlightPlan;
    head.present = 1;
    head.routeCount = count;
    head.departure = departure;
    head.destination = destination;
    std::vector<uint8_t> d(sizeof(head) + sizeof(AeroflyRouteWaypoint) * route.size());
    std::memcpy(d.data(), &head, sizeof(head));
    for (size_t i = 0; i < route.size(); ++i)
        std::memcpy(d.data() + sizeof(head) + sizeof(AeroflyRouteWaypoint) * i, &route[i], sizeof(route[i]));
    return d;
}

// The same announcing the waypoints there are.
inline std::vector<uint8_t> AeroflyPlan(const AeroflyAirportBlock& departure, const AeroflyAirportBlock& destination,
                                        const std::vector<AeroflyRouteWaypoint>& route)
{
    return AeroflyPlan(departure, destination, route, static_cast<float>(route.size()));
}
