// TVL64 with 20 registered map programs: the time from a simulator data
// message to the last client's state datagram, and the proxy's CPU share.
#include "platform/simconnect/simconnect_queue.h"
#include "proxy/client_table.h"
#include "proxy/sim_session.h"
#include "proxy/udp_server.h"
#include "tests/support/child_process.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>


namespace {

constexpr int Clients = 20;

struct BenchClient {
    int fd;
    sockaddr_in proxy;
};

std::vector<BenchClient> OpenClients(uint16_t port)
{
    std::vector<BenchClient> clients;
    for (int i = 0; i < Clients; ++i) {
        BenchClient c{socket(AF_INET, SOCK_DGRAM, 0), {}};
        c.proxy.sin_family = AF_INET;
        c.proxy.sin_port = htons(port);
        c.proxy.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        clients.push_back(c);
    }
    return clients;
}

void SendRequest(const BenchClient& c, uint32_t type, int32_t id)
{
    ProxyRequest r{0, type, 0, id, 0, 0};
    sendto(c.fd, &r, sizeof(r), 0, reinterpret_cast<const sockaddr*>(&c.proxy), sizeof(c.proxy));
}

void SendRegister(const BenchClient& c, int32_t id)
{
    SendRequest(c, MsgRegister, id);
}

// A full plan, as the proxy publishes after reading the simulator's file.
void PublishFullPlan()
{
    FlightPlanRecord plan{};
    plan.present = 1;
    plan.count = FlightPlanMaxWaypoints;
    for (int i = 0; i < plan.count; ++i) {
        plan.waypoints[i].lat = 47.0f + 0.01f * static_cast<float>(i);
        plan.waypoints[i].lon = 8.0f;
        std::snprintf(plan.waypoints[i].ident, sizeof(plan.waypoints[i].ident), "W%d", i % 1000);
    }
    PublishFlightPlan(plan);
}

// Reads until a datagram of that type; false after timeoutMs.
bool ReceiveType(int fd, uint32_t type, int timeoutMs)
{
    uint8_t buffer[20000];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1) {
        ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        uint32_t magic, got;
        if (ReadProxyHeader(buffer, static_cast<size_t>(n > 0 ? n : 0), &magic, &got) && got == type)
            return true;
    }
    return false;
}

// Like ReceiveType for the state datagram, but gives the kernel's arrival
// time (CLOCK_REALTIME), so pauses the proxy takes after sending do not count.
bool ReceiveStateArrival(int fd, int timeoutMs, timespec* arrival)
{
    uint8_t buffer[20000];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1) {
        iovec io{buffer, sizeof(buffer)};
        msghdr m{};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof(control);
        ssize_t n = recvmsg(fd, &m, 0);
        uint32_t magic, got;
        if (!ReadProxyHeader(buffer, static_cast<size_t>(n > 0 ? n : 0), &magic, &got) || got != MsgAircraftState)
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                std::memcpy(arrival, CMSG_DATA(c), sizeof(*arrival));
                return true;
            }
        }
        return false;
    }
    return false;
}

double Seconds(const timespec& t)
{
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void Drain(int fd)
{
    uint8_t buffer[20000];
    while (recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) {
    }
}

// In-process: one session cycle's path from the dispatched data answer to the
// 20th client's state datagram, by the kernel's arrival stamps (the cycle's
// deliberate pauses, and the traffic's that follow the state, excluded).
void BM_StateToLastClient(benchmark::State& state)
{
    uint16_t port = FreeUdpPort();
    setenv("TVL64_PORT", std::to_string(port).c_str(), 1);
    SimConnectQueueEnable(true);
    SimConnectQueueSetAvailable(true);
    if (!StartUdpServer() || FAILED(SimConnect_Open(&SimConnectHandle, "bench", nullptr, 0, nullptr, 0))) {
        state.SkipWithError("proxy did not start");
        return;
    }
    BeginSimSession();
    std::vector<BenchClient> clients = OpenClients(port);
    int on = 1;
    for (auto& c : clients)
        setsockopt(c.fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof(on));
    for (int i = 0; i < Clients; ++i) {
        SendRegister(clients[i], 1000 + i);
        while (ClientCount() <= i)
            usleep(1000);
    }
    for (int i = 0; i < Clients; ++i)
        SendRequest(clients[i], MsgTrafficOn, 1000 + i);
    PublishFullPlan();
    ServeClients();
    for (auto& c : clients)
        Drain(c.fd);
    double values[7] = {120, 8.0, 47.0, 3000, 90, 2, 0};
    for (auto _ : state) {
        SimConnectQueueInjectDataByType(10, 1, 4, 1, 1, values, sizeof(values));
        timespec start;
        clock_gettime(CLOCK_REALTIME, &start);
        DispatchSimMessages();
        SendSessionState();
        double last = Seconds(start);
        for (auto& c : clients) {
            timespec arrival;
            if (!ReceiveStateArrival(c.fd, 1000, &arrival)) {
                state.SkipWithError("a client got no state");
                break;
            }
            last = std::max(last, Seconds(arrival));
        }
        state.SetIterationTime(last - Seconds(start));
        for (auto& c : clients)
            Drain(c.fd);
        values[1] += 0.001;
    }
    for (auto& c : clients)
        close(c.fd);
    EndSimSession();
    StopUdpServer();
}
BENCHMARK(BM_StateToLastClient)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

pid_t Spawn(const std::vector<std::string>& args)
{
    return SpawnProgram(args, "/dev/null", false);
}

// User plus system CPU seconds of a running process.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    unsigned long utime = 0, stime = 0;
    // Fields after the name: state is field 3; utime and stime are 14 and 15.
    std::sscanf(text.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The real programs: tvl-simserver with AI traffic and its plan, TVL64 with a
// game pad to poll, and 20 clients that all want traffic, for 10 s of cycles.
void BM_ProxyCpuShare(benchmark::State& state)
{
    TempFolder folder;
    if (folder.Path().empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    uint16_t port = FreeUdpPort();
    setenv("TVL64_PORT", std::to_string(port).c_str(), 1);
    std::string socket = folder / "sim.sock";
    setenv("TVL_SIMCONNECT", socket.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
    std::string root = TVL_ROOT_DIR;
    pid_t sim = Spawn({root + "/../tools/tvl-simserver", "--ai", "5"});
    // The proxy connects once the simulator listens on its socket.
    for (int i = 0; i < 600 && !std::filesystem::exists(socket); ++i)
        usleep(10000);
    setenv("TVL_VIRTUAL_JOYSTICKS", "Bench Pad:12:1", 1);
    pid_t proxy = Spawn({root + "/System/TVL64", "bench"});
    unsetenv("TVL_VIRTUAL_JOYSTICKS");
    std::vector<BenchClient> clients = OpenClients(port);
    for (auto _ : state) {
        for (int i = 0; i < Clients; ++i) {
            while (true) {
                SendRegister(clients[i], 2000 + i);
                if (ReceiveType(clients[i].fd, MsgRegistered, 200))
                    break;
            }
            SendRequest(clients[i], MsgTrafficOn, 2000 + i);
        }
        ReceiveType(clients[0].fd, MsgAircraftState, 10000);
        double cpuStart = CpuSeconds(proxy);
        auto start = std::chrono::steady_clock::now();
        auto end = start + std::chrono::seconds(10);
        int states = 0;
        int traffic = 0;
        while (std::chrono::steady_clock::now() < end) {
            states += ReceiveType(clients[Clients - 1].fd, MsgAircraftState, 200) ? 1 : 0;
            traffic += ReceiveType(clients[0].fd, MsgTraffic, 0) ? 1 : 0;
            for (auto& c : clients)
                Drain(c.fd);
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent_of_one_core"] = 100.0 * (CpuSeconds(proxy) - cpuStart) / wall;
        state.counters["states_per_second"] = states / wall;
        state.counters["traffic_lists_seen"] = traffic;
    }
    for (auto& c : clients)
        close(c.fd);
    kill(proxy, SIGTERM);
    kill(sim, SIGTERM);
    waitpid(proxy, nullptr, 0);
    waitpid(sim, nullptr, 0);
}
BENCHMARK(BM_ProxyCpuShare)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
