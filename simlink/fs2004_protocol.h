// Datagrams between the map program's FS2004 link and the module inside
// FS2004, with the length-checked parse helpers the link, its test peer and
// the fuzzer share. Header-only.
//
// Every datagram is little-endian and packed. Replies begin with the magic
// 2004 and the type. Parsers copy out of the received bytes, never cast them,
// and store nothing of a datagram they drop.
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

static_assert(std::endian::native == std::endian::little, "the FS2004 protocol is little-endian on the wire");

constexpr uint32_t Fs2004Magic = 2004;
constexpr uint16_t Fs2004DefaultPort = 54321;
// Large enough for a whole plan record (7232 bytes), so a long plan is never
// cut by the buffer and then refused for its count.
constexpr size_t Fs2004ReceiveBufferSize = 8192;

enum Fs2004MsgType : uint32_t {
    Fs2004MsgState = 2,
    Fs2004MsgFlightPlan = 3,
    Fs2004MsgRegister = 4,
    Fs2004MsgRegistered = 5,
    Fs2004MsgStop = 6,
    Fs2004MsgUnregister = 7,
    Fs2004MsgMapReady = 8,
    Fs2004MsgTrafficOn = 9,
    Fs2004MsgTrafficOff = 10,
    Fs2004MsgTraffic = 11,
    Fs2004MsgWeather = 14,         // 14..199 all carry the weather word
    Fs2004MsgWeatherRequest = 15,  // request: weather overlay on or off
    Fs2004MsgButton = 200,         // 200 + n: button n (0-based)
};
constexpr uint32_t Fs2004WeatherLast = 199;

#pragma pack(push, 1)

// Map to module, one record reused for every request.
struct Fs2004Request {
    uint32_t zero;
    uint32_t type;       // reset to 0 after each send
    uint32_t slotIndex;  // from reply 5
    int32_t clientId;
    uint32_t weather;    // request 15: 1 = the weather overlay is on; kept after
};
static_assert(sizeof(Fs2004Request) == 20);

// Module to map, type 2.
struct Fs2004StateReply {
    uint32_t magic;
    uint32_t type;
    float latitude;           // degrees
    float longitude;          // degrees
    float altitude;           // metres
    float trueHeading;        // degrees
    float groundSpeed;        // metres per second
    float windDirection;
    float windSpeed;
    float temperature;        // degrees Celsius
    float magneticVariation;
    float pitch;
    float bank;
    float verticalSpeed;      // per minute
    float heightAboveGround;
    float waypointDistance;
    uint32_t unused[2];
    float groundAltitude;     // metres
    float onGround;
};
static_assert(sizeof(Fs2004StateReply) == 80);
static_assert(offsetof(Fs2004StateReply, groundAltitude) == 72);

// Module to map, type 11: count records from byte 24.
struct Fs2004TrafficHeader {
    uint32_t magic;
    uint32_t type;
    int32_t count;         // nothing is done unless above 0
    int32_t trafficCount;  // the table's new TrafficCount
    uint32_t lastBatch;    // 1: free the slots after the last record
    uint32_t unused;
};
static_assert(sizeof(Fs2004TrafficHeader) == 24);

struct Fs2004TrafficRecord {
    uint32_t id;
    int32_t slot;          // TrafficTable slot the module assigns
    double latitude;       // degrees
    double longitude;      // degrees
    double altitude;       // feet
    double verticalSpeed;
    double trueHeading;    // degrees
    double groundSpeed;    // knots
    char callsign[16];     // NUL-terminated
};
static_assert(sizeof(Fs2004TrafficRecord) == 72);

#pragma pack(pop)

// Type 5 carries the slot at 8; types 14..199 the weather word at 16.
constexpr size_t Fs2004SlotReplySize = 12;
constexpr size_t Fs2004WeatherReplySize = 20;

// A state whose every value is a finite number.
inline LinkDrop ParseFs2004State(const void* data, size_t size, Fs2004StateReply* out)
{
    if (data == nullptr || size < sizeof(Fs2004StateReply))
        return LinkDrop::ShortRecord;
    std::memcpy(out, data, sizeof(Fs2004StateReply));
    const float values[] = {out->latitude,       out->longitude,      out->altitude,    out->trueHeading,
                            out->groundSpeed,    out->windDirection,  out->windSpeed,   out->temperature,
                            out->magneticVariation, out->pitch,       out->bank,        out->verticalSpeed,
                            out->heightAboveGround, out->waypointDistance, out->groundAltitude, out->onGround};
    for (float v : values)
        if (!std::isfinite(v))
            return LinkDrop::NotANumber;
    return LinkDrop::None;
}

// A traffic batch: count records that all arrived, each for a slot inside
// the table, with finite values and a terminated callsign. A count of 0 or
// less carries nothing. records points at the first record.
inline LinkDrop ParseFs2004Traffic(const void* data, size_t size, Fs2004TrafficHeader* header,
                                   const uint8_t** records)
{
    if (data == nullptr || size < sizeof(Fs2004TrafficHeader))
        return LinkDrop::ShortRecord;
    std::memcpy(header, data, sizeof(Fs2004TrafficHeader));
    *records = static_cast<const uint8_t*>(data) + sizeof(Fs2004TrafficHeader);
    if (header->count <= 0)
        return LinkDrop::None;
    if (sizeof(Fs2004TrafficHeader) + sizeof(Fs2004TrafficRecord) * static_cast<size_t>(header->count) > size)
        return LinkDrop::CountPastEnd;
    for (int32_t i = 0; i < header->count; ++i) {
        Fs2004TrafficRecord r;
        std::memcpy(&r, *records + sizeof(r) * static_cast<size_t>(i), sizeof(r));
        if (r.slot < 0 || r.slot >= TrafficSlotCount)
            return LinkDrop::SlotOutsideTable;
        const double values[] = {r.latitude, r.longitude, r.altitude, r.verticalSpeed, r.trueHeading, r.groundSpeed};
        for (double v : values)
            if (!std::isfinite(v))
                return LinkDrop::NotANumber;
        if (std::memchr(r.callsign, 0, sizeof(r.callsign)) == nullptr)
            return LinkDrop::Unterminated;
    }
    return LinkDrop::None;
}

// Record i of a batch accepted by ParseFs2004Traffic.
inline Fs2004TrafficRecord ReadFs2004TrafficRecord(const uint8_t* records, int32_t i)
{
    Fs2004TrafficRecord r;
    std::memcpy(&r, records + sizeof(r) * static_cast<size_t>(i), sizeof(r));
    return r;
}

// A plan: the whole FlightPlan record from byte 0, cruising altitude included.
inline LinkDrop CheckFs2004FlightPlan(const void* data, size_t size)
{
    return CheckPlanDatagram(data, size, true);
}
