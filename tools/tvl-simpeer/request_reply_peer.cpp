// The X-Plane plug-in, the FS2004 module, the Prepar3D/FSX companion and
// Aerofly FS 2's peer as the map program's links see them: registration, a
// state (the companion: a tick) every 100 ms, the plan, traffic on request,
// keep-alives, a button, a stop message; every request is recorded.
#include "platform/units.h"
#include "simlink/aerofly_protocol.h"
#include "simlink/fs2004_protocol.h"
#include "simlink/p3d_protocol.h"
#include "simlink/udp_link.h"
#include "simlink/xplane_protocol.h"
#include "tools/tvl-simpeer/peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int MaxClients = 20;
constexpr int CycleMs = 100;
constexpr int PlanEveryCycles = 120;
constexpr int TrafficEveryCycles = 10;

struct Client {
    bool used = false;
    int32_t clientId = 0;
    sockaddr_in address{};
    bool planSent = false;
    bool wantsTraffic = false;
};

Client Clients[MaxClients];
int PeerSocket = -1;
double PathStart = 0.0;

// What either protocol's request says, whatever its layout.
struct Request {
    uint32_t type = 0;
    int32_t slot = 0;
    int32_t clientId = 0;
    uint32_t value = 0;
    double latitude = 0.0;
    double longitude = 0.0;
};

bool ParseRequest(PeerKind kind, const uint8_t* data, size_t size, Request* r)
{
    if (kind != PeerKind::Fs2004) {
        UdpLinkRequest q;
        if (size < sizeof(q))
            return false;
        std::memcpy(&q, data, sizeof(q));
        *r = {q.type, q.slotIndex, q.clientId, q.value, q.first, q.second};
        return true;
    }
    Fs2004Request q;
    if (size < sizeof(q))
        return false;
    std::memcpy(&q, data, sizeof(q));
    *r = {q.type, static_cast<int32_t>(q.slotIndex), q.clientId, q.weather, 0.0, 0.0};
    return true;
}

void RecordRequest(const Request& r, size_t size)
{
    if (!Record)
        return;
    std::fprintf(Record, "%.3f size=%zu type=%u slot=%d client=%d value=%u lat=%.6f lon=%.6f\n", Now(), size, r.type,
                 r.slot, r.clientId, r.value, r.latitude, r.longitude);
    std::fflush(Record);
}

uint32_t Magic(PeerKind kind)
{
    if (kind == PeerKind::P3dCompanion)
        return P3dCompanionMagic;
    if (kind == PeerKind::Aerofly)
        return AeroflyMagic;
    return kind == PeerKind::XPlane ? XPlaneMagicStateFlagSet : Fs2004Magic;
}

// The message numbers of each protocol where the two differ or agree.
struct MessageTypes {
    uint32_t registerRequest, registered, refused, stop, unregister, trafficOn, trafficOff;
    uint32_t plan, traffic, keepAlive, button;
};
constexpr uint32_t NoSuchType = 0xFFFFFFFFu;

const MessageTypes& TypesOf(PeerKind kind)
{
    static const MessageTypes xplane = {XPlaneMsgRegister,   XPlaneMsgRegistered, XPlaneMsgRefused,
                                        XPlaneMsgRefused,    XPlaneMsgUnregister, XPlaneMsgTrafficOn,
                                        XPlaneMsgTrafficOff, XPlaneMsgFlightPlan, XPlaneMsgTraffic,
                                        XPlaneMsgKeepAlive,  XPlaneMsgButton};
    // FS2004's keep-alive carries the weather word (0 here: no weather).
    static const MessageTypes fs2004 = {Fs2004MsgRegister,   Fs2004MsgRegistered, Fs2004MsgStop,
                                        Fs2004MsgStop,       Fs2004MsgUnregister, Fs2004MsgTrafficOn,
                                        Fs2004MsgTrafficOff, Fs2004MsgFlightPlan, Fs2004MsgTraffic,
                                        Fs2004MsgWeather,    Fs2004MsgButton};
    // The companion carries no traffic: that comes over SimConnect.
    static const MessageTypes p3d = {P3dMsgRegister, P3dMsgRegistered, P3dMsgRefused,   P3dMsgStop,
                                     P3dMsgUnregister, NoSuchType,     NoSuchType,      P3dMsgFlightPlan,
                                     NoSuchType,     P3dMsgKeepAlive,  P3dMsgButton};
    // Aerofly sends no traffic either.
    static const MessageTypes aerofly = {AeroflyMsgRegister,    AeroflyMsgRegistered, AeroflyMsgStop,
                                         AeroflyMsgStop,        AeroflyMsgUnregister, AeroflyMsgTrafficOn,
                                         AeroflyMsgTrafficOff,  AeroflyMsgFlightPlan, NoSuchType,
                                         AeroflyMsgKeepAlive,   AeroflyMsgButton};
    if (kind == PeerKind::P3dCompanion)
        return p3d;
    if (kind == PeerKind::Aerofly)
        return aerofly;
    return kind == PeerKind::XPlane ? xplane : fs2004;
}

// magic, type, a word at 8 and one at 16.
void SendShort(PeerKind kind, const sockaddr_in& to, uint32_t type, uint32_t at8 = 0, uint32_t at16 = 0)
{
    uint32_t words[6] = {Magic(kind), type, at8, 0, at16, 0};
    SendTo(PeerSocket, to, words, sizeof(words));
}

int FindClient(int32_t clientId)
{
    for (int i = 0; i < MaxClients; ++i)
        if (Clients[i].used && Clients[i].clientId == clientId)
            return i;
    return -1;
}

void Register(PeerKind kind, const Request& r, const sockaddr_in& from)
{
    int slot = FindClient(r.clientId);
    for (int i = 0; i < MaxClients && slot < 0; ++i)
        if (!Clients[i].used)
            slot = i;
    if (slot < 0) {
        SendShort(kind, from, TypesOf(kind).refused);
        return;
    }
    Clients[slot] = Client{true, r.clientId, from, false, false};
    SendShort(kind, from, TypesOf(kind).registered, static_cast<uint32_t>(slot));
}

void SetTrafficWanted(const Request& r, bool wanted)
{
    if (r.slot >= 0 && r.slot < MaxClients && Clients[r.slot].used)
        Clients[r.slot].wantsTraffic = wanted;
}

void HandleRequest(PeerOptions* o, const uint8_t* data, size_t size, const sockaddr_in& from)
{
    Request r;
    if (!ParseRequest(o->kind, data, size, &r))
        return;
    RecordRequest(r, size);
    bool xplane = o->kind == PeerKind::XPlane;
    bool bySlot = xplane || o->kind == PeerKind::P3dCompanion || o->kind == PeerKind::Aerofly;
    const MessageTypes& types = TypesOf(o->kind);
    if (r.type == types.registerRequest) {
        Register(o->kind, r, from);
    } else if (r.type == types.unregister) {
        int slot = FindClient(r.clientId);
        if (slot >= 0)
            Clients[slot] = Client{};
    } else if (r.type == types.trafficOn) {
        int slot = xplane ? r.slot : FindClient(r.clientId);
        if (slot >= 0 && slot < MaxClients && Clients[slot].used)
            Clients[slot].wantsTraffic = true;
    } else if (r.type == types.trafficOff) {
        Request byClient = r;
        byClient.slot = xplane ? r.slot : FindClient(r.clientId);
        SetTrafficWanted(byClient, false);
    } else if (o->kind == PeerKind::Aerofly && r.type == AeroflyMsgPlanRequest) {
        int slot = FindClient(r.clientId);
        if (slot >= 0)
            Clients[slot].planSent = false;
    } else if (bySlot && r.type == XPlaneMsgSetPosition && std::fabs(r.latitude) <= 89.0 &&
               std::fabs(r.longitude) <= 180.0) {
        o->path.latitude = r.latitude;
        o->path.longitude = r.longitude;
        PathStart = Now();
    }
}

void ReceiveRequests(PeerOptions* o, int waitMs)
{
    pollfd p{PeerSocket, POLLIN, 0};
    while (poll(&p, 1, waitMs) > 0) {
        uint8_t buffer[64];
        sockaddr_in from{};
        socklen_t len = sizeof(from);
        ssize_t n = recvfrom(PeerSocket, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n > 0)
            HandleRequest(o, buffer, static_cast<size_t>(n), from);
        waitMs = 0;
    }
}

std::vector<uint8_t> XPlaneStateDatagram(const PeerOptions& o, double t)
{
    PeerAircraft a = AircraftAt(o, t);
    XPlaneState s{};
    s.magic = XPlaneMagicStateFlagSet;
    s.type = XPlaneMsgState;
    s.length = sizeof(s);
    s.latitude = static_cast<float>(a.point.latitude);
    s.longitude = static_cast<float>(a.point.longitude);
    s.altitude = static_cast<float>(a.altitudeFt / FeetPerMetre4);
    s.trueHeading = static_cast<float>(a.point.headingDeg);
    s.groundSpeed = static_cast<float>(a.speedKt * MetresPerSecondPerKnot);
    s.windDirection = 270.0f;
    s.windSpeed = 15.0f * static_cast<float>(MetresPerSecondPerKnot);
    s.temperature = static_cast<float>(15.0 - 2.0 * a.altitudeFt / 1000.0);
    s.magneticVariation = 2.0f;
    s.bank = o.path.circle ? -15.0f : 0.0f;  // the plug-in's sign: left positive
    s.heightAboveGround = static_cast<float>(a.heightFt);
    std::vector<uint8_t> d(sizeof(s));
    std::memcpy(d.data(), &s, sizeof(s));
    return d;
}

// The companion's tick: its contents are not read.
std::vector<uint8_t> CompanionTickDatagram()
{
    uint32_t words[6] = {P3dCompanionMagic, P3dMsgState, 0, 0, 0, 0};
    std::vector<uint8_t> d(sizeof(words));
    std::memcpy(d.data(), words, sizeof(words));
    return d;
}

std::vector<uint8_t> Fs2004StateDatagram(const PeerOptions& o, double t)
{
    PeerAircraft a = AircraftAt(o, t);
    Fs2004StateReply s{};
    s.magic = Fs2004Magic;
    s.type = Fs2004MsgState;
    s.latitude = static_cast<float>(a.point.latitude);
    s.longitude = static_cast<float>(a.point.longitude);
    s.altitude = static_cast<float>(a.altitudeFt / FeetPerMetre4);
    s.trueHeading = static_cast<float>(a.point.headingDeg);
    s.groundSpeed = static_cast<float>(a.speedKt * MetresPerSecondPerKnot);
    s.windDirection = 270.0f;
    s.windSpeed = 15.0f;
    s.temperature = static_cast<float>(15.0 - 2.0 * a.altitudeFt / 1000.0);
    s.magneticVariation = 2.0f;
    s.bank = o.path.circle ? 15.0f : 0.0f;
    s.heightAboveGround = static_cast<float>(a.heightFt);
    s.onGround = a.heightFt <= 0.0 ? 1.0f : 0.0f;
    std::vector<uint8_t> d(sizeof(s));
    std::memcpy(d.data(), &s, sizeof(s));
    return d;
}

// Aerofly's state: metres, metres per second, the bank in radians, then
// the aircraft's name and the nearest airport.
std::vector<uint8_t> AeroflyStateDatagram(const PeerOptions& o, double t)
{
    PeerAircraft a = AircraftAt(o, t);
    AeroflyStateReply s{};
    s.magic = AeroflyMagic;
    s.type = AeroflyMsgState;
    s.latitude = static_cast<float>(a.point.latitude);
    s.longitude = static_cast<float>(a.point.longitude);
    s.altitude = static_cast<float>(a.altitudeFt / FeetPerMetre4);
    s.trueHeading = static_cast<float>(a.point.headingDeg);
    s.groundSpeed = static_cast<float>(a.speedKt * MetresPerSecondPerKnot);
    s.onGround = a.heightFt <= 0.0 ? 1.0f : 0.0f;
    s.magneticVariation = 2.0f;
    s.heightAboveGround = static_cast<float>(a.heightFt / 3.28);
    s.windDirection = 270.0f;
    s.windSpeed = 15.0f * static_cast<float>(MetresPerSecondPerKnot);
    s.bank = o.path.circle ? -0.2618f : 0.0f;
    std::memcpy(s.aircraft, "C172", 5);
    static const char nearest[] = "EDDH";
    s.length = static_cast<uint32_t>(sizeof(s) + sizeof(nearest));
    std::vector<uint8_t> d(s.length);
    std::memcpy(d.data(), &s, sizeof(s));
    std::memcpy(d.data() + sizeof(s), nearest, sizeof(nearest));
    return d;
}

// Hamburg's runway 23 threshold at both ends of Aerofly's plan; the route is
// the peers' five points, as a fix, two VORs and an NDB and a fix again.
std::vector<uint8_t> AeroflyPlanDatagram(const PeerOptions& o)
{
    PeerWaypoint points[PeerPlanCount];
    BuildPeerPlan(o.path, points);
    AeroflyPlanHead head{};
    head.magic = AeroflyMagic;
    head.type = AeroflyMsgFlightPlan;
    head.present = 1;
    head.routeCount = static_cast<float>(PeerPlanCount);
    AeroflyAirportBlock eddh{};
    std::memcpy(eddh.icao, "EDDH", 5);
    std::memcpy(eddh.runway, "23", 3);
    eddh.airportLongitude = 9.9883;
    eddh.airportLatitude = 53.6304;
    eddh.runwayLongitude = 10.00533547;
    eddh.runwayLatitude = 53.63751075;
    head.departure = eddh;
    std::snprintf(head.departure.procedures, sizeof(head.departure.procedures), "%s", o.sid.c_str());
    head.destination = eddh;
    std::snprintf(head.destination.procedures, AeroflyStarNameSize, "%s", o.star.c_str());
    std::snprintf(head.destination.procedures + AeroflyStarNameSize, AeroflyApproachNameSize, "%s",
                  o.approach.c_str());
    std::vector<uint8_t> d(sizeof(head) + sizeof(AeroflyRouteWaypoint) * PeerPlanCount);
    std::memcpy(d.data(), &head, sizeof(head));
    const double kinds[PeerPlanCount] = {0.0, 112000.0, 140000.0, 140001.0, 0.0};
    for (int i = 0; i < PeerPlanCount; ++i) {
        AeroflyRouteWaypoint w{};
        std::memcpy(w.ident, points[i].ident, sizeof(w.ident));
        w.kind = kinds[i];
        w.longitude = points[i].longitude;
        w.latitude = points[i].latitude;
        std::memcpy(d.data() + sizeof(head) + sizeof(w) * i, &w, sizeof(w));
    }
    return d;
}

// The plan in the FlightPlan record's layout; FS2004 sends it whole.
std::vector<uint8_t> PlanDatagram(PeerKind kind, const FlightPathSettings& path)
{
    PeerWaypoint points[PeerPlanCount];
    BuildPeerPlan(path, points);
    FlightPlanRecord plan{};
    uint32_t head[2] = {Magic(kind), TypesOf(kind).plan};
    std::memcpy(plan.header, head, sizeof(head));
    plan.present = 1;
    plan.count = PeerPlanCount;
    plan.cruisingAltitude = path.altitudeFt;
    for (int i = 0; i < PeerPlanCount; ++i) {
        FlightPlanWaypoint& w = plan.waypoints[i];
        w.kind = i == 0 || i == PeerPlanCount - 1 ? 1 : 11;
        w.lat = static_cast<float>(points[i].latitude);
        w.lon = static_cast<float>(points[i].longitude);
        w.altitude = static_cast<float>(points[i].altitudeFt);
        std::memcpy(w.ident, points[i].ident, sizeof(w.ident));
    }
    size_t size = FlightPlanHeaderSize + sizeof(FlightPlanWaypoint) * PeerPlanCount;
    std::vector<uint8_t> d(size);
    std::memcpy(d.data(), &plan, size);
    return d;
}

std::vector<uint8_t> TrafficDatagram(const PeerOptions& o, double t)
{
    std::vector<uint8_t> d;
    auto append = [&](const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        d.insert(d.end(), b, b + n);
    };
    int n = o.trafficCount;
    if (o.kind == PeerKind::XPlane) {
        XPlaneTrafficHeader h{XPlaneMagicStateFlagSet, XPlaneMsgTraffic, n, static_cast<uint32_t>(n)};
        append(&h, sizeof(h));
    } else {
        Fs2004TrafficHeader h{Fs2004Magic, Fs2004MsgTraffic, n, n, 1, 0};
        append(&h, sizeof(h));
    }
    for (int i = 0; i < n; ++i) {
        PathPoint p = TrafficPosition(o.path, i, n, t);
        double altitude = o.path.altitudeFt + 500.0 * (i % 3);
        char callsign[16] = {};
        std::snprintf(callsign, sizeof(callsign), "TVS%03d", i);
        if (o.kind == PeerKind::XPlane) {
            XPlaneTrafficRecord r{static_cast<uint32_t>(2000 + i), 0, p.latitude, p.longitude, altitude,
                                  p.headingDeg, {}};
            std::memcpy(r.callsign, callsign, sizeof(r.callsign));
            append(&r, sizeof(r));
        } else {
            Fs2004TrafficRecord r{static_cast<uint32_t>(2000 + i), i, p.latitude, p.longitude, altitude,
                                  0.0, p.headingDeg, 100.0, {}};
            std::memcpy(r.callsign, callsign, sizeof(r.callsign));
            append(&r, sizeof(r));
        }
    }
    return d;
}

void ServeClients(const PeerOptions& o, long cycle)
{
    double t = Now() - PathStart;
    std::vector<uint8_t> state = o.kind == PeerKind::XPlane    ? XPlaneStateDatagram(o, t)
                                 : o.kind == PeerKind::Fs2004  ? Fs2004StateDatagram(o, t)
                                 : o.kind == PeerKind::Aerofly ? AeroflyStateDatagram(o, t)
                                                               : CompanionTickDatagram();
    std::vector<uint8_t> plan = o.kind == PeerKind::Aerofly ? AeroflyPlanDatagram(o) : PlanDatagram(o.kind, o.path);
    std::vector<uint8_t> traffic = TrafficDatagram(o, Now());
    const MessageTypes& types = TypesOf(o.kind);
    for (Client& c : Clients) {
        if (!c.used)
            continue;
        SendShort(o.kind, c.address, TypesOf(o.kind).keepAlive);
        SendTo(PeerSocket, c.address, state.data(), state.size());
        if (o.plan && (!c.planSent || cycle % PlanEveryCycles == 0)) {
            SendTo(PeerSocket, c.address, plan.data(), plan.size());
            c.planSent = true;
        }
        if (types.traffic != NoSuchType && o.trafficCount > 0 && c.wantsTraffic && cycle % TrafficEveryCycles == 0)
            SendTo(PeerSocket, c.address, traffic.data(), traffic.size());
    }
}

bool AnyClient()
{
    for (const Client& c : Clients)
        if (c.used)
            return true;
    return false;
}

// The stop message: each registered map is told and forgotten.
void SendStop(PeerKind kind)
{
    for (Client& c : Clients) {
        if (!c.used)
            continue;
        SendShort(kind, c.address, TypesOf(kind).stop);
        c = Client{};
    }
}

void SendButton(PeerKind kind, int button)
{
    for (const Client& c : Clients)
        if (c.used)
            SendShort(kind, c.address, TypesOf(kind).button + static_cast<uint32_t>(button));
}

}  // namespace

void RunRequestReplyPeer(PeerOptions* o, int socket)
{
    PeerSocket = socket;
    PathStart = Now();
    double firstClient = -1.0;
    bool buttonSent = false;
    bool stopSent = false;
    for (long cycle = 0; !StopRequested; ++cycle) {
        double cycleEnd = Now() + CycleMs / 1000.0;
        // The flight starts with the first map: a map that starts slowly
        // still sees the whole of it.
        if (firstClient < 0.0 && AnyClient()) {
            firstClient = Now();
            PathStart = firstClient;
        }
        ServeClients(*o, cycle);
        double since = firstClient < 0.0 ? -1.0 : Now() - firstClient;
        if (o->button >= 0 && !buttonSent && since >= o->buttonAt) {
            SendButton(o->kind, o->button);
            buttonSent = true;
        }
        if (o->stopAt >= 0.0 && !stopSent && since >= o->stopAt) {
            SendStop(o->kind);
            stopSent = true;
            if (Record) {
                std::fprintf(Record, "%.3f stop sent\n", Now());
                std::fflush(Record);
            }
        }
        while (!StopRequested && Now() < cycleEnd)
            ReceiveRequests(o, static_cast<int>((cycleEnd - Now()) * 1000.0) + 1);
        if (o->duration > 0.0 && Now() >= o->duration)
            break;
    }
    SendStop(o->kind);
}
