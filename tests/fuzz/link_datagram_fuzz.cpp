// libFuzzer target for the X-Plane, FS2004, FlightGear and Aerofly FS 2 link
// parsers:
// whatever the bytes, a parser reads only what it was given, and what it
// accepts holds together (counts inside the datagram and the table, finite
// numbers, terminated texts).
#include "simlink/aerofly_protocol.h"
#include "simlink/flightgear_formats.h"
#include "simlink/fs2004_protocol.h"
#include "simlink/xplane_protocol.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ParseXPlane(const uint8_t* data, size_t size)
{
    XPlaneState state;
    if (ParseXPlaneState(data, size, &state) == LinkDrop::None)
        Check(state.length == size && std::isfinite(state.latitude) && std::isfinite(state.waypointEte));
    XPlaneTrafficHeader header;
    const uint8_t* records = nullptr;
    if (ParseXPlaneTraffic(data, size, &header, &records) == LinkDrop::None && header.count > 0) {
        Check(header.count <= TrafficSlotCount);
        for (int32_t i = 0; i < header.count; ++i) {
            XPlaneTrafficRecord r = ReadXPlaneTrafficRecord(records, i);
            Check(std::memchr(r.callsign, 0, sizeof(r.callsign)) != nullptr && std::isfinite(r.altitude));
        }
    }
    CheckXPlaneFlightPlan(data, size);
}

void ParseFs2004(const uint8_t* data, size_t size)
{
    Fs2004StateReply state;
    if (ParseFs2004State(data, size, &state) == LinkDrop::None)
        Check(std::isfinite(state.onGround) && std::isfinite(state.groundAltitude));
    Fs2004TrafficHeader header;
    const uint8_t* records = nullptr;
    if (ParseFs2004Traffic(data, size, &header, &records) == LinkDrop::None && header.count > 0) {
        for (int32_t i = 0; i < header.count; ++i) {
            Fs2004TrafficRecord r = ReadFs2004TrafficRecord(records, i);
            Check(r.slot >= 0 && r.slot < TrafficSlotCount);
        }
    }
    if (CheckFs2004FlightPlan(data, size) == LinkDrop::None && size > 12 && data[8] != 0) {
        int32_t count;
        std::memcpy(&count, data + 12, 4);
        Check(count >= 0 && FlightPlanHeaderSize + 24 * static_cast<size_t>(count) <= size);
    }
}

bool IsTerminatedText(const char* text, size_t size)
{
    return std::memchr(text, 0, size) != nullptr;
}

void ParseAerofly(const uint8_t* data, size_t size)
{
    static AeroflyStateValues state;
    if (ParseAeroflyState(data, size, &state) == LinkDrop::None) {
        Check(state.reply.length == size && std::isfinite(state.reply.bank));
        Check(IsTerminatedText(state.aircraft, sizeof(state.aircraft)));
        Check(IsTerminatedText(state.nearestIcao, sizeof(state.nearestIcao)));
    }
    static AeroflyPlanMessage plan;
    if (ParseAeroflyPlan(data, size, &plan) == LinkDrop::None && plan.present != 0) {
        Check(plan.routeCount >= 0 && plan.routeCount <= AeroflyMaxRouteWaypoints);
        Check(sizeof(AeroflyPlanHead) + sizeof(AeroflyRouteWaypoint) * static_cast<size_t>(plan.routeCount) <= size);
        for (const AeroflyAirport* a : {&plan.departure, &plan.destination}) {
            Check(IsTerminatedText(a->icao, sizeof(a->icao)) && IsTerminatedText(a->runway, sizeof(a->runway)));
            Check(IsTerminatedText(a->sid, sizeof(a->sid)) && IsTerminatedText(a->star, sizeof(a->star)));
            Check(IsTerminatedText(a->approach, sizeof(a->approach)));
            Check(IsAeroflyPosition(a->airportLongitude, a->airportLatitude));
            Check(IsAeroflyPosition(a->runwayLongitude, a->runwayLatitude));
        }
        for (int32_t i = 0; i < plan.routeCount; ++i) {
            const AeroflyRouteWaypoint& w = plan.route[i];
            Check(IsTerminatedText(w.ident, sizeof(w.ident)) && std::isfinite(w.kind));
            Check(IsAeroflyPosition(w.longitude, w.latitude));
        }
    }
}

void ParseFlightGear(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    static FlightGearAircraftReport report;
    if (ParseFlightGearAircraft(text, size, &report) == LinkDrop::None) {
        Check(std::isfinite(report.latitude) && report.firstButton < FlightGearButtonCount);
        Check(report.fieldsArrived >= 4 && report.fieldsArrived <= FlightGearFieldCount);
        Check(std::memchr(report.callsign, 0, sizeof(report.callsign)) != nullptr);
        Check(std::memchr(report.routePath, 0, sizeof(report.routePath)) != nullptr);
    }
    static FlightGearAiRecord records[TrafficSlotCount];
    int stored = 0, announced = 0;
    if (ParseFlightGearAi(text, size, records, TrafficSlotCount, &stored, &announced) == LinkDrop::None) {
        Check(stored >= 0 && stored <= TrafficSlotCount && stored <= (announced > 0 ? announced : 0));
        for (int i = 0; i < stored; ++i)
            Check(std::isfinite(records[i].latitude) && std::memchr(records[i].callsign, 0, 32) != nullptr);
    }
}

bool SomeAirports(const char* icao, float* latitude, float* longitude)
{
    if (icao[0] != 'E')
        return false;
    *latitude = 50.0f;
    *longitude = 8.0f;
    return true;
}

void ScanRoute(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    std::vector<uint8_t> copy(data, data + size);
    FILE* file = fmemopen(copy.data(), copy.size(), "r");
    if (file == nullptr)
        return;
    static FlightPlanRecord plan;
    plan = FlightPlanRecord{};
    if (ScanFlightGearRoute(file, SomeAirports, &plan) == LinkDrop::None)
        Check(plan.count >= 1 && plan.count <= FlightPlanMaxWaypoints && plan.present == 1);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseXPlane(data, size);
    ParseFs2004(data, size);
    ParseFlightGear(data, size);
    ParseAerofly(data, size);
    ScanRoute(data, size);
    // Again with a magic and a type in front, so that the fuzzer reaches the
    // checks behind them without finding the magic first.
    static const uint32_t Heads[][2] = {{XPlaneMagicStateFlagSet, XPlaneMsgState},
                                        {XPlaneMagicStateFlagClear, XPlaneMsgTraffic},
                                        {XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan},
                                        {Fs2004Magic, Fs2004MsgState},
                                        {Fs2004Magic, Fs2004MsgTraffic},
                                        {Fs2004Magic, Fs2004MsgFlightPlan},
                                        {AeroflyMagic, AeroflyMsgState},
                                        {AeroflyMagic, AeroflyMsgFlightPlan}};
    if (size >= 9) {
        std::vector<uint8_t> copy(data + 1, data + size);
        const uint32_t* head = Heads[data[0] % (sizeof(Heads) / sizeof(Heads[0]))];
        std::memcpy(copy.data(), head, 8);
        if ((head[1] == XPlaneMsgState || (head[0] == AeroflyMagic && head[1] == AeroflyMsgState)) &&
            copy.size() >= 12) {
            uint32_t length = static_cast<uint32_t>(copy.size());
            std::memcpy(copy.data() + 8, &length, 4);
        }
        ParseXPlane(copy.data(), copy.size());
        ParseFs2004(copy.data(), copy.size());
        ParseAerofly(copy.data(), copy.size());
    }
    return 0;
}
