// Builders of X-Plane and FS2004 datagrams for the link tests, in the
// forms the plug-in and the FS2004 module send.
#pragma once

#include "simlink/fs2004_protocol.h"
#include "simlink/udp_link.h"
#include "simlink/xplane_protocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

template <class Record>
std::vector<uint8_t> Bytes(const Record& r)
{
    std::vector<uint8_t> d(sizeof(r));
    std::memcpy(d.data(), &r, sizeof(r));
    return d;
}

template <class Record>
void Append(std::vector<uint8_t>* d, const Record& r)
{
    size_t at = d->size();
    d->resize(at + sizeof(r));
    std::memcpy(d->data() + at, &r, sizeof(r));
}

// magic, type and a u32 at offset 8 (and one at 16 when given), as long as
// the reply needs to be.
inline std::vector<uint8_t> WordReply(uint32_t magic, uint32_t type, uint32_t at8 = 0, size_t size = 12,
                                      uint32_t at16 = 0)
{
    std::vector<uint8_t> d(size, 0);
    std::memcpy(d.data(), &magic, 4);
    std::memcpy(d.data() + 4, &type, 4);
    if (size >= 12)
        std::memcpy(d.data() + 8, &at8, 4);
    if (size >= 20)
        std::memcpy(d.data() + 16, &at16, 4);
    return d;
}

inline UdpLinkRequest ParseLinkRequest(const std::vector<uint8_t>& d)
{
    UdpLinkRequest r{};
    if (!d.empty())
        std::memcpy(&r, d.data(), std::min(d.size(), sizeof(r)));
    return r;
}

inline XPlaneState MakeXPlaneState(float latitude, float longitude)
{
    XPlaneState s{};
    s.magic = XPlaneMagicStateFlagSet;
    s.type = XPlaneMsgState;
    s.length = sizeof(XPlaneState);
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitude = 1000.0f;  // metres
    s.trueHeading = 90.0f;
    s.groundSpeed = 51.51f;  // 100 knots
    s.heightAboveGround = 3281.0f;
    return s;
}

inline XPlaneTrafficRecord MakeXPlaneTraffic(uint32_t id, const char* callsign, double latitude, double longitude,
                                             double altitude = 3000.0, double heading = 90.0)
{
    XPlaneTrafficRecord r{};
    r.id = id;
    r.latitude = latitude;
    r.longitude = longitude;
    r.altitude = altitude;
    r.trueHeading = heading;
    std::strncpy(r.callsign, callsign, sizeof(r.callsign) - 1);
    return r;
}

inline std::vector<uint8_t> XPlaneTrafficDatagram(const std::vector<XPlaneTrafficRecord>& records,
                                                  uint32_t total = 0)
{
    XPlaneTrafficHeader h{XPlaneMagicStateFlagSet, XPlaneMsgTraffic, static_cast<int32_t>(records.size()),
                          total ? total : static_cast<uint32_t>(records.size())};
    std::vector<uint8_t> d = Bytes(h);
    for (const XPlaneTrafficRecord& r : records)
        Append(&d, r);
    return d;
}

// A plan of the FlightPlan layout with count waypoints "WP0", "WP1" ... at
// (50 + i, 8 + i); magic and type over its first eight bytes.
inline std::vector<uint8_t> PlanDatagram(uint32_t magic, uint32_t type, int32_t count, int32_t active = 0,
                                         uint8_t present = 1)
{
    FlightPlanRecord plan{};
    std::memcpy(plan.header, &magic, 4);
    std::memcpy(plan.header + 4, &type, 4);
    plan.present = present;
    plan.count = count;
    plan.simActiveIndex = active;
    plan.cruisingAltitude = 9000.0;
    std::vector<uint8_t> d(FlightPlanHeaderSize, 0);
    std::memcpy(d.data(), &plan, FlightPlanHeaderSize);
    for (int32_t i = 0; i < count; ++i) {
        FlightPlanWaypoint w{};
        w.kind = 11;
        w.lat = 50.0f + static_cast<float>(i);
        w.lon = 8.0f + static_cast<float>(i);
        w.altitude = 5000.0f;
        std::snprintf(w.ident, sizeof(w.ident), "WP%d", i % 1000);
        Append(&d, w);
    }
    return d;
}

inline Fs2004StateReply MakeFs2004State(float latitude, float longitude)
{
    Fs2004StateReply s{};
    s.magic = Fs2004Magic;
    s.type = Fs2004MsgState;
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitude = 1000.0f;  // metres
    s.trueHeading = 90.0f;
    s.groundSpeed = 51.51f;  // 100 knots
    s.heightAboveGround = 2000.0f;
    return s;
}

inline Fs2004TrafficRecord MakeFs2004Traffic(uint32_t id, int32_t slot, const char* callsign, double latitude,
                                             double longitude)
{
    Fs2004TrafficRecord r{};
    r.id = id;
    r.slot = slot;
    r.latitude = latitude;
    r.longitude = longitude;
    r.altitude = 3000.0;
    r.trueHeading = 90.0;
    r.groundSpeed = 120.0;
    std::strncpy(r.callsign, callsign, sizeof(r.callsign) - 1);
    return r;
}

inline std::vector<uint8_t> Fs2004TrafficDatagram(const std::vector<Fs2004TrafficRecord>& records,
                                                  int32_t newCount, uint32_t lastBatch = 0)
{
    Fs2004TrafficHeader h{};
    h.magic = Fs2004Magic;
    h.type = Fs2004MsgTraffic;
    h.count = static_cast<int32_t>(records.size());
    h.trafficCount = newCount;
    h.lastBatch = lastBatch;
    std::vector<uint8_t> d = Bytes(h);
    for (const Fs2004TrafficRecord& r : records)
        Append(&d, r);
    return d;
}
