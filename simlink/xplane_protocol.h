// Datagrams between the map program's X-Plane link and the plug-in inside
// X-Plane, with the length-checked parse helpers the link, its test peer and
// the fuzzer share. Header-only.
//
// Requests are the 40-byte UdpLinkRequest. Every reply is little-endian and
// packed and begins with the magic (90 or 91) and the type. Parsers copy out
// of the received bytes, never cast them, and store nothing of a datagram
// they drop.
#pragma once

#include "simlink/datagram_words.h"
#include "simlink/link_drops.h"
#include "simlink/plan_datagram.h"
#include "simlink/traffic_table.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the X-Plane protocol is little-endian on the wire");

// The magic also says what the menu's simulator state flag becomes.
constexpr uint32_t XPlaneMagicStateFlagClear = 90;
constexpr uint32_t XPlaneMagicStateFlagSet = 91;
// Large enough for a whole plan of 300 waypoints, so a long plan is never
// cut by the buffer and then refused for its count.
constexpr size_t XPlaneReceiveBufferSize = 8192;
constexpr uint16_t XPlaneDefaultPort = 12345;

enum XPlaneMsgType : uint32_t {
    XPlaneMsgState = 2,
    XPlaneMsgFlightPlan = 3,
    XPlaneMsgRegister = 4,
    XPlaneMsgRegistered = 5,
    XPlaneMsgRefused = 6,
    XPlaneMsgUnregister = 7,
    XPlaneMsgMapReady = 8,
    XPlaneMsgTrafficOff = 11,
    XPlaneMsgTraffic = 12,
    XPlaneMsgTrafficOn = 13,
    XPlaneMsgWeather = 14,         // reply: the simulator's own weather
    XPlaneMsgWeatherRequest = 15,  // request: value 1 = weather overlay on
    XPlaneMsgSetPosition = 23,
    XPlaneMsgKeepAlive = 26,       // 26..199 all count as keep-alive
    XPlaneMsgButton = 200,         // 200 + n: button n (0-based)
};
constexpr uint32_t XPlaneKeepAliveLast = 199;

#pragma pack(push, 1)

// Plug-in to map, type 2. The datagram may be longer; its length field must
// equal the bytes received.
struct XPlaneState {
    uint32_t magic;
    uint32_t type;
    uint32_t length;
    float latitude;           // degrees
    float longitude;          // degrees
    float altitude;           // metres
    float trueHeading;        // degrees
    float groundSpeed;        // metres per second
    float windDirection;      // degrees
    float windSpeed;          // metres per second
    float temperature;        // degrees Celsius
    float magneticVariation;  // degrees
    float pitch;              // degrees
    float bank;               // degrees, positive to the left
    float verticalSpeed;      // per minute as the plug-in sends it
    float heightAboveGround;  // feet
    float waypointDistance;
    uint32_t notRead;
    float waypointEte;        // seconds
    uint32_t paused;
};
static_assert(sizeof(XPlaneState) == 80);
static_assert(offsetof(XPlaneState, latitude) == 12);
static_assert(offsetof(XPlaneState, waypointEte) == 72);

// Plug-in to map, type 12: count records from byte 16.
struct XPlaneTrafficHeader {
    uint32_t magic;
    uint32_t type;
    int32_t count;   // records in this datagram
    uint32_t total;  // aircraft the plug-in reports in all
};
static_assert(sizeof(XPlaneTrafficHeader) == 16);

struct XPlaneTrafficRecord {
    uint32_t id;
    uint32_t notRead;
    double latitude;     // degrees
    double longitude;    // degrees
    double altitude;     // feet
    double trueHeading;  // degrees
    char callsign[16];   // NUL-terminated
};
static_assert(sizeof(XPlaneTrafficRecord) == 56);

#pragma pack(pop)

// Short replies carry a u32 at 8 (type 5: the slot) or at 16 (type 14: weather).
constexpr size_t XPlaneSlotReplySize = 12;
constexpr size_t XPlaneWeatherReplySize = 20;

inline bool IsXPlaneMagic(uint32_t magic)
{
    return magic == XPlaneMagicStateFlagClear || magic == XPlaneMagicStateFlagSet;
}

// A state whose length field is the bytes received and whose every value is
// a finite number.
inline LinkDrop ParseXPlaneState(const void* data, size_t size, XPlaneState* out)
{
    if (data == nullptr || size < sizeof(XPlaneState))
        return LinkDrop::ShortRecord;
    std::memcpy(out, data, sizeof(XPlaneState));
    if (out->length != size)
        return LinkDrop::LengthMismatch;
    const float values[] = {out->latitude,      out->longitude, out->altitude,      out->trueHeading,
                            out->groundSpeed,   out->windDirection, out->windSpeed, out->temperature,
                            out->magneticVariation, out->pitch, out->bank,          out->verticalSpeed,
                            out->heightAboveGround, out->waypointDistance, out->waypointEte};
    for (float v : values)
        if (!std::isfinite(v))
            return LinkDrop::NotANumber;
    return LinkDrop::None;
}

// A traffic list: count records (at most one per traffic slot) that all
// arrived, each with finite values and a terminated callsign. count may be 0
// or less, which carries nothing. records points at the first record.
inline LinkDrop ParseXPlaneTraffic(const void* data, size_t size, XPlaneTrafficHeader* header,
                                   const uint8_t** records)
{
    if (data == nullptr || size < sizeof(XPlaneTrafficHeader))
        return LinkDrop::ShortRecord;
    std::memcpy(header, data, sizeof(XPlaneTrafficHeader));
    *records = static_cast<const uint8_t*>(data) + sizeof(XPlaneTrafficHeader);
    if (header->count <= 0)
        return LinkDrop::None;
    if (header->count > TrafficSlotCount ||
        sizeof(XPlaneTrafficHeader) + sizeof(XPlaneTrafficRecord) * static_cast<size_t>(header->count) > size)
        return LinkDrop::CountPastEnd;
    for (int32_t i = 0; i < header->count; ++i) {
        XPlaneTrafficRecord r;
        std::memcpy(&r, *records + sizeof(r) * static_cast<size_t>(i), sizeof(r));
        if (!std::isfinite(r.latitude) || !std::isfinite(r.longitude) || !std::isfinite(r.altitude) ||
            !std::isfinite(r.trueHeading))
            return LinkDrop::NotANumber;
        if (std::memchr(r.callsign, 0, sizeof(r.callsign)) == nullptr)
            return LinkDrop::Unterminated;
    }
    return LinkDrop::None;
}

// Record i of a list accepted by ParseXPlaneTraffic.
inline XPlaneTrafficRecord ReadXPlaneTrafficRecord(const uint8_t* records, int32_t i)
{
    XPlaneTrafficRecord r;
    std::memcpy(&r, records + sizeof(r) * static_cast<size_t>(i), sizeof(r));
    return r;
}

// A plan: the FlightPlan header and its waypoints (the cruising altitude is
// not taken).
inline LinkDrop CheckXPlaneFlightPlan(const void* data, size_t size)
{
    return CheckPlanDatagram(data, size, false);
}
