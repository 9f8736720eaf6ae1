// Datagram records of the UDP protocol between the map program's MSFS link and
// the proxy TVL64, with the length-checked parse helpers both programs use.
// Header-only: the proxy links no map-program library.
//
// Every record is little-endian and packed. Parsers copy out of the received
// bytes (never cast them) and return false, reading nothing past the header,
// when the length does not match what the type carries.
#pragma once

#include "simlink/datagram_words.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the proxy protocol is little-endian on the wire");

constexpr uint32_t ProxyMagic = 2020;
constexpr uint16_t ProxyDefaultPort = 54222;
constexpr int ProxyMaxClients = 20;
// The proxy reads requests into a buffer of this size.
constexpr size_t ProxyRequestMaxRead = 50;
// The map program's receive buffer; the largest datagram (199 traffic records) fits.
constexpr size_t ProxyReceiveBufferSize = 18000;
constexpr uint32_t ProxyMaxTrafficRecords = 199;
constexpr uint32_t ProxyMaxRemovedIds = 200;
constexpr uint32_t ProxyMaxPlanWaypoints = 300;
constexpr size_t ProxyPlanWaypointSize = 24;

enum ProxyMsgType : uint32_t {
    MsgProxyShutdown = 1,
    MsgAircraftState = 2,
    MsgFlightPlan = 3,
    MsgRegister = 4,
    MsgRegistered = 5,
    MsgRegisterRefused = 6,
    MsgUnregister = 7,
    MsgNoMap = 8,
    MsgTrafficOff = 11,
    MsgTraffic = 12,
    MsgTrafficOn = 13,
    MsgTrafficRemoved = 14,
    MsgSetPosition = 23,
    MsgKeepAlive = 26,            // 26..199 all count as keep-alive
    MsgControllerButton = 200,    // 200 + n: controller button n (0-based)
    MsgStopProxy = 999,
};
constexpr uint32_t ProxyKeepAliveLast = 199;

#pragma pack(push, 1)

// Map program to proxy. Only the type and the client id are set in every
// request; the other fields keep what the previous request left.
struct ProxyRequest {
    uint32_t unused;
    uint32_t type;
    int32_t slotIndex;
    int32_t clientId;
    double longitude;  // MsgSetPosition
    double latitude;   // MsgSetPosition
};
static_assert(sizeof(ProxyRequest) == 32);

// Proxy to map program: types 1, 5, 6, 26..199 and 200 + n.
struct ProxyShortReply {
    uint32_t magic;
    uint32_t type;
    int32_t slotIndex;  // MsgRegistered: the slot assigned to the requester
    int32_t clientId;   // MsgKeepAlive: the addressed slot's client id
    double value;
};
static_assert(sizeof(ProxyShortReply) == 24);

constexpr uint32_t ProxyAircraftStateLength = 208;

// Proxy to map program, type 2, once per proxy cycle.
struct ProxyAircraftState {
    uint32_t magic;
    uint32_t type;
    uint8_t unset[8];
    uint32_t length;  // 208
    uint32_t paused;  // 1 while the simulator is paused or not simulating
    double indicatedAirspeed;  // knots
    double longitude;          // degrees
    double latitude;           // degrees
    double altitude;           // feet
    double trueHeading;        // degrees
    double groundAltitude;     // metres
    double onGround;           // 0/1
    double groundSpeed;        // metres per second
    double waypointDistance;   // metres
    double waypointIndex;
    double ete;                // seconds, to the destination
    double eta;                // seconds, at the destination
    double waypointEte;        // seconds
    double waypointEta;        // seconds
    double gpsAltitude;        // metres
    double windDirection;      // degrees
    double windSpeed;          // knots
    double temperature;        // degrees Celsius
    double magneticVariation;  // degrees
    double pitch;              // degrees
    double bank;               // degrees
    double heightAboveGround;  // feet
    double verticalSpeed;      // feet per second
};
static_assert(sizeof(ProxyAircraftState) == ProxyAircraftStateLength);
static_assert(offsetof(ProxyAircraftState, longitude) == 32);
static_assert(offsetof(ProxyAircraftState, verticalSpeed) == 200);

// Proxy to map program, type 3: the first 32 bytes of the flight-plan record
// with magic and type over its first eight, then count waypoints of 24 bytes
// and 8 trailing bytes that carry nothing.
struct ProxyFlightPlanHeader {
    uint32_t magic;
    uint32_t type;
    uint8_t present;
    uint8_t pad[3];
    int32_t count;
    int32_t activeIndex;
    uint8_t unused[4];
    double cruisingAltitude;  // feet
};
static_assert(sizeof(ProxyFlightPlanHeader) == 32);

// One aircraft of MsgTraffic. The eight doubles from latitude on are copied
// into the traffic table as one block.
struct ProxyTrafficRecord {
    uint32_t objectId;
    char atcId[9];  // at most 8 characters and a NUL
    uint8_t unset[3];
    double latitude;       // degrees
    double longitude;      // degrees
    double altitude;       // feet
    double verticalSpeed;  // feet per second
    double bank;           // radians
    double headingRad;     // true, radians
    double headingDeg;     // true, degrees
    double groundSpeed;    // knots
};
static_assert(sizeof(ProxyTrafficRecord) == 80);
static_assert(offsetof(ProxyTrafficRecord, latitude) == 16);

// Proxy to map program, type 12: count records from byte 16, 4 trailing bytes.
struct ProxyTrafficHeader {
    uint32_t magic;
    uint32_t type;
    uint32_t count;
    uint32_t unset;
};
static_assert(sizeof(ProxyTrafficHeader) == 16);

// Proxy to map program, type 14: count u32 object ids from byte 12, 8 trailing bytes.
struct ProxyTrafficRemovedHeader {
    uint32_t magic;
    uint32_t type;
    uint32_t count;
};
static_assert(sizeof(ProxyTrafficRemovedHeader) == 12);

#pragma pack(pop)

// Datagram lengths of the variable-size messages, as the proxy sends them.
constexpr size_t ProxyFlightPlanLength(uint32_t count) { return 40 + ProxyPlanWaypointSize * size_t{count}; }
constexpr size_t ProxyTrafficLength(uint32_t count) { return 20 + sizeof(ProxyTrafficRecord) * size_t{count}; }
constexpr size_t ProxyTrafficRemovedLength(uint32_t count) { return 20 + 4 * size_t{count}; }
static_assert(ProxyTrafficLength(ProxyMaxTrafficRecords) <= ProxyReceiveBufferSize);
static_assert(ProxyFlightPlanLength(ProxyMaxPlanWaypoints) <= ProxyReceiveBufferSize);

// Magic and type of any datagram; false when it is shorter than 8 bytes.
inline bool ReadProxyHeader(const void* data, size_t length, uint32_t* magic, uint32_t* type)
{
    return ReadDatagramHeader(data, length, magic, type);
}

// The bytes a request of that type must hold for the proxy to act on it:
// the fields it reads, never the first word.
inline size_t ProxyRequestBytesRead(uint32_t type)
{
    switch (type) {
    case MsgRegister:
    case MsgUnregister:
    case MsgNoMap: return offsetof(ProxyRequest, clientId) + sizeof(int32_t);
    case MsgTrafficOff:
    case MsgTrafficOn: return offsetof(ProxyRequest, slotIndex) + sizeof(int32_t);
    case MsgSetPosition: return sizeof(ProxyRequest);
    default: return offsetof(ProxyRequest, type) + sizeof(uint32_t);
    }
}

// A request as the proxy reads it: the map program sends 32 bytes, but what
// counts is that the fields its type reads arrived (the proxy's buffer cuts
// anything past ProxyRequestMaxRead). Fields that did not arrive read as 0.
inline bool ParseProxyRequest(const void* data, size_t length, ProxyRequest* out)
{
    if (data == nullptr || length < offsetof(ProxyRequest, type) + sizeof(uint32_t))
        return false;
    *out = ProxyRequest{};
    std::memcpy(out, data, std::min(length, sizeof(ProxyRequest)));
    return length >= ProxyRequestBytesRead(out->type);
}

// A 24-byte reply with the magic (types 1, 5, 6, 26.. and buttons).
inline bool ParseProxyShortReply(const void* data, size_t length, ProxyShortReply* out)
{
    if (data == nullptr || length != sizeof(ProxyShortReply))
        return false;
    std::memcpy(out, data, sizeof(ProxyShortReply));
    return out->magic == ProxyMagic;
}

// An aircraft state: exactly 208 bytes with magic, type 2 and its length field.
inline bool ParseProxyAircraftState(const void* data, size_t length, ProxyAircraftState* out)
{
    if (data == nullptr || length != sizeof(ProxyAircraftState))
        return false;
    std::memcpy(out, data, sizeof(ProxyAircraftState));
    return out->magic == ProxyMagic && out->type == MsgAircraftState && out->length == ProxyAircraftStateLength;
}

// A flight plan whose length matches its count (0..300). waypoints points at
// the count 24-byte waypoints inside data.
inline bool ParseProxyFlightPlan(const void* data, size_t length, ProxyFlightPlanHeader* out,
                                 const uint8_t** waypoints)
{
    if (data == nullptr || length < sizeof(ProxyFlightPlanHeader))
        return false;
    std::memcpy(out, data, sizeof(ProxyFlightPlanHeader));
    if (out->magic != ProxyMagic || out->type != MsgFlightPlan)
        return false;
    if (out->count < 0 || static_cast<uint32_t>(out->count) > ProxyMaxPlanWaypoints)
        return false;
    if (length != ProxyFlightPlanLength(static_cast<uint32_t>(out->count)))
        return false;
    *waypoints = static_cast<const uint8_t*>(data) + sizeof(ProxyFlightPlanHeader);
    return true;
}

// The two list datagrams: magic, type and count at byte 8, then count items
// from headerSize on; the length must be lengthOf(count), count at most maxCount.
inline bool ParseProxyList(const void* data, size_t length, uint32_t type, size_t headerSize, uint32_t maxCount,
                           size_t (*lengthOf)(uint32_t), uint32_t* count, const uint8_t** items)
{
    ProxyTrafficRemovedHeader header;
    if (data == nullptr || length < headerSize)
        return false;
    std::memcpy(&header, data, sizeof(header));
    if (header.magic != ProxyMagic || header.type != type || header.count > maxCount)
        return false;
    if (length != lengthOf(header.count))
        return false;
    *count = header.count;
    *items = static_cast<const uint8_t*>(data) + headerSize;
    return true;
}

// A traffic list whose length matches its count (0..199); read the records
// with ReadProxyTrafficRecord.
inline bool ParseProxyTraffic(const void* data, size_t length, uint32_t* count, const uint8_t** records)
{
    return ParseProxyList(data, length, MsgTraffic, sizeof(ProxyTrafficHeader), ProxyMaxTrafficRecords,
                          ProxyTrafficLength, count, records);
}

// Record i of a list accepted by ParseProxyTraffic; the ATC id comes out
// NUL-terminated whatever the sender put there.
inline void ReadProxyTrafficRecord(const uint8_t* records, uint32_t i, ProxyTrafficRecord* out)
{
    std::memcpy(out, records + size_t{i} * sizeof(ProxyTrafficRecord), sizeof(ProxyTrafficRecord));
    out->atcId[sizeof(out->atcId) - 1] = '\0';
}

// A removed-traffic list whose length matches its count (0..200).
inline bool ParseProxyTrafficRemoved(const void* data, size_t length, uint32_t* count, const uint8_t** ids)
{
    return ParseProxyList(data, length, MsgTrafficRemoved, sizeof(ProxyTrafficRemovedHeader), ProxyMaxRemovedIds,
                          ProxyTrafficRemovedLength, count, ids);
}

// Object id i of a list accepted by ParseProxyTrafficRemoved.
inline uint32_t ReadProxyRemovedId(const uint8_t* ids, uint32_t i)
{
    uint32_t id;
    std::memcpy(&id, ids + size_t{i} * 4, 4);
    return id;
}
