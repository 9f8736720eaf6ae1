// The SimConnect stand-in: its messages, the test queue and the socket
// back-end against a server played by the test.
#include "platform/simconnect/simconnect.h"
#include "platform/simconnect/simconnect_queue.h"
#include "platform/simconnect/simconnect_wire.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Received {
    std::vector<DWORD> ids;
    std::vector<DWORD> sizes;
    std::string lastState;
};

void CALLBACK Collect(SIMCONNECT_RECV* message, DWORD size, void* context)
{
    auto* received = static_cast<Received*>(context);
    received->ids.push_back(message->dwID);
    received->sizes.push_back(size);
    if (message->dwID == SIMCONNECT_RECV_ID_SYSTEM_STATE)
        received->lastState = static_cast<SIMCONNECT_RECV_SYSTEM_STATE*>(message)->szString;
}

TEST(SimConnectWire, RequestsSurviveEncodeAndDecode)
{
    SimWireRequest in{};
    in.kind = SimWireSetData;
    in.sendId = 7;
    in.defineId = 1;
    in.arrayCount = 1;
    in.unitSize = 56;
    in.dataSize = 56;
    for (int i = 0; i < 56; ++i)
        in.data[i] = static_cast<BYTE>(i);
    BYTE message[512];
    size_t length = SimWireEncode(in, message, sizeof(message));
    ASSERT_EQ(length, sizeof(SimWireHeader) + sizeof(SimWireSetDataBody) + 56);
    SimWireRequest out;
    ASSERT_TRUE(SimWireDecode(message, length, &out));
    EXPECT_EQ(out.sendId, 7u);
    EXPECT_EQ(out.dataSize, 56u);
    EXPECT_EQ(0, std::memcmp(out.data, in.data, 56));
}

TEST(SimConnectWire, DecodeRefusesLengthsThatDoNotAddUp)
{
    SimWireRequest in{};
    in.kind = SimWireSubscribeSystemEvent;
    std::strcpy(in.name, "4sec");
    BYTE message[512];
    size_t length = SimWireEncode(in, message, sizeof(message));
    ASSERT_GT(length, 0u);
    SimWireRequest out;
    EXPECT_FALSE(SimWireDecode(message, length - 1, &out));  // size word no longer matches
    uint32_t shortSize = sizeof(SimWireHeader) + 4;
    std::memcpy(message, &shortSize, 4);
    EXPECT_FALSE(SimWireDecode(message, shortSize, &out));  // body cut short
    uint32_t kind = 99;
    std::memcpy(message + 8, &kind, 4);
    EXPECT_FALSE(SimWireDecode(message, length, &out));
    EXPECT_FALSE(SimWireDecode(message, 3, &out));
}

TEST(SimConnectWire, SetDataWithACountThatOverflowsIsRefused)
{
    SimWireRequest in{};
    in.kind = SimWireSetData;
    in.arrayCount = 1;
    in.unitSize = 8;
    in.dataSize = 8;
    BYTE message[256];
    size_t length = SimWireEncode(in, message, sizeof(message));
    ASSERT_GT(length, 0u);
    SimWireSetDataBody body;
    std::memcpy(&body, message + sizeof(SimWireHeader), sizeof(body));
    body.arrayCount = 0x20000000;  // count x size wraps in 32 bits
    body.unitSize = 8;
    std::memcpy(message + sizeof(SimWireHeader), &body, sizeof(body));
    SimWireRequest out;
    EXPECT_FALSE(SimWireDecode(message, length, &out));
}

TEST(SimConnectWire, ReceivedMessagesShorterThanTheirRecordAreRefused)
{
    BYTE message[512];
    size_t length = SimWireBuildEvent(message, sizeof(message), 3, 1);
    EXPECT_TRUE(SimWireCheckRecv(message, length));
    uint32_t shorter = static_cast<uint32_t>(length - 4);
    std::memcpy(message, &shorter, 4);
    EXPECT_FALSE(SimWireCheckRecv(message, shorter));
    length = SimWireBuildData(message, sizeof(message), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, 10, 1, 4, 1, 1, 0,
                              nullptr, 0);
    EXPECT_TRUE(SimWireCheckRecv(message, length));  // a header without data is whole
    EXPECT_FALSE(SimWireCheckRecv(message, 12));
    EXPECT_EQ(SimWireFrameLength(message, 3), 0u);
    uint32_t huge = SimWireMaxMessage + 1;
    std::memcpy(message, &huge, 4);
    EXPECT_EQ(SimWireFrameLength(message, 4), SIZE_MAX);
}

TEST(SimConnectWire, SystemStateTextIsTerminatedEvenWhenTheSenderFilledIt)
{
    BYTE message[sizeof(SIMCONNECT_RECV_SYSTEM_STATE)];
    size_t length = SimWireBuildSystemState(message, sizeof(message), 1, 0, 0.0f, "x");
    std::memset(message + 24, 'A', 260);
    ASSERT_TRUE(SimWireCheckRecv(message, length));
    auto* state = reinterpret_cast<SIMCONNECT_RECV_SYSTEM_STATE*>(message);
    EXPECT_EQ(std::strlen(state->szString), 259u);
}

class SimConnectQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimConnectQueueEnable(true);
        SimConnectQueueReset();
    }
    void TearDown() override { SimConnectQueueEnable(false); }
};

TEST_F(SimConnectQueueTest, OpenFailsWhileNoSimulatorRuns)
{
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_TRUE(FAILED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
    EXPECT_EQ(h, nullptr);
}

TEST_F(SimConnectQueueTest, RecordsCallsAndDispatchesInjectedMessagesInOrder)
{
    SimConnectQueueSetAvailable(true);
    HANDLE h = nullptr;
    ASSERT_TRUE(SUCCEEDED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
    SimConnect_AddToDataDefinition(h, 4, "Plane Latitude", "degrees");
    SimConnect_RequestDataOnSimObjectType(h, 10, 4, 0, SIMCONNECT_SIMOBJECT_TYPE_USER);
    std::vector<SimWireRequest> calls = SimConnectQueueCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, static_cast<DWORD>(SimWireOpen));
    EXPECT_STREQ(calls[1].name, "Plane Latitude");
    EXPECT_STREQ(calls[1].units, "degrees");
    EXPECT_EQ(calls[2].requestId, 10u);
    EXPECT_EQ(SimConnectQueueCount(SimWireRequestDataByType, 10), 1u);

    SimConnectQueueInjectEvent(0, 0);
    SimConnectQueueInjectSystemState(1, "/tmp/plan.pln");
    BYTE garbage[8] = {8, 0, 0, 0, 1, 0, 0, 0};
    Received received;
    ASSERT_TRUE(SUCCEEDED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_EQ(received.ids, (std::vector<DWORD>{SIMCONNECT_RECV_ID_EVENT, SIMCONNECT_RECV_ID_SYSTEM_STATE}));
    EXPECT_EQ(received.lastState, "/tmp/plan.pln");

    SimConnectQueueInject(garbage, sizeof(garbage));
    EXPECT_TRUE(FAILED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_EQ(received.ids.size(), 2u);
    SimConnect_Close(h);
}

TEST_F(SimConnectQueueTest, DispatchFailsAfterTheSimulatorWentAway)
{
    SimConnectQueueSetAvailable(true);
    HANDLE h = nullptr;
    ASSERT_TRUE(SUCCEEDED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
    SimConnectQueueInjectQuit();
    SimConnectQueueDisconnect();
    Received received;
    EXPECT_TRUE(FAILED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_EQ(received.ids, std::vector<DWORD>{SIMCONNECT_RECV_ID_QUIT});
    EXPECT_TRUE(FAILED(SimConnect_RequestSystemState(h, 1, "FlightPlan")));
    SimConnect_Close(h);
}

TEST_F(SimConnectQueueTest, NamesTooLongForTheProtocolAreRefusedNotCut)
{
    SimConnectQueueSetAvailable(true);
    HANDLE h = nullptr;
    ASSERT_TRUE(SUCCEEDED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
    std::string name(300, 'x');
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(h, 0, name.c_str()), E_INVALIDARG);
    EXPECT_EQ(SimConnect_AddToDataDefinition(h, 0, nullptr, "feet"), E_INVALIDARG);
    SimConnect_Close(h);
}

// The socket back-end against a listening socket that the test answers.
class SimConnectSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimConnectQueueEnable(false);
        setenv("TVL_SIMCONNECT", path_.c_str(), 1);
    }
    void TearDown() override
    {
        if (server_ >= 0)
            close(server_);
        if (listener_ >= 0)
            close(listener_);
    }
    void Listen()
    {
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path_.c_str());
        unlink(path_.c_str());
        ASSERT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ASSERT_EQ(listen(listener_, 1), 0);
    }
    HANDLE Connect()
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(SUCCEEDED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
        server_ = accept(listener_, nullptr, nullptr);
        return h;
    }
    void Send(const BYTE* data, size_t length) { ASSERT_EQ(send(server_, data, length, 0), static_cast<ssize_t>(length)); }
    TempFolder folder_;
    std::string path_ = folder_ / "simconnect.sock";
    int listener_ = -1;
    int server_ = -1;
};

TEST_F(SimConnectSocketTest, OpenFailsWithoutAServer)
{
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_TRUE(FAILED(SimConnect_Open(&h, "test", nullptr, 0, nullptr, 0)));
    EXPECT_EQ(h, nullptr);
}

TEST_F(SimConnectSocketTest, ServerSeesTheOpenRequest)
{
    Listen();
    HANDLE h = Connect();
    BYTE message[sizeof(SimWireHeader) + sizeof(SimWireOpenBody)];
    ASSERT_EQ(recv(server_, message, sizeof(message), MSG_WAITALL), static_cast<ssize_t>(sizeof(message)));
    SimWireRequest request;
    ASSERT_TRUE(SimWireDecode(message, sizeof(message), &request));
    EXPECT_EQ(request.kind, static_cast<DWORD>(SimWireOpen));
    EXPECT_STREQ(request.name, "test");
    SimConnect_Close(h);
}

TEST_F(SimConnectSocketTest, MessagesSplitAcrossReadsAreDispatchedWhole)
{
    Listen();
    HANDLE h = Connect();
    BYTE message[64];
    size_t length = SimWireBuildEvent(message, sizeof(message), 4, 1);
    Received received;
    Send(message, 5);
    ASSERT_TRUE(SUCCEEDED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_TRUE(received.ids.empty());
    Send(message + 5, length - 5);
    Send(message, length);
    ASSERT_TRUE(SUCCEEDED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_EQ(received.ids.size(), 2u);
    SimConnect_Close(h);
}

TEST_F(SimConnectSocketTest, QuitBeforeTheServerClosesIsStillDispatched)
{
    Listen();
    HANDLE h = Connect();
    BYTE message[64];
    Send(message, SimWireBuildQuit(message, sizeof(message)));
    close(server_);
    server_ = -1;
    Received received;
    EXPECT_TRUE(FAILED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_EQ(received.ids, std::vector<DWORD>{SIMCONNECT_RECV_ID_QUIT});
    EXPECT_TRUE(FAILED(SimConnect_CallDispatch(h, Collect, &received)));
    SimConnect_Close(h);
}

TEST_F(SimConnectSocketTest, AnImpossibleSizeWordBreaksTheConnection)
{
    Listen();
    HANDLE h = Connect();
    BYTE message[16] = {};
    uint32_t size = 5;  // shorter than any message header
    std::memcpy(message, &size, 4);
    Send(message, sizeof(message));
    Received received;
    EXPECT_TRUE(FAILED(SimConnect_CallDispatch(h, Collect, &received)));
    EXPECT_TRUE(received.ids.empty());
    EXPECT_TRUE(FAILED(SimConnect_RequestSystemState(h, 1, "FlightPlan")));
    SimConnect_Close(h);
}

}  // namespace
