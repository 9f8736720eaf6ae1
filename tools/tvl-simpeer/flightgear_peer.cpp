// FlightGear's generic-protocol output as the map program reads it: the
// aircraft line ten times a second, the AI line twice a second, the route
// manager's file; each line sent and the time datagrams the map sends back
// are recorded.
#include "tools/tvl-simpeer/peer.h"

#include <poll.h>
#include <sys/socket.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr int CycleMs = 100;
constexpr int AiEveryCycles = 5;

std::string Number(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.*f", decimals, v);
    return text;
}

// The route manager's layout: departure and destination airports, then
// the waypoints between them.
void WriteRouteFile(const PeerOptions& o)
{
    PeerWaypoint points[PeerPlanCount];
    BuildPeerPlan(o.path, points);
    std::ofstream out(o.route);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PropertyList>\n <version type=\"int\">2</version>\n"
        << " <departure>\n  <airport type=\"string\">EDDH</airport>\n  <runway type=\"string\">23</runway>\n"
        << " </departure>\n <destination>\n  <airport type=\"string\">EDDF</airport>\n </destination>\n <route>\n";
    for (int i = 0; i < PeerPlanCount; ++i) {
        out << "  <wp n=\"" << i << "\">\n   <type type=\"string\">navaid</type>\n"
            << "   <ident type=\"string\">" << points[i].ident << "</ident>\n"
            << "   <lon type=\"double\">" << Number(points[i].longitude, 6) << "</lon>\n"
            << "   <lat type=\"double\">" << Number(points[i].latitude, 6) << "</lat>\n"
            << "   <altitude-ft type=\"double\">" << Number(points[i].altitudeFt, 0) << "</altitude-ft>\n"
            << "  </wp>\n";
    }
    out << " </route>\n</PropertyList>\n";
}

// The first fields of a line, as a shorter protocol definition sends it
// (0: all of them).
std::string CutToFields(const std::string& line, int fields)
{
    size_t at = 0;
    for (int i = 0; fields > 0 && i < fields; ++i) {
        at = line.find(';', at);
        if (at == std::string::npos)
            return line;
        if (i + 1 < fields)
            ++at;
    }
    return fields > 0 ? line.substr(0, at) : line;
}

std::string AircraftLine(const PeerOptions& o, double t, int button)
{
    PeerAircraft a = AircraftAt(o, t);
    std::string line;
    const double values[] = {a.altitudeFt, 10.0, a.point.longitude, a.point.latitude, a.heightFt,
                             a.point.headingDeg, a.speedKt, 270.0, 15.0, 15.0 - 2.0 * a.altitudeFt / 1000.0, 2.0,
                             0.0, 0.0, o.path.circle ? -15.0 : 0.0, 4200.0, 1800.0};
    for (size_t i = 0; i < sizeof(values) / sizeof(values[0]); ++i) {
        bool coordinate = i == 2 || i == 3;
        line += Number(values[i], coordinate ? 6 : 2) + ";";
    }
    line += "1;0;0;";                    // waypoint index, weather, the spare field
    line += "D-ESIM;c172p;EDDH";         // callsign, aircraft, nearest airport
    for (int b = 0; b < 32; ++b)
        line += b == button ? ";1" : ";0";
    line += ";" + o.route;
    return CutToFields(line, o.protocolFields) + "\n";
}

// Twenty places, as the protocol file we ship sends them: the traffic first,
// the empty places at 0/0.
std::string AiLine(const PeerOptions& o, double t)
{
    const int places = 20;
    std::string line = std::to_string(places);
    for (int i = 0; i < places; ++i) {
        if (i < o.trafficCount) {
            PathPoint p = TrafficPosition(o.path, i, o.trafficCount, t);
            line += ";TVS" + std::to_string(100 + i) + ";" + Number(p.headingDeg, 1) + ";" +
                    Number(o.path.altitudeFt + 500.0 * (i % 3), 0) + ";" + Number(p.latitude, 6) + ";" +
                    Number(p.longitude, 6) + ";" + std::to_string(3000 + i) + ";1";
        } else {
            line += ";;0.0;0;0.000000;0.000000;0;0";
        }
    }
    return line + "\n";
}

void RecordTimes(int timeSocket)
{
    if (timeSocket < 0)
        return;
    pollfd p{timeSocket, POLLIN, 0};
    while (poll(&p, 1, 0) > 0) {
        char text[64];
        ssize_t n = recv(timeSocket, text, sizeof(text) - 1, 0);
        if (n <= 0)
            break;
        text[n] = '\0';
        if (Record) {
            std::fprintf(Record, "%.3f time=%.*s\n", Now(), static_cast<int>(std::strcspn(text, "\n")), text);
            std::fflush(Record);
        }
    }
}

}  // namespace

void RunFlightGearPeer(PeerOptions* o, int socket, int timeSocket)
{
    if (o->plan && !o->route.empty())
        WriteRouteFile(*o);
    if (!o->plan)
        o->route.clear();
    const sockaddr_in map = Loopback(o->port);
    const sockaddr_in mapAi = Loopback(o->aiPort);
    bool buttonSent = false;
    for (long cycle = 0; !StopRequested; ++cycle) {
        double t = Now();
        bool silent = o->stopAt >= 0.0 && t >= o->stopAt && t < o->stopAt + o->silence;
        if (!silent) {
            int button = -1;
            if (o->button >= 0 && !buttonSent && t >= o->buttonAt) {
                button = o->button;
                buttonSent = true;
            }
            std::string line = AircraftLine(*o, t, button);
            SendTo(socket, map, line.data(), line.size());
            if (Record) {
                std::fprintf(Record, "%.3f line sent\n", t);
                std::fflush(Record);
            }
            if (o->trafficCount > 0 && cycle % AiEveryCycles == 0) {
                std::string ai = AiLine(*o, t);
                SendTo(socket, mapAi, ai.data(), ai.size());
            }
        }
        RecordTimes(timeSocket);
        poll(nullptr, 0, CycleMs);
        if (o->duration > 0.0 && Now() >= o->duration)
            break;
    }
}
