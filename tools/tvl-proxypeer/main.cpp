// tvl-proxypeer: a stand-in for the proxy TVL64 on the map program's side of
// the proxy protocol. It answers registrations, streams aircraft states along
// a scripted path with the simulator GPS's distance and times along the
// flight plan it sends, sends traffic, keep-alives and buttons, and records
// every request it receives.
#include "platform/units.h"
#include "simlink/proxy_protocol.h"
#include "tools/tvl-proxypeer/flight_path.h"
#include "tools/tvl-proxypeer/peer_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char UsageHead[] =
    "usage: tvl-proxypeer [options]\n"
    "  --port N           UDP port to listen on, 0 for any free one (54222)\n";
// The options after the path's (PathOptionsUsage).
const char UsageTail[] =
    "  --traffic N        AI aircraft sent to clients that ask for traffic (3)\n"
    "  --traffic-rings N  circles the traffic flies on, 3 nm apart (1)\n"
    "  --no-plan          send no flight plan\n"
    "  --refuse           refuse every registration\n"
    "  --button N         send controller button N once, --button-at S after the first registration (2)\n"
    "  --record FILE      write a line per received request to FILE ('-' for standard output)\n"
    "  --duration S       end after S seconds (0: run until interrupted)\n"
    "The first line on standard output names the port in use; then a line \"flight second N\" for every\n"
    "second since the first registration and \"traffic sent N\" for every traffic list sent, so that a\n"
    "test can wait for them.\n";

struct Options {
    FlightPathSettings path;
    int port = ProxyDefaultPort;
    int trafficCount = 3;
    bool plan = true;
    bool refuse = false;
    int button = -1;
    double buttonAt = 2.0;
    std::string record;
    double duration = 0.0;
};

struct Client {
    bool used = false;
    int32_t clientId = 0;
    sockaddr_in address{};
    bool planSent = false;
    bool wantsTraffic = false;
};

constexpr int CycleMs = 100;
constexpr int PlanEveryCycles = 120;
constexpr int TrafficEveryCycles = 11;

volatile sig_atomic_t StopRequested = 0;
Client Clients[ProxyMaxClients];
int PeerSocket = -1;
FILE* Record = nullptr;

void OnSignal(int)
{
    StopRequested = 1;
}

bool ReadNumber(const char* text, double* out)
{
    char* end = nullptr;
    *out = std::strtod(text, &end);
    return end != text && *end == '\0';
}

// Options with a value: false when the value is missing or not a number.
bool ParseValueOption(const std::string& name, const char* value, Options* o)
{
    double v = 0.0;
    if (name == "--record") {
        o->record = value;
        return true;
    }
    if (!ReadNumber(value, &v))
        return false;
    if (SetPathOption(name, v, &o->path))
        return true;
    if (name == "--port") o->port = static_cast<int>(v);
    else if (name == "--traffic") o->trafficCount = static_cast<int>(v);
    else if (name == "--traffic-rings") o->path.trafficRings = static_cast<int>(v);
    else if (name == "--button") o->button = static_cast<int>(v);
    else if (name == "--button-at") o->buttonAt = v;
    else if (name == "--duration") o->duration = v;
    else return false;
    return true;
}

bool ParseOptions(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--no-plan") o->plan = false;
        else if (name == "--refuse") o->refuse = true;
        else if (i + 1 >= argc || !ParseValueOption(name, argv[++i], o)) return false;
    }
    if (o->trafficCount < 0 || o->trafficCount > static_cast<int>(ProxyMaxTrafficRecords))
        return false;
    if (o->path.trafficRings < 1 || o->path.trafficRings > 20)
        return false;
    return o->port >= 0 && o->port <= 65535 && o->path.latitude >= -89.0 && o->path.latitude <= 89.0;
}

void SendTo(const sockaddr_in& to, const void* data, size_t size)
{
    ::SendTo(PeerSocket, to, data, size);
}

void SendShortReply(const sockaddr_in& to, uint32_t type, int32_t slot, int32_t clientId)
{
    ProxyShortReply r{ProxyMagic, type, slot, clientId, 0.0};
    SendTo(to, &r, sizeof(r));
}

void RecordRequest(double t, const sockaddr_in& from, const ProxyRequest& r, size_t size)
{
    if (!Record)
        return;
    char address[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &from.sin_addr, address, sizeof(address));
    std::fprintf(Record, "%.3f %s:%d size=%zu type=%u slot=%d client=%d lon=%.6f lat=%.6f\n", t, address,
                 ntohs(from.sin_port), size, r.type, r.slotIndex, r.clientId, r.longitude, r.latitude);
    std::fflush(Record);
}

int FindClient(int32_t clientId)
{
    for (int i = 0; i < ProxyMaxClients; ++i)
        if (Clients[i].used && Clients[i].clientId == clientId)
            return i;
    return -1;
}

int FreeSlot()
{
    for (int i = 0; i < ProxyMaxClients; ++i)
        if (!Clients[i].used)
            return i;
    return -1;
}

void Register(const Options& o, const ProxyRequest& r, const sockaddr_in& from)
{
    int slot = FindClient(r.clientId);
    if (slot < 0)
        slot = FreeSlot();
    if (o.refuse || slot < 0) {
        SendShortReply(from, MsgRegisterRefused, 0, 0);
        return;
    }
    Client& c = Clients[slot];
    c.used = true;
    c.clientId = r.clientId;
    c.address = from;
    c.planSent = false;
    c.wantsTraffic = false;
    SendShortReply(from, MsgRegistered, slot, 0);
}

void SetTrafficWanted(const ProxyRequest& r, bool wanted)
{
    if (r.slotIndex >= 0 && r.slotIndex < ProxyMaxClients && Clients[r.slotIndex].used)
        Clients[r.slotIndex].wantsTraffic = wanted;
}

// A set-position request moves the path: it starts again at the new point.
void MovePath(Options* o, const ProxyRequest& r, double* pathStart, double t)
{
    if (!(r.latitude >= -89.0 && r.latitude <= 89.0 && r.longitude >= -180.0 && r.longitude <= 180.0))
        return;
    o->path.latitude = r.latitude;
    o->path.longitude = r.longitude;
    *pathStart = t;
}

void HandleRequest(Options* o, const uint8_t* data, size_t size, const sockaddr_in& from, double t,
                   double* pathStart)
{
    ProxyRequest r;
    if (!ParseProxyRequest(data, size, &r))
        return;
    RecordRequest(t, from, r, size);
    if (r.type == MsgRegister)
        Register(*o, r, from);
    else if (r.type == MsgUnregister && FindClient(r.clientId) >= 0)
        Clients[FindClient(r.clientId)] = Client{};
    else if (r.type == MsgTrafficOn)
        SetTrafficWanted(r, true);
    else if (r.type == MsgTrafficOff)
        SetTrafficWanted(r, false);
    else if (r.type == MsgSetPosition)
        MovePath(o, r, pathStart, t);
    else if (r.type == MsgStopProxy)
        StopRequested = 1;
}

// Takes every request that arrives within waitMs.
void ReceiveRequests(Options* o, int waitMs, double (*now)(), double* pathStart)
{
    pollfd p{PeerSocket, POLLIN, 0};
    while (poll(&p, 1, waitMs) > 0) {
        uint8_t buffer[ProxyRequestMaxRead];
        sockaddr_in from{};
        socklen_t len = sizeof(from);
        ssize_t n = recvfrom(PeerSocket, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n > 0)
            HandleRequest(o, buffer, static_cast<size_t>(n), from, now(), pathStart);
        waitMs = 0;
    }
}

// Local time of day in seconds, as the simulator's clock gives its ETAs.
double SecondsOfDay()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
}

ProxyAircraftState BuildState(const FlightPathSettings& path, double t)
{
    PathPoint p = PathPosition(path, t);
    ProxyAircraftState s{};
    s.magic = ProxyMagic;
    s.type = MsgAircraftState;
    s.length = ProxyAircraftStateLength;
    const double speedKt = PathMoving(path, t) ? path.speedKt : 0.0;
    s.indicatedAirspeed = speedKt;
    s.longitude = p.longitude;
    s.latitude = p.latitude;
    s.altitude = path.altitudeFt;
    s.trueHeading = p.headingDeg;
    s.groundSpeed = speedKt * MetresPerNauticalMile / 3600.0;
    s.gpsAltitude = path.altitudeFt / FeetPerMetre5;
    s.windDirection = 270.0;
    s.windSpeed = 15.0;
    s.temperature = 15.0 - 2.0 * path.altitudeFt / 1000.0;
    s.magneticVariation = 2.0;
    s.bank = path.circle ? 15.0 : 0.0;
    s.heightAboveGround = path.altitudeFt;
    // The simulator's GPS flies the plan the peer sends.
    PlanGuidance g = GuidanceAlongPlan(path, t);
    double clock = SecondsOfDay();
    s.waypointDistance = g.waypointDistanceM;
    s.waypointIndex = g.activeIndex;
    s.ete = g.destinationEteS;
    s.eta = std::fmod(clock + g.destinationEteS, 86400.0);
    s.waypointEte = g.waypointEteS;
    s.waypointEta = std::fmod(clock + g.waypointEteS, 86400.0);
    return s;
}

// The plan: eight points round the circle, or five along the leg.
size_t BuildPlan(const FlightPathSettings& path, uint8_t* out)
{
    const int count = PlanPointCount(path);
    ProxyFlightPlanHeader h{};
    h.magic = ProxyMagic;
    h.type = MsgFlightPlan;
    h.present = 1;
    h.count = count;
    h.cruisingAltitude = path.altitudeFt;
    std::memcpy(out, &h, sizeof(h));
    for (int i = 0; i < count; ++i) {
        PathPoint p = PlanPoint(path, i);
        int32_t kind = (i == 0 || i == count - 1) ? 0 : 2;
        float values[3] = {static_cast<float>(p.latitude), static_cast<float>(p.longitude),
                           static_cast<float>(path.altitudeFt)};
        char ident[8] = {};
        std::snprintf(ident, sizeof(ident), "TVP%02d", i % 100);
        uint8_t* w = out + sizeof(h) + ProxyPlanWaypointSize * static_cast<size_t>(i);
        std::memcpy(w, &kind, 4);
        std::memcpy(w + 4, values, 12);
        std::memcpy(w + 16, ident, 8);
    }
    return ProxyFlightPlanLength(static_cast<uint32_t>(count));
}

size_t BuildTraffic(const Options& o, double t, uint8_t* out)
{
    uint32_t n = static_cast<uint32_t>(o.trafficCount);
    ProxyTrafficHeader h{ProxyMagic, MsgTraffic, n, 0};
    std::memcpy(out, &h, sizeof(h));
    for (uint32_t i = 0; i < n; ++i) {
        PathPoint p = TrafficPosition(o.path, static_cast<int>(i), o.trafficCount, t);
        ProxyTrafficRecord r{};
        r.objectId = 1000 + i;
        std::snprintf(r.atcId, sizeof(r.atcId), "TVL%03u", i % 1000);
        r.latitude = p.latitude;
        r.longitude = p.longitude;
        r.altitude = o.path.altitudeFt + 500.0 * (i % 3);
        r.headingDeg = p.headingDeg;
        r.headingRad = p.headingDeg * Pi14 / 180.0;
        r.groundSpeed = 100.0;
        std::memcpy(out + sizeof(h) + sizeof(r) * i, &r, sizeof(r));
    }
    return ProxyTrafficLength(n);
}

// A progress line on standard output, flushed at once: tests wait for these.
void Announce(const char* what, int n)
{
    std::printf("%s %d\n", what, n);
    std::fflush(stdout);
}

// One cycle of sends, in the proxy's order.
void ServeClients(const Options& o, long cycle, double pathTime, double sinceStart)
{
    static uint8_t buffer[ProxyReceiveBufferSize];
    ProxyAircraftState state = BuildState(o.path, pathTime);
    size_t planSize = BuildPlan(o.path, buffer);
    for (Client& c : Clients) {
        if (!c.used)
            continue;
        SendShortReply(c.address, MsgKeepAlive, 0, c.clientId);
        SendTo(c.address, &state, sizeof(state));
        if (o.plan && (!c.planSent || cycle % PlanEveryCycles == 0)) {
            SendTo(c.address, buffer, planSize);
            c.planSent = true;
        }
    }
    if (o.trafficCount > 0 && cycle % TrafficEveryCycles == 0) {
        size_t size = BuildTraffic(o, sinceStart, buffer);
        bool sent = false;
        for (const Client& c : Clients)
            if (c.used && c.wantsTraffic) {
                SendTo(c.address, buffer, size);
                sent = true;
            }
        static int lists = 0;
        if (sent)
            Announce("traffic sent", ++lists);
    }
}

void SendButton(int button)
{
    for (const Client& c : Clients)
        if (c.used)
            SendShortReply(c.address, MsgControllerButton + static_cast<uint32_t>(button), 0, 0);
}

void SendShutdown()
{
    for (const Client& c : Clients)
        if (c.used)
            SendShortReply(c.address, MsgProxyShutdown, 0, c.clientId);
}

double Now()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool AnyClient()
{
    for (const Client& c : Clients)
        if (c.used)
            return true;
    return false;
}

void Run(Options* o)
{
    double pathStart = Now();
    double firstClient = -1.0;
    int secondsAnnounced = 0;
    bool buttonSent = false;
    for (long cycle = 0; !StopRequested; ++cycle) {
        double cycleEnd = Now() + CycleMs / 1000.0;
        ServeClients(*o, cycle, Now() - pathStart, Now());
        if (firstClient < 0.0 && AnyClient())
            firstClient = Now();
        if (firstClient >= 0.0 && static_cast<int>(Now() - firstClient) > secondsAnnounced)
            Announce("flight second", ++secondsAnnounced);
        if (o->button >= 0 && !buttonSent && firstClient >= 0.0 && Now() - firstClient >= o->buttonAt) {
            SendButton(o->button);
            buttonSent = true;
        }
        while (!StopRequested && Now() < cycleEnd)
            ReceiveRequests(o, static_cast<int>((cycleEnd - Now()) * 1000.0) + 1, Now, &pathStart);
        if (o->duration > 0.0 && Now() >= o->duration)
            break;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fputs(UsageHead, stderr);
        std::fputs(PathOptionsUsage, stderr);
        std::fputs(UsageTail, stderr);
        return 2;
    }
    PeerSocket = OpenUdpSocket(o.port);
    if (PeerSocket < 0) {
        std::fprintf(stderr, "tvl-proxypeer: cannot listen on UDP port %d\n", o.port);
        return 1;
    }
    if (!o.record.empty())
        Record = o.record == "-" ? stdout : std::fopen(o.record.c_str(), "w");
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // A caller that read only the port line may have closed its end: the
    // progress lines then go nowhere instead of ending the peer.
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("tvl-proxypeer listening on port %d\n", BoundPort(PeerSocket));
    std::fflush(stdout);
    Now();
    Run(&o);
    SendShutdown();
    if (Record && Record != stdout)
        std::fclose(Record);
    close(PeerSocket);
    return 0;
}
