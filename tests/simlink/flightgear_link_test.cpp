// The FlightGear link: what an aircraft datagram stores, the take-off and
// landing detector, the AI traffic, the listener thread with its time-out
// and time datagram, and the route file poll.
#include "simlink/flightgear_link.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/nav_tables.h"
#include "platform/threads.h"
#include "simlink/flightgear_formats.h"
#include "simlink/pilot_log.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/support/link_state.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

constexpr int Wait = 5000;

// One aircraft line as FlightGear's generic protocol sends it with the
// protocol file we ship.
struct AircraftLine {
    double altitude = 3500, groundAltitude = 10, longitude = 10.0, latitude = 53.6, height = 3480;
    double heading = 90, groundSpeed = 120, windDirection = 250, windSpeed = 15, temperature = 5;
    double variation = 2, verticalSpeed = -5, pitch = 2, bank = 0, waypointDistance = 4200, ete = 1800;
    int waypointIndex = 2, weather = 0, spare = 0;
    std::string callsign = "D-EABC", aircraft = "c172p", airport = "EDDH";
    int pressed = -1;
    std::string route = "";

    std::string Text() const
    {
        std::string t;
        for (double v : {altitude, groundAltitude, longitude, latitude, height, heading, groundSpeed, windDirection,
                         windSpeed, temperature, variation, verticalSpeed, pitch, bank, waypointDistance, ete})
            t += std::to_string(v) + ";";
        t += std::to_string(waypointIndex) + ";" + std::to_string(weather) + ";" + std::to_string(spare) + ";";
        t += callsign + ";" + aircraft + ";" + airport;
        for (int i = 0; i < 32; ++i)
            t += i == pressed ? ";1" : ";0";
        return t + ";" + route + "\n";
    }
};

double Var(SimVarId id)
{
    double v = -12345.0;
    FlightGearGetVar(id, &v);
    return v;
}

bool Handle(const AircraftLine& line)
{
    std::string text = line.Text();
    return HandleFlightGearDatagram(text.data(), text.size());
}

void HandleAi(const std::string& text)
{
    HandleFlightGearAiDatagram(text.data(), text.size());
}

class FlightGearDatagramTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorFlightGear;
        HomePosition.latitude = 47.5;
        HomePosition.longitude = 8.5;
    }
};

TEST_F(FlightGearDatagramTest, ValuesPassAsFlightGearSendsThem)
{
    AircraftLine line;
    ASSERT_TRUE(Handle(line));
    EXPECT_NEAR(Var(SimVarLatitude), 53.6, 1e-5);
    EXPECT_EQ(Var(SimVarAltitude), 3500.0);
    EXPECT_EQ(Var(SimVarGroundSpeed), 120.0);
    EXPECT_EQ(Var(SimVarVerticalSpeed), -5.0);
    EXPECT_EQ(Var(SimVarWindDirection), 250.0);
    EXPECT_EQ(Var(SimVarMagneticVariation), 2.0);
    EXPECT_EQ(Var(SimVarWaypointIndex), 2.0);
    EXPECT_EQ(Var(SimVarEte), 1800.0);
    for (SimVarId id : {11, 12, 13, 14, 21, 27})
        EXPECT_EQ(Var(id), 0.0) << id;
}

TEST_F(FlightGearDatagramTest, OnGroundBelowNineFeetOrSlowBelowEighty)
{
    AircraftLine line;
    line.height = 8.5;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(Var(SimVarOnGround), 1.0);
    line.height = 70;
    line.groundSpeed = 25;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(Var(SimVarOnGround), 1.0);
    line.groundSpeed = 35;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(Var(SimVarOnGround), 0.0);
}

TEST_F(FlightGearDatagramTest, ZeroLatitudeGivesTheHomePosition)
{
    AircraftLine line;
    line.latitude = 0;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(Var(SimVarLatitude), 47.5);
    EXPECT_EQ(Var(SimVarLongitude), 8.5);
}

TEST_F(FlightGearDatagramTest, SetVarTakesTheEteOnly)
{
    ASSERT_TRUE(Handle(AircraftLine{}));
    FlightGearSetVar(SimVarEte, 99.0);
    FlightGearSetVar(SimVarWaypointDistance, 1.0);
    FlightGearSetVar(SimVarWaypointEte, 2.0);
    EXPECT_EQ(Var(SimVarEte), 99.0);
    EXPECT_EQ(Var(SimVarWaypointDistance), 4200.0);
    EXPECT_EQ(Var(SimVarWaypointEte), 0.0);
}

TEST_F(FlightGearDatagramTest, TheFirstPressedButtonIsCalledOnceAndThePathStillRead)
{
    AircraftLine line;
    line.pressed = 3;
    line.route = "/tmp/route.xml";
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(GetLastButton(), 4);
    char path[64];
    GetFlightGearRoutePath(path, sizeof(path));
    EXPECT_STREQ(path, "/tmp/route.xml");
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
}

TEST_F(FlightGearDatagramTest, WeatherAboveZeroIsTheSimulatorsOwn)
{
    AircraftLine line;
    line.weather = 2;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(SimWeatherFlag.load(), 1);
    line.weather = 0;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(SimWeatherFlag.load(), 0);
}

TEST_F(FlightGearDatagramTest, ABadLineStoresNothing)
{
    ASSERT_TRUE(Handle(AircraftLine{}));
    std::string bad = AircraftLine{}.Text();
    bad.replace(0, bad.find(';'), "high");
    EXPECT_FALSE(HandleFlightGearDatagram(bad.data(), bad.size()));
    std::string noPosition = "9000;10;11.0\n";
    EXPECT_FALSE(HandleFlightGearDatagram(noPosition.data(), noPosition.size()));
    EXPECT_EQ(Var(SimVarAltitude), 3500.0);
    EXPECT_NEAR(Var(SimVarLatitude), 53.6, 1e-5);
}

// A protocol definition of the user's with 20 fields (the values up to the
// callsign) moves the map; what it does not send keeps its value.
TEST_F(FlightGearDatagramTest, AShorterProtocolMovesTheMapAndKeepsTheRest)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    CreatePilotLog();
    AircraftLine whole;
    whole.height = 0;
    whole.groundSpeed = 60;
    ASSERT_TRUE(Handle(whole));
    FlightGearSetVar(SimVarEte, 77.0);
    std::string twenty = "3000;10;9.5;52.5;60;180;80;250;15;5;2;-5;2;0;4200;1800;3;0;0;D-ESHT\n";
    ASSERT_TRUE(HandleFlightGearDatagram(twenty.data(), twenty.size()));
    EXPECT_NEAR(Var(SimVarLatitude), 52.5, 1e-5);
    EXPECT_NEAR(Var(SimVarLongitude), 9.5, 1e-5);
    EXPECT_EQ(Var(SimVarHeightAboveGround), 60.0);
    EXPECT_EQ(Var(SimVarWaypointIndex), 3.0);
    EXPECT_EQ(Var(SimVarEte), 1800.0);
    // The take-off is taken with the callsign it sent and the aircraft and
    // airport of the last line that carried them.
    EXPECT_STREQ(PilotLogRecord.callsign, "D-ESHT");
    EXPECT_STREQ(PilotLogRecord.aircraft, "c172p");
    EXPECT_STREQ(PilotLogRecord.departure, "EDDH");
    // Down to the position: only those four change.
    FlightGearSetVar(SimVarEte, 77.0);
    std::string four = "2500;12;9.75;52.75\n";
    ASSERT_TRUE(HandleFlightGearDatagram(four.data(), four.size()));
    EXPECT_NEAR(Var(SimVarLatitude), 52.75, 1e-5);
    EXPECT_EQ(Var(SimVarAltitude), 2500.0);
    EXPECT_EQ(Var(SimVarEte), 77.0);
    EXPECT_EQ(Var(SimVarHeightAboveGround), 60.0);
    PilotLogRecord = PilotLogFlight{};
    PilotLogPreviousHeight = 0;
}

// The other links keep a position off the earth out of their state: so
// does this one, so that no reader computes with it.
TEST_F(FlightGearDatagramTest, APositionOffTheEarthIsNotStored)
{
    AircraftLine line;
    ASSERT_TRUE(Handle(line));
    line.longitude = 1e30;
    line.latitude = -91;
    line.altitude = 4000;
    ASSERT_TRUE(Handle(line));
    EXPECT_NEAR(Var(SimVarLongitude), 10.0, 1e-5);
    EXPECT_NEAR(Var(SimVarLatitude), 53.6, 1e-5);
    EXPECT_EQ(Var(SimVarAltitude), 4000.0);
    line.longitude = -180;
    line.latitude = 90;
    ASSERT_TRUE(Handle(line));
    EXPECT_EQ(Var(SimVarLongitude), -180.0);
    EXPECT_EQ(Var(SimVarLatitude), 90.0);
}

class PilotLogDetectorTest : public FlightGearDatagramTest {
protected:
    TempFolder folder;
    WorkingFolder in{folder.Path()};

    void Fly(double height, double speed, const char* airport)
    {
        AircraftLine line;
        line.height = height;
        line.groundSpeed = speed;
        line.airport = airport;
        line.callsign = "D-EFGH";
        line.aircraft = "c310";
        ASSERT_TRUE(Handle(line));
    }
    std::string Log() { return ReadFileText(folder / PilotLogFileName); }
};

TEST_F(PilotLogDetectorTest, ATakeOffThenALandingIsOneFlight)
{
    CreatePilotLog();
    Fly(0, 60, "EDDH");
    Fly(60, 80, "EDDH");   // take-off
    Fly(3000, 120, "EDHL");
    Fly(40, 70, "EDDF");   // landing
    Fly(0, 20, "EDDF");
    std::string log = Log();
    ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    std::string flight = log.substr(log.find('\n') + 1);
    EXPECT_NE(flight.find(";D-EFGH;c310;EDDH;EDDF;"), std::string::npos) << flight;
    EXPECT_STREQ(PilotLogRecord.departure, "");
}

TEST_F(PilotLogDetectorTest, AHopAtThirtyKnotsIsNoTakeOff)
{
    CreatePilotLog();
    Fly(0, 30, "EDDH");
    Fly(60, 30, "EDDH");
    EXPECT_STREQ(PilotLogRecord.departure, "");
    Fly(40, 30, "EDDH");
    EXPECT_EQ(Log(), ReadFileText(folder / PilotLogFileName));
    std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}

class FlightGearAiTest : public FlightGearDatagramTest {
protected:
    void SetUp() override
    {
        FlightGearDatagramTest::SetUp();
        FlightGearStartTraffic();
        TrafficCount = 0;  // whatever the test before left
    }
};

TEST_F(FlightGearAiTest, RecordsFillTheSlotsInOrder)
{
    HandleAi("2;DLH1;90;3500;53.5;10.1;17;1;KLM2;270;12000;52.1;4.5;18;1");
    EXPECT_EQ(TrafficCount.load(), 2);
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[0].id, 17u);
    EXPECT_STREQ(TrafficTable[1].callsign, "KLM2");
    EXPECT_EQ(TrafficTable[1].valid, 1);
    EXPECT_EQ(TrafficTable[1].values.altitude, 12000.0);
    EXPECT_NEAR(TrafficTable[1].values.headingRad, 270 * 0.0174532, 1e-9);
}

TEST_F(FlightGearAiTest, ZeroChangesNothing)
{
    HandleAi("1;DLH1;90;3500;53.5;10.1;17;1");
    HandleAi("0");
    EXPECT_EQ(TrafficCount.load(), 1);
    EXPECT_EQ(FindTrafficId(17), 0);
}

TEST_F(FlightGearAiTest, AircraftThatLeaveTheListLeaveTheTable)
{
    HandleAi("2;DLH1;90;3500;53.5;10.1;17;1;KLM2;270;12000;52.1;4.5;18;1");
    HandleAi("2;DLH1;90;3500;53.5;10.1;17;1;;0;0;0;0;0;0");
    EXPECT_EQ(TrafficCount.load(), 1);
    EXPECT_EQ(FindTrafficId(18), -1);
}

TEST_F(FlightGearAiTest, SpeedsFollowFromReportsLessThanTwoSecondsApart)
{
    HandleAi("1;A;0;3000;53.5;10.0;5;1");
    {
        TrafficTableLock lock;
        TrafficTable[0].lastReportTime -= 1.0;
    }
    // 0.01 degree north in a second, 2156 kt, far from 0: 0.2/0.8.
    HandleAi("1;A;0;3100;53.51;10.0;5;1");
    {
        TrafficTableLock lock;
        // At least the second set back; a loaded machine adds to it, so the
        // speeds may only come out smaller.
        EXPECT_LE(TrafficTable[0].values.groundSpeed, 432.3);
        EXPECT_GE(TrafficTable[0].values.groundSpeed, 431.3 * 0.85);
        EXPECT_LE(TrafficTable[0].values.verticalSpeed, 194.0);
        EXPECT_GE(TrafficTable[0].values.verticalSpeed, 192.0 * 0.85);
        EXPECT_NEAR(TrafficTable[0].meanReportInterval, 0.5, 0.1);
        TrafficTable[0].lastReportTime -= 1.0;
        TrafficTable[0].values.groundSpeed = 5000.0;
    }
    HandleAi("1;A;0;3100;53.51;10.0;5;1");
    {
        TrafficTableLock lock;
        EXPECT_EQ(TrafficTable[0].values.groundSpeed, 1000.0);  // held there
        TrafficTable[0].lastReportTime -= 2.5;  // too old: starts afresh
        TrafficTable[0].values.groundSpeed = 100.0;
    }
    HandleAi("1;A;0;3200;53.53;10.0;5;1");
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[0].values.groundSpeed, 100.0);
    EXPECT_EQ(TrafficTable[0].meanReportInterval, 0.0);
    EXPECT_EQ(TrafficTable[0].previousLatitude, 53.53);
}

TEST_F(FlightGearAiTest, AnAircraftMovingUpTheListTakesNoSpeedOfTheOneBefore)
{
    HandleAi("2;A;0;3000;53.5;10.0;5;1;B;0;9000;50.0;8.0;6;1");
    {
        TrafficTableLock lock;
        TrafficTable[0].values.groundSpeed = 300.0;
    }
    HandleAi("1;B;0;9000;50.0;8.0;6;1");  // A has gone, B is first now
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[0].id, 6u);
    EXPECT_EQ(TrafficTable[0].values.groundSpeed, 0.0);
    EXPECT_EQ(TrafficTable[0].values.verticalSpeed, 0.0);
}

TEST_F(FlightGearAiTest, BadDatagramsStoreNothing)
{
    HandleAi("2;A;0;3000;53.5;10.0;5;1");
    HandleAi("1;A;0;3000;nan;10.0;5;1");
    HandleAi("1;A;0;3000;53.5;10.0;5");
    EXPECT_EQ(TrafficCount.load(), 0);
    EXPECT_EQ(FindTrafficId(5), -1);
}

class FlightGearLinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    UdpPeer flightGear;  // sends from a port of its own, as FlightGear does
    uint16_t port = FreeUdpPort();
    uint16_t aiPort = FreeUdpPort();

    void SetUp() override
    {
        ASSERT_TRUE(flightGear.IsOpen());
        Settings.UseSimulator = SimulatorFlightGear;
        Settings.InitialTimeout = 300;
        Settings.DebugMode = false;
        Settings.WeatherState = 0;
        Settings.FlightGear.AIPort = aiPort;
        ActiveSimPort = port;
        ActiveSimAddress.Set("127.0.0.1");
        SetSimLinkEnabled(1);
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override
    {
        StopAndJoinUdpLinkThread();
        SetTrafficOffRequest();
        WaitFor([] { return !IsFlightGearTrafficRunning(); }, Wait);
    }

    // Sends to the port every 50 ms until pred holds: the link binds its
    // port on its own thread.
    template <class Pred>
    bool SendUntil(uint16_t to, const std::string& text, Pred pred)
    {
        return WaitFor(
            [&] {
                flightGear.SendTo(to, text);
                return WaitFor(pred, 50);
            },
            Wait);
    }
};

TEST_F(FlightGearLinkTest, ListensAndTheFirstDatagramConnectsAndReloadsTheMaps)
{
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    AircraftLine line;
    line.latitude = 0;  // the first datagram connects all the same
    SimMapReloadDone = 0;
    // The link connects before it reloads the maps: wait for the reload too.
    ASSERT_TRUE(SendUntil(port, line.Text(),
                          [] { return IsUdpLinkConnected(FlightGearLink) && SimMapReloadDone.load() == 1; }));
    EXPECT_TRUE(WaitFor([] { return MapReloadPending.load() == 0; }, Wait));
    line.latitude = 52.25;
    ASSERT_TRUE(SendUntil(port, line.Text(), [] { return Var(SimVarLatitude) == 52.25; }));
}

TEST_F(FlightGearLinkTest, OneSilenceEndsTheLinkAndTheFrameRestartsIt)
{
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(FlightGearLink); }, Wait));
    EXPECT_FALSE(IsUdpLinkConnected(FlightGearLink));
    SimLinkRestartIfDue(ClockSeconds() + 10.0, true);
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
}

TEST_F(FlightGearLinkTest, StopEndsTheListener)
{
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
    StopUdpLink(FlightGearLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(FlightGearLink); }, 500));
}

TEST_F(FlightGearLinkTest, TrafficOnStartsTheAiListenerAndTrafficOffEndsIt)
{
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsFlightGearTrafficRunning(); }));
    ASSERT_TRUE(SendUntil(aiPort, "2;DLH1;90;3500;53.5;10.1;17;1;KLM2;270;12000;52.1;4.5;18;1\n",
                          [] { return TrafficCount.load() == 2; }));
    EXPECT_EQ(FindTrafficId(18), 1);
    // The listener's stop leaves the AI thread to the traffic switch.
    StopUdpLink(FlightGearLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(FlightGearLink); }, Wait));
    EXPECT_TRUE(IsFlightGearTrafficRunning());
    SimLinkStopTraffic();
    ASSERT_TRUE(WaitFor([] { return !IsFlightGearTrafficRunning(); }, Wait));
}

// Lines come only from the address of the "FlightGear" section: anyone
// else on the network could move the map or name a route file.
TEST_F(FlightGearLinkTest, OnlyFlightGearsAddressIsHeard)
{
    UdpPeer stranger(0, "127.0.0.2");
    ASSERT_TRUE(stranger.IsOpen());
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsFlightGearTrafficRunning(); }));
    AircraftLine far;
    far.latitude = -33.9;
    far.longitude = 151.2;
    ASSERT_TRUE(stranger.SendTo(port, far.Text()));
    // FlightGear's own line comes after the stranger's.
    AircraftLine next;
    next.latitude = 52.25;
    ASSERT_TRUE(SendUntil(port, next.Text(), [] { return Var(SimVarLatitude) == 52.25; }));
    EXPECT_NEAR(Var(SimVarLongitude), 10.0, 1e-5);
    // The AI listener: once it hears FlightGear, a stranger's traffic is the
    // last it reads before traffic is switched off.
    ASSERT_TRUE(SendUntil(aiPort, "1;DLH1;90;3500;53.5;10.1;17;1\n", [] { return FindTrafficId(17) == 0; }));
    ASSERT_TRUE(stranger.SendTo(aiPort, std::string("2;EVIL1;90;3500;-33.9;151.2;66;1;EVIL2;90;3500;-34;151;67;1\n")));
    SimLinkStopTraffic();
    ASSERT_TRUE(WaitFor([] { return !IsFlightGearTrafficRunning(); }, Wait));
    EXPECT_EQ(FindTrafficId(66), -1);
    EXPECT_EQ(FindTrafficId(17), 0);
}

// Another program on FlightGear's ports (a second map, a tool of the
// user's) leaves the listeners hearing nothing: the log says so once, not at
// every restart, and once the port is free the next start listens on it.
TEST_F(FlightGearLinkTest, APortAnotherProgramHoldsIsLoggedOnceAndHeardOnOnceFree)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    Settings.DebugMode = true;
    std::string refused = "FlightGear: port " + std::to_string(port) + " could not be bound (WSA error 10048)";
    std::string aiRefused = "FlightGear AI: port " + std::to_string(aiPort) + " could not be bound (WSA error 10048)";
    auto log = [&] { return ReadFileText(folder / "Tervalingo.log"); };
    {
        UdpPeer holder(port);
        ASSERT_TRUE(holder.IsOpen());
        for (int start = 0; start < 3; ++start) {
            ASSERT_TRUE(StartUdpLink(FlightGearLink));
            ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(FlightGearLink); }, Wait));
        }
        EXPECT_EQ(CountLines(log(), refused), 1) << log();
    }
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
    {
        UdpPeer holder(aiPort);
        ASSERT_TRUE(holder.IsOpen());
        ASSERT_TRUE(SimLinkStartTraffic());
        ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [&] { return CountLines(log(), aiRefused) == 1; }));
        ASSERT_TRUE(WaitFor([] { return !IsFlightGearTrafficRunning(); }, Wait));
    }
    ASSERT_TRUE(SimLinkStartTraffic());
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsFlightGearTrafficRunning(); }));
    ASSERT_TRUE(SendUntil(aiPort, "1;DLH1;90;3500;53.5;10.1;17;1\n", [] { return FindTrafficId(17) == 0; }));
    EXPECT_EQ(CountLines(log(), refused), 1) << log();
    Settings.DebugMode = false;
}

TEST_F(FlightGearLinkTest, TheTimeGoesToFlightGearWhenTheWeatherWantsIt)
{
    UdpPeer timeListener;
    Settings.FlightGear.timevar = timeListener.Port();
    Settings.WeatherState = 1;
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    ASSERT_TRUE(SendUntil(port, AircraftLine{}.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
    WeatherRequestFlag = 1;
    flightGear.SendTo(port, AircraftLine{}.Text());
    std::vector<uint8_t> d;
    ASSERT_TRUE(timeListener.Receive(&d, Wait));
    std::string text(d.begin(), d.end());
    ASSERT_EQ(text.size(), 20u);
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[10], 'T');
    EXPECT_EQ(text.back(), '\n');
    EXPECT_TRUE(WaitFor([] { return WeatherRequestFlag.load() == 0; }, Wait));
    Settings.WeatherState = 0;
}

TEST_F(FlightGearLinkTest, NoTimeWhileFlightGearHasWeatherOfItsOwn)
{
    UdpPeer timeListener;
    Settings.FlightGear.timevar = timeListener.Port();
    Settings.WeatherState = 1;
    ASSERT_TRUE(StartUdpLink(FlightGearLink));
    AircraftLine line;
    line.weather = 1;
    ASSERT_TRUE(SendUntil(port, line.Text(), [] { return IsUdpLinkConnected(FlightGearLink); }));
    WeatherRequestFlag = 1;
    flightGear.SendTo(port, line.Text());
    std::vector<uint8_t> d;
    EXPECT_FALSE(timeListener.Receive(&d, 300));
    Settings.WeatherState = 0;
}

TEST(LinkSocket, ProgramsTheMapStartsDoNotInheritIt)
{
    // A helper that kept the listener's port would keep the link from
    // binding it again after a restart.
    SOCKET s = OpenLinkSocket();
    ASSERT_NE(s, INVALID_SOCKET);
    EXPECT_NE(fcntl(s, F_GETFD) & FD_CLOEXEC, 0);
    closesocket(s);
}

class FlightGearRouteTest : public ::testing::Test {
protected:
    TempNavRoot nav;
    TempFolder folder;

    void SetUp() override
    {
        Settings.UseSimulator = SimulatorFlightGear;
        Settings.NavDatabase = 6;
        nav.WriteTable<AirportRecord>("Navdata/MSFS/apt.bin",
                                      {MakeAirport("EDDH", 53.63, 9.99), MakeAirport("EDDF", 50.03, 8.57)});
        LoadAirports();
        FlightPlanLock lock;
        FlightPlan = FlightPlanRecord{};
        FlightPlan.count = 2;
        std::strcpy(FlightPlan.waypoints[0].ident, "MINE");
    }
    void TearDown() override { FreeNavdata(); }

    // FlightGear names the file in a datagram; the route reader reads it,
    // and the plan poll takes what it read.
    bool Poll(const std::string& path)
    {
        AircraftLine line;
        line.route = path;
        EXPECT_TRUE(Handle(line));
        EXPECT_TRUE(ReaderDone());
        return SimLinkPollFlightPlan();
    }

    static bool ReaderDone()
    {
        return WaitFor([] { return !IsFlightGearRouteReadPending(); }, Wait);
    }

    std::string WriteRoute(const std::string& name, const char* destination)
    {
        std::string path = folder / name;
        std::ofstream(path) << "<PropertyList>\n <departure>\n  <airport type=\"string\">EDDH</airport>\n"
                            << " </departure>\n <destination>\n  <airport type=\"string\">" << destination
                            << "</airport>\n </destination>\n <route>\n  <wp n=\"0\">\n"
                            << "   <ident type=\"string\">NIE</ident>\n   <lon type=\"double\">9.37</lon>\n"
                            << "   <lat type=\"double\">52.63</lat>\n"
                            << "   <altitude-ft type=\"double\">9000</altitude-ft>\n  </wp>\n </route>\n"
                            << "</PropertyList>\n";
        return path;
    }

    int32_t PlanCount()
    {
        FlightPlanLock lock;
        return FlightPlan.count;
    }
};

TEST_F(FlightGearRouteTest, ARouteFileBecomesThePlan)
{
    RouteChanged = 0;
    ASSERT_TRUE(Poll(WriteRoute("route.xml", "EDDF")));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    ASSERT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[0].ident, "EDDH");
    EXPECT_STREQ(plan.waypoints[1].ident, "NIE");
    EXPECT_STREQ(plan.waypoints[2].ident, "EDDF");
    EXPECT_NEAR(plan.waypoints[2].lat, 50.03, 1e-4);
    EXPECT_EQ(plan.cruisingAltitude, 9000.0);
    EXPECT_EQ(SimPlanTaken.load(), 1);
    EXPECT_EQ(RouteChanged.load(), 1);
}

TEST_F(FlightGearRouteTest, AnUnchangedPathIsNotReadAgain)
{
    std::string path = WriteRoute("route.xml", "EDDF");
    ASSERT_TRUE(Poll(path));
    std::filesystem::remove(path);
    EXPECT_TRUE(Poll(path));
    EXPECT_EQ(PlanCount(), 3);
}

TEST_F(FlightGearRouteTest, ARouteSavedAgainUnderItsNameIsReadAgain)
{
    std::string path = WriteRoute("route.xml", "EDDF");
    ASSERT_TRUE(Poll(path));
    // The route saved again, now to EDDH: the same size, a later time.
    auto first = std::filesystem::last_write_time(path);
    WriteRoute("route.xml", "EDDH");
    std::filesystem::last_write_time(path, first + std::chrono::seconds(1));
    ASSERT_TRUE(Poll(path));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    ASSERT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[2].ident, "EDDH");
}

TEST_F(FlightGearRouteTest, ANewRouteOrItsFileSavedAgainIsTakenOverAgain)
{
    std::string path = WriteRoute("route.xml", "EDDF");
    ASSERT_TRUE(Poll(path));
    EXPECT_EQ(SimPlanTaken.load(), 1);
    AircraftLine line;
    line.route = path;
    ASSERT_TRUE(Handle(line));
    ASSERT_TRUE(ReaderDone());
    EXPECT_EQ(SimPlanTaken.load(), 1);  // nothing new: the frame does not poll
    auto first = std::filesystem::last_write_time(path);
    WriteRoute("route.xml", "EDDH");
    std::filesystem::last_write_time(path, first + std::chrono::seconds(1));
    ASSERT_TRUE(Handle(line));
    ASSERT_TRUE(ReaderDone());
    EXPECT_EQ(SimPlanTaken.load(), 0);  // saved again: the frame polls
    ASSERT_TRUE(Poll(path));
    EXPECT_EQ(SimPlanTaken.load(), 1);
    line.route = WriteRoute("other.xml", "EDDF");
    ASSERT_TRUE(Handle(line));
    ASSERT_TRUE(ReaderDone());
    EXPECT_EQ(SimPlanTaken.load(), 0);  // another route named
    ASSERT_TRUE(Poll(line.route));
    std::filesystem::remove(line.route);
    ASSERT_TRUE(Handle(line));
    ASSERT_TRUE(ReaderDone());
    EXPECT_EQ(SimPlanTaken.load(), 1);  // a file that has gone keeps its plan
}

TEST_F(FlightGearRouteTest, AFileNamedBeforeItIsWrittenIsReadOnceItIs)
{
    std::string path = folder / "later.xml";
    EXPECT_FALSE(Poll(path));
    EXPECT_EQ(PlanCount(), 2);
    std::string whole = ReadFileText(WriteRoute("whole.xml", "EDDF"));
    WriteFileText(path, whole.substr(0, whole.find("</route>")));  // half written
    EXPECT_FALSE(Poll(path));
    EXPECT_EQ(PlanCount(), 2);
    WriteFileText(path, whole);
    EXPECT_TRUE(Poll(path));
    EXPECT_EQ(PlanCount(), 3);
}

TEST_F(FlightGearRouteTest, AnUnusableFileLeavesThePlanTheUserHad)
{
    std::string folderPath = folder / "folder.xml";
    std::filesystem::create_directory(folderPath);
    std::string huge = folder / "huge.xml";
    std::filesystem::resize_file(WriteRoute("huge.xml", "EDDF"), 5 * 1024 * 1024);
    for (const std::string& path : {folder / "missing.xml", folderPath, huge, std::string("/dev/zero"),
                                    WriteRoute("nowhere.xml", "ZZZZ")}) {
        EXPECT_FALSE(Poll(path)) << path;
        EXPECT_EQ(PlanCount(), 2) << path;
        FlightPlanRecord plan;
        CopyFlightPlan(&plan);
        EXPECT_STREQ(plan.waypoints[0].ident, "MINE") << path;
    }
}

// The route reader reads the file the moment it is named: the frame's poll
// takes the plan from what was read, and never opens the file a peer named
// itself, so a file that would hold it up cannot hold up the map.
TEST_F(FlightGearRouteTest, ThePollTakesWhatTheReaderReadWithoutTouchingTheFile)
{
    AircraftLine line;
    line.route = WriteRoute("route.xml", "EDDF");
    ASSERT_TRUE(Handle(line));
    ASSERT_TRUE(ReaderDone());
    std::filesystem::remove(line.route);
    ASSERT_TRUE(SimLinkPollFlightPlan());
    EXPECT_EQ(PlanCount(), 3);
}

// A path from the network may name anything: a file that never ends, one
// that says it is empty but is not, a pipe nobody writes to, a device. The
// reader never waits on one nor reads without end.
TEST_F(FlightGearRouteTest, FilesThatNeverEndOrNeverOpenAreRefusedAtOnce)
{
    std::string pipe = folder / "pipe.xml";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string toZero = folder / "zero.xml";
    std::filesystem::create_symlink("/dev/zero", toZero);
    std::atomic<bool> done{false};
    // Run where a poll that hangs cannot hold the test for ever.
    std::thread poll([&] {
        for (const std::string& path : {std::string("/proc/self/pagemap"), pipe, toZero}) {
            EXPECT_FALSE(Poll(path)) << path;
            EXPECT_EQ(PlanCount(), 2) << path;
        }
        done = true;
    });
    bool finished = WaitFor([&] { return done.load(); }, 6 * Wait);
    if (!finished) {
        ADD_FAILURE() << "the poll still reads";
        std::_Exit(1);
    }
    poll.join();
}

TEST(FlightGearRouteScanner, ReadsNoFurtherThanARouteCanGo)
{
    FILE* zero = std::fopen("/dev/zero", "r");
    ASSERT_NE(zero, nullptr);
    FlightPlanRecord plan{};
    EXPECT_EQ(ScanFlightGearRoute(zero, nullptr, &plan), LinkDrop::FileTooLarge);
    EXPECT_LE(std::ftell(zero), static_cast<long>(FlightGearRouteMaxBytes + 128));
    std::fclose(zero);
    // Short lines without end: the line count stops them first.
    std::string lines(FlightGearRouteMaxLines + 10, '\n');
    FILE* many = fmemopen(lines.data(), lines.size(), "r");
    ASSERT_NE(many, nullptr);
    EXPECT_EQ(ScanFlightGearRoute(many, nullptr, &plan), LinkDrop::FileTooLarge);
    std::fclose(many);
}

TEST_F(FlightGearRouteTest, NoPlanPresentNoRead)
{
    {
        FlightPlanLock lock;
        FlightPlan.present = 0;
    }
    EXPECT_FALSE(LoadFlightGearRoute());
}

}  // namespace
