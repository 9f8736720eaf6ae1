// The X-Plane, FS2004, FlightGear, Prepar3D/FSX and Aerofly FS 2 links
// against tvl-simpeer, the test peer that plays each simulator's side (for
// Prepar3D/FSX its companion, with tvl-simserver behind the connector
// library): the aircraft follows its path, the plan and the traffic arrive
// (Aerofly's plan completed from the demo set's procedure database),
// the peer's stop ends the link and the per-frame restart brings it back,
// and the leaving request is recorded.
#include "app/command_table.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "simlink/aerofly_link.h"
#include "simlink/flightgear_link.h"
#include "simlink/fs2004_link.h"
#include "simlink/p3d_link.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "simlink/xplane_link.h"
#include "platform/threads.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/support/link_state.h"
#include "tests/support/child_process.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int Wait = 8000;

int32_t PlanCount()
{
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    return plan.present ? plan.count : -1;
}

double Var(SimVarId id)
{
    double v = 0.0;
    SimLinkGetVar(id, &v);
    return v;
}

class SimPeerTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    TempFolder folder;
    Child peer;
    std::string record = folder / "peer.rec";

    void SetUp() override
    {
        Settings.InitialTimeout = 1000;
        Settings.DebugMode = false;
        Settings.WeatherState = 0;
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 777;
        HomePosition.latitude = 40.0;
        HomePosition.longitude = 5.0;
        SetSimLinkEnabled(1);
    }

    void TearDown() override
    {
        StopAndJoinUdpLinkThread();
        SetTrafficOffRequest();
        WaitFor([] { return !IsFlightGearTrafficRunning(); }, Wait);
    }

    // Starts the peer with args after "--sim kind"; the port it listens on.
    int StartPeer(const char* kind, std::vector<std::string> args)
    {
        std::vector<std::string> all = {std::string(TVL_TOOLS_DIR) + "/tvl-simpeer", "--sim", kind, "--record",
                                        record, "--duration", "60"};
        all.insert(all.end(), args.begin(), args.end());
        std::string out = folder / "peer.out";
        EXPECT_TRUE(peer.Start(all, out, folder.Path()));
        std::string port = WaitForAnnouncedPort(out);
        EXPECT_FALSE(port.empty());
        return port.empty() ? 0 : std::stoi(port);
    }

    std::string Recorded() { return ReadFileText(record); }

    // Drives the per-frame restart as the display does, until the link is
    // connected again; the seconds that took.
    double RestartUntilConnected()
    {
        double start = ClockSeconds();
        while (ClockSeconds() - start < 10.0 && !SimLinkIsConnected()) {
            SimLinkRestartIfDue(ClockSeconds(), true);
            Sleep(20);
        }
        return SimLinkIsConnected() ? ClockSeconds() - start : 1e9;
    }

    // One frame's link step as the display takes it: the connected link's
    // per-frame step, else the restart every 3 s.
    static void Frame()
    {
        if (SimLinkIsConnected())
            SimLinkAutoStart();
        else
            SimLinkRestartIfDue(ClockSeconds(), true);
        Sleep(20);
    }

    // The aircraft moves: its position changes within a second or two.
    void ExpectTheAircraftMoves()
    {
        double lat = Var(SimVarLatitude), lon = Var(SimVarLongitude);
        EXPECT_NE(lat, 40.0);
        EXPECT_TRUE(WaitFor([&] { return Var(SimVarLongitude) != lon || Var(SimVarLatitude) != lat; }, Wait));
        EXPECT_NEAR(Var(SimVarLatitude), 53.64, 0.2);
        EXPECT_NEAR(Var(SimVarGroundSpeed), 120.0, 0.5);
    }
};

TEST_F(SimPeerTest, XPlanePluginFliesSendsPlanAndTrafficAndStops)
{
    Settings.UseSimulator = SimulatorXPlane;
    ActiveSimPort = StartPeer("xplane", {"--port", "0", "--leg", "90", "--traffic", "3", "--stop-at", "3"});
    SimLinkConnect();
    ASSERT_TRUE(WaitFor([] { return SimLinkIsConnected(); }, Wait));
    ExpectTheAircraftMoves();
    EXPECT_NEAR(Var(SimVarAltitude), 3000.0, 1.0);
    ASSERT_TRUE(WaitFor([] { return PlanCount() == 5; }, Wait));
    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(WaitFor([] { return TrafficCount.load() == 3 && FindTrafficId(2002) == 2; }, Wait));

    // The stop message ends the link; the frame brings it back.
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
    EXPECT_LT(RestartUntilConnected(), 4.5);
    StopUdpLink(XPlaneLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
    // The peer records what it received on its own time: the second
    // unregistration is the last request.
    ASSERT_TRUE(WaitFor([this] { return CountLines(Recorded(), "type=7 ") >= 2; }, Wait)) << Recorded();
    std::string rec = Recorded();
    EXPECT_GE(CountLines(rec, "type=4 "), 2) << rec;
    EXPECT_EQ(CountLines(rec, "type=8 "), 2) << rec;
    EXPECT_GE(CountLines(rec, "type=13 "), 1) << rec;
    EXPECT_EQ(CountLines(rec, "stop sent"), 1) << rec;
    EXPECT_NE(rec.rfind("type=7 slot=0 client=777"), std::string::npos) << rec;
}

TEST_F(SimPeerTest, Fs2004ModuleFliesSendsPlanAndTrafficAndStops)
{
    Settings.UseSimulator = SimulatorFs2004;
    ActiveSimPort = StartPeer("fs2004", {"--port", "0", "--circle", "2", "--traffic", "4", "--stop-at", "3"});
    SimLinkConnect();
    ASSERT_TRUE(WaitFor([] { return SimLinkIsConnected(); }, Wait));
    ExpectTheAircraftMoves();
    ASSERT_TRUE(WaitFor([] { return PlanCount() == 5; }, Wait));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_STREQ(plan.waypoints[4].ident, "TVS04");
    EXPECT_EQ(plan.cruisingAltitude, 3000.0);
    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(WaitFor([] { return TrafficCount.load() == 4 && FindTrafficId(2003) == 3; }, Wait));

    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, Wait));
    EXPECT_LT(RestartUntilConnected(), 4.5);
    StopUdpLink(Fs2004Link);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, Wait));
    std::string rec = Recorded();
    EXPECT_GE(CountLines(rec, "type=4 "), 2) << rec;
    EXPECT_EQ(CountLines(rec, "type=9 "), 1) << rec;
    EXPECT_NE(rec.rfind("type=7 slot=0 client=777"), std::string::npos) << rec;
}

TEST_F(SimPeerTest, FlightGearFliesARouteAndACircuitAndFallsSilent)
{
    TempNavRoot nav;
    Settings.NavDatabase = 6;
    nav.WriteTable<AirportRecord>("Navdata/MSFS/apt.bin",
                                  {MakeAirport("EDDH", 53.63, 9.99), MakeAirport("EDDF", 50.03, 8.57)});
    LoadAirports();
    WorkingFolder in(folder.Path());
    CreatePilotLog();
    UdpPeer timeListener;
    Settings.UseSimulator = SimulatorFlightGear;
    Settings.WeatherState = 1;
    int port = FreeUdpPort();
    Settings.FlightGear.AIPort = FreeUdpPort();
    Settings.FlightGear.timevar = FreeUdpPort();
    ActiveSimPort = port;
    FlightGearStartTraffic();
    SimLinkConnect();
    StartPeer("flightgear", {"--port", std::to_string(port), "--ai-port", std::to_string(Settings.FlightGear.AIPort),
                             "--time-port", std::to_string(Settings.FlightGear.timevar), "--route",
                             folder / "route.xml", "--circuit", "6", "--stop-at", "8", "--silence", "2"});
    ASSERT_TRUE(WaitFor([] { return SimLinkIsConnected(); }, Wait));
    EXPECT_NEAR(Var(SimVarLatitude), 53.64, 0.2);

    // The route manager's file is the plan.
    ASSERT_TRUE(WaitFor([] { return SimLinkPollFlightPlan(); }, Wait));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    ASSERT_EQ(plan.count, 7);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_STREQ(plan.waypoints[1].ident, "TVS00");
    EXPECT_STREQ(plan.waypoints[6].ident, "EDDF");

    ASSERT_TRUE(WaitFor([] { return TrafficCount.load() == 3; }, Wait));
    EXPECT_EQ(FindTrafficId(3001), 1);

    // Take-off 2.5 s in, landing 5.5 s in: one flight in the pilot log.
    std::string flight = ";D-ESIM;c172p;EDDH;EDDH;";
    ASSERT_TRUE(WaitFor([&] { return ReadFileText(folder / PilotLogFileName).find(flight) != std::string::npos; },
                        Wait));
    std::string log = ReadFileText(folder / PilotLogFileName);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;

    // The time went out for the weather.
    EXPECT_TRUE(WaitFor([&] { return Recorded().find(" time=") != std::string::npos; }, Wait)) << Recorded();

    // Silent from 8 s to 10 s: the link ends and the frame brings it back.
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(FlightGearLink); }, Wait));
    EXPECT_LT(RestartUntilConnected(), 5.0);
    Settings.WeatherState = 0;
    FreeNavdata();
}

TEST_F(SimPeerTest, P3dFliesThroughTheConnectorWithTheCompanionsPlanButtonsAndTraffic)
{
    std::snprintf(SystemFolder, sizeof SystemFolder, "%s/System", TVL_ROOT_DIR);
    setenv("TVL_SIMCONNECT", (folder / "sim.sock").c_str(), 1);
    Child simulator;
    ASSERT_TRUE(simulator.Start({std::string(TVL_TOOLS_DIR) + "/tvl-simserver", "--path", "53.64,10.0;53.64,10.6",
                                 "--four-sec-ms", "300", "--control", folder / "control"},
                                folder / "sim.out", folder.Path()));
    ASSERT_TRUE(WaitFor([&] { return ReadFileText(folder / "sim.out").find("listening") != std::string::npos; },
                        Wait));
    ASSERT_TRUE(WriteFileText(folder / "control", "ai-add DLH123 53.65 10.01 4000\n"));
    Settings.UseSimulator = SimulatorPrepar3d;
    ActiveSimPort = StartPeer("p3d", {"--port", "0", "--button", "4", "--button-at", "1", "--stop-at", "3"});
    SimLinkConnect();
    ASSERT_TRUE(WaitFor(
        [] {
            Frame();
            return SimLinkIsConnected() && Var(SimVarLatitude) != 40.0;
        },
        Wait));
    double lon = Var(SimVarLongitude);
    ASSERT_TRUE(WaitFor(
        [&] {
            Frame();
            return Var(SimVarLongitude) > lon;
        },
        Wait));
    EXPECT_NEAR(Var(SimVarLatitude), 53.64, 0.01);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 120.0, 0.5);
    EXPECT_NEAR(Var(SimVarAltitude), 3000.0, 1.0);
    ASSERT_TRUE(WaitFor([] { return PlanCount() == 5; }, Wait));
    ASSERT_TRUE(WaitFor([] { return GetLastButton() == 5; }, Wait));

    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(WaitFor(
        [] {
            Frame();
            int slot = FindTrafficId(1000);
            return slot >= 0 && TrafficTable[slot].valid;
        },
        Wait));
    EXPECT_STREQ(TrafficTable[FindTrafficId(1000)].callsign, "DLH123");

    // The companion's stop ends its link; the connection's next frame brings
    // it back, and its ready step runs again.
    ASSERT_TRUE(WaitFor(
        [&] {
            Frame();
            return CountLines(Recorded(), "type=8 ") == 2;
        },
        Wait));
    EXPECT_TRUE(IsP3dConnected());
    CloseP3dSimConnect();
    UnloadP3dConnector();
    std::string rec = Recorded();
    EXPECT_GE(CountLines(rec, "type=4 "), 2) << rec;
    EXPECT_EQ(CountLines(rec, "stop sent"), 1) << rec;
    EXPECT_NE(rec.rfind("type=7 slot=0 client=777"), std::string::npos) << rec;
}

TEST_F(SimPeerTest, AeroflyFliesACircuitAndItsPlanIsCompletedWithProcedures)
{
    std::snprintf(DataFolder, sizeof DataFolder, "%s", TVL_ROOT_DIR);
    WorkingFolder in(folder.Path());
    CreatePilotLog();
    Settings.UseSimulator = SimulatorAerofly;
    Settings.FlightPlanState = 0;
    SimPlanTaken = 0;
    ActiveSimPort = StartPeer("aerofly", {"--port", "0", "--leg", "90", "--circuit", "6", "--stop-at", "8"});
    SimLinkConnect();
    // Connected at its ready step, the aircraft comes with the first state.
    ASSERT_TRUE(WaitFor(
        [] {
            Frame();
            return SimLinkIsConnected() && Var(SimVarLatitude) != 40.0;
        },
        Wait));
    EXPECT_NEAR(Var(SimVarLatitude), 53.64, 0.2);

    // The frame completes the plan: SID, route, STAR, transition, final.
    ASSERT_TRUE(WaitFor(
        [] {
            Frame();
            return SimPlanTaken.load() != 0;
        },
        Wait));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    std::string idents;
    for (int i = 0; i < plan.count; ++i)
        idents += std::string(plan.waypoints[i].ident) + " ";
    EXPECT_EQ(idents, "EDDH 23 ANEXI ESTAD STADE TVS00 TVS01 TVS02 TVS03 TVS04 NOLGO MABAS PISAS ALF38 PISAS ALF38 "
                      "RW23 EDDH ");
    EXPECT_TRUE(IsFlightPlanShown());
    EXPECT_STREQ(GetDeparturePosition(), "23");

    // Asked for again, the peer sends it again.
    RequestAeroflyPlanSend();
    EXPECT_TRUE(WaitFor([&] { return Recorded().find("type=28 ") != std::string::npos; }, Wait)) << Recorded();

    // Take-off 2.5 s in, landing 5.5 s in: one flight in the pilot log.
    std::string flight = ";-;C172;EDDH;EDDH;";
    ASSERT_TRUE(WaitFor(
        [&] {
            Frame();
            return ReadFileText(folder / PilotLogFileName).find(flight) != std::string::npos;
        },
        Wait));
    std::string log = ReadFileText(folder / PilotLogFileName);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;

    // The peer's stop ends the link; the frame brings it back.
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(AeroflyLink); }, 10000));
    EXPECT_LT(RestartUntilConnected(), 4.5);
    StopUdpLink(AeroflyLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(AeroflyLink); }, Wait));
    std::string rec = Recorded();
    EXPECT_GE(CountLines(rec, "type=4 "), 2) << rec;
    EXPECT_EQ(CountLines(rec, "type=8 "), 2) << rec;
    EXPECT_NE(rec.rfind("type=7 slot=0 client=777"), std::string::npos) << rec;
}

}  // namespace
