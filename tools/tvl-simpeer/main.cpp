// tvl-simpeer: plays X-Plane's plug-in, FS2004's module, FlightGear's
// generic-protocol output, the Prepar3D/FSX companion or Aerofly FS 2's
// peer for the map program
// over loopback: flies a scripted path (the companion only ticks: the
// aircraft comes over SimConnect), sends a plan and traffic, and records what
// the map sends.
#include "tools/tvl-simpeer/peer.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

volatile sig_atomic_t StopRequested = 0;
FILE* Record = nullptr;

namespace {

const char UsageHead[] =
    "usage: tvl-simpeer --sim xplane|fs2004|flightgear|p3d|aerofly [options]\n"
    "  --port N           X-Plane, FS2004, P3D companion, Aerofly: UDP port to listen on, 0 for any\n"
    "                     free one (12345, 54321, 54322, 54321);\n"
    "                     FlightGear: the map's port to send the aircraft to (12347)\n"
    "  --ai-port N        FlightGear: the map's port for AI traffic (12348)\n"
    "  --time-port N      FlightGear: listen for the map's time datagram on this port\n";
// The options after the path's (PathOptionsUsage).
const char UsageTail[] =
    "  --traffic N        AI aircraft (3; at most 30)\n"
    "  --no-plan          send no flight plan\n"
    "  --route FILE       FlightGear: write the plan as a route manager file there and name it\n"
    "  --protocol FILE    FlightGear: send as many fields a line as the generic-protocol definition\n"
    "                     FILE has chunks, the first of ours (a user's shorter definition)\n"
    "  --sid NAME --star NAME --approach NAME\n"
    "                     Aerofly: the procedures the plan names (STADE2B, NOLGO1H, I23; '' for none)\n"
    "  --circuit S        take off 2 s in and land S seconds in (height above ground 0 before and after);\n"
    "                     the flight's clock starts at the first registration where the map registers\n"
    "  --stop-at S        X-Plane, FS2004, P3D companion, Aerofly: send the stop message S seconds after the first\n"
    "                     registration;\n"
    "                     FlightGear: fall silent S seconds in\n"
    "  --silence S        FlightGear: length of that silence (3)\n"
    "  --button N         send button N once, --button-at S in (2)\n"
    "  --record FILE      write a line per datagram the map sends (FlightGear: and per line sent) to FILE\n"
    "                     ('-' for standard output)\n"
    "  --duration S       end after S seconds (0: run until interrupted)\n"
    "The first line on standard output names the port in use.\n";

void OnSignal(int)
{
    StopRequested = 1;
}

bool ReadNumber(const char* text, double* out)
{
    char* end = nullptr;
    *out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*out);
}

// The chunks of a generic-protocol definition: the fields of its lines.
bool ReadProtocolFields(const char* path, int* fields)
{
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int count = 0;
    for (size_t at = text.find("<chunk>"); at != std::string::npos; at = text.find("<chunk>", at + 1))
        ++count;
    *fields = count;
    return count > 0;
}

bool ParseKind(const std::string& name, PeerKind* kind)
{
    if (name == "xplane") *kind = PeerKind::XPlane;
    else if (name == "fs2004") *kind = PeerKind::Fs2004;
    else if (name == "flightgear") *kind = PeerKind::FlightGear;
    else if (name == "p3d") *kind = PeerKind::P3dCompanion;
    else if (name == "aerofly") *kind = PeerKind::Aerofly;
    else return false;
    return true;
}

bool ParseValueOption(const std::string& name, const char* value, PeerOptions* o)
{
    if (name == "--sim")
        return ParseKind(value, &o->kind);
    if (name == "--protocol")
        return ReadProtocolFields(value, &o->protocolFields);
    std::string* text = name == "--record"     ? &o->record
                        : name == "--route"    ? &o->route
                        : name == "--sid"      ? &o->sid
                        : name == "--star"     ? &o->star
                        : name == "--approach" ? &o->approach
                                               : nullptr;
    if (text) {
        *text = value;
        return true;
    }
    double v = 0.0;
    if (!ReadNumber(value, &v))
        return false;
    if (SetPathOption(name, v, &o->path))
        return true;
    if (name == "--port") o->port = static_cast<int>(v);
    else if (name == "--ai-port") o->aiPort = static_cast<int>(v);
    else if (name == "--time-port") o->timePort = static_cast<int>(v);
    else if (name == "--traffic") o->trafficCount = static_cast<int>(v);
    else if (name == "--circuit") o->circuit = v;
    else if (name == "--stop-at") o->stopAt = v;
    else if (name == "--silence") o->silence = v;
    else if (name == "--button") o->button = static_cast<int>(v);
    else if (name == "--button-at") o->buttonAt = v;
    else if (name == "--duration") o->duration = v;
    else return false;
    return true;
}

bool ValidPort(int port)
{
    return port >= 0 && port <= 65535;
}

bool ParseOptions(int argc, char** argv, PeerOptions* o)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--no-plan") o->plan = false;
        else if (i + 1 >= argc || !ParseValueOption(name, argv[++i], o)) return false;
    }
    if (o->port < 0) {
        switch (o->kind) {
        case PeerKind::XPlane: o->port = 12345; break;
        case PeerKind::Fs2004: o->port = 54321; break;
        case PeerKind::FlightGear: o->port = 12347; break;
        case PeerKind::P3dCompanion: o->port = 54322; break;
        case PeerKind::Aerofly: o->port = 54321; break;
        }
    }
    if (o->trafficCount < 0 || o->trafficCount > 30 || o->button > 31)
        return false;
    if (!ValidPort(o->port) || !ValidPort(o->aiPort) || o->timePort > 65535)
        return false;
    return o->path.latitude >= -89.0 && o->path.latitude <= 89.0;
}

}  // namespace

double Now()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

sockaddr_in Loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

PeerAircraft AircraftAt(const PeerOptions& o, double t)
{
    PeerAircraft a{};
    a.point = PathPosition(o.path, t);
    a.speedKt = PathMoving(o.path, t) ? o.path.speedKt : 0.0;
    a.altitudeFt = o.path.altitudeFt;
    a.heightFt = o.path.altitudeFt;
    if (o.circuit > 0.0) {
        // Up at 500 ft a minute from 2 s in, down the same way to land at the end.
        const double takeOff = 2.0;
        double climb = (t - takeOff) * 500.0 / 60.0 * 12.0;
        double descent = (o.circuit - t) * 500.0 / 60.0 * 12.0;
        a.heightFt = std::max(0.0, std::min(std::min(climb, descent), o.path.altitudeFt));
        a.altitudeFt = a.heightFt;
        if (t < takeOff || t > o.circuit + 2.0)
            a.speedKt = t < takeOff ? 20.0 : 0.0;
    }
    return a;
}

void BuildPeerPlan(const FlightPathSettings& path, PeerWaypoint* out)
{
    const double seconds = 600.0;
    for (int i = 0; i < PeerPlanCount; ++i) {
        PathPoint p = PathPosition(path, seconds * i / (PeerPlanCount - 1));
        std::snprintf(out[i].ident, sizeof(out[i].ident), "TVS%02d", i);
        out[i].latitude = p.latitude;
        out[i].longitude = p.longitude;
        out[i].altitudeFt = path.altitudeFt;
    }
}

int main(int argc, char** argv)
{
    PeerOptions o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fputs(UsageHead, stderr);
        std::fputs(PathOptionsUsage, stderr);
        std::fputs(UsageTail, stderr);
        return 2;
    }
    bool listens = o.kind != PeerKind::FlightGear;
    int s = OpenUdpSocket(listens ? o.port : 0);
    int timeSocket = !listens && o.timePort >= 0 ? OpenUdpSocket(o.timePort) : -1;
    if (s < 0 || (!listens && o.timePort >= 0 && timeSocket < 0)) {
        std::fprintf(stderr, "tvl-simpeer: cannot open UDP port %d\n", listens ? o.port : o.timePort);
        return 1;
    }
    if (!o.record.empty())
        Record = o.record == "-" ? stdout : std::fopen(o.record.c_str(), "w");
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (listens)
        std::printf("tvl-simpeer listening on port %d\n", BoundPort(s));
    else
        std::printf("tvl-simpeer sending to port %d\n", o.port);
    std::fflush(stdout);
    Now();
    if (listens)
        RunRequestReplyPeer(&o, s);
    else
        RunFlightGearPeer(&o, s, timeSocket);
    if (Record && Record != stdout)
        std::fclose(Record);
    if (timeSocket >= 0)
        close(timeSocket);
    close(s);
    return 0;
}
