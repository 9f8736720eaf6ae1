// TVL64 end to end: tvl-simserver plays the simulator over the SimConnect
// socket, the test plays the map programs over UDP on a free port.
#include "navdata/nav_file_io.h"
#include "platform/profile.h"
#include "tests/support/child_process.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Waits on the simulator server and the proxy cycle; generous because CI runs
// the sanitizer build on a shared machine. Passing runs never wait this long.
constexpr int kSlowMs = 60000;

// A child process with its output in a file; ended by id when it outlives the test.
class ProxyChild {
public:
    ProxyChild(const std::vector<std::string>& args, const std::string& output)
        : pid_(SpawnProgram(args, output, false))
    {
    }
    ~ProxyChild() { Stop(); }
    void Stop()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGTERM);
            Wait(5000);
        }
    }
    // True once it has ended within timeoutMs; its exit code is then in code().
    bool Wait(int timeoutMs)
    {
        return pid_ > 0 && WaitFor(
                               [this] {
                                   int status;
                                   if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
                                       exited_ = true;
                                       code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
                                   }
                                   return exited_;
                               },
                               timeoutMs);
    }
    int code() const { return code_; }
    bool running() const { return pid_ > 0 && !exited_; }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int code_ = 0;
};

class ProxyEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = FreeUdpPort();
        setenv("TVL64_PORT", std::to_string(port_).c_str(), 1);
        setenv("TVL_SIMCONNECT", (folder_ / "sim.sock").c_str(), 1);
        // The proxy's one-instance mutex lives in the runtime folder: one per test.
        setenv("XDG_RUNTIME_DIR", folder_.Path().c_str(), 1);
    }
    std::unique_ptr<ProxyChild> StartSimulator(std::vector<std::string> options)
    {
        options.insert(options.begin(), {std::string(TVL_TOOLS_DIR) + "/tvl-simserver", "--four-sec-ms", "300",
                                         "--control", folder_ / "control"});
        auto sim = std::make_unique<ProxyChild>(options, folder_ / ("sim" + std::to_string(++sims_) + ".out"));
        WaitFor([this] { return access((folder_ / "sim.sock").c_str(), F_OK) == 0; }, 5000);
        return sim;
    }
    std::unique_ptr<ProxyChild> StartProxy(const std::string& output = "proxy.out")
    {
        return std::make_unique<ProxyChild>(std::vector<std::string>{std::string(TVL_ROOT_DIR) + "/System/TVL64", "test"},
                                       folder_ / output);
    }
    void Control(const std::string& command) { WriteFileText(folder_ / "control", command + "\n"); }
    std::string ProxyOutput() { return ReadFileText(folder_ / "proxy.out"); }
    // Registers (retrying as the map program does) and returns the slot.
    int32_t Register(ProxyTestClient* client)
    {
        for (int i = 0; i < 100; ++i) {
            client->Send(MsgRegister);
            std::vector<uint8_t> d;
            while (!(d = client->Receive(100)).empty()) {
                ProxyShortReply reply;
                if (ParseProxyShortReply(d.data(), d.size(), &reply) && reply.type == MsgRegistered)
                    return reply.slotIndex;
            }
        }
        return -1;
    }
    // The next datagram of that type within timeoutMs; empty when none.
    std::vector<uint8_t> NextOfType(ProxyTestClient* client, uint32_t type, int timeoutMs)
    {
        std::vector<uint8_t> found;
        WaitFor(
            [&] {
                std::vector<uint8_t> d = client->Receive(50);
                if (!d.empty() && ProxyTestClient::TypeOf(d) == type)
                    found = d;
                return !found.empty();
            },
            timeoutMs);
        return found;
    }
    // The next state with a position (the first answers may still be empty).
    bool NextPosition(ProxyTestClient* client, ProxyAircraftState* state)
    {
        for (int i = 0; i < 100; ++i) {
            std::vector<uint8_t> d = NextOfType(client, MsgAircraftState, 3000);
            if (!ParseProxyAircraftState(d.data(), d.size(), state))
                return false;
            if (state->latitude != 0.0)
                return true;
        }
        return false;
    }
    TempFolder folder_;
    uint16_t port_ = 0;
    int sims_ = 0;
};

TEST_F(ProxyEndToEnd, StatesFollowThePathAndPlanAndTrafficArrive)
{
    // Due east along 47 N at 3600 kt: one nautical mile a second.
    auto sim = StartSimulator({"--path", "47.0,8.0;47.0,10.0", "--speed", "3600", "--ai", "2"});
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 42);
    int32_t slot = Register(&client);
    ASSERT_GE(slot, 0);

    // The plan goes to a new client once, then every 120 cycles: take it first.
    std::vector<uint8_t> planDatagram = NextOfType(&client, MsgFlightPlan, kSlowMs);
    ProxyFlightPlanHeader plan;
    const uint8_t* waypoints = nullptr;
    ASSERT_TRUE(ParseProxyFlightPlan(planDatagram.data(), planDatagram.size(), &plan, &waypoints));
    ASSERT_EQ(plan.count, 2);
    {
        float lat, lon;
        std::memcpy(&lat, waypoints + 4, 4);
        std::memcpy(&lon, waypoints + 24 + 8, 4);
        EXPECT_NEAR(lat, 47.0f, 1e-3);
        EXPECT_NEAR(lon, 10.0f, 1e-3);
        EXPECT_STREQ(reinterpret_cast<const char*>(waypoints + 16), "APT0");
    }

    ProxyAircraftState first{}, later{};
    ASSERT_TRUE(NextPosition(&client, &first));
    EXPECT_NEAR(first.latitude, 47.0, 1e-6);
    EXPECT_NEAR(first.altitude, 3000.0, 1e-6);
    EXPECT_NEAR(first.trueHeading, 90.0, 1e-6);
    EXPECT_NEAR(first.windSpeed, 15.0, 1e-6);
    usleep(1500000);
    client.Drain();
    ASSERT_TRUE(NextPosition(&client, &later));
    double nm = (later.longitude - first.longitude) * 60.0 * std::cos(47.0 * M_PI / 180.0);
    EXPECT_GT(nm, 0.75);  // about 1.5 nm in 1.5 s; generous for a loaded machine
    EXPECT_LT(nm, 5.0);

    // The simulator's GPS leads to the plan's second point, 81.8 nm east of
    // the first, at one nautical mile a second; it is also the destination.
    ProxyAircraftState gps{};
    ASSERT_TRUE(WaitFor([&] { return NextPosition(&client, &gps) && gps.waypointIndex == 1.0; }, 8000));
    EXPECT_GT(gps.waypointDistance, 70.0 * 1852.0);
    EXPECT_LT(gps.waypointDistance, 82.0 * 1852.0);
    EXPECT_NEAR(gps.waypointEte, gps.waypointDistance / 1852.0, 1.0);
    EXPECT_NEAR(gps.ete, gps.waypointEte, 1.0);
    EXPECT_GE(gps.waypointEta, 0.0);
    EXPECT_LT(gps.waypointEta, 86400.0);

    client.Send(MsgTrafficOn, slot);
    std::vector<uint8_t> traffic = NextOfType(&client, MsgTraffic, kSlowMs);
    uint32_t count = 0;
    const uint8_t* records = nullptr;
    ASSERT_TRUE(ParseProxyTraffic(traffic.data(), traffic.size(), &count, &records));
    ASSERT_EQ(count, 2u);
    ProxyTrafficRecord record;
    ReadProxyTrafficRecord(records, 0, &record);
    EXPECT_STREQ(record.atcId, "AI001");
    uint32_t removedId = record.objectId;

    Control("ai-remove AI001");
    std::vector<uint8_t> removed = NextOfType(&client, MsgTrafficRemoved, kSlowMs);
    const uint8_t* ids = nullptr;
    ASSERT_TRUE(ParseProxyTrafficRemoved(removed.data(), removed.size(), &count, &ids));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(ReadProxyRemovedId(ids, 0), removedId);

    Control("ai-add NEW001 47.0 8.2 2500");
    bool added = WaitFor(
        [&] {
            std::vector<uint8_t> d = NextOfType(&client, MsgTraffic, 100);
            if (!ParseProxyTraffic(d.data(), d.size(), &count, &records))
                return false;
            for (uint32_t i = 0; i < count; ++i) {
                ReadProxyTrafficRecord(records, i, &record);
                if (std::strcmp(record.atcId, "NEW001") == 0)
                    return true;
            }
            return false;
        },
        8000);
    EXPECT_TRUE(added);
}

// Two map programs want the simulator's traffic; one of them switches it
// off and the other goes on getting it, with its aircraft, until it too
// switches it off.
TEST_F(ProxyEndToEnd, OneMapProgramsTrafficOffLeavesTheOthersTraffic)
{
    auto sim = StartSimulator({"--path", "47.0,8.0;47.0,10.0", "--ai", "2"});
    auto proxy = StartProxy();
    ProxyTestClient a(port_, 71), b(port_, 72);
    int32_t slotA = Register(&a), slotB = Register(&b);
    ASSERT_GE(slotA, 0);
    ASSERT_GE(slotB, 0);
    ProxyAircraftState state;
    ASSERT_TRUE(NextPosition(&a, &state));
    a.Send(MsgTrafficOn, slotA);
    b.Send(MsgTrafficOn, slotB);
    ASSERT_FALSE(NextOfType(&a, MsgTraffic, kSlowMs).empty());
    ASSERT_FALSE(NextOfType(&b, MsgTraffic, kSlowMs).empty());

    a.Send(MsgTrafficOff, slotA);
    ASSERT_TRUE(WaitFor([this] { return ProxyOutput().find("no more traffic data") != std::string::npos; }, kSlowMs));
    a.Drain();
    b.Drain();
    std::vector<uint8_t> traffic = NextOfType(&b, MsgTraffic, kSlowMs);
    uint32_t count = 0;
    const uint8_t* records = nullptr;
    ASSERT_TRUE(ParseProxyTraffic(traffic.data(), traffic.size(), &count, &records));
    EXPECT_EQ(count, 2u);
    // The proxy sends a round to its clients in slot order: a's would be there.
    for (auto& d : a.Drain())
        EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgTraffic));

    // An aircraft that leaves is still reported to the one that wants traffic.
    Control("ai-remove AI001");
    EXPECT_FALSE(NextOfType(&b, MsgTrafficRemoved, kSlowMs).empty());
}

// A map program that leaves the first word of its requests as it was, and
// one whose requests end after the fields their type needs, register all
// the same.
TEST_F(ProxyEndToEnd, RequestsAreReadByTheFieldsTheirTypeNeeds)
{
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 81);
    ProxyRequest r{0xDEADBEEFu, MsgRegister, 0, 81, 0, 0};
    bool registered = false;
    for (int i = 0; i < 100 && !registered; ++i) {
        client.SendRaw(&r, 16);
        std::vector<uint8_t> d;
        while (!registered && !(d = client.Receive(100)).empty())
            registered = ProxyTestClient::TypeOf(d) == MsgRegistered;
    }
    ASSERT_TRUE(registered);
    EXPECT_FALSE(NextOfType(&client, MsgKeepAlive, kSlowMs).empty());
}

TEST_F(ProxyEndToEnd, AClientsStopRequestEndsTheProxy)
{
    auto sim = StartSimulator({});
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 1);
    ASSERT_GE(Register(&client), 0);
    ProxyAircraftState state;
    ASSERT_TRUE(NextPosition(&client, &state));
    client.Send(MsgStopProxy);
    ASSERT_TRUE(proxy->Wait(8000));
    EXPECT_EQ(proxy->code(), 0);
    EXPECT_FALSE(NextOfType(&client, MsgProxyShutdown, 1000).empty());
    EXPECT_NE(ProxyOutput().find("\nConnection Closed"), std::string::npos);
}

TEST_F(ProxyEndToEnd, ASimulatorThatVanishesAndReturnsIsServedAgain)
{
    auto sim = StartSimulator({"--path", "47.0,8.0;47.0,9.0"});
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 5);
    ASSERT_GE(Register(&client), 0);
    ProxyAircraftState state;
    ASSERT_TRUE(NextPosition(&client, &state));
    sim->Stop();  // gone without a QUIT
    ASSERT_TRUE(WaitFor([this] { return ProxyOutput().find("\nConnection Closed") != std::string::npos; }, 5000));
    EXPECT_FALSE(NextOfType(&client, MsgKeepAlive, 2000).empty());  // still served while waiting
    client.Drain();
    sim = StartSimulator({"--path", "-33.0,151.0;-34.0,151.0"});
    bool moved = WaitFor([&] { return NextPosition(&client, &state) && state.latitude < -32.0; }, 10000);
    EXPECT_TRUE(moved);
    EXPECT_TRUE(proxy->running());
}

TEST_F(ProxyEndToEnd, QuitReturnsToWaitingAndTheNextSessionAsksAgain)
{
    auto sim = StartSimulator({});
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 6);
    ASSERT_GE(Register(&client), 0);
    ProxyAircraftState state;
    ASSERT_TRUE(NextPosition(&client, &state));
    Control("quit");
    ASSERT_TRUE(WaitFor([this] { return ProxyOutput().find("\nConnection Closed") != std::string::npos; }, 5000));
    // The server accepts the proxy again; data flows after its first "4sec".
    client.Drain();
    state.latitude = 0;
    EXPECT_TRUE(WaitFor([&] { return NextPosition(&client, &state); }, 10000));
    std::string out = ProxyOutput();
    size_t waits = 0;
    for (size_t at = out.find("Wait for Flightsimulator"); at != std::string::npos;
         at = out.find("Wait for Flightsimulator", at + 1))
        ++waits;
    EXPECT_EQ(waits, 2u);
}

TEST_F(ProxyEndToEnd, AVersionMismatchEndsTheProgram)
{
    auto sim = StartSimulator({"--mismatch"});
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 7);
    ASSERT_GE(Register(&client), 0);  // the dispatch runs only for a client
    ASSERT_TRUE(proxy->Wait(15000));
    EXPECT_EQ(proxy->code(), 0);
    EXPECT_NE(ProxyOutput().find("Simconnect version mismatch!"), std::string::npos);
}

// One proxy per lock folder: a second one there ends at once. The tests keep
// their own folder and port, so a TVL64 the user runs on this machine (here:
// one in another folder, on another port) never takes their place.
TEST_F(ProxyEndToEnd, OneProxyPerLockFolderAndTheMachinesOwnIsLeftAlone)
{
    TempFolder machine;
    uint16_t machinePort = FreeUdpPort();
    std::string testFolder = folder_.Path();
    setenv("XDG_RUNTIME_DIR", machine.Path().c_str(), 1);
    setenv("TVL64_PORT", std::to_string(machinePort).c_str(), 1);
    auto users = StartProxy("users.out");
    ProxyTestClient usersClient(machinePort, 40);
    ASSERT_GE(Register(&usersClient), 0);

    setenv("XDG_RUNTIME_DIR", testFolder.c_str(), 1);
    setenv("TVL64_PORT", std::to_string(port_).c_str(), 1);
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 41);
    EXPECT_GE(Register(&client), 0);
    auto second = StartProxy("second.out");
    ASSERT_TRUE(second->Wait(8000));
    EXPECT_EQ(second->code(), 255);  // exit(-1)
    EXPECT_TRUE(proxy->running());
    EXPECT_TRUE(users->running());
}

// A map program that exits without unregistering leaves its slot behind, and
// every state sent to it is refused by the closed port: the proxy must go on
// serving everyone else, and must not tell them it shut down.
TEST_F(ProxyEndToEnd, AClientThatVanishesLeavesTheOthersServed)
{
    auto sim = StartSimulator({"--path", "47.0,8.0;47.0,9.0"});
    auto proxy = StartProxy();
    {
        ProxyTestClient gone(port_, 31);
        ASSERT_GE(Register(&gone), 0);
        ProxyAircraftState state;
        ASSERT_TRUE(NextPosition(&gone, &state));
    }
    // Long enough for a few hundred refused sends.
    usleep(30 * 1000000);
    ProxyTestClient client(port_, 32);
    ASSERT_GE(Register(&client), 0);
    ProxyAircraftState state;
    ASSERT_TRUE(NextPosition(&client, &state));
    // Every cycle's state, not one now and then: a refusal of the vanished
    // client's datagram must not cost the next client its own.
    int states = 0;
    WaitFor(
        [&] {
            std::vector<uint8_t> d = client.Receive(50);
            EXPECT_NE(ProxyTestClient::TypeOf(d), MsgProxyShutdown);
            states += ProxyTestClient::TypeOf(d) == MsgAircraftState;
            return false;
        },
        2000);
    EXPECT_GE(states, 8);  // about 20 in 2 s; generous for a loaded machine
    EXPECT_TRUE(proxy->running());
    std::string out = ProxyOutput();
    EXPECT_EQ(out.find("initialized...", out.find("initialized...") + 1), std::string::npos) << "restarted: " << out;
}

TEST_F(ProxyEndToEnd, WithoutASimulatorClientsAreServedWhileTheProxyWaits)
{
    auto proxy = StartProxy();
    ProxyTestClient client(port_, 8);
    ASSERT_GE(Register(&client), 0);
    EXPECT_FALSE(NextOfType(&client, MsgKeepAlive, 2000).empty());
    client.Drain();
    EXPECT_TRUE(NextOfType(&client, MsgAircraftState, 500).empty());
    EXPECT_NE(ProxyOutput().find("\nWait for Flightsimulator"), std::string::npos);
}

// The plan's waypoint count and the first waypoint's latitude and ident.
struct PlanSeen {
    int32_t count = -1;
    float lat1 = 0.0f;
    float lon1 = 0.0f;
    std::string ident1;
};

PlanSeen ReadPlan(const std::vector<uint8_t>& datagram)
{
    PlanSeen seen;
    ProxyFlightPlanHeader plan;
    const uint8_t* waypoints = nullptr;
    if (!ParseProxyFlightPlan(datagram.data(), datagram.size(), &plan, &waypoints))
        return seen;
    seen.count = plan.count;
    if (plan.count > 1) {
        std::memcpy(&seen.lat1, waypoints + 24 + 4, 4);
        std::memcpy(&seen.lon1, waypoints + 24 + 8, 4);
        char ident[9] = "";
        std::memcpy(ident, waypoints + 24 + 16, 8);
        seen.ident1 = ident;
    }
    return seen;
}

// A plan switched in the simulator reaches every client within the resend
// rounds, a damaged one is refused with a console line while the proxy serves
// on, a waypoint given at 0/0 takes its fix from below the install folder,
// and a game pad's button goes to every client.
TEST_F(ProxyEndToEnd, PlansSwitchedInTheSimulatorAndPadButtonsReachEveryClient)
{
    // The install folder from the registry, with one fix.
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    MakeFolders(folder_ / "config/tervalingo");
    MakeFolders(folder_ / "install/Navdata");
    ASSERT_TRUE(WriteFileText(folder_ / "config/tervalingo/registry.ini",
                              "[Software\\Tabrix Software\\Plovik]\nInstallPath=" + folder_ / "install" + "\n"));
    FixRecord fix{};
    fix.lat = 52.25;
    fix.lon = 9.75;
    std::strcpy(fix.name, "ROBEG");
    ASSERT_TRUE(WriteWholeFile((folder_ / "install/Navdata/fixdat.bin").c_str(), BuildNavFile<FixRecord>({fix})));
    const char* position = "<WorldPosition>N53\xC2\xB0 37' 49.00\",E9\xC2\xB0 59' 19.00\",+000053.00</WorldPosition>";
    ASSERT_TRUE(WriteFileText(folder_ / "first.pln",
                              std::string("<?xml version=\"1.0\"?>\n<SimBase.Document>\n<FlightPlan.FlightPlan>\n") +
                                  "<ATCWaypoint id=\"EDDH\">" + position + "</ATCWaypoint>\n" +
                                  "<ATCWaypoint id=\"ROBEG\"><WorldPosition>N0\xC2\xB0 0' 0.00\",E0\xC2\xB0 0' 0.00\","
                                  "+005000.00</WorldPosition></ATCWaypoint>\n" +
                                  "<ATCWaypoint id=\"EDDV\">" + position + "</ATCWaypoint>\n" +
                                  "</FlightPlan.FlightPlan>\n</SimBase.Document>\n"));
    ASSERT_TRUE(WriteFileText(folder_ / "second.pln", "[flightplan]\nAppVersion=9.1.40901\n"
                                                      "waypoint.0=, EDDH, , EDDH, A, N53* 37.82', E9* 59.33', +000053.00,\n"
                                                      "waypoint.1=, HAM, , HAM, V, N53* 41.16', E10* 12.28', +000000.00,\n"
                                                      "waypoint.2=, LBE, , LBE, V, N53* 38.89', E9* 36.89', +000000.00,\n"
                                                      "waypoint.3=, EDDF, , EDDF, A, N50* 2.00', E8* 34.23', +000364.00,\n"));
    std::string binary(2048, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 131 % 256);
    ASSERT_TRUE(WriteFileText(folder_ / "damaged.pln", binary));

    // A pad the proxy finds; its INI switch lands in the proxy's folder.
    setenv("TVL_VIRTUAL_JOYSTICKS", "E2E Pad:12:1", 1);
    setenv("TVL_VIRTUAL_JOYSTICK_INPUT", (folder_ / "pad").c_str(), 1);
    WorkingFolder inFolder(folder_.Path());
    auto sim = StartSimulator({"--plan", folder_ / "first.pln"});
    auto proxy = StartProxy();
    unsetenv("TVL_VIRTUAL_JOYSTICKS");
    unsetenv("TVL_VIRTUAL_JOYSTICK_INPUT");
    unsetenv("XDG_CONFIG_HOME");

    ProxyTestClient a(port_, 51);
    ProxyTestClient b(port_, 52);
    ASSERT_GE(Register(&a), 0);
    ASSERT_GE(Register(&b), 0);
    for (ProxyTestClient* client : {&a, &b}) {
        PlanSeen first = ReadPlan(NextOfType(client, MsgFlightPlan, kSlowMs));
        ASSERT_EQ(first.count, 3);
        EXPECT_EQ(first.ident1, "ROBEG");
        EXPECT_FLOAT_EQ(first.lat1, 52.25f);
        EXPECT_FLOAT_EQ(first.lon1, 9.75f);
    }

    WriteFileText(folder_ / "pad", "0 button 6 1\n");
    for (ProxyTestClient* client : {&a, &b})
        EXPECT_FALSE(NextOfType(client, MsgControllerButton + 6, kSlowMs).empty());
    WriteFileText(folder_ / "pad", "0 button 6 0\n");
    EXPECT_NE(ReadFileText(folder_ / "Plovik.ini").find("E2E Pad=1"), std::string::npos);

    Control("plan " + folder_ / "damaged.pln");
    ASSERT_TRUE(WaitFor([&] { return ProxyOutput().find("damaged.pln: binary file") != std::string::npos; }, kSlowMs))
        << ProxyOutput();
    a.Drain();
    ProxyAircraftState state;
    EXPECT_TRUE(NextPosition(&a, &state));  // still serving

    Control("plan " + folder_ / "second.pln");
    for (ProxyTestClient* client : {&a, &b}) {
        PlanSeen second;
        WaitFor(
            [&] {
                second = ReadPlan(NextOfType(client, MsgFlightPlan, 500));
                return second.count == 4;
            },
            kSlowMs);
        EXPECT_EQ(second.count, 4);
        EXPECT_EQ(second.ident1, "HAM");
    }
    EXPECT_TRUE(proxy->running());
}

}  // namespace
