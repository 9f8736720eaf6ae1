// The simulator facade: dispatch by UseSimulator, the manual and home
// positions, heading extrapolation, position rates and the restart rule.
#include "simlink/sim_link.h"

#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "proxy_datagrams.h"
#include "simlink/aerofly_link.h"
#include "simlink/flightgear_link.h"
#include "simlink/fs2004_link.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class SimLinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorMsfs;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        // A position is taken only when the clock differs from the time of
        // the last one, which starts at 0: leave the first millisecond.
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, 5000));
    }
    void TearDown() override { StopAndJoinUdpLinkThread(); }

    // Puts a state into the MSFS link as its thread would.
    static void RegisterAndReceive(double latitude, double longitude, double heading = 90.0)
    {
        auto reply = ShortReply(MsgRegistered, 1);
        HandleMsfsDatagram(reply.data(), reply.size());
        ProxyAircraftState s = MakeState(latitude, longitude);
        s.trueHeading = heading;
        auto d = StateDatagram(s);
        HandleMsfsDatagram(d.data(), d.size());
    }
};

TEST_F(SimLinkTest, HomePositionUntilTheLinkHasOne)
{
    double lat = 0, lon = 0;
    SimLinkGetVar(SimVarLatitude, &lat);
    SimLinkGetVar(SimVarLongitude, &lon);
    EXPECT_EQ(lat, 53.5);
    EXPECT_EQ(lon, 10.0);
    RegisterAndReceive(47.0, 8.0);
    SimLinkGetVar(SimVarLatitude, &lat);
    EXPECT_EQ(lat, 47.0);
}

TEST_F(SimLinkTest, ZeroLatitudeGivesHomeForBothIds)
{
    EXPECT_EQ(PositionOrHome(SimVarLatitude, 0.0, 8.0), 53.5);
    EXPECT_EQ(PositionOrHome(SimVarLongitude, 0.0, 8.0), 10.0);
    EXPECT_EQ(PositionOrHome(SimVarLongitude, 47.0, 0.0), 10.0);
    EXPECT_EQ(PositionOrHome(SimVarLongitude, 47.0, 8.0), 8.0);
}

TEST_F(SimLinkTest, ManualModeWithoutAPointLeavesTheCallersValue)
{
    RegisterAndReceive(47.0, 8.0, 123.0);
    ManualPositionMode = 1;
    ManualPositionValid = 0;
    double lat = -1.0;
    SimLinkGetVar(SimVarLatitude, &lat);
    EXPECT_EQ(lat, -1.0);
    double heading = 0.0;
    LastDataTime = -100.0;  // no extrapolation
    SimLinkGetVar(SimVarHeading, &heading);
    EXPECT_EQ(heading, 123.0);
    ManualPosition.latitude = 12.0;
    ManualPosition.longitude = 13.0;
    ManualPositionValid = 1;
    double lon = 0.0;
    SimLinkGetVar(SimVarLatitude, &lat);
    SimLinkGetVar(SimVarLongitude, &lon);
    EXPECT_EQ(lat, 12.0);
    EXPECT_EQ(lon, 13.0);
    ManualPositionMode = 0;
}

TEST_F(SimLinkTest, HeadingWrapsFrom359To1)
{
    LastDataTime = ClockSeconds();
    LastReturnedHeading = 359.0;
    double before = ClockSeconds() - LastDataTime.load();
    double h = ExtrapolateHeading(1.0);
    double after = ClockSeconds() - LastDataTime.load();
    // d = -358 is outside (-180, 180) and H < 90: 1 + (d + 360) * dt.
    EXPECT_GE(h, 1.0 + 2.0 * before);
    EXPECT_LE(h, 1.0 + 2.0 * after);
    EXPECT_EQ(LastReturnedHeading.load(), h);
}

TEST_F(SimLinkTest, HeadingWrapsDownwardAbove90)
{
    LastDataTime = ClockSeconds();
    LastReturnedHeading = 1.0;
    double before = ClockSeconds() - LastDataTime.load();
    double h = ExtrapolateHeading(359.0);
    double after = ClockSeconds() - LastDataTime.load();
    // d = 358, H >= 90: 359 + (358 - 360) * dt.
    EXPECT_LE(h, 359.0 - 2.0 * before);
    EXPECT_GE(h, 359.0 - 2.0 * after);
}

TEST_F(SimLinkTest, StaleDataIsNotExtrapolated)
{
    LastDataTime = ClockSeconds() - 0.5;
    LastReturnedHeading = 10.0;
    EXPECT_EQ(ExtrapolateHeading(20.0), 20.0);
    EXPECT_EQ(LastReturnedHeading.load(), 20.0);
}

TEST_F(SimLinkTest, RatesAreSmoothedAndResetByAJump)
{
    PreviousPosition.latitude = 47.0;
    PreviousPosition.longitude = 8.0;
    PositionRates.latitude = 0.001;
    PositionRates.longitude = 0.002;
    UpdatePositionRates(47.01, 9.0, 2.0);
    EXPECT_NEAR(PositionRates.latitude.load(), 0.99 * 0.001 + 0.01 * 0.01 / 2.0, 1e-12);
    EXPECT_EQ(PositionRates.longitude.load(), 0.0);  // a full degree
    UpdatePositionRates(std::nan(""), 8.0, 1.0);
    EXPECT_EQ(PositionRates.latitude.load(), 0.0);
}

TEST_F(SimLinkTest, AcceptedPositionSeedsTheVelocityVectorOnce)
{
    RegisterAndReceive(47.0, 8.0, 0.0);  // 100 kt due north
    EXPECT_EQ(VelocityVectorSeeded.load(), 1);
    EXPECT_EQ(PreviousPosition.latitude.load(), 47.0);
    double rate = 0.0;
    SimLinkGetVar(SimVarLatitudeRate, &rate);
    EXPECT_GT(rate, 0.0);
    double lonRate = 1.0;
    SimLinkGetVar(SimVarLongitudeRate, &lonRate);
    EXPECT_NEAR(lonRate, 0.0, 1e-12);
}

TEST_F(SimLinkTest, UnprovidedIdsAreZeroForEveryLink)
{
    RegisterAndReceive(47.0, 8.0);
    for (int sim = 1; sim <= 8; ++sim) {
        Settings.UseSimulator = sim;
        for (SimVarId id : {21, 22, 23, 24, 27, 30, 1000, -1}) {
            double v = 99.0;
            SimLinkGetVar(id, &v);
            EXPECT_EQ(v, 0.0) << "simulator " << sim << " id " << id;
        }
    }
}

TEST_F(SimLinkTest, CorruptSelectionDoesNothing)
{
    Settings.UseSimulator = 9;
    double v = 99.0;
    SimLinkGetVar(SimVarLatitude, &v);
    EXPECT_EQ(v, 99.0);
    EXPECT_FALSE(SimLinkStartTraffic());
    EXPECT_FALSE(SimLinkPollFlightPlan());
    EXPECT_EQ(TrafficOnRequest.load(), 0);
    SimLinkSetPosition(1.0, 2.0);
    double lat, lon;
    EXPECT_FALSE(TakePendingSetPosition(&lat, &lon));
}

TEST_F(SimLinkTest, EverySimulatorHasARowWithTheOperationsItMustHave)
{
    EXPECT_EQ(SimLinkOpsOf(0), nullptr);
    EXPECT_EQ(SimLinkOpsOf(9), nullptr);
    EXPECT_EQ(SimLinkOpsOf(-1), nullptr);
    for (int sim = 1; sim <= 8; ++sim) {
        const SimLinkOps* link = SimLinkOpsOf(sim);
        ASSERT_NE(link, nullptr) << sim;
        EXPECT_TRUE(link->getVar && link->pollFlightPlan) << "simulator " << sim;
        // Started, connected, asked and stopped through a UDP descriptor
        // (4 to 8) or the SimConnect session's own operations (1 to 3).
        bool ownOperations = link->autoStart && link->connect && link->isConnected && link->stop;
        EXPECT_EQ(link->udp != nullptr, sim >= 4) << "simulator " << sim;
        EXPECT_EQ(ownOperations, sim <= 3) << "simulator " << sim;
        // Only the links that send request 23 move the simulator's aircraft.
        bool sendsPosition = sim <= 4 || sim == 7;
        EXPECT_EQ(link->setPosition != nullptr, sendsPosition) << "simulator " << sim;
        EXPECT_EQ(link->startTraffic != nullptr, sim != 8) << "simulator " << sim;
    }
    // The FSX and Prepar3D family share one link.
    EXPECT_EQ(SimLinkOpsOf(1)->getVar, SimLinkOpsOf(3)->getVar);
}

// The map's own navigation values go into the same state blocks the links
// fill; one that is no number must leave the last good value for every reader.
TEST_F(SimLinkTest, NavigationValuesThatAreNoNumbersKeepTheLastOne)
{
    struct StateBlock {
        void (*setVar)(SimVarId, double);
        void (*getVar)(SimVarId, double*);
    };
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    const double infinite = std::numeric_limits<double>::infinity();
    for (StateBlock block : {StateBlock{MsfsSetVar, MsfsGetVar}, StateBlock{Fs2004SetVar, Fs2004GetVar},
                             StateBlock{FlightGearSetVar, FlightGearGetVar}, StateBlock{AeroflySetVar, AeroflyGetVar}}) {
        block.setVar(SimVarEte, 600.0);
        block.setVar(SimVarEte, notANumber);
        block.setVar(SimVarEte, -infinite);
        double ete = 0.0;
        block.getVar(SimVarEte, &ete);
        EXPECT_EQ(ete, 600.0);
        block.setVar(SimVarEte, 0.0);
    }
}

TEST_F(SimLinkTest, AeroflyHasNoTrafficToStart)
{
    Settings.UseSimulator = SimulatorAerofly;
    EXPECT_FALSE(SimLinkStartTraffic());
    SimLinkStopTraffic();
    EXPECT_EQ(TrafficOnRequest.load(), 0);
    EXPECT_EQ(TrafficOffRequest.load(), 0);
}

TEST_F(SimLinkTest, TrafficRequestsGoThroughTheSelectedLink)
{
    Settings.UseSimulator = SimulatorFs2004;
    EXPECT_TRUE(SimLinkStartTraffic());
    EXPECT_EQ(TrafficOnRequest.load(), 1);
    SimLinkStopTraffic();
    EXPECT_EQ(TrafficOffRequest.load(), 1);
}

TEST_F(SimLinkTest, SetPositionIsArmedOnlyForLinksThatSendIt)
{
    double lat = 0, lon = 0;
    Settings.UseSimulator = SimulatorFs2004;
    SimLinkSetPosition(1.0, 2.0);
    EXPECT_FALSE(TakePendingSetPosition(&lat, &lon));
    Settings.UseSimulator = SimulatorXPlane;
    SimLinkSetPosition(3.0, 4.0);
    ASSERT_TRUE(TakePendingSetPosition(&lat, &lon));
    EXPECT_EQ(lat, 3.0);
    EXPECT_EQ(lon, 4.0);
    EXPECT_FALSE(TakePendingSetPosition(&lat, &lon));
}

TEST_F(SimLinkTest, PlanPollMarksThePlanTaken)
{
    SimPlanTaken = 0;
    {
        FlightPlanLock lock;
        FlightPlan.present = 0;
    }
    EXPECT_FALSE(SimLinkPollFlightPlan());
    EXPECT_EQ(SimPlanTaken.load(), 0);
    {
        FlightPlanLock lock;
        FlightPlan.present = 1;
    }
    EXPECT_TRUE(SimLinkPollFlightPlan());
    EXPECT_EQ(SimPlanTaken.load(), 1);
}

TEST_F(SimLinkTest, AutoStartWaitsForTheSettings)
{
    UdpPeer peer;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    SetSimLinkEnabled(0);
    SimLinkAutoStart();
    EXPECT_FALSE(IsUdpLinkRunning(MsfsLink));
    SetSimLinkEnabled(1);
    SimLinkAutoStart();
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
}

TEST_F(SimLinkTest, ConnectIgnoresTheEnabledFlag)
{
    UdpPeer peer;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    SetSimLinkEnabled(0);
    SimLinkConnect();
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
}

TEST_F(SimLinkTest, RestartIsTriedAtMostEveryThreeSeconds)
{
    UdpPeer peer;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    SetSimLinkEnabled(1);
    SimLinkRestartIfDue(100.0, true);
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
    StopAndJoinUdpLinkThread();
    SimLinkRestartIfDue(103.0, true);
    EXPECT_FALSE(IsUdpLinkRunning(MsfsLink));
    SimLinkRestartIfDue(103.5, false);  // due, but the map is being dragged
    EXPECT_FALSE(IsUdpLinkRunning(MsfsLink));
    SimLinkRestartIfDue(106.0, true);
    EXPECT_FALSE(IsUdpLinkRunning(MsfsLink));
    SimLinkRestartIfDue(106.6, true);
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
}

TEST_F(SimLinkTest, SoftkeyCharacters)
{
    EXPECT_EQ(KeyToSoftkeyChar('1'), '1');
    EXPECT_EQ(KeyToSoftkeyChar('C'), 'c');
    EXPECT_EQ(KeyToSoftkeyChar('B'), 'B');
    EXPECT_EQ(KeyToSoftkeyChar('0'), 0);
    EXPECT_EQ(KeyToSoftkeyChar('Z'), 0);
}

TEST_F(SimLinkTest, FlightPlanStateSetsFlagAndSetting)
{
    SetFlightPlanState(1);
    EXPECT_TRUE(IsFlightPlanShown());
    EXPECT_EQ(Settings.FlightPlanState, 1);
    SetFlightPlanState(0);
    EXPECT_FALSE(IsFlightPlanShown());
}

}  // namespace
