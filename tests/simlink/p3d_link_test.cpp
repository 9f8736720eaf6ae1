// The Prepar3D/FSX link: the connector library's binding and its failure
// path, then the SimConnect session against the in-process queue (standing
// in for the connector) with a loopback companion: connection, definitions,
// the aircraft data that waits for the companion, traffic and the close.
#include "simlink/p3d_link.h"

#include "app/command_table.h"
#include "app/program_root.h"
#include "app/settings.h"
#include "simlink/traffic_mode.h"
#include "display/frame_update.h"
#include "link_datagrams.h"
#include "maps/weather_radar.h"
#include "navdata/flight_plan.h"
#include "navdata/simulators.h"
#include "platform/simconnect/simconnect_queue.h"
#include "platform/threads.h"
#include "simlink/p3d_protocol.h"
#include "simlink/traffic_advisory.h"
#include "simlink/traffic_table.h"
#include "simlink/udp_link.h"
#include "tests/support/temp_folder.h"
#include "tests/support/udp_peer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <thread>

namespace {

constexpr int Wait = 5000;

double Var(SimVarId id)
{
    double v = -12345.0;
    P3dGetVar(id, &v);
    return v;
}

void SetSystemFolder(const std::string& folder)
{
    std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.c_str());
}

TEST(P3dConnector, MissingLibraryShowsTheMessageAndSelectsPrepar3d)
{
    TempFolder folder;
    SetSystemFolder(folder.Path());
    Settings.UseSimulator = SimulatorFsx;
    EXPECT_FALSE(LoadSimConnectConnector());
    EXPECT_EQ(Settings.UseSimulator.load(), 3);
    // Nothing else happens: no probe, no connection, no crash.
    ConnectP3dLink();
    PollP3dSimConnect();
    EXPECT_FALSE(IsP3dConnected());
    EXPECT_EQ(Var(SimVarLatitude), HomePosition.latitude.load());
}

TEST(P3dConnector, ALibraryWithoutTheExportsIsRefused)
{
    TempFolder folder;
    std::filesystem::copy_file(TVL_PROBE_LIBRARY, folder / "libPlovikSimConnectP3D.so");
    SetSystemFolder(folder.Path());
    Settings.UseSimulator = SimulatorSimConnectConfig;
    EXPECT_FALSE(LoadSimConnectConnector());
    EXPECT_EQ(Settings.UseSimulator.load(), 3);
}

TEST(P3dConnector, TheShippedLibraryBindsAndFindsNoSimulatorWithoutOne)
{
    TempFolder folder;
    setenv("TVL_SIMCONNECT", (folder / "none.sock").c_str(), 1);
    SetSystemFolder(std::string(TVL_ROOT_DIR) + "/System");
    Settings.UseSimulator = SimulatorFsx;
    SetSimLinkEnabled(1);
    ASSERT_TRUE(LoadSimConnectConnector());
    EXPECT_TRUE(LoadSimConnectConnector());  // once loaded, loaded
    EXPECT_EQ(Settings.UseSimulator.load(), 1);
    ConnectP3dLink();
    for (int i = 0; i < 20; ++i) {
        PollP3dSimConnect();
        Sleep(10);
    }
    EXPECT_FALSE(IsP3dConnected());
    UnloadP3dConnector();
}

const P3dConnectorCalls QueueCalls = {
    SimConnect_Open,
    SimConnect_Close,
    SimConnect_AddToDataDefinition,
    SimConnect_RequestDataOnSimObject,
    SimConnect_RequestDataOnSimObjectType,
    SimConnect_CallDispatch,
    SimConnect_UnsubscribeFromSystemEvent,
    SimConnect_SubscribeToSystemEvent,
    SimConnect_SetSystemEventState,
};

P3dSimData MakeSimData(double latitude, double longitude)
{
    P3dSimData d{};
    std::snprintf(d.title, sizeof d.title, "%s", "Test Aircraft");
    d.latitude = latitude;
    d.longitude = longitude;
    d.altitude = 4500.0;
    d.trueHeading = 90.0;
    d.groundAltitude = 300.0;
    d.groundSpeed = 51.51;  // 100 knots
    d.waypointDistance = 12000.0;
    d.waypointIndex = 2.0;
    d.ete = 900.0;
    d.waypointEte = 300.0;
    d.gpsAltitude = 1000.0;
    d.windDirection = 250.0;
    d.windSpeed = 12.0;
    d.temperature = 8.0;
    d.magneticVariation = 2.5;
    d.pitch = 3.0;
    d.bank = -10.0;
    d.heightAboveGround = 3500.0;
    d.verticalSpeed = 8.0;
    return d;
}

size_t Requests(DWORD requestId)
{
    return SimConnectQueueCount(SimWireRequestDataByType, requestId);
}

// The radius of the last traffic list request, 0 when none.
DWORD LastListRadius()
{
    DWORD radius = 0;
    for (const SimWireRequest& call : SimConnectQueueCalls())
        if (call.kind == SimWireRequestDataByType && call.requestId == P3dTrafficListRequest)
            radius = call.radiusMeters;
    return radius;
}

// The period last asked for an object's own request, -1 when none.
long LastObjectPeriod(DWORD objectId)
{
    long period = -1;
    for (const SimWireRequest& call : SimConnectQueueCalls())
        if (call.kind == SimWireRequestData && call.requestId == objectId)
            period = static_cast<long>(call.period);
    return period;
}

class P3dLinkTest : public ::testing::Test {
protected:
    std::unique_ptr<UdpPeer> peer = std::make_unique<UdpPeer>();

    void SetUp() override
    {
        ASSERT_TRUE(peer->IsOpen());
        SimConnectQueueEnable(true);
        SimConnectQueueReset();
        SimConnectQueueSetAvailable(true);
        ResetP3dLink();
        UseP3dConnectorCalls(&QueueCalls);
        Settings.UseSimulator = SimulatorPrepar3d;
        Settings.InitialTimeout = 200;
        Settings.DebugMode = false;
        Settings.WeatherState = 0;
        HomePosition.latitude = 53.5;
        HomePosition.longitude = 10.0;
        ActiveSimPort = peer->Port();
        ActiveSimAddress.Set("127.0.0.1");
        ClientIdTag = 4321;
        SetSimLinkEnabled(1);
        ASSERT_TRUE(WaitFor([] { return ClockSeconds() > 0.0; }, Wait));
    }

    void TearDown() override
    {
        CloseP3dSimConnect();
        StopAndJoinUdpLinkThread();
        UseP3dConnectorCalls(nullptr);
        SimConnectQueueEnable(false);
    }

    // The connect command and the frames after it, until the session is open.
    void Connect()
    {
        ConnectP3dLink();
        ASSERT_TRUE(WaitFor(
            [] {
                PollP3dSimConnect();
                return IsP3dConnected();
            },
            Wait));
    }

    // Registers with the companion and lets its first tick run the ready step.
    void RegisterCompanion(uint32_t slot = 3)
    {
        std::vector<uint8_t> d;
        ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
        ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgRegistered, slot)));
        ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgState)));
        ASSERT_TRUE(peer->ReceiveType(P3dMsgMapReady, &d, Wait));
        ASSERT_TRUE(WaitFor([] { return MapReloadPending.load() == 0; }, Wait));
    }

    void ConnectReady()
    {
        Connect();
        RegisterCompanion();
        SimConnectQueueClearCalls();
    }

    void InjectUser(const P3dSimData& d)
    {
        SimConnectQueueInjectDataByType(P3dUserRequest, 1, P3dUserDefinition, 1, 1, &d, sizeof d);
        PollP3dSimConnect();
    }

    void InjectListed(uint32_t objectId, const char* atcId)
    {
        char text[P3dAtcIdSize] = {};
        std::snprintf(text, sizeof text, "%s", atcId);
        SimConnectQueueInjectDataByType(P3dTrafficListRequest, objectId, P3dAtcIdDefinition, 1, 1, text, sizeof text);
        PollP3dSimConnect();
    }

    void InjectObject(uint32_t objectId, double latitude, double longitude)
    {
        TrafficValues v{latitude, longitude, 3000.0, 0.0, 0.0, 1.5708, 90.0, 140.0};
        SimConnectQueueInjectData(objectId, objectId, P3dTrafficDefinition, &v, sizeof v);
        PollP3dSimConnect();
    }
};

TEST_F(P3dLinkTest, ConnectProbesThenOpensDefinesTheUserDataAndStartsTheCompanion)
{
    Connect();
    std::vector<SimWireRequest> calls = SimConnectQueueCalls();
    std::vector<std::string> opens;
    for (const SimWireRequest& c : calls)
        if (c.kind == SimWireOpen)
            opens.push_back(c.name);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0], "CheckConnection");
    EXPECT_EQ(opens[1], "Tabrix Tervalingo 2.3");
    EXPECT_EQ(SimConnectQueueCount(SimWireClose), 1u);  // the probe's
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dUserDefinition), 23u);
    for (const SimWireRequest& c : calls) {
        if (c.kind == SimWireAddToDataDefinition) {
            EXPECT_STREQ(c.name, "Title");
            EXPECT_EQ(c.datumType, SIMCONNECT_DATATYPE_STRING256);
            break;
        }
    }
    for (DWORD event : {P3dEventFourSeconds, P3dEventPositionChanged, P3dEventPause, P3dEventSim})
        EXPECT_EQ(SimConnectQueueCount(SimWireSubscribeSystemEvent, event), 1u) << event;
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    EXPECT_EQ(ParseLinkRequest(d).clientId, 4321);
    EXPECT_TRUE(IsP3dLinkRunning());
}

TEST_F(P3dLinkTest, WithoutTheCompanionsReadyStepThePositionStaysHome)
{
    Connect();
    SimConnectQueueInjectEvent(P3dEventFourSeconds, 0);
    PollP3dSimConnect();
    EXPECT_EQ(Requests(P3dUserRequest), 1u);
    InjectUser(MakeSimData(47.25, 8.5));
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
    EXPECT_EQ(Var(SimVarLongitude), 10.0);
    EXPECT_EQ(Var(SimVarAltitude), 0.0);
    EXPECT_EQ(Requests(P3dUserRequest), 2u);  // asked again all the same
}

TEST_F(P3dLinkTest, AfterTheReadyStepTheValuesComeOutInTheUnitsOfTheVariableTable)
{
    ConnectReady();
    InjectUser(MakeSimData(47.25, 8.5));
    EXPECT_EQ(Var(SimVarLatitude), 47.25);
    EXPECT_EQ(Var(SimVarLongitude), 8.5);
    EXPECT_EQ(Var(SimVarAltitude), 4500.0);
    EXPECT_EQ(Var(SimVarGroundAltitude), 300.0);
    EXPECT_NEAR(Var(SimVarGroundSpeed), 100.0, 1e-9);
    EXPECT_EQ(Var(SimVarWaypointDistance), 12000.0);
    EXPECT_EQ(Var(SimVarWaypointIndex), 2.0);
    EXPECT_EQ(Var(SimVarEte), 900.0);
    EXPECT_EQ(Var(SimVarWaypointEte), 300.0);
    EXPECT_NEAR(Var(SimVarGpsAltitude), 3280.0, 1e-9);
    EXPECT_EQ(Var(SimVarWindDirection), 250.0);
    EXPECT_EQ(Var(SimVarWindSpeed), 12.0);
    EXPECT_EQ(Var(SimVarTemperature), 8.0);
    EXPECT_EQ(Var(SimVarMagneticVariation), 2.5);
    EXPECT_EQ(Var(SimVarPitch), 3.0);
    EXPECT_EQ(Var(SimVarBank), -10.0);
    EXPECT_EQ(Var(SimVarHeightAboveGround), 3500.0);
    EXPECT_EQ(Var(SimVarVerticalSpeed), 8.0);
    EXPECT_EQ(Var(21), 0.0);
    EXPECT_EQ(Requests(P3dUserRequest), 1u);
}

TEST_F(P3dLinkTest, ABlockWithoutItsTerminatedTitleOrWithBadNumbersIsNotTaken)
{
    ConnectReady();
    InjectUser(MakeSimData(47.0, 8.0));
    P3dSimData d = MakeSimData(48.0, 9.0);
    std::memset(d.title, 'A', sizeof d.title);
    InjectUser(d);
    d = MakeSimData(48.0, 9.0);
    d.altitude = std::numeric_limits<double>::quiet_NaN();
    InjectUser(d);
    d = MakeSimData(91.0, 9.0);
    InjectUser(d);
    // A block cut short of its values.
    d = MakeSimData(48.0, 9.0);
    SimConnectQueueInjectDataByType(P3dUserRequest, 1, P3dUserDefinition, 1, 1, &d, sizeof d - 8);
    PollP3dSimConnect();
    EXPECT_EQ(Var(SimVarLatitude), 47.0);
    EXPECT_EQ(Var(SimVarAltitude), 4500.0);
    EXPECT_EQ(Requests(P3dUserRequest), 5u);  // every answer is followed by the next request
}

TEST_F(P3dLinkTest, TheFourSecondEventAsksOnceAndIsDroppedOnceTheMapIsLoaded)
{
    Connect();
    SimConnectQueueInjectEvent(P3dEventFourSeconds, 0);
    PollP3dSimConnect();
    SimConnectQueueInjectEvent(P3dEventFourSeconds, 0);
    PollP3dSimConnect();  // the map is still to be loaded: kept
    EXPECT_EQ(SimConnectQueueCount(SimWireUnsubscribeSystemEvent), 0u);
    RegisterCompanion();
    SimConnectQueueInjectEvent(P3dEventFourSeconds, 0);
    PollP3dSimConnect();
    EXPECT_EQ(SimConnectQueueCount(SimWireUnsubscribeSystemEvent, P3dEventFourSeconds), 1u);
    EXPECT_EQ(Requests(P3dUserRequest), 1u);
}

TEST_F(P3dLinkTest, PauseAndSimEventsSetThePausedState)
{
    Connect();
    SimConnectQueueInjectEvent(P3dEventPause, 1);
    PollP3dSimConnect();
    EXPECT_EQ(SimPaused.load(), 1);
    SimConnectQueueInjectEvent(P3dEventPause, 0);
    PollP3dSimConnect();
    EXPECT_EQ(SimPaused.load(), 0);
    SimConnectQueueInjectEvent(P3dEventSim, 0);
    PollP3dSimConnect();
    EXPECT_EQ(SimPaused.load(), 1);
    SimConnectQueueInjectEvent(P3dEventSim, 1);
    PollP3dSimConnect();
    EXPECT_EQ(SimPaused.load(), 0);
}

TEST_F(P3dLinkTest, TrafficIsDefinedOnceAndAnnouncedAircraftAreAskedForEverySecond)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dTrafficDefinition), 8u);
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dAtcIdDefinition), 1u);
    EXPECT_EQ(SimConnectQueueCount(SimWireSubscribeSystemEvent, P3dEventObjectAdded), 1u);
    EXPECT_EQ(SimConnectQueueCount(SimWireSetSystemEventState, P3dEventObjectRemoved), 1u);
    EXPECT_EQ(LastListRadius(), 5000u);
    EXPECT_FALSE(IsP3dTrafficOn());

    InjectListed(1001, "DLH123");
    EXPECT_TRUE(IsP3dTrafficOn());
    EXPECT_EQ(TrafficCount.load(), 1);
    int slot = FindTrafficId(1001);
    ASSERT_EQ(slot, 0);
    EXPECT_STREQ(TrafficTable[slot].callsign, "DLH123");
    EXPECT_EQ(TrafficTable[slot].valid, 0);
    EXPECT_EQ(LastObjectPeriod(1001), static_cast<long>(SIMCONNECT_PERIOD_SECOND));

    InjectObject(1001, 47.1, 8.1);
    EXPECT_EQ(TrafficTable[slot].valid, 1);
    EXPECT_EQ(TrafficTable[slot].reportCount, 1);
    EXPECT_EQ(TrafficTable[slot].values.latitude, 47.1);
    EXPECT_EQ(TrafficTable[slot].displayedLatitude, 47.1);
    InjectObject(1001, 47.2, 8.1);
    EXPECT_EQ(TrafficTable[slot].reportCount, 2);
    EXPECT_EQ(TrafficTable[slot].previousLatitude, 47.1);

    // Announced again (a rescan): only the callsign changes, no second slot.
    InjectListed(1001, "DLH124");
    EXPECT_EQ(TrafficCount.load(), 1);
    EXPECT_STREQ(TrafficTable[slot].callsign, "DLH124");
    // Switched on again later: no second definition.
    ASSERT_TRUE(P3dStartTraffic());
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dTrafficDefinition), 8u);
}

TEST_F(P3dLinkTest, EmptyOrUnterminatedListAnswersAnnounceNothing)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    SimConnectQueueInjectDataByType(P3dTrafficListRequest, 0, P3dAtcIdDefinition, 0, 0, nullptr, 0);
    char text[P3dAtcIdSize];
    std::memset(text, 'X', sizeof text);
    SimConnectQueueInjectDataByType(P3dTrafficListRequest, 1002, P3dAtcIdDefinition, 1, 1, text, sizeof text);
    // An object id that is the free-slot mark is no aircraft.
    InjectListed(TrafficFreeId, "FREE");
    EXPECT_FALSE(IsP3dTrafficOn());
    EXPECT_EQ(TrafficCount.load(), 0);
    EXPECT_EQ(FindTrafficId(1002), -1);
}

TEST_F(P3dLinkTest, TheRadiusGrowsEveryFiveSecondsUpTo100kmAndFallsBackOnAPositionChange)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    InjectListed(1001, "DLH123");
    InjectUser(MakeSimData(47.0, 8.0));
    EXPECT_EQ(GetP3dTrafficRadius(), 5000u);  // not five seconds yet
    for (uint32_t expected = 10000; expected <= 100000; expected += 5000) {
        AgeP3dTrafficTimer(5.5);
        InjectUser(MakeSimData(47.0, 8.0));
        ASSERT_EQ(GetP3dTrafficRadius(), expected);
        ASSERT_EQ(LastListRadius(), expected);
    }
    size_t lists = Requests(P3dTrafficListRequest);
    AgeP3dTrafficTimer(5.5);
    InjectUser(MakeSimData(47.0, 8.0));
    EXPECT_EQ(GetP3dTrafficRadius(), 100000u);
    EXPECT_EQ(Requests(P3dTrafficListRequest), lists);

    SimConnectQueueInjectEvent(P3dEventPositionChanged, 0);
    PollP3dSimConnect();
    EXPECT_EQ(GetP3dTrafficRadius(), 5000u);
    EXPECT_EQ(LastListRadius(), 5000u);
    EXPECT_EQ(TrafficCount.load(), 0);
    EXPECT_EQ(LastObjectPeriod(1001), static_cast<long>(SIMCONNECT_PERIOD_NEVER));
}

TEST_F(P3dLinkTest, ANewObjectInTheSimulatorRescansAtTheCurrentRadius)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    InjectListed(1001, "DLH123");
    AgeP3dTrafficTimer(5.5);
    InjectUser(MakeSimData(47.0, 8.0));
    size_t lists = Requests(P3dTrafficListRequest);
    SimConnectQueueInjectObjectAddRemove(P3dEventObjectAdded, 1005);
    PollP3dSimConnect();
    EXPECT_EQ(Requests(P3dTrafficListRequest), lists + 1);
    EXPECT_EQ(LastListRadius(), 10000u);
    EXPECT_EQ(LastObjectPeriod(1001), static_cast<long>(SIMCONNECT_PERIOD_NEVER));
    EXPECT_EQ(FindTrafficId(1001), 0);  // kept until the rescan announces it again
}

TEST_F(P3dLinkTest, ARemovedAircraftLeavesItsSlotAndLowersTheCount)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    InjectListed(1001, "DLH123");
    InjectListed(1002, "AFR456");
    ASSERT_EQ(TrafficCount.load(), 2);
    SimConnectQueueInjectObjectAddRemove(P3dEventObjectRemoved, 1001);
    PollP3dSimConnect();
    EXPECT_EQ(TrafficCount.load(), 1);
    EXPECT_EQ(FindTrafficId(1001), -1);
    EXPECT_EQ(TrafficTable[0].valid, 0);
    EXPECT_EQ(LastObjectPeriod(1001), static_cast<long>(SIMCONNECT_PERIOD_NEVER));
    // An id that is not in the table changes nothing.
    SimConnectQueueInjectObjectAddRemove(P3dEventObjectRemoved, 4711);
    PollP3dSimConnect();
    EXPECT_EQ(TrafficCount.load(), 1);
    // Data for an aircraft that is no longer listed is dropped.
    InjectObject(1001, 47.1, 8.1);
    EXPECT_EQ(FindTrafficId(1001), -1);
}

TEST_F(P3dLinkTest, StoppingTrafficCancelsEveryObjectRequest)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    InjectListed(1001, "DLH123");
    InjectListed(1002, "AFR456");
    P3dStopTraffic();
    EXPECT_FALSE(IsP3dTrafficOn());
    EXPECT_EQ(TrafficCount.load(), 0);
    EXPECT_EQ(LastObjectPeriod(1001), static_cast<long>(SIMCONNECT_PERIOD_NEVER));
    EXPECT_EQ(LastObjectPeriod(1002), static_cast<long>(SIMCONNECT_PERIOD_NEVER));
}

TEST_F(P3dLinkTest, QuitClosesTheSessionAndTheCompanionAndTheNextPollProbesAgain)
{
    ConnectReady();
    ASSERT_TRUE(P3dStartTraffic());
    InjectListed(1001, "DLH123");
    InjectUser(MakeSimData(47.0, 8.0));
    SimConnectQueueInjectQuit();
    PollP3dSimConnect();
    EXPECT_FALSE(IsP3dConnected());
    EXPECT_FALSE(IsP3dLinkRunning());
    EXPECT_EQ(FindTrafficId(1001), -1);
    EXPECT_EQ(Var(SimVarLatitude), 53.5);
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgUnregister, &d, Wait));
    EXPECT_EQ(ParseLinkRequest(d).slotIndex, 3);
    // The simulator is gone: the probe fails and nothing opens.
    SimConnectQueueSetAvailable(false);
    SimConnectQueueClearCalls();
    for (int i = 0; i < 20; ++i) {
        PollP3dSimConnect();
        Sleep(5);
    }
    EXPECT_FALSE(IsP3dConnected());
    EXPECT_EQ(SimConnectQueueCount(SimWireOpen), 0u);
    // It comes back: probed, opened, defined.
    SimConnectQueueSetAvailable(true);
    ASSERT_TRUE(WaitFor(
        [] {
            PollP3dSimConnect();
            return IsP3dConnected();
        },
        Wait));
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dUserDefinition), 23u);
}

// One frame of the display, which starts and polls the link.
void Frame()
{
    float x = 0, y = 0, h = 0, m = 0, r = 0;
    UpdateFrame(nullptr, UpdateModeFrame, &x, &y, &h, &m, &r, 640, 480);
}

// The simulator quits and comes back: the traffic the user chose is asked
// for in the new session, also when a frame ran while the session was down.
TEST_F(P3dLinkTest, TrafficIsAskedForAgainAfterTheSimulatorRestarts)
{
    Settings.RadarMode = 1;
    ResetTrafficMode();
    ConnectReady();  // the session's opening switched the traffic on
    Frame();
    ASSERT_EQ(TrafficOn, 1);
    SimConnectQueueInjectQuit();
    Frame();  // its start step finds the session closed
    ASSERT_FALSE(IsP3dConnected());
    Frame();
    SimConnectQueueClearCalls();
    ASSERT_TRUE(WaitFor(
        [] {
            PollP3dSimConnect();
            return IsP3dConnected();
        },
        Wait));
    Frame();
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, P3dTrafficDefinition), 8u);
    EXPECT_EQ(TrafficOn, 1);
    Settings.RadarMode = 0;
}

TEST_F(P3dLinkTest, ASimulatorThatVanishesClosesTheSession)
{
    ConnectReady();
    SimConnectQueueDisconnect();
    PollP3dSimConnect();
    EXPECT_FALSE(IsP3dConnected());
    EXPECT_FALSE(IsP3dLinkRunning());
}

TEST_F(P3dLinkTest, NothingClosesWhileTheDisplayIsRecreated)
{
    ConnectReady();
    SetDisplayResetting(1);
    CloseP3dSimConnect();
    EXPECT_TRUE(IsP3dConnected());
    EXPECT_TRUE(IsP3dLinkRunning());
    SetDisplayResetting(0);
    CloseP3dSimConnect();
    EXPECT_FALSE(IsP3dConnected());
}

// ---- the companion's UDP link ----

TEST(P3dCompanionDatagram, OnlyDatagramsWithTheCompanionsMagicAreTaken)
{
    EXPECT_FALSE(HandleP3dCompanionDatagram(nullptr, 0));
    EXPECT_FALSE(HandleP3dCompanionDatagram(WordReply(P3dCompanionMagic, P3dMsgKeepAlive).data(), 4));
    EXPECT_FALSE(HandleP3dCompanionDatagram(WordReply(2020, P3dMsgKeepAlive).data(), 12));
    EXPECT_TRUE(HandleP3dCompanionDatagram(WordReply(P3dCompanionMagic, P3dMsgKeepAlive).data(), 12));
    // A slot reply cut short registers nothing.
    EXPECT_TRUE(HandleP3dCompanionDatagram(WordReply(P3dCompanionMagic, P3dMsgRegistered, 3).data(), 10));
    EXPECT_FALSE(IsP3dLinkRegistered());
}

TEST_F(P3dLinkTest, WithoutAnAnswerRegistrationRepeatsUntilFiveTimeOutsAndThePollStartsItAgain)
{
    Connect();
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    ASSERT_TRUE(WaitFor([] { return !IsP3dLinkRunning(); }, 3 * Wait));
    EXPECT_TRUE(IsP3dConnected());  // the SimConnect session stays
    while (peer->Receive(&d, 50)) {
    }
    PollP3dSimConnect();
    EXPECT_TRUE(IsP3dLinkRunning());
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
}

TEST_F(P3dLinkTest, TheCompanionsStopEndsTheLinkAndAcceptedChangesNothing)
{
    Connect();
    RegisterCompanion(7);
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgAccepted, 0, 20, 1)));
    // Datagrams are taken in order: once the weather after it is in, so is it.
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgWeather, 0, 20, 1)));
    ASSERT_TRUE(WaitFor([] { return SimWeatherFlag.load() == 1; }, Wait));
    EXPECT_TRUE(IsP3dLinkRunning());
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgStop)));
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgUnregister, &d, Wait));
    EXPECT_EQ(ParseLinkRequest(d).slotIndex, 7);
    EXPECT_EQ(ParseLinkRequest(d).clientId, 4321);
    ASSERT_TRUE(WaitFor([] { return !IsP3dLinkRunning(); }, Wait));
}

TEST_F(P3dLinkTest, ARefusedRegistrationEndsTheLink)
{
    Connect();
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgRefused)));
    ASSERT_TRUE(WaitFor([] { return !IsP3dLinkRunning(); }, Wait));
    EXPECT_FALSE(peer->ReceiveType(P3dMsgUnregister, &d, 200));
}

TEST_F(P3dLinkTest, TheWeatherStateGoesFirstThenTheRadarStateThenTheRain)
{
    Settings.WeatherState = 1;
    Connect();
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgRegistered, 2)));
    std::vector<uint32_t> types;
    while (types.size() < 3 && peer->Receive(&d, Wait)) {
        UdpLinkRequest r = ParseLinkRequest(d);
        if (r.type == P3dMsgRegister)
            continue;
        types.push_back(r.type);
        EXPECT_EQ(r.slotIndex, 2);
        if (r.type == P3dMsgWeatherRequest) {
            EXPECT_EQ(r.value, 1u);
        }
        if (r.type == P3dMsgRainRequest) {
            EXPECT_EQ(static_cast<int32_t>(r.value), GetRainIntensity());
        }
    }
    EXPECT_EQ(types, (std::vector<uint32_t>{P3dMsgWeatherRequest, P3dMsgRadarState, P3dMsgRainRequest}));
}

TEST_F(P3dLinkTest, PlanButtonsAndTheSimulatorsWeatherArriveOnceRegistered)
{
    Connect();
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgRegister, &d, Wait));
    // Before the registration a plan is not taken.
    RouteChanged = 0;
    ASSERT_TRUE(peer->Send(PlanDatagram(P3dCompanionMagic, P3dMsgFlightPlan, 4)));
    RegisterCompanion();
    EXPECT_EQ(RouteChanged.load(), 0);

    ASSERT_TRUE(peer->Send(PlanDatagram(P3dCompanionMagic, P3dMsgFlightPlan, 5, 2)));
    ASSERT_TRUE(WaitFor([] { return RouteChanged.load() == 1; }, Wait));
    FlightPlanRecord plan;
    CopyFlightPlan(&plan);
    EXPECT_EQ(plan.present, 1);
    EXPECT_EQ(plan.count, 5);
    EXPECT_EQ(plan.simActiveIndex, 2);
    EXPECT_STREQ(plan.waypoints[4].ident, "WP4");

    // A count past what arrived: the datagram is dropped whole.
    RouteChanged = 0;
    std::vector<uint8_t> cut = PlanDatagram(P3dCompanionMagic, P3dMsgFlightPlan, 6);
    cut.resize(cut.size() - 24);
    ASSERT_TRUE(peer->Send(cut));

    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgButton + 3)));
    ASSERT_TRUE(WaitFor([] { return GetLastButton() == 4; }, Wait));
    EXPECT_EQ(RouteChanged.load(), 0);
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgWeather, 0, 20, 1)));
    ASSERT_TRUE(WaitFor([] { return SimWeatherFlag.load() == 1; }, Wait));
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgWeather, 0, 20, 0)));
    ASSERT_TRUE(WaitFor([] { return SimWeatherFlag.load() == 0; }, Wait));
}

TEST_F(P3dLinkTest, OnlyTheCompanionsOwnAddressIsHeard)
{
    Connect();
    RegisterCompanion();
    UdpPeer stranger(0, "127.0.0.2");
    ASSERT_TRUE(stranger.IsOpen());
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), WordReply(P3dCompanionMagic, P3dMsgButton + 8)));
    ASSERT_TRUE(stranger.SendTo(peer->SenderPort(), WordReply(P3dCompanionMagic, P3dMsgStop)));
    // The companion's own button comes after them.
    ASSERT_TRUE(peer->Send(WordReply(P3dCompanionMagic, P3dMsgButton + 2)));
    ASSERT_TRUE(WaitFor([] { return GetLastButton() == 3; }, Wait));
    EXPECT_TRUE(IsP3dLinkRunning());
}

TEST_F(P3dLinkTest, ADatagramWithoutTheCompanionsMagicIsAFailedReceive)
{
    Settings.WeatherState = 1;
    Connect();
    RegisterCompanion();
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgWeatherRequest, &d, Wait));  // the registration's
    // Keep-alives from beside the companion hold every time-out off.
    uint16_t port = peer->SenderPort();
    UdpPeer beside;
    std::atomic<bool> alive{true};
    std::thread keepAlive([&] {
        while (alive.load()) {
            beside.SendTo(port, WordReply(P3dCompanionMagic, P3dMsgKeepAlive));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    ASSERT_TRUE(peer->Send(WordReply(2020, P3dMsgKeepAlive)));
    bool asked = peer->ReceiveType(P3dMsgWeatherRequest, &d, Wait);
    alive = false;
    keepAlive.join();
    EXPECT_TRUE(asked);
    Settings.WeatherState = 0;
}

TEST_F(P3dLinkTest, SetPositionGoesOnceWithLatitudeThenLongitude)
{
    Connect();
    RegisterCompanion(4);
    RequestSetPosition(47.5, 8.25);
    std::vector<uint8_t> d;
    ASSERT_TRUE(peer->ReceiveType(P3dMsgSetPosition, &d, Wait));
    UdpLinkRequest r = ParseLinkRequest(d);
    EXPECT_EQ(d.size(), sizeof(UdpLinkRequest));
    EXPECT_EQ(r.slotIndex, 4);
    EXPECT_EQ(r.first, 47.5);
    EXPECT_EQ(r.second, 8.25);
    EXPECT_FALSE(peer->ReceiveType(P3dMsgSetPosition, &d, 300));
}

}  // namespace
