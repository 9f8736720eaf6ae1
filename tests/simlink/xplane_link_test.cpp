// The X-Plane link: what its datagrams store (in process), and the link
// thread against a loopback plug-in: registration, requests, the end.
#include "simlink/xplane_link.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "link_datagrams.h"
#include "navdata/flight_plan.h"
#include "simlink/link_drops.h"
#include "simlink/msfs_link.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/temp_folder.h"
#include "platform/threads.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr int Wait = 5000;

double Var(SimVarId id)
{
    double v = -12345.0;
    XPlaneGetVar(id, &v);
    return v;
}

bool Handle(const std::vector<uint8_t>& d)
{
    return HandleXPlaneDatagram(d.data(), d.size());
}

class XPlaneDatagramTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorXPlane;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        ASSERT_TRUE(Handle(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgRegistered, 3)));
    }
};

TEST_F(XPlaneDatagramTest, StateValuesComeOutInTheUnitsOfTheVariableTable)
{
    XPlaneState s = MakeXPlaneState(47.25f, 8.5f);
    s.bank = 10.0f;
    s.verticalSpeed = 600.0f;
    s.windSpeed = 5.151f;
    s.windDirection = 250.0f;
    s.magneticVariation = 2.0f;
    s.waypointEte = 120.0f;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.25);
    EXPECT_EQ(Var(SimVarLongitude), 8.5);
    EXPECT_NEAR(Var(SimVarAltitude), 3280.8, 1e-9);
    EXPECT_EQ(Var(SimVarGpsAltitude), 1000.0);  // as received, metres
    // 1000 m less 3281 ft of height: the ground is at sea level.
    EXPECT_NEAR(Var(SimVarGroundAltitude), 0.0, 1e-9);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 100.0, 1e-4);
    EXPECT_NEAR(Var(SimVarWindSpeed), 10.0, 1e-4);
    EXPECT_EQ(Var(SimVarWindDirection), 248.0);
    EXPECT_EQ(Var(SimVarMagneticVariation), -2.0);
    EXPECT_EQ(Var(SimVarBank), -10.0);
    EXPECT_EQ(Var(SimVarVerticalSpeed), 10.0);
    EXPECT_EQ(Var(SimVarWaypointEte), 120.0);
    EXPECT_EQ(Var(SimVarOnGround), 0.0);
    EXPECT_TRUE(IsUdpLinkConnected(XPlaneLink));
}

TEST_F(XPlaneDatagramTest, OnGroundUpToTenFeet)
{
    XPlaneState s = MakeXPlaneState(47.0f, 8.0f);
    s.heightAboveGround = 10.0f;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarOnGround), 1.0);
    s.heightAboveGround = 10.5f;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarOnGround), 0.0);
}

TEST_F(XPlaneDatagramTest, StateIsTakenOnlyWhenItsLengthFieldMatches)
{
    ASSERT_TRUE(Handle(Bytes(MakeXPlaneState(47.0f, 8.0f))));
    XPlaneState s = MakeXPlaneState(48.0f, 9.0f);
    s.length = sizeof(s) + 4;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    // A longer datagram is fine when its length says so.
    std::vector<uint8_t> longer = Bytes(s);
    longer.resize(sizeof(s) + 4, 0);
    ASSERT_TRUE(Handle(longer));
    EXPECT_EQ(Var(SimVarLatitude), 48.0);
}

TEST_F(XPlaneDatagramTest, ShortOrNonFiniteStatesStoreNothing)
{
    ASSERT_TRUE(Handle(Bytes(MakeXPlaneState(47.0f, 8.0f))));
    XPlaneState s = MakeXPlaneState(48.0f, 9.0f);
    s.length = 40;
    std::vector<uint8_t> cut = Bytes(s);
    cut.resize(40);
    ASSERT_TRUE(Handle(cut));
    s = MakeXPlaneState(48.0f, 9.0f);
    s.altitude = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(Handle(Bytes(s)));
    s = MakeXPlaneState(48.0f, 9.0f);
    s.pitch = std::numeric_limits<float>::infinity();
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_NEAR(Var(SimVarAltitude), 3280.8, 1e-9);
}

TEST_F(XPlaneDatagramTest, CoordinatesOutOfRangeAreKeptOutButTheRestIsTaken)
{
    ASSERT_TRUE(Handle(Bytes(MakeXPlaneState(47.0f, 8.0f))));
    XPlaneState s = MakeXPlaneState(91.0f, -181.0f);
    s.altitude = 2000.0f;
    s.trueHeading = 1000.0f;
    ASSERT_TRUE(Handle(Bytes(s)));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarLongitude), 8.0);
    EXPECT_NEAR(Var(SimVarAltitude), 6561.6, 1e-9);
    LastDataTime = -100.0;  // no extrapolation
    EXPECT_EQ(Var(SimVarHeading), 90.0);
}

TEST_F(XPlaneDatagramTest, WaypointIndexIsThePlansActiveIndex)
{
    ASSERT_TRUE(Handle(PlanDatagram(XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan, 4, 2)));
    EXPECT_EQ(Var(SimVarWaypointIndex), 2.0);
    MsfsSetVar(SimVarWaypointDistance, 1234.0);
    EXPECT_EQ(Var(SimVarWaypointDistance), 1234.0);
}

TEST_F(XPlaneDatagramTest, PlanIsCopiedButNeverPastWhatArrived)
{
    RouteChanged = 0;
    ASSERT_TRUE(Handle(PlanDatagram(XPlaneMagicStateFlagClear, XPlaneMsgFlightPlan, 3, 1)));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.count, 3);
    EXPECT_STREQ(plan.waypoints[2].ident, "WP2");
    EXPECT_EQ(RouteChanged.load(), 1);

    // A count past the end, a count past the table, present 0: nothing changes.
    RouteChanged = 0;
    std::vector<uint8_t> cut = PlanDatagram(XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan, 5);
    cut.resize(cut.size() - 1);
    ASSERT_TRUE(Handle(cut));
    std::vector<uint8_t> huge = PlanDatagram(XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan, 1);
    int32_t tooMany = 301;
    std::memcpy(huge.data() + 12, &tooMany, 4);
    ASSERT_TRUE(Handle(huge));
    ASSERT_TRUE(Handle(PlanDatagram(XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan, 6, 0, 0)));
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.count, 3);
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(XPlaneDatagramTest, PlanWithAnUnterminatedIdentIsDropped)
{
    std::vector<uint8_t> d = PlanDatagram(XPlaneMagicStateFlagSet, XPlaneMsgFlightPlan, 2);
    std::memset(d.data() + FlightPlanHeaderSize + 24 + 16, 'X', 8);
    RouteChanged = 0;
    ASSERT_TRUE(Handle(d));
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(XPlaneDatagramTest, TrafficIsKeptByPositionInTheList)
{
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({MakeXPlaneTraffic(11, "N11", 47.1, 8.1),
                                              MakeXPlaneTraffic(12, "N12", 47.2, 8.2)},
                                             7)));
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[0].id, 11u);
    EXPECT_STREQ(TrafficTable[1].callsign, "N12");
    EXPECT_EQ(TrafficTable[1].valid, 1);
    EXPECT_EQ(TrafficTable[1].values.latitude, 47.2);
    EXPECT_EQ(TrafficTable[1].displayedLatitude, 47.2);
    EXPECT_EQ(TrafficTable[1].meanReportInterval, 0.0);
    EXPECT_EQ(TrafficCount.load(), 7);  // the plug-in's own count
}

TEST_F(XPlaneDatagramTest, ANewAircraftAtAPositionReplacesWhatTheSlotHeld)
{
    std::vector<XPlaneTrafficRecord> list;
    for (uint32_t i = 0; i < 6; ++i)
        list.push_back(MakeXPlaneTraffic(100 + i, "OLD", 47.0, 8.0));
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram(list)));
    {
        TrafficTableLock lock;
        TrafficTable[5].values.groundSpeed = 250.0;
        TrafficTable[5].values.verticalSpeed = 20.0;
    }
    list[5] = MakeXPlaneTraffic(777, "NEW", 46.0, 7.0, 5000.0, 180.0);
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram(list)));
    TrafficTableLock lock;
    EXPECT_EQ(TrafficTable[5].id, 777u);
    EXPECT_STREQ(TrafficTable[5].callsign, "NEW");
    EXPECT_EQ(TrafficTable[5].previousLatitude, 46.0);
    EXPECT_NEAR(TrafficTable[5].previousHeading, 180.0 * 0.0174532, 1e-12);
    EXPECT_EQ(TrafficTable[5].values.altitude, 5000.0);
    // Nothing of the aircraft before, whose report came a moment ago.
    EXPECT_EQ(TrafficTable[5].values.groundSpeed, 0.0);
    EXPECT_EQ(TrafficTable[5].values.verticalSpeed, 0.0);
}

TEST_F(XPlaneDatagramTest, SpeedsFollowOnlyFromReportsLessThanASecondApart)
{
    auto first = MakeXPlaneTraffic(5, "A", 47.0, 8.0, 3000.0);
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({first})));
    {
        TrafficTableLock lock;
        TrafficTable[0].values.groundSpeed = 0.0;
        TrafficTable[0].values.verticalSpeed = 0.0;
        TrafficTable[0].lastReportTime = ClockSeconds() - 1.0;  // a second ago
    }
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({MakeXPlaneTraffic(5, "A", 47.001, 8.0, 3100.0)})));
    {
        TrafficTableLock lock;
        EXPECT_EQ(TrafficTable[0].values.groundSpeed, 0.0);
        EXPECT_EQ(TrafficTable[0].values.verticalSpeed, 0.0);
        EXPECT_EQ(TrafficTable[0].reportCount, 1);
        TrafficTable[0].lastReportTime = ClockSeconds() - 0.5;
    }
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({MakeXPlaneTraffic(5, "A", 47.002, 8.0, 3200.0)})));
    TrafficTableLock lock;
    // 222 m (from the displayed position) in half a second is about 863 kt:
    // far from 0, so 0.9/0.1.
    EXPECT_NEAR(TrafficTable[0].values.groundSpeed, 86.26, 0.5);
    EXPECT_GT(TrafficTable[0].values.verticalSpeed, 3.0);
    EXPECT_EQ(TrafficTable[0].reportCount, 2);
}

TEST_F(XPlaneDatagramTest, TrafficThatDoesNotAddUpStoresNothing)
{
    ResetTrafficTable();
    std::vector<uint8_t> cut = XPlaneTrafficDatagram({MakeXPlaneTraffic(1, "A", 47.0, 8.0)});
    cut.resize(cut.size() - 1);
    ASSERT_TRUE(Handle(cut));
    auto nan = MakeXPlaneTraffic(2, "B", std::nan(""), 8.0);
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({MakeXPlaneTraffic(3, "C", 47.0, 8.0), nan})));
    auto unterminated = MakeXPlaneTraffic(4, "D", 47.0, 8.0);
    std::memset(unterminated.callsign, 'Z', sizeof(unterminated.callsign));
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({unterminated})));
    std::vector<uint8_t> empty = XPlaneTrafficDatagram({}, 9);
    ASSERT_TRUE(Handle(empty));
    EXPECT_EQ(FindTrafficId(1), -1);
    EXPECT_EQ(FindTrafficId(3), -1);
    EXPECT_EQ(FindTrafficId(4), -1);
    EXPECT_EQ(TrafficCount.load(), 0);
}

TEST_F(XPlaneDatagramTest, TrafficCountIsHeldToTheTable)
{
    ASSERT_TRUE(Handle(XPlaneTrafficDatagram({MakeXPlaneTraffic(1, "A", 47.0, 8.0)}, 100000)));
    EXPECT_EQ(TrafficCount.load(), TrafficSlotCount);
}

TEST_F(XPlaneDatagramTest, WeatherReplySetsTheFlagOnlyForOne)
{
    ASSERT_TRUE(Handle(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgWeather, 0, 20, 1)));
    EXPECT_EQ(SimWeatherFlag.load(), 1);
    ASSERT_TRUE(Handle(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgWeather, 0, 20, 2)));
    EXPECT_EQ(SimWeatherFlag.load(), 0);
    SimWeatherFlag = 1;
    ASSERT_TRUE(Handle(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgWeather, 0, 16)));  // too short
    EXPECT_EQ(SimWeatherFlag.load(), 1);
}

TEST_F(XPlaneDatagramTest, ButtonsAreNumberedFromOne)
{
    ASSERT_TRUE(Handle(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgButton, 0, 8)));
    EXPECT_EQ(GetLastButton(), 1);
}

TEST_F(XPlaneDatagramTest, OtherMagicIsNotThePluginsDatagram)
{
    XPlaneState s = MakeXPlaneState(47.0f, 8.0f);
    s.magic = 2020;
    EXPECT_FALSE(Handle(Bytes(s)));
    EXPECT_FALSE(Handle({91, 0, 0}));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
}

TEST_F(XPlaneDatagramTest, EachKindOfDropIsLoggedOnce)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    Settings.DebugMode = true;
    ResetDroppedInputLog();
    XPlaneState s = MakeXPlaneState(48.0f, 9.0f);
    s.altitude = std::nanf("");
    ASSERT_TRUE(Handle(Bytes(s)));
    ASSERT_TRUE(Handle(Bytes(s)));
    std::vector<uint8_t> cut = Bytes(MakeXPlaneState(48.0f, 9.0f));
    cut.resize(60);
    ASSERT_TRUE(Handle(cut));
    Settings.DebugMode = false;
    std::string log = ReadFileText(folder / "Tervalingo.log");
    const std::string nan = "X-Plane: dropped a value that is not a finite number";
    size_t first = log.find(nan);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(nan, first + 1), std::string::npos);
    EXPECT_NE(log.find("X-Plane: dropped a datagram shorter than its record"), std::string::npos);
}

class XPlaneLinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    std::unique_ptr<UdpPeer> peer = std::make_unique<UdpPeer>();

    void SetUp() override
    {
        ASSERT_TRUE(peer->IsOpen());
        Settings.UseSimulator = SimulatorXPlane;
        Settings.InitialTimeout = 200;
        Settings.DebugMode = false;
        ActiveSimPort = peer->Port();
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 4321;
        SetSimLinkEnabled(1);
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override { StopAndJoinUdpLinkThread(); }

    void Register(uint32_t slot = 3)
    {
        ASSERT_TRUE(StartUdpLink(XPlaneLink));
        std::vector<uint8_t> d;
        ASSERT_TRUE(peer->ReceiveType(XPlaneMsgRegister, &d, Wait));
        EXPECT_EQ(d.size(), sizeof(UdpLinkRequest));
        EXPECT_EQ(ParseLinkRequest(d).clientId, 4321);
        ASSERT_TRUE(peer->Send(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgRegistered, slot)));
    }

    // Registers and waits until a first state has connected the link.
    void RegisterAndFly(uint32_t slot = 3)
    {
        Register(slot);
        ASSERT_TRUE(peer->Send(Bytes(MakeXPlaneState(47.0f, 8.0f))));
        ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(XPlaneLink); }, Wait));
    }

    std::vector<uint8_t> Expect(uint32_t type)
    {
        std::vector<uint8_t> d;
        EXPECT_TRUE(peer->ReceiveType(type, &d, Wait)) << "request " << type;
        return d;
    }
};

TEST_F(XPlaneLinkTest, FirstStateConnectsAndSendsTheMapRequestOnce)
{
    Register();
    ASSERT_TRUE(peer->Send(Bytes(MakeXPlaneState(47.0f, 8.0f))));
    std::vector<uint8_t> d = Expect(XPlaneMsgMapReady);
    EXPECT_EQ(ParseLinkRequest(d).clientId, 4321);
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(XPlaneLink); }, Wait));
    EXPECT_EQ(MapReloadPending.load(), 0);
    EXPECT_EQ(SimMapReloadDone.load(), 1);
    ASSERT_TRUE(peer->Send(Bytes(MakeXPlaneState(47.1f, 8.0f))));
    EXPECT_FALSE(peer->ReceiveType(XPlaneMsgMapReady, &d, 300));
}

TEST_F(XPlaneLinkTest, RequestsCarryTheSlotAndTheirValues)
{
    RegisterAndFly(6);
    ASSERT_TRUE(XPlaneStartTraffic());
    UdpLinkRequest r = ParseLinkRequest(Expect(XPlaneMsgTrafficOn));
    EXPECT_EQ(r.slotIndex, 6);
    SetTrafficOffRequest();
    EXPECT_EQ(ParseLinkRequest(Expect(XPlaneMsgTrafficOff)).slotIndex, 6);
    Settings.WeatherState = 1;
    WeatherRequestFlag = 1;
    r = ParseLinkRequest(Expect(XPlaneMsgWeatherRequest));
    EXPECT_EQ(r.value, 1u);
    Settings.WeatherState = 0;
    RequestSetPosition(47.5, 8.25);
    r = ParseLinkRequest(Expect(XPlaneMsgSetPosition));
    EXPECT_EQ(r.first, 47.5);
    EXPECT_EQ(r.second, 8.25);
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.slotIndex, 6);
    EXPECT_EQ(r.clientId, 4321);
}

TEST_F(XPlaneLinkTest, OnlyThePeersAddressIsHeard)
{
    RegisterAndFly();
    // Another machine sends a refusal and a button to the link's own port.
    UdpPeer stranger(0, "127.0.0.2");
    ASSERT_TRUE(stranger.IsOpen());
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), WordReply(XPlaneMagicStateFlagSet, XPlaneMsgRefused, 0, 8)));
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), WordReply(XPlaneMagicStateFlagSet, XPlaneMsgButton + 26, 0, 8)));
    // The peer's next state comes after them.
    ASSERT_TRUE(peer->Send(Bytes(MakeXPlaneState(47.5f, 8.5f))));
    ASSERT_TRUE(WaitFor([] { return Var(SimVarLatitude) == 47.5; }, Wait));
    EXPECT_TRUE(IsUdpLinkRunning(XPlaneLink));
    EXPECT_NE(GetLastButton(), 27);
}

// The peer is its address: the plug-in may answer from another socket than
// the one it listens on.
TEST_F(XPlaneLinkTest, APeerAnsweringFromAnotherSocketIsHeard)
{
    UdpPeer answering;
    ASSERT_TRUE(answering.IsOpen());
    ASSERT_TRUE(StartUdpLink(XPlaneLink));
    Expect(XPlaneMsgRegister);
    ASSERT_TRUE(answering.SendToSenderOf(*peer, WordReply(XPlaneMagicStateFlagSet, XPlaneMsgRegistered, 3)));
    ASSERT_TRUE(answering.SendToSenderOf(*peer, Bytes(MakeXPlaneState(47.0f, 8.0f))));
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(XPlaneLink); }, Wait));
    Expect(XPlaneMsgMapReady);
}

// Only the peer's own datagrams are signs of life: a flood from another
// machine, or from a program beside the peer that sends no plug-in's
// datagrams, keeps nobody connected once the peer has gone.
TEST_F(XPlaneLinkTest, AFloodFromElsewhereDoesNotHideAPeerThatHasGone)
{
    RegisterAndFly();
    UdpPeer stranger(0, "127.0.0.2");
    UdpPeer beside;
    ASSERT_TRUE(stranger.IsOpen());
    ASSERT_TRUE(beside.IsOpen());
    uint16_t port = peer->SenderPort();
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        XPlaneState s = MakeXPlaneState(12.0f, 13.0f);
        while (flooding.load()) {
            stranger.SendTo(port, &s, sizeof(s));
            beside.SendTo(port, std::string("noise"));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    // Five time-outs of a second each end it.
    bool ended = WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, 6 * Wait);
    flooding = false;
    flood.join();
    EXPECT_TRUE(ended);
}

TEST_F(XPlaneLinkTest, AStopLogsNoReceiveError)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    Settings.InitialTimeout = 60000;
    Settings.DebugMode = true;
    LastLoggedWsaError = -1;  // whatever code a stop left would be new to the log
    RegisterAndFly();
    StopUdpLink(XPlaneLink);
    Expect(XPlaneMsgUnregister);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
    Settings.DebugMode = false;
    std::string log = ReadFileText(folder / "Tervalingo.log");
    EXPECT_EQ(log.find("WSA error"), std::string::npos) << log;
}

TEST_F(XPlaneLinkTest, StateBeforeRegistrationEndsTheLink)
{
    ASSERT_TRUE(StartUdpLink(XPlaneLink));
    Expect(XPlaneMsgRegister);
    ASSERT_TRUE(peer->Send(Bytes(MakeXPlaneState(47.0f, 8.0f))));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
}

TEST_F(XPlaneLinkTest, RefusalEndsTheLinkWithoutUnregistering)
{
    ASSERT_TRUE(StartUdpLink(XPlaneLink));
    Expect(XPlaneMsgRegister);
    ASSERT_TRUE(peer->Send(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgRefused, 0, 8)));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
    std::vector<uint8_t> d;
    EXPECT_FALSE(peer->ReceiveType(XPlaneMsgUnregister, &d, 300));
}

TEST_F(XPlaneLinkTest, StopUnregistersWithTheClientId)
{
    RegisterAndFly();
    StopUdpLink(XPlaneLink);
    EXPECT_EQ(ParseLinkRequest(Expect(XPlaneMsgUnregister)).clientId, 4321);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
    EXPECT_FALSE(IsUdpLinkConnected(XPlaneLink));
}

TEST_F(XPlaneLinkTest, KeepAlivesHoldASilentPeerOpenAndFiveTimeOutsEndIt)
{
    Register();
    // 200 ms time-outs until a state arrives: five in a row end the link.
    // With the weather overlay on, each time-out asks for the weather, and
    // the keep-alive that answers it starts the count again.
    Settings.WeatherState = 1;
    std::vector<uint8_t> d;
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(peer->ReceiveType(XPlaneMsgWeatherRequest, &d, Wait)) << "time-out " << i;
        ASSERT_TRUE(peer->Send(WordReply(XPlaneMagicStateFlagSet, XPlaneMsgKeepAlive, 0, 8)));
    }
    EXPECT_TRUE(IsUdpLinkRunning(XPlaneLink));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(XPlaneLink); }, Wait));
}

}  // namespace
