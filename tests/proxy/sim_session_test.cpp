// The proxy's SimConnect session against the test queue: what it asks of the
// simulator and what it makes of the answers.
#include "platform/simconnect/simconnect_queue.h"
#include "proxy/client_table.h"
#include "proxy/proxy_traffic.h"
#include "proxy/sim_session.h"
#include "proxy/udp_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class SimSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimConnectQueueEnable(true);
        SimConnectQueueReset();
        SimConnectQueueSetAvailable(true);
        ResetSimSession();
        ResetTraffic();
        ResetClientTable();
        ResetUdpServer();
        ASSERT_TRUE(SUCCEEDED(SimConnect_Open(&SimConnectHandle, "test", nullptr, 0, nullptr, 0)));
        BeginSimSession();
        sockaddr_in address{};
        address.sin_family = AF_INET;
        RegisterClient(1, address);  // nothing is dispatched without a client
        SimConnectQueueClearCalls();
    }
    void TearDown() override
    {
        EndSimSession();
        SimConnectQueueEnable(false);
    }
    ProxyAircraftState State()
    {
        ProxyAircraftState state{};
        FillAircraftState(&state);
        return state;
    }
    void InjectUserPosition(double lat, double lon)
    {
        double values[7] = {110.0, lon, lat, 4500.0, 271.0, -2.0, 5.0};
        SimConnectQueueInjectDataByType(10, 1, 4, 1, 1, values, sizeof(values));
    }
    void InjectAtcId(uint32_t objectId, const char* atcId)
    {
        char text[32] = {};
        std::strncpy(text, atcId, sizeof(text) - 1);
        SimConnectQueueInjectDataByType(6, objectId, 3, 1, 1, text, sizeof(text));
    }
};

TEST_F(SimSessionTest, SessionStartDefinesTheUserDataAndSubscribesItsEvents)
{
    EndSimSession();
    SimConnectQueueReset();
    SimConnectQueueSetAvailable(true);
    ASSERT_TRUE(SUCCEEDED(SimConnect_Open(&SimConnectHandle, "test", nullptr, 0, nullptr, 0)));
    SimConnectQueueClearCalls();
    BeginSimSession();
    std::vector<DWORD> definitions;
    std::vector<std::string> events;
    for (const SimWireRequest& call : SimConnectQueueCalls()) {
        if (call.kind == SimWireAddToDataDefinition && (definitions.empty() || definitions.back() != call.defineId))
            definitions.push_back(call.defineId);
        if (call.kind == SimWireSubscribeSystemEvent)
            events.push_back(call.name);
    }
    EXPECT_EQ(definitions, (std::vector<DWORD>{0, 1, 4, 5}));
    EXPECT_EQ(events, (std::vector<std::string>{"4sec", "PositionChanged", "Pause", "Sim"}));
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, 4), 7u);
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, 5), 9u);
}

TEST_F(SimSessionTest, FirstFourSecondsEventAsksForTheUserDataOnce)
{
    SimConnectQueueInjectEvent(0, 0);
    SimConnectQueueInjectEvent(0, 0);
    DispatchSimMessages();
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 10), 1u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestSystemState, 1), 2u);
    std::vector<SimWireRequest> calls = SimConnectQueueCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].requestId, 10u);
    EXPECT_EQ(calls[1].requestId, 0u);
    EXPECT_EQ(calls[2].requestId, 11u);
}

TEST_F(SimSessionTest, NothingIsDispatchedWithoutAClient)
{
    ResetClientTable();
    SimConnectQueueInjectEvent(0, 0);
    DispatchSimMessages();
    EXPECT_EQ(SimConnectQueuePending(), 1u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType), 0u);
}

TEST_F(SimSessionTest, UserPositionAnswerFillsTheStateAndAsksAgain)
{
    InjectUserPosition(47.25, 8.5);
    double user[7] = {400.0, 0.0, 61.7, 1371.6, 2.5, 3200.0, -8.0};
    SimConnectQueueInjectDataByType(0, 1, 0, 1, 1, user, sizeof(user));
    double gps[9] = {9000, 3, 1200, 43000, 300, 42000, 250, 12, 7.5};
    SimConnectQueueInjectDataByType(11, 1, 5, 1, 1, gps, sizeof(gps));
    DispatchSimMessages();
    ProxyAircraftState state = State();
    EXPECT_DOUBLE_EQ(state.latitude, 47.25);
    EXPECT_DOUBLE_EQ(state.longitude, 8.5);
    EXPECT_DOUBLE_EQ(state.indicatedAirspeed, 110.0);
    EXPECT_DOUBLE_EQ(state.trueHeading, 271.0);
    EXPECT_DOUBLE_EQ(state.magneticVariation, -2.0);
    EXPECT_DOUBLE_EQ(state.bank, 5.0);
    EXPECT_DOUBLE_EQ(state.groundAltitude, 400.0);
    EXPECT_DOUBLE_EQ(state.gpsAltitude, 1371.6);
    EXPECT_DOUBLE_EQ(state.verticalSpeed, -8.0);
    EXPECT_DOUBLE_EQ(state.windSpeed, 12.0);
    EXPECT_DOUBLE_EQ(state.temperature, 7.5);
    EXPECT_DOUBLE_EQ(state.waypointIndex, 3.0);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 10), 1u);
}

TEST_F(SimSessionTest, AnswersShorterThanTheirBlockChangeNothing)
{
    InjectUserPosition(47.25, 8.5);
    DispatchSimMessages();
    double half[3] = {1.0, 2.0, 3.0};
    SimConnectQueueInjectDataByType(10, 1, 4, 1, 1, half, sizeof(half));
    SimConnectQueueInjectDataByType(11, 1, 5, 1, 1, half, sizeof(half));
    DispatchSimMessages();
    EXPECT_DOUBLE_EQ(State().latitude, 47.25);
    EXPECT_DOUBLE_EQ(State().windSpeed, 0.0);
}

TEST_F(SimSessionTest, PauseAndSimEventsSetTheStateFlag)
{
    SimConnectQueueInjectEvent(3, 1);
    DispatchSimMessages();
    EXPECT_EQ(State().paused, 1u);
    SimConnectQueueInjectEvent(4, 1);
    DispatchSimMessages();
    EXPECT_EQ(State().paused, 0u);
    SimConnectQueueInjectEvent(4, 0);
    DispatchSimMessages();
    EXPECT_EQ(State().paused, 1u);
}

TEST_F(SimSessionTest, QuitEndsTheSessionAndTheNextOneAsksAgain)
{
    SimConnectQueueInjectEvent(0, 0);
    SimConnectQueueInjectQuit();
    DispatchSimMessages();
    EXPECT_TRUE(SessionEnd);
    BeginSimSession();
    EXPECT_FALSE(SessionEnd);
    SimConnectQueueClearCalls();
    SimConnectQueueInjectEvent(0, 0);
    DispatchSimMessages();
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 10), 1u);
}

TEST_F(SimSessionTest, ASimulatorThatVanishesEndsTheSession)
{
    SimConnectQueueDisconnect();
    DispatchSimMessages();
    EXPECT_TRUE(SessionEnd);
    EXPECT_FALSE(MismatchEnd);
}

TEST_F(SimSessionTest, SetPositionWritesTheInitialPositionWithTheNextAnswer)
{
    double user[7] = {0, 1.0, 0, 0, 3.0, 0, 0};  // on the ground, pitch 3
    SimConnectQueueInjectDataByType(0, 1, 0, 1, 1, user, sizeof(user));
    InjectUserPosition(47.25, 8.5);
    DispatchSimMessages();
    ArmSetPosition(46.0, 7.0);
    EXPECT_EQ(SimConnectQueueCount(SimWireSetData), 0u);
    InjectUserPosition(47.26, 8.51);
    DispatchSimMessages();
    std::vector<SimWireRequest> calls = SimConnectQueueCalls();
    const SimWireRequest* write = nullptr;
    for (const SimWireRequest& call : calls)
        write = call.kind == SimWireSetData ? &call : write;
    ASSERT_NE(write, nullptr);
    EXPECT_EQ(write->defineId, 1u);
    ASSERT_EQ(write->dataSize, sizeof(SIMCONNECT_DATA_INITPOSITION));
    SIMCONNECT_DATA_INITPOSITION position;
    std::memcpy(&position, write->data, sizeof(position));
    EXPECT_DOUBLE_EQ(position.Latitude, 46.0);
    EXPECT_DOUBLE_EQ(position.Longitude, 7.0);
    EXPECT_DOUBLE_EQ(position.Altitude, 4500.0);
    EXPECT_DOUBLE_EQ(position.Heading, 271.0);
    EXPECT_DOUBLE_EQ(position.Pitch, 3.0);
    EXPECT_EQ(position.OnGround, 1u);
    EXPECT_EQ(position.Airspeed, 110u);
    SimConnectQueueClearCalls();
    InjectUserPosition(47.27, 8.52);
    DispatchSimMessages();
    EXPECT_EQ(SimConnectQueueCount(SimWireSetData), 0u);  // once only
}

TEST_F(SimSessionTest, FlightPlanStateIsTakenOnlyAfterTheFirstFourSecondsEvent)
{
    SimConnectQueueInjectSystemState(1, "/nonexistent/plan.pln");
    DispatchSimMessages();
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestSystemState), 0u);
}

class TrafficTest : public SimSessionTest {
protected:
    void SwitchOn()
    {
        ASSERT_TRUE(SubscribeAiTraffic());
        InjectAtcId(1001, "DLH123");
        DispatchSimMessages();
        ASSERT_TRUE(TrafficScanActive);
    }
};

TEST_F(TrafficTest, FirstSubscriptionDefinesTrafficOnceAndAsksForTheList)
{
    ASSERT_TRUE(SubscribeAiTraffic());
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, 2), 8u);
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition, 3), 1u);
    EXPECT_EQ(SimConnectQueueCount(SimWireSetSystemEventState), 2u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 6), 1u);
    SimConnectQueueClearCalls();
    ASSERT_TRUE(SubscribeAiTraffic());
    EXPECT_EQ(SimConnectQueueCount(SimWireAddToDataDefinition), 0u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 6), 1u);
}

TEST_F(TrafficTest, SubscriptionWithoutSimulatorWaitsForTheNextUserAnswer)
{
    HANDLE h = SimConnectHandle;
    SimConnectHandle = nullptr;
    EXPECT_FALSE(SubscribeAiTraffic());
    EXPECT_TRUE(TrafficSubscribePending);
    SimConnectHandle = h;
    InjectUserPosition(47.0, 8.0);
    DispatchSimMessages();
    EXPECT_FALSE(TrafficSubscribePending);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 6), 1u);
}

TEST_F(TrafficTest, ListedAircraftGetTheirPositionsEverySecond)
{
    SwitchOn();
    ASSERT_EQ(ProxyTrafficCount, 1u);
    EXPECT_STREQ(ProxyTrafficList[0].atcId, "DLH123");
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestData, 1001), 1u);
    double values[8] = {47.1, 8.1, 5000, 10, 0.1, 1.5, 86.0, 250};
    SimConnectQueueInjectData(1001, 1001, 2, values, sizeof(values));
    SimConnectQueueInjectData(1001, 1001, 2, values, 7 * sizeof(double));  // short: dropped
    DispatchSimMessages();
    EXPECT_DOUBLE_EQ(ProxyTrafficList[0].latitude, 47.1);
    EXPECT_DOUBLE_EQ(ProxyTrafficList[0].groundSpeed, 250.0);
}

TEST_F(TrafficTest, AnAircraftIsListedOnceEvenWithALongAtcId)
{
    SwitchOn();
    InjectAtcId(1001, "DLH123");
    InjectAtcId(1002, "VERYLONGCALLSIGN");
    InjectAtcId(1002, "VERYLONGCALLSIGN");
    DispatchSimMessages();
    ASSERT_EQ(ProxyTrafficCount, 2u);
    EXPECT_STREQ(ProxyTrafficList[1].atcId, "VERYLONG");
}

TEST_F(TrafficTest, EmptyListAnswerAddsNothing)
{
    ASSERT_TRUE(SubscribeAiTraffic());
    SimConnectQueueInjectDataByType(6, 0, 3, 0, 0, nullptr, 0);
    DispatchSimMessages();
    EXPECT_EQ(ProxyTrafficCount, 0u);
    EXPECT_FALSE(TrafficScanActive);
}

TEST_F(TrafficTest, ListHoldsAtMost199AndUnlistedRemovalsAreIgnored)
{
    SwitchOn();
    for (uint32_t i = 0; i < 250; ++i) {
        char id[16];
        std::snprintf(id, sizeof(id), "AI%u", i);
        InjectAtcId(2000 + i, id);
    }
    DispatchSimMessages();
    EXPECT_EQ(ProxyTrafficCount, 199u);
    for (uint32_t i = 0; i < 198; ++i)
        SimConnectQueueInjectObjectAddRemove(20008, 2000 + i);
    SimConnectQueueInjectObjectAddRemove(20008, 1001);
    SimConnectQueueInjectObjectAddRemove(20008, 777);  // never listed: ignored
    DispatchSimMessages();
    EXPECT_EQ(ProxyTrafficCount, 0u);
    EXPECT_EQ(TrafficRemovedCount, 199u);
}

TEST_F(TrafficTest, RemovalKeepsTheOrderOfTheOthersAndStopsTheRequest)
{
    SwitchOn();
    InjectAtcId(1002, "B");
    InjectAtcId(1003, "C");
    DispatchSimMessages();
    SimConnectQueueClearCalls();
    SimConnectQueueInjectObjectAddRemove(20008, 1002);
    DispatchSimMessages();
    ASSERT_EQ(ProxyTrafficCount, 2u);
    EXPECT_EQ(ProxyTrafficList[0].objectId, 1001u);
    EXPECT_EQ(ProxyTrafficList[1].objectId, 1003u);
    EXPECT_EQ(TrafficRemovedCount, 1u);
    std::vector<SimWireRequest> calls = SimConnectQueueCalls();
    bool stopped = false;
    for (const SimWireRequest& call : calls)
        stopped |= call.kind == SimWireRequestData && call.requestId == 1002 && call.period == SIMCONNECT_PERIOD_NEVER;
    EXPECT_TRUE(stopped);
}

TEST_F(TrafficTest, PositionChangeRescansFromAnEmptyList)
{
    SwitchOn();
    SimConnectQueueClearCalls();
    SimConnectQueueInjectEvent(2, 0);
    DispatchSimMessages();
    EXPECT_EQ(ProxyTrafficCount, 0u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 6), 1u);
}

TEST_F(TrafficTest, StoppingTheScanEmptiesTheListsAndStopsEveryRequest)
{
    SwitchOn();
    SimConnectQueueClearCalls();
    StopTrafficScan();
    EXPECT_EQ(ProxyTrafficCount, 0u);
    EXPECT_FALSE(TrafficScanActive);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestData, 1001), 1u);
}

}  // namespace
