// What the Prepar3D/FSX link exchanges: the SimConnect data blocks it defines
// (the user aircraft's P3dSimData, the eight traffic values, the ATC id),
// its request, definition and event numbers, and the companion's datagrams.
// Header-only, for the link, its test peer and the fuzzer.
//
// Parsers copy out of the received bytes, never cast them, and take nothing
// of a block or datagram they drop.
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

static_assert(std::endian::native == std::endian::little, "the companion protocol is little-endian on the wire");

// ---- SimConnect side ----

enum P3dDefinitionId : uint32_t {
    P3dUserDefinition = 5,     // P3dSimData
    P3dTrafficDefinition = 6,  // TrafficValues
    P3dAtcIdDefinition = 7,    // "ATC ID", 32 characters
};

enum P3dRequestId : uint32_t {
    P3dUserRequest = 0,
    P3dTrafficListRequest = 6,
    // A traffic object's own request carries its object id.
};

enum P3dEventId : uint32_t {
    P3dEventFourSeconds = 0,
    P3dEventPositionChanged = 1,
    P3dEventPause = 2,
    P3dEventSim = 3,
    P3dEventObjectAdded = 10007,
    P3dEventObjectRemoved = 20008,
};

constexpr uint32_t P3dTrafficRadiusStart = 5000;
constexpr uint32_t P3dTrafficRadiusStep = 5000;
constexpr uint32_t P3dTrafficRadiusLimit = 100000;

#pragma pack(push, 1)
// Definition 5: the title and the 22 values, in the order they are defined.
struct P3dSimData {
    char title[256];
    double longitude;          // degrees
    double latitude;           // degrees
    double altitude;           // feet
    double trueHeading;        // degrees
    double groundAltitude;     // metres
    double onGround;           // 1 or 0
    double groundSpeed;        // metres per second
    double waypointDistance;   // metres
    double waypointIndex;
    double ete;                // seconds
    double eta;
    double waypointEte;
    double waypointEta;
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
#pragma pack(pop)
static_assert(sizeof(P3dSimData) == 256 + 22 * 8);
static_assert(offsetof(P3dSimData, longitude) == 256);
static_assert(offsetof(P3dSimData, verticalSpeed) == 256 + 21 * 8);
static_assert(sizeof(TrafficValues) == 8 * 8);

constexpr size_t P3dAtcIdSize = 32;
constexpr int P3dSimValueCount = 22;

// The user aircraft's block: a title terminated inside its 256 bytes, 22
// finite values and a position on the earth.
inline LinkDrop ParseP3dSimData(const void* block, size_t size, P3dSimData* out)
{
    if (block == nullptr || size < sizeof(P3dSimData))
        return LinkDrop::ShortRecord;
    std::memcpy(out, block, sizeof(P3dSimData));
    if (std::memchr(out->title, 0, sizeof(out->title)) == nullptr)
        return LinkDrop::Unterminated;
    const double* values = &out->longitude;
    for (int i = 0; i < P3dSimValueCount; ++i)
        if (!std::isfinite(values[i]))
            return LinkDrop::NotANumber;
    if (std::fabs(out->latitude) > 90.0 || std::fabs(out->longitude) > 180.0)
        return LinkDrop::NotANumber;
    return LinkDrop::None;
}

// A traffic object's eight values, all finite.
inline LinkDrop ParseP3dTrafficValues(const void* block, size_t size, TrafficValues* out)
{
    if (block == nullptr || size < sizeof(TrafficValues))
        return LinkDrop::ShortRecord;
    std::memcpy(out, block, sizeof(TrafficValues));
    const double values[] = {out->latitude, out->longitude,  out->altitude,   out->verticalSpeed,
                             out->bank,     out->headingRad, out->headingDeg, out->groundSpeed};
    for (double v : values)
        if (!std::isfinite(v))
            return LinkDrop::NotANumber;
    if (std::fabs(out->latitude) > 90.0 || std::fabs(out->longitude) > 180.0)
        return LinkDrop::NotANumber;
    return LinkDrop::None;
}

// The ATC id of a traffic list answer, terminated inside its 32 bytes.
inline LinkDrop ParseP3dAtcId(const void* block, size_t size, char out[P3dAtcIdSize])
{
    if (block == nullptr || size < P3dAtcIdSize)
        return LinkDrop::ShortRecord;
    std::memcpy(out, block, P3dAtcIdSize);
    if (std::memchr(out, 0, P3dAtcIdSize) == nullptr)
        return LinkDrop::Unterminated;
    return LinkDrop::None;
}

// ---- the companion's UDP link ----

constexpr uint32_t P3dCompanionMagic = 200;
constexpr uint16_t P3dCompanionDefaultPort = 54322;
// Large enough for a whole plan record (7232 bytes), so a long plan is never
// cut by the buffer.
constexpr size_t P3dCompanionReceiveBufferSize = 8192;

enum P3dCompanionMsgType : uint32_t {
    P3dMsgStop = 1,             // reply: the companion stops
    P3dMsgState = 2,            // reply: a tick, contents not read
    P3dMsgFlightPlan = 3,       // reply: the FlightPlan record
    P3dMsgRegister = 4,
    P3dMsgRegistered = 5,       // reply: slot index at 8
    P3dMsgRefused = 6,
    P3dMsgUnregister = 7,
    P3dMsgMapReady = 8,
    P3dMsgWeather = 14,         // reply: the simulator's own weather, value at 16
    P3dMsgWeatherRequest = 15,  // request: value 1 = weather overlay on
    P3dMsgRainRequest = 16,     // request: the rain intensity under the aircraft
    P3dMsgRadarState = 17,      // request: weather stations on
    P3dMsgRadarFrame = 18,      // reply: the radar frame time to check, value at 16
    P3dMsgAccepted = 22,
    P3dMsgSetPosition = 23,
    P3dMsgKeepAlive = 26,       // 26..199 all count as keep-alive
    P3dMsgButton = 200,         // 200 + n: button n (0-based)
};
constexpr uint32_t P3dKeepAliveLast = 199;

// Replies carry a u32 at 8 (type 5) or at 16 (types 14, 18, 22).
constexpr size_t P3dSlotReplySize = 12;
constexpr size_t P3dValueReplySize = 20;

// A plan: the whole FlightPlan record from byte 0, cruising altitude included.
inline LinkDrop CheckP3dFlightPlan(const void* data, size_t size)
{
    return CheckPlanDatagram(data, size, true);
}
