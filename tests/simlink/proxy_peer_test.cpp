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

#include <cmath>
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
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(MsfsLink); }, 5000));
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
    // The simulator's GPS leads round the plan: a point ahead, at most one
    // plan spacing away (the 45-degree chord of a 1 nm circle, 1417 m), at
    // the time 120 kt take for it.
    double index = LinkAircraftState[LinkWaypointIndex].load();
    EXPECT_GE(index, 1.0);
    EXPECT_LE(index, 8.0);
    double metres = LinkAircraftState[LinkWaypointDistance].load();
    EXPECT_GT(metres, 0.0);
    EXPECT_LT(metres, 1420.0);
    EXPECT_NEAR(LinkAircraftState[LinkWaypointEte].load(), metres / (120.0 * 1852.0 / 3600.0), 2.0);

    MsfsStartTraffic();
    ASSERT_TRUE(WaitFor([] { return FindTrafficId(1000) >= 0 && FindTrafficId(1001) >= 0; }, 5000));
    StopUdpLink(MsfsLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, 5000));
    StopAndJoinUdpLinkThread();
    peer.Stop();

    std::string lines = ReadFileText(record);
    EXPECT_NE(lines.find("type=4 slot=0 client=777"), std::string::npos);
    EXPECT_NE(lines.find("type=13 slot=0 client=777"), std::string::npos);
    EXPECT_NE(lines.find("type=7 slot=0 client=777"), std::string::npos);
}

// An aircraft that stands still still has a plan round its circle (its
// points once all fell on the start) and the way to the first point of it,
// with no time while it does not move.
TEST(ProxyPeerTool, AStandingAircraftHasThePlanAheadAndNoTimes)
{
    PeerProcess peer({"--port", "0", "--circle", "4", "--speed", "0", "--traffic", "0", "--duration", "60"});
    ASSERT_GT(peer.Port(), 0);
    Settings.UseSimulator = SimulatorMsfs;
    Settings.InitialTimeout = 500;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    ASSERT_TRUE(WaitFor([] { return LinkAircraftState[LinkWaypointIndex].load() != 0.0; }, 5000));
    ASSERT_TRUE(WaitFor([] {
        FlightPlanRecord plan;
        CopyFlightPlan(&plan);
        return plan.present == 1 && plan.count == 9;
    }, 5000));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    // Round the default centre from its north point: east, south, and back.
    const double centre = 53.636666667, radius = 4.0 * 1852.0 / 111120.0;
    EXPECT_NEAR(plan.waypoints[0].lat, centre + radius, 1e-4);
    EXPECT_NEAR(plan.waypoints[2].lat, centre, 1e-4);
    EXPECT_GT(plan.waypoints[2].lon, plan.waypoints[0].lon + 0.05);
    EXPECT_NEAR(plan.waypoints[4].lat, centre - radius, 1e-4);
    EXPECT_NEAR(plan.waypoints[8].lat, plan.waypoints[0].lat, 1e-4);
    EXPECT_EQ(LinkAircraftState[LinkWaypointIndex].load(), 1.0);
    EXPECT_NEAR(LinkAircraftState[LinkWaypointDistance].load(), 2.0 * 4.0 * 1852.0 * std::sin(3.14159265 / 8.0), 20.0);
    EXPECT_EQ(LinkAircraftState[LinkWaypointEte].load(), 0.0);
    StopUdpLink(MsfsLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, 5000));
    StopAndJoinUdpLinkThread();
}

TEST(ProxyPeerTool, RefusalKeepsTheMapUnregistered)
{
    PeerProcess peer({"--port", "0", "--refuse", "--duration", "60"});
    ASSERT_GT(peer.Port(), 0);
    Settings.InitialTimeout = 500;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, 5000));
    EXPECT_FALSE(IsUdpLinkConnected(MsfsLink));
    StopAndJoinUdpLinkThread();
}

}  // namespace
