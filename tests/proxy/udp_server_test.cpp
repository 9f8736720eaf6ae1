// The proxy's UDP server in-process, with map programs played by UDP sockets
// of the test on a free port (TVL64_PORT).
#include "platform/simconnect/simconnect_queue.h"
#include "platform/threads.h"
#include "proxy/client_table.h"
#include "proxy/game_controllers.h"
#include "proxy/proxy_traffic.h"
#include "proxy/sim_session.h"
#include "proxy/udp_server.h"
#include "tests/support/proxy_test_client.h"
#include "tests/support/temp_folder.h"
#include "tests/support/virtual_joystick.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Serves rounds until a datagram of that type reaches the client; empty when
// none came within about two seconds.
std::vector<uint8_t> ServeUntil(ProxyTestClient* client, uint32_t type)
{
    for (int round = 0; round < 200; ++round) {
        ServeClients();
        for (auto& d : client->Drain()) {
            if (ProxyTestClient::TypeOf(d) == type)
                return d;
        }
        Sleep(10);
    }
    return {};
}

// Registers and returns the slot from MsgRegistered, -1 without an answer.
int32_t Register(ProxyTestClient* client)
{
    client->Send(MsgRegister);
    std::vector<uint8_t> reply = ServeUntil(client, MsgRegistered);
    ProxyShortReply r;
    return ParseProxyShortReply(reply.data(), reply.size(), &r) ? r.slotIndex : -1;
}

class UdpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = FreeUdpPort();
        setenv("TVL64_PORT", std::to_string(port_).c_str(), 1);
        ResetSimSession();
        ResetTraffic();
        ResetClientTable();
        ResetUdpServer();
        ASSERT_TRUE(StartUdpServer());
    }
    void TearDown() override
    {
        StopUdpServer();
        SimConnectQueueEnable(false);
    }
    std::unique_ptr<ProxyTestClient> Client(int32_t id) { return std::make_unique<ProxyTestClient>(port_, id); }
    // A simulator connection to the test queue, which records what is written.
    static bool OpenQueuedSimulator()
    {
        SimConnectQueueEnable(true);
        SimConnectQueueReset();
        SimConnectQueueSetAvailable(true);
        return SUCCEEDED(SimConnect_Open(&SimConnectHandle, "test", nullptr, 0, nullptr, 0));
    }
    // A game pad the proxy polls, its INI switch in a folder of the test.
    std::unique_ptr<VirtualJoystick> Pad(const char* iniText = "")
    {
        WriteFileText(folder_ / "Plovik.ini", iniText);
        auto pad = std::make_unique<VirtualJoystick>("Server Pad", 12, 1);
        EXPECT_TRUE(CreateDirectInput() && EnumerateControllers());
        return pad;
    }
    // Waits until the receive thread has taken a request in.
    void WaitForCount(int count)
    {
        for (int i = 0; i < 200 && ClientCount() != count; ++i)
            Sleep(10);
    }
    uint16_t port_ = 0;
    TempFolder folder_;
    WorkingFolder inFolder_{folder_.Path()};
};

TEST_F(UdpServerTest, TwentyClientsRegisterAndTheTwentyFirstIsRefused)
{
    std::vector<std::unique_ptr<ProxyTestClient>> clients;
    std::vector<bool> slotTaken(ClientTableSize, false);
    for (int i = 0; i < ClientTableSize; ++i) {
        clients.push_back(Client(100 + i));
        int32_t slot = Register(clients.back().get());
        ASSERT_GE(slot, 0);
        ASSERT_LT(slot, ClientTableSize);
        EXPECT_FALSE(slotTaken[slot]);
        slotTaken[slot] = true;
    }
    auto extra = Client(999999);
    extra->Send(MsgRegister);
    std::vector<uint8_t> refusal = ServeUntil(extra.get(), MsgRegisterRefused);
    EXPECT_EQ(refusal.size(), sizeof(ProxyShortReply));
    EXPECT_EQ(ClientCount(), ClientTableSize);
    for (auto& client : clients) {
        for (auto& d : client->Drain())
            EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgRegisterRefused));
    }
}

TEST_F(UdpServerTest, AClientThatRegistersAgainKeepsItsSlotAndMovesItsAddress)
{
    auto first = Client(7);
    auto other = Client(8);
    int32_t slot = Register(first.get());
    ASSERT_GE(Register(other.get()), 0);
    EXPECT_EQ(Register(first.get()), slot);
    auto moved = Client(7);  // same id from a new address
    EXPECT_EQ(Register(moved.get()), slot);
    EXPECT_EQ(ClientCount(), 2);
    first->Drain();
    moved->Drain();
    ServeClients();
    EXPECT_TRUE(first->Drain().empty());
    EXPECT_FALSE(moved->Drain().empty());
}

TEST_F(UdpServerTest, WithNothingPendingEveryClientGetsAKeepAliveWithItsId)
{
    auto a = Client(31);
    auto b = Client(32);
    Register(a.get());
    Register(b.get());
    a->Drain();
    b->Drain();
    ServeClients();
    for (ProxyTestClient* client : {a.get(), b.get()}) {
        std::vector<std::vector<uint8_t>> got = client->Drain();
        ASSERT_EQ(got.size(), 1u);
        ASSERT_EQ(got[0].size(), sizeof(ProxyShortReply));
        ProxyShortReply reply;
        std::memcpy(&reply, got[0].data(), sizeof(reply));
        EXPECT_EQ(reply.type, static_cast<uint32_t>(MsgKeepAlive));
        EXPECT_EQ(reply.clientId, client->id());
    }
}

TEST_F(UdpServerTest, UnregisterFreesTheSlotForTheNextClient)
{
    auto a = Client(1);
    int32_t slot = Register(a.get());
    a->Send(MsgUnregister);
    WaitForCount(0);
    EXPECT_EQ(ClientCount(), 0);
    auto b = Client(2);
    EXPECT_EQ(Register(b.get()), slot);
}

TEST_F(UdpServerTest, BadDatagramsAreDroppedWithoutHarm)
{
    auto a = Client(5);
    uint8_t shortOne[10] = {};
    a->SendRaw(shortOne, sizeof(shortOne));
    ProxyRequest cut{0, MsgRegister, 0, 5, 0, 0};
    a->SendRaw(&cut, 15);  // the client id cut
    a->Send(55);
    a->Send(MsgTrafficOn, 25);
    a->Send(MsgTrafficOn, -1);
    a->Send(MsgTrafficOff, 20);
    uint8_t oversized[300];
    std::memset(oversized, 0xFF, sizeof(oversized));
    a->SendRaw(oversized, sizeof(oversized));
    EXPECT_GE(Register(a.get()), 0);  // served after all of the above
    EXPECT_EQ(ClientCount(), 1);
    ServeClients();
    EXPECT_FALSE(TrafficSubscribePending);  // no traffic request got through
    EXPECT_FALSE(StopRequest.load());
}

TEST_F(UdpServerTest, AClientsStopRequestIsSeenByTheMainLoop)
{
    auto a = Client(9);
    Register(a.get());
    a->Send(MsgStopProxy);
    for (int i = 0; i < 200 && !StopRequest.load(); ++i)
        Sleep(10);
    EXPECT_TRUE(StopRequest.load());
}

TEST_F(UdpServerTest, StateGoesToEveryClientWhileSimulatorDataFlows)
{
    auto a = Client(1);
    auto b = Client(2);
    Register(a.get());
    Register(b.get());
    ServeClients();
    for (auto* c : {a.get(), b.get()}) {
        for (auto& d : c->Drain())
            EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgAircraftState));
    }
    SimDataFlag = true;
    SimStateFlag = 1;
    ServeClients();
    for (auto* c : {a.get(), b.get()}) {
        int states = 0;
        for (auto& d : c->Drain()) {
            ProxyAircraftState state;
            if (ParseProxyAircraftState(d.data(), d.size(), &state)) {
                ++states;
                EXPECT_EQ(state.paused, 1u);
            }
        }
        EXPECT_EQ(states, 1);
    }
}

// A map program that exits without unregistering keeps its slot, and its
// closed port refuses every state: that must cost the others nothing.
TEST_F(UdpServerTest, AClientThatVanishedCostsTheOthersNothing)
{
    auto gone = Client(1);
    auto live = Client(2);
    Register(gone.get());
    Register(live.get());
    gone.reset();
    live->Drain();
    SimDataFlag = true;
    constexpr int Rounds = 400;  // refusals enough to fill a receive buffer
    int states = 0;
    for (int round = 0; round < Rounds; ++round) {
        ServeClients();
        for (auto& d : live->Drain()) {
            EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgProxyShutdown));
            states += ProxyTestClient::TypeOf(d) == MsgAircraftState;
        }
    }
    EXPECT_EQ(states, Rounds);
    EXPECT_TRUE(IsUdpServerRunning());
    auto next = Client(3);
    EXPECT_GE(Register(next.get()), 0);
    EXPECT_FALSE(StopRequest.load());
}

TEST_F(UdpServerTest, FlightPlanGoesAtOnceThenEvery120thRound)
{
    auto a = Client(1);
    int32_t slot = Register(a.get());
    FlightPlanRecord plan{};
    plan.present = 1;
    plan.count = 3;
    std::strcpy(plan.waypoints[2].ident, "LSZH");
    PublishFlightPlan(plan);
    SimDataFlag = true;
    std::vector<int> planRounds;
    for (int round = 1; round <= 240; ++round) {
        ServeClients();
        for (auto& d : a->Drain()) {
            ProxyFlightPlanHeader header;
            const uint8_t* waypoints = nullptr;
            if (ParseProxyFlightPlan(d.data(), d.size(), &header, &waypoints)) {
                planRounds.push_back(round);
                EXPECT_EQ(header.count, 3);
                EXPECT_EQ(0, std::memcmp(waypoints + 2 * 24 + 16, "LSZH", 5));
            }
        }
    }
    EXPECT_EQ(planRounds, (std::vector<int>{1, 120, 240}));
    // Registering again clears the mark: the plan comes in the round that answers.
    a->Send(MsgRegister, slot);
    bool registered = false, planAgain = false;
    for (int round = 0; round < 100 && !registered; ++round) {
        Sleep(10);
        ServeClients();
        for (auto& d : a->Drain()) {
            registered |= ProxyTestClient::TypeOf(d) == MsgRegistered;
            planAgain |= ProxyTestClient::TypeOf(d) == MsgFlightPlan;
        }
    }
    EXPECT_TRUE(registered);
    EXPECT_TRUE(planAgain);
}

TEST_F(UdpServerTest, TrafficGoesOnlyToClientsThatAskedEvery11thRound)
{
    auto wants = Client(1);
    auto not_ = Client(2);
    int32_t slot = Register(wants.get());
    Register(not_.get());
    wants->Send(MsgTrafficOn, slot);
    for (int i = 0; i < 200 && !TrafficSubscribePending; ++i) {
        ServeClients();
        Sleep(10);
    }
    ASSERT_TRUE(TrafficSubscribePending);  // handed to the main loop, no simulator yet
    SimDataFlag = true;
    ProxyTrafficCount = 2;
    ProxyTrafficList[0].objectId = 11;
    ProxyTrafficList[1].objectId = 12;
    wants->Drain();
    std::vector<int> trafficRounds;
    for (int round = 1; round <= 22; ++round) {
        ServeClients();
        for (auto& d : wants->Drain()) {
            uint32_t count;
            const uint8_t* records;
            if (ParseProxyTraffic(d.data(), d.size(), &count, &records)) {
                trafficRounds.push_back(round);
                EXPECT_EQ(count, 2u);
            }
        }
        for (auto& d : not_->Drain())
            EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgTraffic));
    }
    EXPECT_EQ(trafficRounds, (std::vector<int>{11, 22}));
    TrafficRemovedList[0] = 12;
    TrafficRemovedCount = 1;
    ServeClients();
    uint32_t removed = 0;
    for (auto& d : wants->Drain()) {
        uint32_t count;
        const uint8_t* ids;
        if (ParseProxyTrafficRemoved(d.data(), d.size(), &count, &ids))
            removed = ReadProxyRemovedId(ids, 0);
    }
    EXPECT_EQ(removed, 12u);
    EXPECT_EQ(TrafficRemovedCount, 0u);
}

// The first word of a request is never read, and a request needs no more
// bytes than the fields its type reads.
TEST_F(UdpServerTest, ARequestIsTakenWhateverItsFirstWordAndAsShortAsItsFields)
{
    auto a = Client(61);
    ProxyRequest r{0xFFFFFFFFu, MsgRegister, 0, 61, 0, 0};
    a->SendRaw(&r, 16);
    EXPECT_FALSE(ServeUntil(a.get(), MsgRegistered).empty());
    EXPECT_EQ(ClientCount(), 1);
    r = ProxyRequest{ProxyMagic, MsgUnregister, 0, 61, 0, 0};
    a->SendRaw(&r, sizeof r);
    WaitForCount(0);
    EXPECT_EQ(ClientCount(), 0);
}

// Two map programs want traffic; one switches it off. The other keeps
// getting it; the last one off stops the scan and empties the lists.
TEST_F(UdpServerTest, TrafficStaysWhileAnyClientStillWantsIt)
{
    auto a = Client(1);
    auto b = Client(2);
    int32_t slotA = Register(a.get());
    int32_t slotB = Register(b.get());
    auto wanted = [](int32_t slot) {
        ClientSlot slots[ClientTableSize];
        CopyClientTable(slots);
        return slots[slot].trafficWanted;
    };
    auto serveUntil = [](auto done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            ServeClients();
            Sleep(10);
        }
        return done();
    };
    a->Send(MsgTrafficOn, slotA);
    b->Send(MsgTrafficOn, slotB);
    ASSERT_TRUE(serveUntil([&] { return wanted(slotA) && wanted(slotB); }));
    TrafficScanActive = true;
    ProxyTrafficCount = 2;
    ProxyTrafficList[0].objectId = 11;
    ProxyTrafficList[1].objectId = 12;

    a->Send(MsgTrafficOff, slotA);
    ASSERT_TRUE(serveUntil([&] { return !wanted(slotA); }));
    EXPECT_TRUE(TrafficScanActive);
    EXPECT_EQ(ProxyTrafficCount, 2u);
    SimDataFlag = true;
    a->Drain();
    b->Drain();
    bool toB = false;
    for (int round = 0; round < 12; ++round) {
        ServeClients();
        for (auto& d : b->Drain())
            toB = toB || ProxyTestClient::TypeOf(d) == MsgTraffic;
        for (auto& d : a->Drain())
            EXPECT_NE(ProxyTestClient::TypeOf(d), static_cast<uint32_t>(MsgTraffic));
    }
    EXPECT_TRUE(toB);

    b->Send(MsgTrafficOff, slotB);
    ASSERT_TRUE(serveUntil([&] { return !wanted(slotB); }));
    EXPECT_FALSE(TrafficScanActive);
    EXPECT_EQ(ProxyTrafficCount, 0u);
}

TEST_F(UdpServerTest, TrafficOffEmptiesTheListsOnTheMainLoop)
{
    auto a = Client(1);
    int32_t slot = Register(a.get());
    ProxyTrafficCount = 3;
    TrafficScanActive = true;
    a->Send(MsgTrafficOff, slot);
    for (int i = 0; i < 200 && TrafficScanActive; ++i) {
        ServeClients();
        Sleep(10);
    }
    EXPECT_FALSE(TrafficScanActive);
    EXPECT_EQ(ProxyTrafficCount, 0u);
}

TEST_F(UdpServerTest, SetPositionReachesTheSimulatorFromTheMainLoop)
{
    ASSERT_TRUE(OpenQueuedSimulator());
    auto a = Client(1);
    int32_t slot = Register(a.get());
    a->Send(MsgSetPosition, slot, 7.5, 46.5);
    double values[7] = {100, 8.0, 47.0, 3000, 90, 0, 0};
    for (int i = 0; i < 200 && SimConnectQueueCount(SimWireSetData) == 0; ++i) {
        ServeClients();
        SimConnectQueueInjectDataByType(10, 1, 4, 1, 1, values, sizeof(values));
        DispatchSimMessages();
        Sleep(10);
    }
    SimWireRequest write{};
    for (const SimWireRequest& call : SimConnectQueueCalls())
        write = call.kind == SimWireSetData ? call : write;
    ASSERT_EQ(write.dataSize, sizeof(SIMCONNECT_DATA_INITPOSITION));
    SIMCONNECT_DATA_INITPOSITION position;
    std::memcpy(&position, write.data, sizeof(position));
    EXPECT_DOUBLE_EQ(position.Latitude, 46.5);
    EXPECT_DOUBLE_EQ(position.Longitude, 7.5);
    EndSimSession();
}

// A set-position request moves the aircraft every client sees: it is taken
// only from a registered client, from the address it registered from, and
// only for a place on the earth.
TEST_F(UdpServerTest, SetPositionComesOnlyFromARegisteredClientAndOnlyOnEarth)
{
    ASSERT_TRUE(OpenQueuedSimulator());
    auto a = Client(1);
    int32_t slot = Register(a.get());
    auto stranger = Client(2);
    auto spoofer = Client(1);  // a's id from another port
    double values[7] = {100, 8.0, 47.0, 3000, 90, 0, 0};
    auto serveRounds = [&] {
        for (int i = 0; i < 30; ++i) {
            ServeClients();
            SimConnectQueueInjectDataByType(10, 1, 4, 1, 1, values, sizeof(values));
            DispatchSimMessages();
            Sleep(5);
        }
    };
    stranger->Send(MsgSetPosition, 0, 7.5, 46.5);
    spoofer->Send(MsgSetPosition, slot, 7.5, 46.5);
    const double nan = std::nan("");
    for (auto [lon, lat] : {std::pair{nan, 46.5}, std::pair{7.5, nan}, std::pair{1e308, 46.5},
                            std::pair{7.5, -1e308}, std::pair{180.5, 0.0}, std::pair{0.0, 90.5},
                            std::pair{HUGE_VAL, 0.0}})
        a->Send(MsgSetPosition, slot, lon, lat);
    serveRounds();
    EXPECT_EQ(SimConnectQueueCount(SimWireSetData), 0);

    a->Send(MsgSetPosition, slot, -180.0, -90.0);
    serveRounds();
    ASSERT_EQ(SimConnectQueueCount(SimWireSetData), 1);
    SIMCONNECT_DATA_INITPOSITION position;
    for (const SimWireRequest& call : SimConnectQueueCalls()) {
        if (call.kind == SimWireSetData)
            std::memcpy(&position, call.data, sizeof(position));
    }
    EXPECT_DOUBLE_EQ(position.Latitude, -90.0);
    EXPECT_DOUBLE_EQ(position.Longitude, -180.0);
    EndSimSession();
}

TEST_F(UdpServerTest, ARegistrationAndAButtonInTheSameRoundAreBothSent)
{
    auto pad = Pad();
    auto a = Client(1);
    Register(a.get());
    auto b = Client(2);
    b->Send(MsgRegister);
    WaitForCount(2);
    pad->Press(5);
    ServeClients();  // polls button 5 after the round's replies
    std::vector<uint32_t> types;
    ServeClients();
    for (auto& d : b->Drain())
        types.push_back(ProxyTestClient::TypeOf(d));
    EXPECT_NE(std::find(types.begin(), types.end(), static_cast<uint32_t>(MsgRegistered)), types.end());
    EXPECT_NE(std::find(types.begin(), types.end(), static_cast<uint32_t>(MsgControllerButton + 5)), types.end());
}

TEST_F(UdpServerTest, AButtonReachesEveryRegisteredClient)
{
    auto pad = Pad();
    std::vector<std::unique_ptr<ProxyTestClient>> clients;
    for (int32_t id = 1; id <= 3; ++id) {
        clients.push_back(Client(id));
        ASSERT_GE(Register(clients.back().get()), 0);
    }
    pad->Hat(9000);
    ServeClients();
    ServeClients();
    for (auto& client : clients) {
        int buttons = 0;
        for (auto& d : client->Drain())
            buttons += ProxyTestClient::TypeOf(d) == MsgControllerButton + 14;
        EXPECT_EQ(buttons, 1);
    }
}

TEST_F(UdpServerTest, ASwitchedOffControllerSendsNothing)
{
    auto pad = Pad("[Controller]\nServer Pad=0\n");
    auto a = Client(1);
    Register(a.get());
    pad->Press(2);
    for (int i = 0; i < 5; ++i)
        ServeClients();
    for (auto& d : a->Drain()) {
        uint32_t type = ProxyTestClient::TypeOf(d);
        EXPECT_FALSE(type >= MsgControllerButton && type < MsgControllerButton + 64) << type;
    }
}

TEST_F(UdpServerTest, AHeldButtonRepeatsOnlyAfterHalfASecond)
{
    auto pad = Pad();
    auto a = Client(1);
    Register(a.get());
    a->Drain();
    pad->Press(2);
    int buttons = 0;
    for (int i = 0; i < 5; ++i) {
        ServeClients();
        for (auto& d : a->Drain())
            buttons += ProxyTestClient::TypeOf(d) == MsgControllerButton + 2;
    }
    EXPECT_EQ(buttons, 1);  // five rounds in far less than 0.5 s
}

TEST_F(UdpServerTest, ARestartAfterAFailedSendKeepsClientsAndControllers)
{
    auto pad = Pad();
    auto a = Client(1);
    Register(a.get());
    ASSERT_TRUE(RestartUdpServer());
    bool shutdownSeen = false;
    for (auto& d : a->Drain())
        shutdownSeen |= ProxyTestClient::TypeOf(d) == MsgProxyShutdown;
    EXPECT_TRUE(shutdownSeen);
    EXPECT_EQ(ClientCount(), 1);
    pad->Press(4);
    EXPECT_FALSE(ServeUntil(a.get(), MsgControllerButton + 4).empty());
}

TEST_F(UdpServerTest, StopTellsEveryClientAndReleasesTheControllers)
{
    auto pad = Pad();
    EXPECT_TRUE(ControllersEnumerated());
    auto a = Client(1);
    Register(a.get());
    a->Drain();
    StopUdpServer();
    std::vector<std::vector<uint8_t>> got = a->Drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(ProxyTestClient::TypeOf(got[0]), static_cast<uint32_t>(MsgProxyShutdown));
    EXPECT_FALSE(ControllersEnumerated());
    EXPECT_FALSE(IsUdpServerRunning());
}

TEST_F(UdpServerTest, ATakenPortIsAFailedStart)
{
    StopUdpServer();
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_FALSE(StartUdpServer());
    close(s);
}

TEST(ProxyServerPort, DefaultsTo54222)
{
    unsetenv("TVL64_PORT");
    EXPECT_EQ(ProxyServerPort(), 54222);
    setenv("TVL64_PORT", "not a port", 1);
    EXPECT_EQ(ProxyServerPort(), 54222);
    setenv("TVL64_PORT", "70000", 1);
    EXPECT_EQ(ProxyServerPort(), 54222);
}

}  // namespace
