// The FS2004 link: what its datagrams store (in process), and the link
// thread against a loopback module: registration, requests, the end.
#include "simlink/fs2004_link.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "link_datagrams.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int Wait = 5000;

double Var(SimVarId id)
{
    double v = -12345.0;
    Fs2004GetVar(id, &v);
    return v;
}

bool Handle(const std::vector<uint8_t>& d)
{
    return HandleFs2004Datagram(d.data(), d.size());
}

class Fs2004DatagramTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorFs2004;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        ASSERT_TRUE(Handle(WordReply(Fs2004Magic, Fs2004MsgRegistered, 2)));
    }
};

TEST_F(Fs2004DatagramTest, StateValuesComeOutInTheUnitsOfTheVariableTable)
{
    Fs2004StateReply s = MakeFs2004State(47.25f, 8.5f);
    s.groundAltitude = 120.0f;
    s.onGround = 1.0f;
    s.verticalSpeed = 600.0f;
    s.windDirection = 250.0f;
    s.magneticVariation = 2.0f;
    s.bank = 10.0f;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.25);
    EXPECT_NEAR(Var(SimVarAltitude), 3280.8, 1e-9);
    EXPECT_EQ(Var(SimVarGpsAltitude), 1000.0);
    EXPECT_EQ(Var(SimVarGroundAltitude), 120.0);
    EXPECT_EQ(Var(SimVarOnGround), 1.0);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 100.0, 1e-4);
    EXPECT_EQ(Var(SimVarVerticalSpeed), 10.0);
    // Wind, variation and bank pass as the module sends them.
    EXPECT_EQ(Var(SimVarWindDirection), 250.0);
    EXPECT_EQ(Var(SimVarMagneticVariation), 2.0);
    EXPECT_EQ(Var(SimVarBank), 10.0);
    EXPECT_EQ(Var(SimVarEta), 0.0);
    EXPECT_TRUE(IsUdpLinkConnected(Fs2004Link));
}

TEST_F(Fs2004DatagramTest, FirstStateAtLatitudeZeroLeavesTheLinkUnconnected)
{
    ASSERT_TRUE(Handle(Bytes(MakeFs2004State(0.0f, 8.0f))));
    EXPECT_FALSE(IsUdpLinkConnected(Fs2004Link));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
    EXPECT_EQ(Var(SimVarLongitude), 10.0);
}

TEST_F(Fs2004DatagramTest, ShortOrNonFiniteStatesStoreNothing)
{
    ASSERT_TRUE(Handle(Bytes(MakeFs2004State(47.0f, 8.0f))));
    std::vector<uint8_t> cut = Bytes(MakeFs2004State(48.0f, 9.0f));
    cut.resize(76);
    ASSERT_TRUE(Handle(cut));
    Fs2004StateReply s = MakeFs2004State(48.0f, 9.0f);
    s.onGround = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
}

TEST_F(Fs2004DatagramTest, SetVarWritesDistanceAndTimes)
{
    Fs2004SetVar(SimVarWaypointDistance, 1500.0);
    Fs2004SetVar(SimVarEte, 600.0);
    Fs2004SetVar(SimVarWaypointEte, 60.0);
    Fs2004SetVar(SimVarEta, 99.0);
    EXPECT_EQ(Var(SimVarWaypointDistance), 1500.0);
    EXPECT_EQ(Var(SimVarEte), 600.0);
    EXPECT_EQ(Var(SimVarWaypointEte), 60.0);
    EXPECT_EQ(Var(SimVarEta), 0.0);
}

TEST_F(Fs2004DatagramTest, PlanRecordIsCopiedWholeWithItsCruisingAltitude)
{
    RouteChanged = 0;
    ASSERT_TRUE(Handle(PlanDatagram(Fs2004Magic, Fs2004MsgFlightPlan, 3, 1)));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.count, 3);
    EXPECT_EQ(plan.cruisingAltitude, 9000.0);
    EXPECT_STREQ(plan.waypoints[1].ident, "WP1");
    EXPECT_EQ(RouteChanged.load(), 1);
    EXPECT_EQ(Var(SimVarWaypointIndex), 1.0);
}

TEST_F(Fs2004DatagramTest, PlanWhoseCountRunsPastTheDatagramIsDropped)
{
    ASSERT_TRUE(Handle(PlanDatagram(Fs2004Magic, Fs2004MsgFlightPlan, 2)));
    RouteChanged = 0;
    std::vector<uint8_t> d = PlanDatagram(Fs2004Magic, Fs2004MsgFlightPlan, 4);
    int32_t count = 200;  // more than the 4 that arrived
    std::memcpy(d.data() + 12, &count, 4);
    ASSERT_TRUE(Handle(d));
    d = PlanDatagram(Fs2004Magic, Fs2004MsgFlightPlan, 4);
    double nan = std::nan("");
    std::memcpy(d.data() + 24, &nan, 8);
    ASSERT_TRUE(Handle(d));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.count, 2);
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(Fs2004DatagramTest, TrafficGoesIntoTheSlotsTheModuleNames)
{
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(501, 4, "AFR12", 47.0, 8.0),
                                              MakeFs2004Traffic(502, 9, "DLH34", 47.5, 8.5)},
                                             10)));
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[4].id, 501u);
    EXPECT_STREQ(TrafficTable[9].callsign, "DLH34");
    EXPECT_EQ(TrafficTable[9].valid, 1);
    EXPECT_EQ(TrafficTable[9].values.groundSpeed, 120.0);
    EXPECT_EQ(TrafficTable[9].displayedLatitude, 47.5);
    EXPECT_EQ(TrafficCount.load(), 10);
}

TEST_F(Fs2004DatagramTest, KnownAircraftAverageTheirReportInterval)
{
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(7, 0, "A", 47.0, 8.0)}, 1)));
    {
        TrafficTableLock lock;
        TrafficTable[0].lastReportTime -= 2.0;
        TrafficTable[0].meanReportInterval = 1.0;
        TrafficTable[0].displayedLatitude = 47.01;
    }
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(7, 0, "A", 47.02, 8.0)}, 1)));
    TrafficTableLock lock;
    EXPECT_NEAR(TrafficTable[0].meanReportInterval, 1.5, 0.01);
    EXPECT_EQ(TrafficTable[0].previousLatitude, 47.01);
    EXPECT_EQ(TrafficTable[0].reportCount, 0);  // not counted by this link
}

TEST_F(Fs2004DatagramTest, LastBatchFreesTheSlotsAfterIt)
{
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(1, 0, "A", 47.0, 8.0),
                                              MakeFs2004Traffic(2, 1, "B", 47.0, 8.0),
                                              MakeFs2004Traffic(3, 2, "C", 47.0, 8.0)},
                                             3)));
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(1, 0, "A", 47.0, 8.0)}, 1, 1)));
    EXPECT_EQ(FindTrafficId(1), 0);
    EXPECT_EQ(FindTrafficId(2), -1);
    EXPECT_EQ(FindTrafficId(3), -1);
    EXPECT_EQ(TrafficCount.load(), 1);
}

TEST_F(Fs2004DatagramTest, TrafficThatDoesNotAddUpStoresNothing)
{
    ResetTrafficTable();
    TrafficCount = 5;
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({}, 9)));  // n = 0: not even the count
    EXPECT_EQ(TrafficCount.load(), 5);
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(1, 0, "A", 47.0, 8.0),
                                              MakeFs2004Traffic(2, 400, "B", 47.0, 8.0)},
                                             2)));
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(3, -1, "C", 47.0, 8.0)}, 1)));
    std::vector<uint8_t> cut = Fs2004TrafficDatagram({MakeFs2004Traffic(4, 3, "D", 47.0, 8.0)}, 1);
    cut.resize(cut.size() - 8);
    ASSERT_TRUE(Handle(cut));
    auto inf = MakeFs2004Traffic(5, 3, "E", 47.0, 8.0);
    inf.verticalSpeed = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({inf}, 1)));
    for (uint32_t id = 1; id <= 5; ++id)
        EXPECT_EQ(FindTrafficId(id), -1) << id;
    EXPECT_EQ(TrafficCount.load(), 5);
}

TEST_F(Fs2004DatagramTest, TrafficCountIsHeldToTheTable)
{
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(1, 0, "A", 47.0, 8.0)}, 5000)));
    EXPECT_EQ(TrafficCount.load(), TrafficSlotCount);
    ASSERT_TRUE(Handle(Fs2004TrafficDatagram({MakeFs2004Traffic(1, 0, "A", 47.0, 8.0)}, -3)));
    EXPECT_EQ(TrafficCount.load(), 0);
}

TEST_F(Fs2004DatagramTest, EveryTypeFrom14To199CarriesTheWeather)
{
    ASSERT_TRUE(Handle(WordReply(Fs2004Magic, 14, 0, 20, 1)));
    EXPECT_EQ(SimWeatherFlag.load(), 1);
    ASSERT_TRUE(Handle(WordReply(Fs2004Magic, 199, 0, 20, 0)));
    EXPECT_EQ(SimWeatherFlag.load(), 0);
    ASSERT_TRUE(Handle(WordReply(Fs2004Magic, 26, 0, 20, 1)));
    EXPECT_EQ(SimWeatherFlag.load(), 1);
}

TEST_F(Fs2004DatagramTest, ButtonsAreNumberedFromOne)
{
    ASSERT_TRUE(Handle(WordReply(Fs2004Magic, Fs2004MsgButton + 4, 0, 8)));
    EXPECT_EQ(GetLastButton(), 5);
}

TEST_F(Fs2004DatagramTest, AnotherMagicIsNeverData)
{
    Fs2004StateReply s = MakeFs2004State(47.0f, 8.0f);
    s.magic = 2020;
    EXPECT_FALSE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
}

class Fs2004LinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    UdpPeer peer;

    void SetUp() override
    {
        ASSERT_TRUE(peer.IsOpen());
        Settings.UseSimulator = SimulatorFs2004;
        Settings.InitialTimeout = 200;
        Settings.DebugMode = false;
        ActiveSimPort = peer.Port();
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 1234;
        SetSimLinkEnabled(1);
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override { StopAndJoinUdpLinkThread(); }

    Fs2004Request Expect(uint32_t type)
    {
        std::vector<uint8_t> d;
        Fs2004Request r{};
        EXPECT_TRUE(peer.ReceiveType(type, &d, Wait)) << "request " << type;
        EXPECT_EQ(d.size(), sizeof(r));
        if (d.size() == sizeof(r))
            std::memcpy(&r, d.data(), sizeof(r));
        return r;
    }

    void RegisterAndFly(uint32_t slot)
    {
        ASSERT_TRUE(StartUdpLink(Fs2004Link));
        EXPECT_EQ(Expect(Fs2004MsgRegister).clientId, 1234);
        ASSERT_TRUE(peer.Send(WordReply(Fs2004Magic, Fs2004MsgRegistered, slot)));
        ASSERT_TRUE(peer.Send(Bytes(MakeFs2004State(47.0f, 8.0f))));
        ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(Fs2004Link); }, Wait));
    }
};

TEST_F(Fs2004LinkTest, ReadyStepThenRequestsWithTheSlot)
{
    RegisterAndFly(8);
    Fs2004Request r = Expect(Fs2004MsgMapReady);
    EXPECT_EQ(r.slotIndex, 8u);
    EXPECT_EQ(r.clientId, 1234);
    EXPECT_EQ(r.zero, 0u);
    ASSERT_TRUE(SimLinkStartTraffic());
    Expect(Fs2004MsgTrafficOn);
    SimLinkStopTraffic();
    Expect(Fs2004MsgTrafficOff);
    Settings.WeatherState = 1;
    WeatherRequestFlag = 1;
    EXPECT_EQ(Expect(Fs2004MsgWeatherRequest).weather, 1u);
    Settings.WeatherState = 0;
    StopUdpLink(Fs2004Link);
    r = Expect(Fs2004MsgUnregister);
    EXPECT_EQ(r.clientId, 1234);
    EXPECT_EQ(r.weather, 1u);  // the record keeps what the last request left
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, Wait));
}

// The module restarted without its stop message (the simulator crashed):
// five time-outs end the link, and the frame's restart registers with the
// module that is there now. A receive error asks for no weather here.
TEST_F(Fs2004LinkTest, AModuleThatFellSilentIsRegisteredWithAgain)
{
    Settings.WeatherState = 1;
    WeatherRequestFlag = 0;
    RegisterAndFly(2);
    Expect(Fs2004MsgMapReady);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, 4 * Wait));
    EXPECT_FALSE(IsUdpLinkConnected(Fs2004Link));
    Expect(Fs2004MsgUnregister);
    EXPECT_EQ(WeatherRequestFlag.load(), 0);
    Settings.WeatherState = 0;
    SimLinkRestartIfDue(ClockSeconds() + 10.0, true);
    Expect(Fs2004MsgRegister);
    ASSERT_TRUE(peer.Send(WordReply(Fs2004Magic, Fs2004MsgRegistered, 4)));
    ASSERT_TRUE(peer.Send(Bytes(MakeFs2004State(47.5f, 8.0f))));
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(Fs2004Link) && Var(SimVarLatitude) == 47.5; }, Wait));
}

TEST_F(Fs2004LinkTest, KeepAlivesOfTheModuleHoldTheLinkOpen)
{
    ASSERT_TRUE(StartUdpLink(Fs2004Link));
    Expect(Fs2004MsgRegister);
    ASSERT_TRUE(peer.Send(WordReply(Fs2004Magic, Fs2004MsgRegistered, 2)));
    // 200 ms time-outs before the first state: five in a row would end the
    // link within a second, but each keep-alive starts the count again.
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(peer.Send(WordReply(Fs2004Magic, 26, 0, 20, 0)));
        std::vector<uint8_t> d;
        peer.Receive(&d, 100);
    }
    EXPECT_TRUE(IsUdpLinkRunning(Fs2004Link));
}

TEST_F(Fs2004LinkTest, StateBeforeRegistrationEndsTheLink)
{
    ASSERT_TRUE(StartUdpLink(Fs2004Link));
    Expect(Fs2004MsgRegister);
    ASSERT_TRUE(peer.Send(Bytes(MakeFs2004State(47.0f, 8.0f))));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, Wait));
}

TEST_F(Fs2004LinkTest, UnknownTypeEndsTheLinkAndUnregisters)
{
    RegisterAndFly(1);
    ASSERT_TRUE(peer.Send(WordReply(Fs2004Magic, 12, 0, 8)));
    Expect(Fs2004MsgUnregister);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(Fs2004Link); }, Wait));
}

}  // namespace
