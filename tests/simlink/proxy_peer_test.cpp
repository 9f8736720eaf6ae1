// The MSFS link against the proxy-protocol peer tool: registration, the
// scripted path, plan, traffic, a button, and the requests it records.
#include "app/command_table.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/simulators.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The peer tool as a child process; its first output line names its port.
class PeerProcess {
public:
    explicit PeerProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), std::string(TVL_TOOLS_DIR) + "/tvl-proxypeer");
        if (peer_.Start(args, folder_ / "peer.out", folder_.Path()))
            port_ = std::atoi(WaitForAnnouncedPort(folder_ / "peer.out").c_str());
    }
    ~PeerProcess() { Stop(); }
    int Port() const { return port_; }
    void Stop()
    {
        if (peer_.Pid() <= 0)
            return;
        kill(peer_.Pid(), SIGTERM);
        peer_.Wait(ProgramRunLimit);
    }

private:
    TempFolder folder_;
    Child peer_;
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
