// The MSFS link against a loopback proxy peer: registration, states, the
// requests it sends, the replies that end it, and its restart.
#include "simlink/msfs_link.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "navdata/simulators.h"
#include "proxy_datagrams.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int Wait = 5000;

double Var(SimVarId id)
{
    double v = -12345.0;
    MsfsGetVar(id, &v);
    return v;
}

class MsfsLinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    std::unique_ptr<UdpPeer> peer = std::make_unique<UdpPeer>();

    void SetUp() override
    {
        ASSERT_TRUE(peer->IsOpen());
        Settings.UseSimulator = SimulatorMsfs;
        Settings.InitialTimeout = 200;
        Settings.DebugMode = false;
        ActiveSimPort = peer->Port();
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 4321;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        SetSimLinkEnabled(1);
        // A position is taken only when the clock differs from the time of
        // the last one, which starts at 0: leave the first millisecond.
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override { StopAndJoinUdpLinkThread(); }

    // Starts the link and answers its registration with the slot.
    void Register(int32_t slot = 3)
    {
        ASSERT_TRUE(StartUdpLink(MsfsLink));
        std::vector<uint8_t> d;
        ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
        EXPECT_EQ(ParseRequest(d).clientId, 4321);
        ASSERT_TRUE(peer->Send(ShortReply(MsgRegistered, slot)));
        ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(MsfsLink); }, Wait));
    }

    // Sends a state and waits until the link holds all of it: the link
    // stores the fields one by one, the latitude first and the height above
    // ground last, and then takes the position (the time of the last data).
    void SendStateAndWait(double latitude, double longitude)
    {
        ASSERT_TRUE(peer->Send(StateDatagram(latitude, longitude)));
        double height = MakeState(latitude, longitude).heightAboveGround;
        ASSERT_TRUE(WaitFor(
            [&] {
                return Var(SimVarLatitude) == latitude && Var(SimVarLongitude) == longitude &&
                       Var(SimVarHeightAboveGround) == height && LastDataTime.load() > 0.0;
            },
            Wait));
    }
};

TEST_F(MsfsLinkTest, RegistersThenAcceptsStates)
{
    Register();
    EXPECT_EQ(Var(SimVarLatitude), 53.5);  // home until a position arrives
    SendStateAndWait(47.25, 8.5);
    EXPECT_EQ(Var(SimVarLongitude), 8.5);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 100.0, 1e-9);
    EXPECT_EQ(Var(SimVarAltitude), 3000.0);
    EXPECT_EQ(Var(SimVarGpsAltitude), 3000.0);
}

// Anyone on the network can send to the link's port: only the address of
// the proxy it sends to is heard.
TEST_F(MsfsLinkTest, DatagramsFromAnyoneButThePeerAreIgnored)
{
    Register();
    SendStateAndWait(47.25, 8.5);
    UdpPeer stranger(0, "127.0.0.2");
    ASSERT_TRUE(stranger.IsOpen());
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), StateDatagram(-33.0, 151.0)));
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), ShortReply(MsgProxyShutdown)));
    SendStateAndWait(47.5, 8.75);  // the peer's next state comes after the stranger's
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
}

// The peer is its address: a proxy may answer from another socket than the
// one the requests go to.
TEST_F(MsfsLinkTest, AProxyAnsweringFromAnotherSocketIsHeard)
{
    UdpPeer answering;
    ASSERT_TRUE(answering.IsOpen());
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    ASSERT_TRUE(answering.SendToSenderOf(*peer, ShortReply(MsgRegistered, 3)));
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(MsfsLink); }, Wait));
    ASSERT_TRUE(answering.SendToSenderOf(*peer, StateDatagram(47.25, 8.5)));
    ASSERT_TRUE(WaitFor([] { return Var(SimVarLatitude) == 47.25; }, Wait));
}

TEST_F(MsfsLinkTest, ADatagramWithoutTheMagicIsAFailedReceive)
{
    // No time-out comes first: the receive error is the datagram's.
    Settings.InitialTimeout = 60000;
    Settings.WeatherState = 1;
    Register();
    WeatherRequestFlag = 0;
    std::vector<uint8_t> other = ShortReply(MsgKeepAlive);
    other[0] ^= 0x01;  // another magic
    ASSERT_TRUE(peer->Send(other));
    EXPECT_TRUE(WaitFor([] { return WeatherRequestFlag.load() == 1; }, Wait));
    Settings.WeatherState = 0;
    WeatherRequestFlag = 0;
}

TEST_F(MsfsLinkTest, ARepeatedRegistrationReplyIsLoggedOnce)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    Settings.DebugMode = true;
    Register();
    ASSERT_TRUE(peer->Send(ShortReply(MsgRegistered, 3)));
    ASSERT_TRUE(peer->Send(ShortReply(MsgRegistered, 3)));
    SendStateAndWait(47.25, 8.5);
    std::string log = ReadFileText(folder / "Tervalingo.log");
    size_t first = log.find("Connected to MSFS");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("Connected to MSFS", first + 1), std::string::npos) << log;
    Settings.DebugMode = false;
}

TEST_F(MsfsLinkTest, KeepsRegisteringUntilAnswered)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    EXPECT_FALSE(IsUdpLinkConnected(MsfsLink));
}

TEST_F(MsfsLinkTest, StateBeforeRegistrationEndsTheLink)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    ASSERT_TRUE(peer->Send(StateDatagram(47.0, 8.0)));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
}

TEST_F(MsfsLinkTest, DropsStateNearZeroWholly)
{
    Register();
    ProxyAircraftState s = MakeState(0.005, 8.0);
    s.paused = 1;
    ASSERT_TRUE(peer->Send(StateDatagram(s)));
    SendStateAndWait(46.0, 7.0);  // the next one is taken
    SimPaused = 0;
    s = MakeState(46.5, -0.009);
    s.paused = 1;
    s.altitude = 777.0;
    ASSERT_TRUE(peer->Send(StateDatagram(s)));
    SendStateAndWait(46.25, 7.0);
    EXPECT_EQ(SimPaused.load(), 0);
    EXPECT_EQ(Var(SimVarAltitude), 3000.0);
}

TEST_F(MsfsLinkTest, KeepsCoordinatesOutOfRangeButTakesTheRest)
{
    Register();
    SendStateAndWait(47.0, 8.0);
    ProxyAircraftState s = MakeState(91.0, 181.0);
    s.altitude = 5000.0;
    ASSERT_TRUE(peer->Send(StateDatagram(s)));
    ASSERT_TRUE(WaitFor([] { return Var(SimVarAltitude) == 5000.0; }, Wait));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarLongitude), 8.0);
    s = MakeState(-90.0, -180.0);
    ASSERT_TRUE(peer->Send(StateDatagram(s)));
    // The longitude is stored just after the latitude.
    ASSERT_TRUE(WaitFor([] { return Var(SimVarLatitude) == -90.0 && Var(SimVarLongitude) == -180.0; }, Wait));
}

TEST_F(MsfsLinkTest, RefusalEndsTheLinkWithoutUnregistering)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    ASSERT_TRUE(peer->Send(ShortReply(MsgRegisterRefused)));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
    EXPECT_FALSE(peer->ReceiveType(MsgUnregister, &d, 300));
}

TEST_F(MsfsLinkTest, ProxyShutdownEndsTheLinkAndUnregisters)
{
    Register();
    ASSERT_TRUE(peer->Send(ShortReply(MsgProxyShutdown)));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgUnregister, &d, Wait));
    EXPECT_EQ(ParseRequest(d).clientId, 4321);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
    EXPECT_FALSE(IsUdpLinkConnected(MsfsLink));
}

TEST_F(MsfsLinkTest, KeepAliveMarksTheProxyAlive)
{
    Register();
    EXPECT_EQ(ProxyAlive.load(), 0);
    ASSERT_TRUE(peer->Send(ShortReply(MsgKeepAlive, 0, 4321)));
    ASSERT_TRUE(WaitFor([] { return ProxyAlive.load() == 1; }, Wait));
    StopUdpLink(MsfsLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
    EXPECT_EQ(ProxyAlive.load(), 0);
}

TEST_F(MsfsLinkTest, StopSendsUnregisterWithClientId)
{
    Register();
    StopUdpLink(MsfsLink);
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgUnregister, &d, Wait));
    EXPECT_EQ(d.size(), sizeof(ProxyRequest));
    EXPECT_EQ(ParseRequest(d).clientId, 4321);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
}

TEST_F(MsfsLinkTest, StopEndsALinkThatWaitsForItsPeer)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    StopUdpLink(MsfsLink);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));
    EXPECT_FALSE(peer->ReceiveType(MsgUnregister, &d, 200));
}

TEST_F(MsfsLinkTest, NoStopWhileTheDisplayIsRecreated)
{
    Register();
    SetDisplayResetting(1);
    StopUdpLink(MsfsLink);
    std::vector<uint8_t> d;
    EXPECT_FALSE(peer->ReceiveType(MsgUnregister, &d, 300));
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
    SetDisplayResetting(0);
}

TEST_F(MsfsLinkTest, TrafficOnAndOffCarrySlotAndResetTheTable)
{
    Register(7);
    ASSERT_TRUE(MsfsStartTraffic());
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgTrafficOn, &d, Wait));
    EXPECT_EQ(ParseRequest(d).slotIndex, 7);
    EXPECT_EQ(ParseRequest(d).clientId, 4321);
    EXPECT_EQ(TrafficOnRequest.load(), 0);

    ASSERT_TRUE(peer->Send(TrafficDatagram({MakeTraffic(11, "N123AB", 47.1, 8.1), MakeTraffic(12, "D-EFGH", 47.2, 8.2)})));
    ASSERT_TRUE(WaitFor([] { return TrafficCount.load() == 2; }, Wait));
    {
        TrafficTableLock lock;
        EXPECT_EQ(TrafficTable[0].id, 11u);
        EXPECT_STREQ(TrafficTable[0].callsign, "N123AB");
        EXPECT_EQ(TrafficTable[0].valid, 0);
        EXPECT_EQ(TrafficTable[1].values.latitude, 47.2);
    }
    ASSERT_TRUE(peer->Send(RemovedDatagram({11, 999})));
    ASSERT_TRUE(WaitFor([] { return FindTrafficId(11) < 0; }, Wait));
    EXPECT_EQ(FindTrafficId(12), 1);

    SetTrafficOffRequest();
    ASSERT_TRUE(peer->ReceiveType(MsgTrafficOff, &d, Wait));
    EXPECT_EQ(ParseRequest(d).slotIndex, 7);
    ASSERT_TRUE(WaitFor([] { return FindTrafficId(12) < 0; }, Wait));
    EXPECT_EQ(TrafficCount.load(), 0);
}

TEST_F(MsfsLinkTest, SetPositionIsSentOnceWithLongitudeFirst)
{
    Register(2);
    RequestSetPosition(47.5, 8.25);
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgSetPosition, &d, Wait));
    ProxyRequest r = ParseRequest(d);
    EXPECT_EQ(r.longitude, 8.25);
    EXPECT_EQ(r.latitude, 47.5);
    EXPECT_EQ(r.slotIndex, 2);
    EXPECT_FALSE(peer->ReceiveType(MsgSetPosition, &d, 300));
}

TEST_F(MsfsLinkTest, RequestsWaitForTheRegistration)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    MsfsStartTraffic();
    RequestSetPosition(1.5, 2.5);
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    EXPECT_FALSE(peer->ReceiveType(MsgTrafficOn, &d, 400));
    ASSERT_TRUE(peer->Send(ShortReply(MsgRegistered, 4)));
    ASSERT_TRUE(peer->ReceiveType(MsgSetPosition, &d, Wait));
    EXPECT_EQ(ParseRequest(d).slotIndex, 4);
}

TEST_F(MsfsLinkTest, ButtonBecomesOnSimButtonNumber)
{
    Register();
    ASSERT_TRUE(peer->Send(ShortReply(MsgControllerButton + 3)));
    ASSERT_TRUE(WaitFor([] { return GetLastButton() == 4; }, Wait));
}

TEST_F(MsfsLinkTest, FlightPlanIsTakenAtAnyTime)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(MsgRegister, &d, Wait));
    RouteChanged = 0;
    ASSERT_TRUE(peer->Send(FlightPlanDatagram(1, 3, 1)));
    ASSERT_TRUE(WaitFor([] { return RouteChanged.load() == 1; }, Wait));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.count, 3);
    EXPECT_EQ(plan.simActiveIndex, 1);
    EXPECT_STREQ(plan.waypoints[2].ident, "WP2");
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
}

TEST_F(MsfsLinkTest, SilentPeerEndsTheLinkAfterFiveTimeouts)
{
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, 4 * Wait));
}

TEST_F(MsfsLinkTest, LogsEachNewErrorCodeOnce)
{
    TempFolder folder;
    WorkingFolder in(folder.Path());
    Settings.DebugMode = true;
    LastLoggedWsaError = 0;
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, 4 * Wait));
    std::string log = ReadFileText(folder / "Tervalingo.log");
    size_t first = log.find("MSFS WSA error 10060");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("MSFS WSA error 10060", first + 1), std::string::npos);
    Settings.DebugMode = false;
}

TEST_F(MsfsLinkTest, RestartsAfterThePeerVanishesAndReturns)
{
    Register();
    SendStateAndWait(47.0, 8.0);
    uint16_t port = peer->Port();
    ASSERT_TRUE(peer->Send(ShortReply(MsgProxyShutdown)));
    peer.reset();  // gone
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(MsfsLink); }, Wait));

    peer = std::make_unique<UdpPeer>(port);  // back on its port
    ASSERT_TRUE(peer->IsOpen());
    // The per-frame restart, driven as the display does.
    bool registered = false;
    double start = ClockSeconds();
    std::vector<uint8_t> d;
    while (!registered && ClockSeconds() - start < 10.0) {
        SimLinkRestartIfDue(ClockSeconds(), true);
        if (peer->ReceiveType(MsgRegister, &d, 20)) {
            ASSERT_TRUE(peer->Send(ShortReply(MsgRegistered, 5)));
            registered = true;
        }
    }
    ASSERT_TRUE(registered);
    ASSERT_TRUE(WaitFor([] { return IsUdpLinkConnected(MsfsLink); }, Wait));
}

}  // namespace
