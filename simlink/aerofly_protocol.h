// Datagrams between the map program's Aerofly FS 2 link and the peer on the
// simulator's side, with the length-checked parse helpers the link, its test
// peer and the fuzzer share. Header-only.
//
// Requests are the 40-byte UdpLinkRequest. Replies are little-endian and
// packed and begin with the magic 20 and the type. Parsers copy out of the
// received bytes, never cast them, and hand on only texts that end inside
// their fields and numbers that are finite.
#pragma once

#include "simlink/datagram_words.h"
#include "simlink/link_drops.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the Aerofly protocol is little-endian on the wire");

constexpr uint32_t AeroflyMagic = 20;
constexpr uint16_t AeroflyDefaultPort = 54321;
constexpr size_t AeroflyReceiveBufferSize = 10000;

enum AeroflyMsgType : uint32_t {
    AeroflyMsgState = 2,
    AeroflyMsgFlightPlan = 3,
    AeroflyMsgRegister = 4,
    AeroflyMsgRegistered = 5,
    AeroflyMsgStop = 6,
    AeroflyMsgUnregister = 7,
    AeroflyMsgMapReady = 8,
    AeroflyMsgTrafficOff = 11,
    AeroflyMsgTrafficOn = 13,
    AeroflyMsgWeather = 14,         // reply: the simulator's own weather
    AeroflyMsgWeatherRequest = 15,  // request: value 1 = weather overlay on
    AeroflyMsgSetPosition = 23,
    AeroflyMsgKeepAlive = 26,       // 26..199 all count as keep-alive
    AeroflyMsgPlanRequest = 28,     // request: send the plan again
    AeroflyMsgButton = 200,         // 200 + n: button n (0-based)
};
constexpr uint32_t AeroflyKeepAliveLast = 199;

#pragma pack(push, 1)

// Peer to map, type 2: the fixed part; the nearest airport's ICAO follows
// from byte 80 up to the datagram's end. The length field must equal the
// bytes received.
struct AeroflyStateReply {
    uint32_t magic;
    uint32_t type;
    uint32_t length;
    float latitude;           // degrees
    float longitude;          // degrees
    float altitude;           // metres
    float trueHeading;        // degrees
    float groundSpeed;        // metres per second
    float verticalSpeed;
    float onGround;
    float magneticVariation;  // degrees
    float heightAboveGround;  // metres
    float windDirection;      // degrees
    float windSpeed;          // metres per second
    float bank;               // radians
    char aircraft[20];
};
static_assert(sizeof(AeroflyStateReply) == 80);
static_assert(offsetof(AeroflyStateReply, latitude) == 12);
static_assert(offsetof(AeroflyStateReply, bank) == 56);
static_assert(offsetof(AeroflyStateReply, aircraft) == 60);

// One airport of the plan message. The 24 bytes after the runway hold the
// departure's SID name, or the destination's STAR name (10) and approach
// name (14).
struct AeroflyAirportBlock {
    char icao[8];
    char runway[8];
    char procedures[24];
    double airportLongitude;
    double airportLatitude;
    double runwayLongitude;
    double runwayLatitude;
};
static_assert(sizeof(AeroflyAirportBlock) == 72);
static_assert(offsetof(AeroflyAirportBlock, airportLongitude) == 40);

constexpr size_t AeroflyStarNameSize = 10;
constexpr size_t AeroflyApproachNameSize = 14;

struct AeroflyRouteWaypoint {
    char ident[8];
    double kind;  // 0 a fix, up to 140000 a VOR, above an NDB
    double longitude;
    double latitude;
};
static_assert(sizeof(AeroflyRouteWaypoint) == 32);

// Peer to map, type 3: the head; n route waypoints follow from byte 160.
struct AeroflyPlanHead {
    uint32_t magic;
    uint32_t type;
    uint8_t present;  // 0: no plan
    uint8_t unused[3];
    float routeCount;
    AeroflyAirportBlock departure;
    AeroflyAirportBlock destination;
};
static_assert(sizeof(AeroflyPlanHead) == 160);
static_assert(offsetof(AeroflyPlanHead, routeCount) == 12);
static_assert(offsetof(AeroflyPlanHead, departure) == 16);
static_assert(offsetof(AeroflyPlanHead, destination) == 88);

#pragma pack(pop)

// Type 5 carries the slot at 8; type 14 the weather word at 16.
constexpr size_t AeroflySlotReplySize = 12;
constexpr size_t AeroflyWeatherReplySize = 20;
// The most route waypoints a datagram of the receive buffer can hold.
constexpr int AeroflyMaxRouteWaypoints =
    static_cast<int>((AeroflyReceiveBufferSize - sizeof(AeroflyPlanHead)) / sizeof(AeroflyRouteWaypoint));

// A state as the link takes it: the values and the two texts, terminated.
struct AeroflyStateValues {
    AeroflyStateReply reply;
    char aircraft[sizeof(AeroflyStateReply::aircraft) + 1];
    char nearestIcao[16];  // more than any ICAO; longer texts are cut
};

// One airport of a plan as the link takes it. A name the peer did not end
// inside its field is left empty (that piece of the plan is left out); the
// runway position is the airport's when the peer gave none that is usable.
struct AeroflyAirport {
    char icao[8];
    char runway[8];
    char sid[24];
    char star[AeroflyStarNameSize];
    char approach[AeroflyApproachNameSize];
    double airportLongitude, airportLatitude;
    double runwayLongitude, runwayLatitude;
};

struct AeroflyPlanMessage {
    uint8_t present;
    int32_t routeCount;  // waypoints in route; those left out are not counted
    AeroflyAirport departure;
    AeroflyAirport destination;
    AeroflyRouteWaypoint route[AeroflyMaxRouteWaypoints];
    // The first kind of piece left out of the plan (None when nothing was).
    LinkDrop piecesLeftOut;
};

// Copies a text that may run to the end of its field without a terminator;
// out always ends with one, cut when it is too small.
inline void CopyAeroflyText(char* out, size_t outSize, const char* field, size_t fieldSize)
{
    size_t n = 0;
    while (n < fieldSize && n + 1 < outSize && field[n] != '\0')
        ++n;
    std::memcpy(out, field, n);
    out[n] = '\0';
}

// A state whose length field is the bytes received and whose every value is
// a finite number. The aircraft name may fill its 20 bytes; the ICAO behind
// it ends at its terminator or at the datagram's end.
inline LinkDrop ParseAeroflyState(const void* data, size_t size, AeroflyStateValues* out)
{
    if (data == nullptr || size < sizeof(AeroflyStateReply))
        return LinkDrop::ShortRecord;
    std::memcpy(&out->reply, data, sizeof(AeroflyStateReply));
    if (out->reply.length != size)
        return LinkDrop::LengthMismatch;
    const AeroflyStateReply& r = out->reply;
    const float values[] = {r.latitude,          r.longitude,     r.altitude,  r.trueHeading,
                            r.groundSpeed,       r.verticalSpeed, r.onGround,  r.magneticVariation,
                            r.heightAboveGround, r.windDirection, r.windSpeed, r.bank};
    for (float v : values)
        if (!std::isfinite(v))
            return LinkDrop::NotANumber;
    CopyAeroflyText(out->aircraft, sizeof(out->aircraft), r.aircraft, sizeof(r.aircraft));
    const char* icao = static_cast<const char*>(data) + sizeof(AeroflyStateReply);
    CopyAeroflyText(out->nearestIcao, sizeof(out->nearestIcao), icao, size - sizeof(AeroflyStateReply));
    return LinkDrop::None;
}

inline bool IsAeroflyPosition(double longitude, double latitude)
{
    return std::isfinite(longitude) && std::isfinite(latitude) && longitude >= -180.0 && longitude <= 180.0 &&
           latitude >= -90.0 && latitude <= 90.0;
}

// Why a position is refused, None when it is one.
inline LinkDrop AeroflyPositionDrop(double longitude, double latitude)
{
    if (!std::isfinite(longitude) || !std::isfinite(latitude))
        return LinkDrop::NotANumber;
    return IsAeroflyPosition(longitude, latitude) ? LinkDrop::None : LinkDrop::OffTheEarth;
}

inline void NoteAeroflyPiece(LinkDrop* noted, LinkDrop kind)
{
    if (*noted == LinkDrop::None)
        *noted = kind;
}

// A name of a plan: taken when it ends inside its field, else left empty
// and noted.
inline void TakeAeroflyName(char* out, size_t outSize, const char* field, size_t fieldSize, LinkDrop* noted)
{
    out[0] = '\0';
    if (std::memchr(field, 0, fieldSize) == nullptr) {
        NoteAeroflyPiece(noted, LinkDrop::Unterminated);
        return;
    }
    CopyAeroflyText(out, outSize, field, fieldSize);
}

// An airport block. Refused when its ICAO or its airport position cannot be
// used, which leaves nothing of the plan to build on.
inline LinkDrop TakeAeroflyAirport(const AeroflyAirportBlock& b, bool departure, AeroflyAirport* out,
                                   LinkDrop* noted)
{
    *out = AeroflyAirport{};
    if (std::memchr(b.icao, 0, sizeof(b.icao)) == nullptr)
        return LinkDrop::Unterminated;
    if (LinkDrop drop = AeroflyPositionDrop(b.airportLongitude, b.airportLatitude); drop != LinkDrop::None)
        return drop;
    CopyAeroflyText(out->icao, sizeof(out->icao), b.icao, sizeof(b.icao));
    TakeAeroflyName(out->runway, sizeof(out->runway), b.runway, sizeof(b.runway), noted);
    if (departure) {
        TakeAeroflyName(out->sid, sizeof(out->sid), b.procedures, sizeof(b.procedures), noted);
    } else {
        TakeAeroflyName(out->star, sizeof(out->star), b.procedures, AeroflyStarNameSize, noted);
        TakeAeroflyName(out->approach, sizeof(out->approach), b.procedures + AeroflyStarNameSize,
                        AeroflyApproachNameSize, noted);
    }
    out->airportLongitude = b.airportLongitude;
    out->airportLatitude = b.airportLatitude;
    if (IsAeroflyPosition(b.runwayLongitude, b.runwayLatitude)) {
        out->runwayLongitude = b.runwayLongitude;
        out->runwayLatitude = b.runwayLatitude;
    } else {
        out->runwayLongitude = b.airportLongitude;
        out->runwayLatitude = b.airportLatitude;
        if (out->runway[0] != '\0')
            NoteAeroflyPiece(noted, AeroflyPositionDrop(b.runwayLongitude, b.runwayLatitude));
    }
    return LinkDrop::None;
}

// A plan message. present 0 carries no plan and is not looked at further.
// Dropped whole: a head that did not arrive, a count that is no number, is
// negative or announces more waypoints than arrived, an airport without a
// terminated ICAO or a position on the earth. Left out piece by piece
// (noted in piecesLeftOut): names not ended inside their fields, runway
// positions that are none, route waypoints with such values or idents.
inline LinkDrop ParseAeroflyPlan(const void* data, size_t size, AeroflyPlanMessage* out)
{
    if (data == nullptr || size < sizeof(AeroflyPlanHead))
        return LinkDrop::ShortRecord;
    AeroflyPlanHead head;
    std::memcpy(&head, data, sizeof(head));
    out->present = head.present;
    out->routeCount = 0;
    out->piecesLeftOut = LinkDrop::None;
    if (head.present == 0)
        return LinkDrop::None;
    if (!std::isfinite(head.routeCount))
        return LinkDrop::NotANumber;
    size_t arrived = (size - sizeof(AeroflyPlanHead)) / sizeof(AeroflyRouteWaypoint);
    // The count is a float: its whole part is the count, so 2.5 of 2 arrived is fine.
    if (head.routeCount < 0.0f || head.routeCount >= static_cast<float>(arrived) + 1.0f)
        return LinkDrop::CountPastEnd;
    int32_t announced = static_cast<int32_t>(head.routeCount);
    LinkDrop drop = TakeAeroflyAirport(head.departure, true, &out->departure, &out->piecesLeftOut);
    if (drop == LinkDrop::None)
        drop = TakeAeroflyAirport(head.destination, false, &out->destination, &out->piecesLeftOut);
    if (drop != LinkDrop::None)
        return drop;
    const uint8_t* bytes = static_cast<const uint8_t*>(data) + sizeof(AeroflyPlanHead);
    for (int32_t i = 0; i < announced && out->routeCount < AeroflyMaxRouteWaypoints; ++i) {
        AeroflyRouteWaypoint w;
        std::memcpy(&w, bytes + sizeof(w) * static_cast<size_t>(i), sizeof(w));
        LinkDrop bad = AeroflyPositionDrop(w.longitude, w.latitude);
        if (!std::isfinite(w.kind))
            bad = LinkDrop::NotANumber;
        if (std::memchr(w.ident, 0, sizeof(w.ident)) == nullptr)
            bad = LinkDrop::Unterminated;
        if (bad != LinkDrop::None) {
            NoteAeroflyPiece(&out->piecesLeftOut, bad);
            continue;
        }
        out->route[out->routeCount++] = w;
    }
    return LinkDrop::None;
}
