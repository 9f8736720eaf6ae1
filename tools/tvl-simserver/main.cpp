// tvl-simserver: a simulator for the SimConnect stand-in. It listens on the
// stand-in's socket, serves one client at a time with a scripted aircraft and
// AI traffic, and takes commands from a control file (see usage).
#include "platform/simconnect/simconnect_wire.h"
#include "tools/tvl-simserver/sim_client.h"
#include "tools/tvl-simserver/sim_world.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char Usage[] =
    "usage: tvl-simserver [options]\n"
    "  --socket PATH        socket to listen on (default $TVL_SIMCONNECT or the runtime folder)\n"
    "  --path LAT,LON;...   the path the aircraft flies, two points or more\n"
    "  --speed KT           ground speed (120)\n"
    "  --altitude FT        altitude (3000)\n"
    "  --wind DIR,KT        wind (270,15)\n"
    "  --ai N               N AI aircraft near the start of the path\n"
    "  --four-sec-ms MS     period of the \"4sec\" event (4000)\n"
    "  --plan FILE          answer \"FlightPlan\" with FILE instead of writing the path as a plan\n"
    "  --quit-after S       send QUIT S seconds after a client connected\n"
    "  --mismatch           answer every open with a version-mismatch exception\n"
    "  --control FILE       read commands from FILE, then delete it, every 50 ms:\n"
    "                       quit | vanish | mismatch | pause 0|1 | ai-add ATCID LAT LON FT |\n"
    "                       ai-remove ATCID | plan FILE | exit\n"
    "  --verbose            print what happens\n";

volatile std::sig_atomic_t StopSignal = 0;
char SocketPath[sizeof(sockaddr_un::sun_path)];
char PlanFile[600];
std::string ControlFile;
double QuitAfter = -1.0;
double ConnectedAt = 0.0;
bool ServerExit = false;

void OnSignal(int)
{
    StopSignal = 1;
}

double Now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

bool ParsePath(const char* text, WorldOptions* options)
{
    options->path.clear();
    std::stringstream stream(text);
    std::string point;
    while (std::getline(stream, point, ';')) {
        PathPoint p;
        if (std::sscanf(point.c_str(), "%lf,%lf", &p.lat, &p.lon) != 2)
            return false;
        if (p.lat < -90 || p.lat > 90 || p.lon < -180 || p.lon > 180)
            return false;
        options->path.push_back(p);
    }
    return options->path.size() >= 2;
}

// Options into world and client settings; false on anything not understood.
bool ParseOptions(int argc, char** argv, WorldOptions* world, ClientOptions* client, int* aiCount)
{
    for (int i = 1; i < argc; ++i) {
        std::string o = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        bool takesValue = o != "--mismatch" && o != "--verbose";
        if (takesValue && v == nullptr)
            return false;
        if (o == "--socket") std::snprintf(SocketPath, sizeof(SocketPath), "%s", v);
        else if (o == "--path") { if (!ParsePath(v, world)) return false; }
        else if (o == "--speed") world->speedKt = std::atof(v);
        else if (o == "--altitude") world->altitudeFt = std::atof(v);
        else if (o == "--wind") { if (std::sscanf(v, "%lf,%lf", &world->windDirection, &world->windSpeedKt) != 2) return false; }
        else if (o == "--ai") *aiCount = std::atoi(v);
        else if (o == "--four-sec-ms") client->fourSecondsMs = std::atof(v);
        else if (o == "--plan") std::snprintf(PlanFile, sizeof(PlanFile), "%s", v);
        else if (o == "--quit-after") QuitAfter = std::atof(v);
        else if (o == "--control") ControlFile = v;
        else if (o == "--mismatch") client->mismatchOnOpen = true;
        else if (o == "--verbose") client->verbose = true;
        else return false;
        if (takesValue)
            ++i;
    }
    return true;
}

int Listen()
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, SocketPath, std::strlen(SocketPath) + 1);
    unlink(SocketPath);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void RunCommand(const std::string& line, double now)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "quit") {
        EndClient(true);
    } else if (command == "vanish") {
        EndClient(false);
    } else if (command == "mismatch") {
        SendVersionMismatch();
    } else if (command == "pause") {
        int on = 0;
        words >> on;
        SendPause(on != 0);
    } else if (command == "ai-add") {
        std::string id;
        double lat = 0, lon = 0, ft = 0;
        if (words >> id >> lat >> lon >> ft)
            SendObjectAdded(AddAiAircraft(id.substr(0, 31), lat, lon, ft, now));
    } else if (command == "ai-remove") {
        std::string id;
        words >> id;
        uint32_t objectId = RemoveAiAircraft(id);
        if (objectId != 0)
            SendObjectRemoved(objectId);
    } else if (command == "plan") {
        // The next "FlightPlan" answers name this file, as after loading
        // another plan in the simulator.
        std::string file;
        if (std::getline(words >> std::ws, file) && !file.empty())
            std::snprintf(PlanFile, sizeof(PlanFile), "%s", file.c_str());
    } else if (command == "exit") {
        ServerExit = true;
    }
}

void ReadControlFile(double now)
{
    if (ControlFile.empty())
        return;
    std::ifstream in(ControlFile);
    if (!in)
        return;
    std::string line;
    std::string all;
    while (std::getline(in, line))
        all += line + "\n";
    in.close();
    unlink(ControlFile.c_str());
    std::istringstream lines(all);
    while (std::getline(lines, line))
        RunCommand(line, now);
}

void AcceptClient(int listener, const ClientOptions& options, double now)
{
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    // A client that closed just before this one connected (a connection
    // probe) has its close waiting unread: take it first.
    ServeClient(now);
    // One simulator serves one client here; later ones are turned away.
    if (ClientConnected()) {
        close(fd);
        return;
    }
    BeginClient(fd, options, now);
    ConnectedAt = now;
}

void AddStartingTraffic(int count, const WorldOptions& world)
{
    for (int i = 0; i < count; ++i) {
        char id[16];
        std::snprintf(id, sizeof(id), "AI%03d", i + 1);
        AddAiAircraft(id, world.path[0].lat + 0.05 * (i + 1), world.path[0].lon + 0.05 * (i + 1), 2000 + 500 * i, 0);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    WorldOptions world;
    world.path = {{47.0, 8.0}, {47.5, 8.8}, {47.2, 9.4}};
    ClientOptions client;
    int aiCount = 0;
    if (!SimConnectSocketPath(SocketPath, sizeof(SocketPath)) || !ParseOptions(argc, argv, &world, &client, &aiCount)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    InitWorld(world);
    double start = Now();
    AddStartingTraffic(aiCount, world);
    if (PlanFile[0] == '\0') {
        std::snprintf(PlanFile, sizeof(PlanFile), "%s.pln", SocketPath);
        if (!WritePathFlightPlan(PlanFile))
            std::fprintf(stderr, "tvl-simserver: cannot write %s\n", PlanFile);
    }
    client.planPath = PlanFile;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    int listener = Listen();
    if (listener < 0) {
        std::fprintf(stderr, "tvl-simserver: cannot listen on %s\n", SocketPath);
        return 1;
    }
    std::printf("tvl-simserver: listening on %s\n", SocketPath);
    std::fflush(stdout);
    double nextControl = 0.0;
    while (!StopSignal && !ServerExit) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {ClientSocket(), POLLIN, 0}};
        poll(fds, ClientConnected() ? 2 : 1, 10);
        double now = Now() - start;
        if (fds[0].revents & POLLIN)
            AcceptClient(listener, client, now);
        ServeClient(now);
        if (QuitAfter >= 0 && ClientConnected() && now - ConnectedAt >= QuitAfter)
            EndClient(true);
        if (now >= nextControl) {
            nextControl = now + 0.05;
            ReadControlFile(now);
        }
        std::fflush(stdout);
    }
    EndClient(false);
    close(listener);
    unlink(SocketPath);
    return 0;
}
