// Builders of proxy datagrams for the link tests, in the proxy's own forms.
#pragma once

#include "simlink/proxy_protocol.h"

#include <cstdio>
#include <cstring>
#include <vector>

inline std::vector<uint8_t> ShortReply(uint32_t type, int32_t slot = 0, int32_t clientId = 0)
{
    ProxyShortReply r{ProxyMagic, type, slot, clientId, 0.0};
    std::vector<uint8_t> d(sizeof(r));
    std::memcpy(d.data(), &r, sizeof(r));
    return d;
}

inline ProxyAircraftState MakeState(double latitude, double longitude)
{
    ProxyAircraftState s{};
    s.magic = ProxyMagic;
    s.type = MsgAircraftState;
    s.length = ProxyAircraftStateLength;
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitude = 3000.0;
    s.trueHeading = 90.0;
    s.groundSpeed = 51.51;  // 100 knots
    s.heightAboveGround = 2500.0;
    return s;
}

inline std::vector<uint8_t> StateDatagram(const ProxyAircraftState& s)
{
    std::vector<uint8_t> d(sizeof(s));
    std::memcpy(d.data(), &s, sizeof(s));
    return d;
}

inline std::vector<uint8_t> StateDatagram(double latitude, double longitude)
{
    return StateDatagram(MakeState(latitude, longitude));
}

// A plan with count waypoints named "WP0", "WP1" ... at (i, i).
inline std::vector<uint8_t> FlightPlanDatagram(uint8_t present, int32_t count, int32_t active = 0)
{
    std::vector<uint8_t> d(ProxyFlightPlanLength(static_cast<uint32_t>(count)), 0);
    ProxyFlightPlanHeader h{};
    h.magic = ProxyMagic;
    h.type = MsgFlightPlan;
    h.present = present;
    h.count = count;
    h.activeIndex = active;
    h.cruisingAltitude = 9000.0;
    std::memcpy(d.data(), &h, sizeof(h));
    for (int32_t i = 0; i < count; ++i) {
        uint8_t* w = d.data() + sizeof(h) + ProxyPlanWaypointSize * static_cast<size_t>(i);
        int32_t kind = 5;
        float lat = static_cast<float>(i), lon = static_cast<float>(i), alt = 1000.0f;
        std::memcpy(w, &kind, 4);
        std::memcpy(w + 4, &lat, 4);
        std::memcpy(w + 8, &lon, 4);
        std::memcpy(w + 12, &alt, 4);
        std::snprintf(reinterpret_cast<char*>(w + 16), 8, "WP%d", static_cast<int>(i));
    }
    return d;
}

inline ProxyTrafficRecord MakeTraffic(uint32_t id, const char* atc, double latitude, double longitude)
{
    ProxyTrafficRecord r{};
    r.objectId = id;
    std::snprintf(r.atcId, sizeof(r.atcId), "%s", atc);
    r.latitude = latitude;
    r.longitude = longitude;
    r.altitude = 4000.0;
    r.headingRad = 1.0;
    r.headingDeg = 57.3;
    r.groundSpeed = 120.0;
    return r;
}

inline std::vector<uint8_t> TrafficDatagram(const std::vector<ProxyTrafficRecord>& records)
{
    uint32_t n = static_cast<uint32_t>(records.size());
    std::vector<uint8_t> d(ProxyTrafficLength(n), 0);
    ProxyTrafficHeader h{ProxyMagic, MsgTraffic, n, 0};
    std::memcpy(d.data(), &h, sizeof(h));
    if (n)
        std::memcpy(d.data() + sizeof(h), records.data(), n * sizeof(ProxyTrafficRecord));
    return d;
}

inline std::vector<uint8_t> RemovedDatagram(const std::vector<uint32_t>& ids)
{
    uint32_t n = static_cast<uint32_t>(ids.size());
    std::vector<uint8_t> d(ProxyTrafficRemovedLength(n), 0);
    ProxyTrafficRemovedHeader h{ProxyMagic, MsgTrafficRemoved, n};
    std::memcpy(d.data(), &h, sizeof(h));
    if (n)
        std::memcpy(d.data() + sizeof(h), ids.data(), n * 4);
    return d;
}

inline ProxyRequest ParseRequest(const std::vector<uint8_t>& d)
{
    ProxyRequest r{};
    if (d.size() >= sizeof(r))
        std::memcpy(&r, d.data(), sizeof(r));
    return r;
}
