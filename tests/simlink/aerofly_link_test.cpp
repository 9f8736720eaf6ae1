// The Aerofly FS 2 link: what its datagrams store (in process), the pilot
// log's take-off and landing, the checks on the plan message, and the link
// thread against a loopback peer: registration, requests, the end.
#include "simlink/aerofly_link.h"

#include "aerofly_datagrams.h"
#include "app/command_table.h"
#include "app/settings.h"
#include "link_datagrams.h"
#include "navdata/flight_plan.h"
#include "platform/threads.h"
#include "simlink/aerofly_protocol.h"
#include "simlink/pilot_log.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/link_state.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int Wait = 5000;
const float NaN = std::numeric_limits<float>::quiet_NaN();

double Var(SimVarId id)
{
    double v = -12345.0;
    AeroflyGetVar(id, &v);
    return v;
}

bool Handle(const std::vector<uint8_t>& d)
{
    return HandleAeroflyDatagram(d.data(), d.size());
}

class AeroflyDatagramTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    void SetUp() override
    {
        Settings.UseSimulator = SimulatorAerofly;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        ASSERT_TRUE(Handle(WordReply(AeroflyMagic, AeroflyMsgRegistered, 2)));
    }
};

TEST_F(AeroflyDatagramTest, StateValuesComeOutInTheUnitsOfTheVariableTable)
{
    std::vector<uint8_t> d = AeroflyState(47.25f, 8.5f, 100.0f, 51.51f);
    AeroflyStateReply s = ReadAeroflyState(d);
    s.verticalSpeed = 600.0f;
    s.windDirection = 250.0f;
    s.windSpeed = 5.151f;
    s.magneticVariation = 2.0f;
    s.bank = 0.5f;
    s.onGround = 1.0f;
    WriteAeroflyState(&d, s);
    ASSERT_TRUE(Handle(d));
    EXPECT_EQ(Var(SimVarLatitude), 47.25);
    EXPECT_EQ(Var(SimVarLongitude), 8.5);
    EXPECT_NEAR(Var(SimVarAltitude), 3280.8, 1e-9);
    EXPECT_EQ(Var(SimVarGpsAltitude), 1000.0);  // as received
    EXPECT_EQ(Var(SimVarGroundAltitude), 0.0);  // the peer sends none
    EXPECT_EQ(Var(SimVarOnGround), 1.0);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 100.0, 1e-4);
    EXPECT_EQ(Var(SimVarVerticalSpeed), 10.0);
    EXPECT_EQ(Var(SimVarWindDirection), 248.0);
    EXPECT_NEAR(Var(SimVarWindSpeed), 10.0, 1e-4);
    EXPECT_EQ(Var(SimVarMagneticVariation), -2.0);
    EXPECT_NEAR(Var(SimVarBank), 28.6479, 1e-4);
    EXPECT_NEAR(Var(SimVarHeightAboveGround), 328.0, 1e-4);
    EXPECT_EQ(Var(SimVarTemperature), 0.0);
    EXPECT_TRUE(IsUdpLinkConnected(AeroflyLink));
}

TEST_F(AeroflyDatagramTest, AStateThatAnnouncesMoreThanArrivedChangesNothing)
{
    ASSERT_TRUE(Handle(AeroflyState(47.0f, 8.0f)));
    std::vector<uint8_t> d = AeroflyState(48.0f, 9.0f);
    d.resize(100);
    AeroflyStateReply s = ReadAeroflyState(d);
    s.length = 120;
    WriteAeroflyState(&d, s);
    ASSERT_TRUE(Handle(d));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarLongitude), 8.0);
}

TEST_F(AeroflyDatagramTest, ShortOrNonFiniteStatesChangeNothing)
{
    ASSERT_TRUE(Handle(AeroflyState(47.0f, 8.0f)));
    std::vector<uint8_t> cut = AeroflyState(48.0f, 9.0f);
    cut.resize(70);
    AeroflyStateReply s = ReadAeroflyState(AeroflyState(48.0f, 9.0f));
    s.length = 70;
    std::memcpy(cut.data(), &s, 12);
    ASSERT_TRUE(Handle(cut));
    std::vector<uint8_t> d = AeroflyState(48.0f, 9.0f);
    s = ReadAeroflyState(d);
    s.windSpeed = NaN;
    WriteAeroflyState(&d, s);
    ASSERT_TRUE(Handle(d));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarWindSpeed), 0.0);
}

TEST_F(AeroflyDatagramTest, PositionsOffTheEarthKeepTheLastOneAndZeroShowsHome)
{
    ASSERT_TRUE(Handle(AeroflyState(47.0f, 8.0f)));
    ASSERT_TRUE(Handle(AeroflyState(95.0f, 200.0f)));
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarLongitude), 8.0);
    ASSERT_TRUE(Handle(AeroflyState(0.0f, 8.0f)));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
    EXPECT_EQ(Var(SimVarLongitude), 10.0);
}

TEST_F(AeroflyDatagramTest, SetVarWritesDistanceTimesAndThePlansActiveWaypoint)
{
    AeroflySetVar(SimVarWaypointDistance, 1500.0);
    AeroflySetVar(SimVarEte, 600.0);
    AeroflySetVar(SimVarWaypointEte, 60.0);
    AeroflySetVar(SimVarEta, 99.0);
    AeroflySetVar(SimVarWaypointIndex, 3.6);
    EXPECT_EQ(Var(SimVarWaypointDistance), 1500.0);
    EXPECT_EQ(Var(SimVarEte), 600.0);
    EXPECT_EQ(Var(SimVarWaypointEte), 60.0);
    EXPECT_EQ(Var(SimVarEta), 0.0);
    EXPECT_EQ(Var(SimVarWaypointIndex), 4.0);
    // An index that is no number or far past any plan is not stored.
    AeroflySetVar(SimVarWaypointIndex, std::nan(""));
    AeroflySetVar(SimVarWaypointIndex, 1e300);
    AeroflySetVar(SimVarWaypointIndex, -2.0);
    EXPECT_EQ(Var(SimVarWaypointIndex), 4.0);
}

TEST_F(AeroflyDatagramTest, WithoutItsThreadUnknownIdsAnswerZero)
{
    double v = 7.0;
    AeroflyGetVar(27, &v);
    EXPECT_EQ(v, 0.0);  // the thread is not running: 0 first
    v = 7.0;
    AeroflyGetVar(SimVarClock, &v);
    EXPECT_GE(v, 0.0);
}

TEST_F(AeroflyDatagramTest, WeatherAndButtons)
{
    ASSERT_TRUE(Handle(WordReply(AeroflyMagic, AeroflyMsgWeather, 0, 20, 1)));
    EXPECT_EQ(SimWeatherFlag.load(), 1);
    ASSERT_TRUE(Handle(WordReply(AeroflyMagic, AeroflyMsgWeather, 0, 20, 2)));
    EXPECT_EQ(SimWeatherFlag.load(), 0);
    ASSERT_TRUE(Handle(WordReply(AeroflyMagic, AeroflyMsgButton + 6, 0, 8)));
    EXPECT_EQ(GetLastButton(), 7);
}

TEST_F(AeroflyDatagramTest, AnotherMagicOrAStubIsNeverData)
{
    std::vector<uint8_t> d = AeroflyState(47.0f, 8.0f);
    AeroflyStateReply s = ReadAeroflyState(d);
    s.magic = 90;
    WriteAeroflyState(&d, s);
    EXPECT_FALSE(Handle(d));
    EXPECT_FALSE(Handle(std::vector<uint8_t>{20, 0, 0}));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
}

class AeroflyPilotLogTest : public AeroflyDatagramTest {
protected:
    TempFolder folder;
    WorkingFolder in{folder.Path()};

    void SetUp() override
    {
        AeroflyDatagramTest::SetUp();
        PilotLogRecord = PilotLogFlight{};
        PilotLogPreviousHeight = 0.0f;
        CreatePilotLog();
    }
    std::string Log() { return ReadFileText(folder / PilotLogFileName); }
};

TEST_F(AeroflyPilotLogTest, ATakeOffThenALandingIsOneLine)
{
    ASSERT_TRUE(Handle(AeroflyState(53.63f, 9.99f, 0.0f, 45.0f, "EDDH")));
    ASSERT_TRUE(Handle(AeroflyState(53.64f, 9.98f, 20.0f, 45.0f, "EDDH")));  // 65.6 ft
    EXPECT_STREQ(PilotLogRecord.departure, "EDDH");
    EXPECT_STREQ(PilotLogRecord.callsign, "-");
    EXPECT_STREQ(PilotLogRecord.aircraft, "C172");
    ASSERT_TRUE(Handle(AeroflyState(53.9f, 10.7f, 300.0f, 60.0f, "EDHL")));
    ASSERT_TRUE(Handle(AeroflyState(53.8f, 10.7f, 10.0f, 45.0f, "EDHL")));
    std::string log = Log();
    EXPECT_EQ(CountLines(log, ";-;C172;EDDH;EDHL;"), 1) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
    EXPECT_STREQ(PilotLogRecord.departure, "");
    // Rolling out below 50 ft logs nothing more.
    ASSERT_TRUE(Handle(AeroflyState(53.8f, 10.7f, 0.0f, 41.0f, "EDHL")));
    EXPECT_EQ(Log(), log);
}

TEST_F(AeroflyPilotLogTest, SpeedIsComparedInMetresPerSecond)
{
    // 40 m/s is 78 kt: a climb at 38 m/s is no take-off.
    ASSERT_TRUE(Handle(AeroflyState(53.63f, 9.99f, 20.0f, 38.0f)));
    EXPECT_STREQ(PilotLogRecord.departure, "");
}

TEST_F(AeroflyPilotLogTest, LongNamesAreCutToTheLogsFields)
{
    std::vector<uint8_t> d = AeroflyState(53.63f, 9.99f, 20.0f, 45.0f, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    AeroflyStateReply s = ReadAeroflyState(d);
    std::memset(s.aircraft, 'X', sizeof s.aircraft);  // no terminator in its 20 bytes
    WriteAeroflyState(&d, s);
    d.pop_back();  // nor at the datagram's end
    s.length = static_cast<uint32_t>(d.size());
    WriteAeroflyState(&d, s);
    ASSERT_TRUE(Handle(d));
    EXPECT_STREQ(PilotLogRecord.aircraft, "XXXXXXXXXXXXXXXXXXXX");
    EXPECT_STREQ(PilotLogRecord.departure, "ABCDEFGHI");
}

// The plan message's checks, before anything of it is kept.
class AeroflyPlanParse : public ::testing::Test {
protected:
    AeroflyAirportBlock eddh = AeroflyAirportAt("EDDH", "23", 9.99, 53.63);
    AeroflyAirportBlock edhl = AeroflyAirportAt("EDHL", "07", 10.70, 53.80);
    std::vector<AeroflyRouteWaypoint> route = {AeroflyWaypoint("A", 0, 10.1, 53.7),
                                               AeroflyWaypoint("B", 1, 10.3, 53.75)};
    AeroflyPlanMessage plan{};

    LinkDrop Parse(const std::vector<uint8_t>& d) { return ParseAeroflyPlan(d.data(), d.size(), &plan); }
};

TEST_F(AeroflyPlanParse, CountsThatAreNoNumberNegativeOrPastTheEndDropThePlan)
{
    EXPECT_EQ(Parse(AeroflyPlan(eddh, edhl, route, NaN)), LinkDrop::NotANumber);
    EXPECT_EQ(Parse(AeroflyPlan(eddh, edhl, route, -1.5f)), LinkDrop::CountPastEnd);
    EXPECT_EQ(Parse(AeroflyPlan(eddh, edhl, route, 3.0f)), LinkDrop::CountPastEnd);
    EXPECT_EQ(Parse(AeroflyPlan(eddh, edhl, route, 1e30f)), LinkDrop::CountPastEnd);
    std::vector<uint8_t> cut = AeroflyPlan(eddh, edhl, route);
    cut.resize(159);
    EXPECT_EQ(Parse(cut), LinkDrop::ShortRecord);
    // The count's whole part counts.
    ASSERT_EQ(Parse(AeroflyPlan(eddh, edhl, route, 2.9f)), LinkDrop::None);
    EXPECT_EQ(plan.routeCount, 2);
    ASSERT_EQ(Parse(AeroflyPlan(eddh, edhl, route, 1.5f)), LinkDrop::None);
    EXPECT_EQ(plan.routeCount, 1);
    EXPECT_EQ(plan.piecesLeftOut, LinkDrop::None);
}

TEST_F(AeroflyPlanParse, NoPlanPresentIsNotLookedAtFurther)
{
    std::vector<uint8_t> d = AeroflyPlan(eddh, edhl, route, NaN);
    d[8] = 0;
    ASSERT_EQ(Parse(d), LinkDrop::None);
    EXPECT_EQ(plan.present, 0);
}

TEST_F(AeroflyPlanParse, AirportsWithoutTheirIcaoOrPositionDropThePlan)
{
    AeroflyAirportBlock bad = eddh;
    std::memset(bad.icao, 'E', sizeof bad.icao);
    EXPECT_EQ(Parse(AeroflyPlan(bad, edhl, route)), LinkDrop::Unterminated);
    bad = edhl;
    bad.airportLatitude = NaN;
    EXPECT_EQ(Parse(AeroflyPlan(eddh, bad, route)), LinkDrop::NotANumber);
    bad = edhl;
    bad.airportLongitude = 181.0;
    EXPECT_EQ(Parse(AeroflyPlan(eddh, bad, route)), LinkDrop::OffTheEarth);
}

TEST_F(AeroflyPlanParse, UnterminatedNamesAndBadRunwayPositionsLeaveOnlyThatPieceOut)
{
    AeroflyAirportBlock departure = eddh;
    std::memset(departure.procedures, 'S', sizeof departure.procedures);
    departure.runwayLatitude = std::numeric_limits<double>::infinity();
    AeroflyAirportBlock destination = edhl;
    SetAeroflyArrivalNames(&destination, "", "I07");
    std::memset(destination.procedures, 'T', AeroflyStarNameSize);
    std::memset(destination.runway, '7', sizeof destination.runway);
    ASSERT_EQ(Parse(AeroflyPlan(departure, destination, route)), LinkDrop::None);
    EXPECT_STREQ(plan.departure.sid, "");
    EXPECT_STREQ(plan.departure.runway, "23");
    EXPECT_EQ(plan.departure.runwayLatitude, 53.63);  // the airport's
    EXPECT_STREQ(plan.destination.star, "");
    EXPECT_STREQ(plan.destination.approach, "I07");
    EXPECT_STREQ(plan.destination.runway, "");
    EXPECT_EQ(plan.piecesLeftOut, LinkDrop::Unterminated);
}

TEST_F(AeroflyPlanParse, RouteWaypointsThatCannotBeFlownAreLeftOut)
{
    std::vector<AeroflyRouteWaypoint> points = route;
    points.push_back(AeroflyWaypoint("NAN", 0, 10.0, NaN));
    points.push_back(AeroflyWaypoint("KIND", NaN, 10.0, 53.0));
    points.push_back(AeroflyWaypoint("FAR", 0, 10.0, -91.0));
    AeroflyRouteWaypoint unterminated = AeroflyWaypoint("", 0, 10.0, 53.0);
    std::memset(unterminated.ident, 'U', sizeof unterminated.ident);
    points.push_back(unterminated);
    points.push_back(AeroflyWaypoint("LAST", 0, 10.5, 53.8));
    ASSERT_EQ(Parse(AeroflyPlan(eddh, edhl, points)), LinkDrop::None);
    ASSERT_EQ(plan.routeCount, 3);
    EXPECT_STREQ(plan.route[1].ident, "B");
    EXPECT_STREQ(plan.route[2].ident, "LAST");
    EXPECT_EQ(plan.piecesLeftOut, LinkDrop::NotANumber);
}

class AeroflyLinkTest : public ::testing::Test {
protected:
    FreshLinkState linkState;
    UdpPeer peer;

    void SetUp() override
    {
        ASSERT_TRUE(peer.IsOpen());
        Settings.UseSimulator = SimulatorAerofly;
        Settings.InitialTimeout = 200;
        Settings.DebugMode = false;
        Settings.WeatherState = 0;
        ActiveSimPort = peer.Port();
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 4321;
        SetSimLinkEnabled(1);
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override { StopAndJoinUdpLinkThread(); }

    // The request of that type; a keep-alive first wakes the link from its
    // wait for a datagram, so that it sends what is due at once.
    UdpLinkRequest Expect(uint32_t type)
    {
        if (peer.HasSender())
            peer.Send(WordReply(AeroflyMagic, AeroflyMsgKeepAlive, 0, 8));
        std::vector<uint8_t> d;
        EXPECT_TRUE(peer.ReceiveType(type, &d, Wait)) << "request " << type;
        EXPECT_EQ(d.size(), sizeof(UdpLinkRequest));
        return ParseLinkRequest(d);
    }

    void Register(uint32_t slot)
    {
        ASSERT_TRUE(StartUdpLink(AeroflyLink));
        EXPECT_EQ(Expect(AeroflyMsgRegister).clientId, 4321);
        ASSERT_TRUE(peer.Send(WordReply(AeroflyMagic, AeroflyMsgRegistered, slot)));
    }
};

TEST_F(AeroflyLinkTest, ReadyStepThenEveryRequestWithTheSlot)
{
    Register(6);
    UdpLinkRequest r = Expect(AeroflyMsgMapReady);
    EXPECT_EQ(r.slotIndex, 6);
    EXPECT_EQ(r.clientId, 4321);
    EXPECT_TRUE(IsUdpLinkConnected(AeroflyLink)); // the ready step connects
    RequestAeroflyPlanSend();
    EXPECT_EQ(Expect(AeroflyMsgPlanRequest).slotIndex, 6);
    TrafficOnRequest = 1;
    Expect(AeroflyMsgTrafficOn);
    TrafficOffRequest = 1;
    Expect(AeroflyMsgTrafficOff);
    Settings.WeatherState = 1;
    WeatherRequestFlag = 1;
    EXPECT_EQ(Expect(AeroflyMsgWeatherRequest).value, 1u);
    Settings.WeatherState = 0;
    RequestSetPosition(47.5, 8.25);
    r = Expect(AeroflyMsgSetPosition);
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.first, 47.5);
    EXPECT_EQ(r.second, 8.25);
    SimLinkStopTraffic();  // Aerofly has no traffic: nothing to stop
    EXPECT_FALSE(SimLinkStartTraffic());
    EXPECT_EQ(TrafficOffRequest.load(), 0);
    StopUdpLink(AeroflyLink);
    r = Expect(AeroflyMsgUnregister);
    EXPECT_EQ(r.slotIndex, 6);
    EXPECT_EQ(r.first, 47.5);  // the record keeps what the last request left
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(AeroflyLink); }, Wait));
}

TEST_F(AeroflyLinkTest, KeepAlivesAndTypesItDoesNotUseLeaveTheLinkRunning)
{
    Register(0);
    Expect(AeroflyMsgMapReady);
    for (uint32_t type : {1u, 4u, 12u, 27u, 199u}) {
        ASSERT_TRUE(peer.Send(WordReply(AeroflyMagic, type, 0, 8)));
        Sleep(300);  // past the time-out of 200 ms, were the datagram not counted
    }
    EXPECT_TRUE(IsUdpLinkRunning(AeroflyLink));
    ASSERT_TRUE(peer.Send(WordReply(AeroflyMagic, AeroflyMsgStop, 0, 8)));
    Expect(AeroflyMsgUnregister);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(AeroflyLink); }, Wait));
}

TEST_F(AeroflyLinkTest, FiveTimeOutsInARowEndTheLink)
{
    Register(0);
    Expect(AeroflyMsgMapReady);
    ASSERT_TRUE(WaitFor([] { return !IsUdpLinkRunning(AeroflyLink); }, Wait));
    Expect(AeroflyMsgUnregister);
}

TEST_F(AeroflyLinkTest, AStateBeforeTheRegistrationIsNotTaken)
{
    HomePosition.latitude = 40.0;
    ASSERT_TRUE(StartUdpLink(AeroflyLink));
    Expect(AeroflyMsgRegister);
    ASSERT_TRUE(peer.Send(AeroflyState(47.0f, 8.0f)));
    Expect(AeroflyMsgRegister);
    EXPECT_FALSE(IsUdpLinkConnected(AeroflyLink));
    EXPECT_EQ(Var(SimVarLatitude), 40.0);
    EXPECT_TRUE(IsUdpLinkRunning(AeroflyLink));
}

}  // namespace
