// The MSFS link against the proxy-protocol peer tool: registration, the
// scripted path, plan, traffic, a button, and the requests it records.
#include "app/command_table.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/simulators.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// The peer tool as a child process; its first output line names its port.
class PeerProcess {
public:
    explicit PeerProcess(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string program = std::string(TVL_TOOLS_DIR) + "/tvl-proxypeer";
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        FILE* f = fdopen(out[0], "r");
        char line[128] = {};
        if (f && std::fgets(line, sizeof(line), f))
            std::sscanf(line, "tvl-proxypeer listening on port %d", &port_);
        if (f)
            std::fclose(f);
    }
    ~PeerProcess() { Stop(); }
    int Port() const { return port_; }
    void Stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

TEST(ProxyPeerTool, FliesTheMapAlongItsCircle)
{
    TempFolder folder;
    std::string record = folder / "requests.txt";
    PeerProcess peer({"--port", "0", "--lat", "47.0", "--lon", "8.0", "--circle", "1", "--traffic", "2",
                      "--button", "5", "--button-at", "0.3", "--record", record, "--duration", "60"});
    ASSERT_GT(peer.Port(), 0);
    Settings.UseSimulator = SimulatorMsfs;
    Settings.InitialTimeout = 500;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    ClientIdTag = 777;
    ASSERT_TRUE(StartMsfsLink());
    ASSERT_TRUE(WaitFor([] { return IsMsfsConnected(); }, 5000));
    ASSERT_TRUE(WaitFor([] { return LinkAircraftState[LinkLatitude].load() != 0.0; }, 5000));
    double lat = LinkAircraftState[LinkLatitude].load();
    double lon = LinkAircraftState[LinkLongitude].load();
    EXPECT_NEAR(lat, 47.0, 1852.0 * 1.1 / 111120.0);
    EXPECT_NEAR(lon, 8.0, 0.03);
    // It flies: the position moves on.
    ASSERT_TRUE(WaitFor([&] {
        return LinkAircraftState[LinkLatitude].load() != lat || LinkAircraftState[LinkLongitude].load() != lon;
    }, 5000));

    ASSERT_TRUE(WaitFor([] {
        FlightPlanRecord plan;
        CopyFlightPlan(&plan);
        return plan.present == 1 && plan.count == 9;
    }, 5000));
    ASSERT_TRUE(WaitFor([] { return GetLastButton() == 6; }, 5000));

    MsfsStartTraffic();
    ASSERT_TRUE(WaitFor([] { return FindTrafficId(1000) >= 0 && FindTrafficId(1001) >= 0; }, 5000));
    StopMsfsLink();
    ASSERT_TRUE(WaitFor([] { return !IsMsfsLinkRunning(); }, 5000));
    StopAndJoinUdpLinkThread();
    peer.Stop();

    std::string lines = ReadFileText(record);
    EXPECT_NE(lines.find("type=4 slot=0 client=777"), std::string::npos);
    EXPECT_NE(lines.find("type=13 slot=0 client=777"), std::string::npos);
    EXPECT_NE(lines.find("type=7 slot=0 client=777"), std::string::npos);
}

TEST(ProxyPeerTool, RefusalKeepsTheMapUnregistered)
{
    PeerProcess peer({"--port", "0", "--refuse", "--duration", "60"});
    ASSERT_GT(peer.Port(), 0);
    Settings.InitialTimeout = 500;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    ASSERT_TRUE(StartMsfsLink());
    ASSERT_TRUE(WaitFor([] { return !IsMsfsLinkRunning(); }, 5000));
    EXPECT_FALSE(IsMsfsConnected());
    StopAndJoinUdpLinkThread();
}

}  // namespace
