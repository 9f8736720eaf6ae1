// Malformed proxy datagrams: truncated, oversized, random and with counts
// beyond their arrays. The MSFS link must neither crash nor take any of them.
#include "simlink/msfs_link.h"

#include "app/command_table.h"
#include "app/settings.h"
#include "navdata/flight_plan.h"
#include "proxy_datagrams.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void Feed(const std::vector<uint8_t>& d)
{
    HandleMsfsDatagram(d.data(), d.size());
}

void PutU32(std::vector<uint8_t>& d, size_t at, uint32_t v)
{
    if (d.size() >= at + 4)
        std::memcpy(d.data() + at, &v, 4);
}

// Everything a datagram could change, to compare before and after.
struct Observed {
    double state[LinkStateFieldCount];
    std::vector<uint8_t> traffic;
    FlightPlanRecord plan;
    int32_t trafficCount;
    bool ending;
    int32_t lastButton;
    uint8_t proxyAlive;
    uint8_t connected;

    static Observed Take()
    {
        Observed o{};
        for (int i = 0; i < LinkStateFieldCount; ++i)
            o.state[i] = LinkAircraftState[i].load();
        const uint8_t* t = reinterpret_cast<const uint8_t*>(TrafficTable);
        o.traffic.assign(t, t + sizeof(TrafficTable));
        CopyFlightPlan(&o.plan);
        o.trafficCount = TrafficCount.load();
        o.ending = IsMsfsLinkEnding();
        o.lastButton = GetLastButton();
        o.proxyAlive = ProxyAlive.load();
        o.connected = IsUdpLinkConnected(MsfsLink);
        return o;
    }
};

void ExpectUnchanged(const Observed& a, const Observed& b, const char* what)
{
    EXPECT_EQ(std::memcmp(a.state, b.state, sizeof(a.state)), 0) << what;
    EXPECT_EQ(a.traffic, b.traffic) << what;
    EXPECT_EQ(std::memcmp(&a.plan, &b.plan, sizeof(a.plan)), 0) << what;
    EXPECT_EQ(a.trafficCount, b.trafficCount) << what;
    EXPECT_EQ(a.ending, b.ending) << what;
    EXPECT_EQ(a.lastButton, b.lastButton) << what;
    EXPECT_EQ(a.proxyAlive, b.proxyAlive) << what;
}

class MsfsDatagramTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Feed(ShortReply(MsgRegistered, 2));
        Feed(StateDatagram(47.0, 8.0));
        Feed(FlightPlanDatagram(1, 2));
        Feed(TrafficDatagram({MakeTraffic(21, "ABC", 47.1, 8.1)}));
        ASSERT_EQ(TrafficCount.load(), 1);
        ASSERT_FALSE(IsMsfsLinkEnding());
    }

    // The well-formed datagrams of every type the link takes.
    static std::vector<std::vector<uint8_t>> ValidForms()
    {
        return {ShortReply(MsgProxyShutdown), StateDatagram(12.0, 13.0), FlightPlanDatagram(1, 3),
                ShortReply(MsgRegistered, 9),  ShortReply(MsgRegisterRefused), TrafficDatagram({MakeTraffic(31, "X", 1, 2)}),
                RemovedDatagram({21}),         ShortReply(MsgKeepAlive),        ShortReply(MsgKeepAlive + 50),
                ShortReply(MsgControllerButton), ShortReply(MsgControllerButton + 30)};
    }
};

TEST_F(MsfsDatagramTest, TruncatedDatagramsOfEveryTypeAreDropped)
{
    Observed before = Observed::Take();
    for (const auto& valid : ValidForms())
        for (size_t n = 0; n < valid.size(); ++n)
            HandleMsfsDatagram(valid.data(), n);
    ExpectUnchanged(before, Observed::Take(), "truncated");
}

TEST_F(MsfsDatagramTest, OversizedDatagramsOfEveryTypeAreDropped)
{
    Observed before = Observed::Take();
    for (auto valid : ValidForms())
        for (size_t extra : {1, 4, 7, 24, 80, 1000}) {
            std::vector<uint8_t> d = valid;
            d.resize(valid.size() + extra, 0xA5);
            Feed(d);
        }
    ExpectUnchanged(before, Observed::Take(), "oversized");
}

TEST_F(MsfsDatagramTest, CountsBeyondTheArraysAreDropped)
{
    Observed before = Observed::Take();
    // Traffic: 200 records (one more than a list holds), its length matching.
    std::vector<ProxyTrafficRecord> many(200, MakeTraffic(50, "M", 1.0, 2.0));
    Feed(TrafficDatagram(many));
    // Counts that would overflow a length computed in 32 bits.
    auto traffic = TrafficDatagram({MakeTraffic(51, "N", 1.0, 2.0)});
    for (uint32_t count : {0x03333334u, 0x40000000u, 0xFFFFFFFFu, 2u}) {
        PutU32(traffic, 8, count);
        Feed(traffic);
    }
    std::vector<uint32_t> ids(201, 21);
    Feed(RemovedDatagram(ids));
    auto removed = RemovedDatagram({21});
    for (uint32_t count : {0x40000000u, 0xFFFFFFFFu, 2u}) {
        PutU32(removed, 8, count);
        Feed(removed);
    }
    Feed(FlightPlanDatagram(1, 301));
    auto plan = FlightPlanDatagram(1, 2);
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 3u, 1u}) {
        PutU32(plan, 12, count);
        Feed(plan);
    }
    ExpectUnchanged(before, Observed::Take(), "counts");
}

TEST_F(MsfsDatagramTest, RandomBodiesOfCheckedTypesAreDropped)
{
    Observed before = Observed::Take();
    std::mt19937 random(20240611);
    for (uint32_t type : {MsgAircraftState, MsgFlightPlan, MsgTraffic, MsgTrafficRemoved}) {
        for (int round = 0; round < 2000; ++round) {
            std::vector<uint8_t> d(8 + random() % 400);
            for (auto& b : d)
                b = static_cast<uint8_t>(random());
            PutU32(d, 0, ProxyMagic);
            PutU32(d, 4, type);
            Feed(d);
        }
    }
    ExpectUnchanged(before, Observed::Take(), "random");
}

TEST_F(MsfsDatagramTest, NonNumbersNeverReachTheStateOrTheTable)
{
    ProxyAircraftState s = MakeState(46.0, 7.0);
    s.altitude = std::nan("");
    s.trueHeading = -INFINITY;
    s.pitch = INFINITY;
    Feed(StateDatagram(s));
    double v = 0.0;
    MsfsGetVar(SimVarLatitude, &v);
    EXPECT_EQ(v, 46.0);
    MsfsGetVar(SimVarAltitude, &v);
    EXPECT_EQ(v, 3000.0);
    MsfsGetVar(SimVarPitch, &v);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(LinkAircraftState[LinkHeading].load(), 90.0);

    ProxyTrafficRecord r = MakeTraffic(60, "NAN", std::nan(""), 8.0);
    Feed(TrafficDatagram({r}));
    EXPECT_EQ(FindTrafficId(60), -1);
}

TEST_F(MsfsDatagramTest, WrongMagicIsIgnored)
{
    Observed before = Observed::Take();
    for (auto d : ValidForms()) {
        PutU32(d, 0, 2021);
        Feed(d);
    }
    ExpectUnchanged(before, Observed::Take(), "magic");
}

TEST_F(MsfsDatagramTest, RandomDatagramsOfAnyTypeNeverCrash)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> d(random() % 600);
        for (auto& b : d)
            b = static_cast<uint8_t>(random());
        PutU32(d, 0, ProxyMagic);
        PutU32(d, 4, random() % 4 == 0 ? random() : random() % 260);
        Feed(d);
    }
    // Whatever it took, the table and the plan stay within their bounds.
    EXPECT_GE(TrafficCount.load(), 0);
    EXPECT_LE(TrafficCount.load(), TrafficSlotCount);
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_GE(plan.count, 0);
    EXPECT_LE(plan.count, 300);
}

TEST_F(MsfsDatagramTest, UnexpectedTypesBelowKeepAliveEndTheLink)
{
    Feed(ShortReply(9));
    EXPECT_TRUE(IsMsfsLinkEnding());
}

// Datagrams from a link that has not registered, on fresh link state.
class MsfsDatagramUnregistered : public ::testing::Test {
protected:
    FreshLinkState linkState;
};

TEST_F(MsfsDatagramUnregistered, RegisteredOnlyTypesEndTheLinkBeforeRegistration)
{
    Feed(TrafficDatagram({MakeTraffic(1, "A", 1.0, 2.0)}));
    EXPECT_TRUE(IsMsfsLinkEnding());
    EXPECT_EQ(FindTrafficId(1), -1);
}

TEST_F(MsfsDatagramUnregistered, PlanWithNoWaypointsSetsPresentAndCountZero)
{
    Feed(FlightPlanDatagram(1, 0));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.count, 0);
    EXPECT_FALSE(IsMsfsLinkEnding());
}

TEST_F(MsfsDatagramUnregistered, PlanNotPresentChangesNothing)
{
    RouteChanged = 0;
    Feed(FlightPlanDatagram(0, 2));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 0);
    EXPECT_EQ(plan.count, 0);
    EXPECT_EQ(RouteChanged.load(), 0);
}

TEST_F(MsfsDatagramTest, GetVarConversions)
{
    ProxyAircraftState s = MakeState(47.0, 8.0);
    s.windDirection = 100.0;
    s.magneticVariation = 10.0;
    s.heightAboveGround = 10.0;
    s.verticalSpeed = 12.5;
    s.groundAltitude = 400.0;
    Feed(StateDatagram(s));
    double v = 0.0;
    MsfsGetVar(SimVarWindDirection, &v);
    EXPECT_EQ(v, 90.0);
    MsfsGetVar(SimVarMagneticVariation, &v);
    EXPECT_EQ(v, -10.0);
    MsfsGetVar(SimVarOnGround, &v);
    EXPECT_EQ(v, 1.0);  // 10 ft is on the ground
    MsfsGetVar(SimVarVerticalSpeed, &v);
    EXPECT_EQ(v, 12.5);
    MsfsGetVar(SimVarGroundAltitude, &v);
    EXPECT_EQ(v, 400.0);
    s.heightAboveGround = 10.5;
    Feed(StateDatagram(s));
    MsfsGetVar(SimVarOnGround, &v);
    EXPECT_EQ(v, 0.0);
}

TEST_F(MsfsDatagramTest, GpsWritesWaypointDistanceAndTimes)
{
    MsfsSetVar(SimVarWaypointDistance, 1852.0);
    MsfsSetVar(SimVarEte, 600.0);
    MsfsSetVar(SimVarWaypointEte, 120.0);
    MsfsSetVar(SimVarAltitude, 1.0);  // not writable
    double v = 0.0;
    MsfsGetVar(SimVarWaypointDistance, &v);
    EXPECT_EQ(v, 1852.0);
    MsfsGetVar(SimVarEte, &v);
    EXPECT_EQ(v, 600.0);
    MsfsGetVar(SimVarWaypointEte, &v);
    EXPECT_EQ(v, 120.0);
    MsfsGetVar(SimVarAltitude, &v);
    EXPECT_EQ(v, 3000.0);
}

// The thread's own receive: a datagram longer than its buffer arrives cut
// and is dropped like any other wrong length.
TEST(MsfsDatagramLive, DatagramLargerThanTheBufferIsDropped)
{
    UdpPeer peer;
    Settings.InitialTimeout = 500;
    ActiveSimPort = peer.Port();
    ActiveSimAddress.Set("127.0.0.1");
    ASSERT_TRUE(StartUdpLink(MsfsLink));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer.ReceiveType(MsgRegister, &d, 5000));
    ASSERT_TRUE(peer.Send(ShortReply(MsgRegistered, 1)));
    std::vector<ProxyTrafficRecord> many(250, MakeTraffic(70, "BIG", 1.0, 2.0));
    auto big = TrafficDatagram(many);  // 20020 bytes
    ASSERT_TRUE(peer.Send(big));
    ASSERT_TRUE(peer.Send(StateDatagram(45.0, 9.0)));
    ASSERT_TRUE(WaitFor([] { return LinkAircraftState[LinkLatitude].load() == 45.0; }, 5000));
    EXPECT_EQ(FindTrafficId(70), -1);
    EXPECT_TRUE(IsUdpLinkRunning(MsfsLink));
    StopAndJoinUdpLinkThread();
}

}  // namespace
