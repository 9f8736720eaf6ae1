// libFuzzer target for the SimConnect stand-in's wire: the server's decoder
// of client messages, the client's framing and checks of received messages,
// and the dispatch procedures those messages reach in the proxy and in the
// map's Prepar3D/FSX link. Whatever the bytes, nothing reads past a message,
// a decoded request encodes back to what it said, and the link's aircraft
// stays on the earth.
#include "platform/simconnect/simconnect_queue.h"
#include "platform/simconnect/simconnect_wire.h"
#include "proxy/client_table.h"
#include "proxy/sim_session.h"
#include "simlink/p3d_link.h"
#include "simlink/sim_link.h"
#include "tests/fuzz/fuzz_support.h"

#include <arpa/inet.h>

#include <cmath>
#include <cstring>
#include <vector>

using fuzz::Check;

namespace {

// ---- the server's side ----

void DecodeClientMessage(const uint8_t* data, size_t size)
{
    static SimWireRequest request;
    if (!SimWireDecode(data, size, &request))
        return;
    Check(std::memchr(request.name, 0, sizeof request.name) != nullptr);
    Check(std::memchr(request.units, 0, sizeof request.units) != nullptr);
    Check(request.dataSize <= SimWireMaxSetData);
    // Encoded again and decoded, the request says the same (bytes after a
    // name's end are not part of it).
    static BYTE again[SimWireMaxMessage];
    size_t length = SimWireEncode(request, again, sizeof again);
    Check(length == size);
    static SimWireRequest back;
    Check(SimWireDecode(again, length, &back));
    Check(back.kind == request.kind && back.sendId == request.sendId && back.defineId == request.defineId);
    Check(back.requestId == request.requestId && back.objectId == request.objectId && back.eventId == request.eventId);
    Check(back.period == request.period && back.flags == request.flags && back.dataSize == request.dataSize);
    Check(std::strcmp(back.name, request.name) == 0 && std::strcmp(back.units, request.units) == 0);
    Check(std::memcmp(back.data, request.data, request.dataSize) == 0);
}

// ---- the messages of one input ----

std::vector<std::vector<BYTE>> Messages;

// A control byte (bit 7: the size word is made right; bits 0-3 pick the id),
// a length in two bytes, then that many bytes; the rest is the last message.
void SplitMessages(const uint8_t* data, size_t size)
{
    static const DWORD Ids[] = {SIMCONNECT_RECV_ID_EXCEPTION,   SIMCONNECT_RECV_ID_OPEN,
                                SIMCONNECT_RECV_ID_EVENT,       SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE,
                                SIMCONNECT_RECV_ID_SIMOBJECT_DATA, SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE,
                                SIMCONNECT_RECV_ID_SYSTEM_STATE, SIMCONNECT_RECV_ID_NULL};
    Messages.clear();
    while (size >= 3) {
        uint8_t control = data[0];
        size_t length = static_cast<size_t>(data[1]) | static_cast<size_t>(data[2]) << 8;
        length = length < size - 3 ? length : size - 3;
        std::vector<BYTE> m(data + 3, data + 3 + length);
        data += 3 + length;
        size -= 3 + length;
        if ((control & 0x80) != 0 && m.size() >= 12) {
            DWORD word[3] = {static_cast<DWORD>(m.size()), 1, Ids[control % (sizeof Ids / sizeof Ids[0])]};
            std::memcpy(m.data(), word, sizeof word);
        }
        // The end of a session is not what is fuzzed here: the links would
        // only close and open again, the proxy after its five seconds' notice
        // of a version mismatch.
        DWORD id = 0, exception = 0;
        if (m.size() >= 12)
            std::memcpy(&id, m.data() + 8, 4);
        if (m.size() >= 16)
            std::memcpy(&exception, m.data() + 12, 4);
        bool ending = id == SIMCONNECT_RECV_ID_QUIT || (id == SIMCONNECT_RECV_ID_EXCEPTION && exception == 5);
        if (!ending)
            Messages.push_back(std::move(m));
    }
}

// ---- the proxy's session on the in-process queue ----

void OpenProxySession()
{
    if (SimConnectHandle != nullptr)
        SimConnect_Close(SimConnectHandle);
    SimConnectHandle = nullptr;
    SimConnectQueueReset();
    SimConnectQueueSetAvailable(true);
    ResetSimSession();
    Check(SUCCEEDED(SimConnect_Open(&SimConnectHandle, "fuzz", nullptr, 0, nullptr, 0)));
    BeginSimSession();
}

void DispatchToProxy()
{
    for (const std::vector<BYTE>& m : Messages)
        SimConnectQueueInject(m.data(), m.size());
    SessionEnd = false;
    if (FAILED(SimConnect_CallDispatch(SimConnectHandle, SimDispatch, nullptr)))
        OpenProxySession();  // a broken message ends the connection, as the client promises
    SimConnectQueueClearCalls();
    // The state goes out as the simulator gave it; the map's links check it.
    ProxyAircraftState state{};
    FillAircraftState(&state);
}

// ---- the map's Prepar3D/FSX link through a connector of our own ----

HRESULT FakeOpen(HANDLE* handle, LPCSTR, HWND, DWORD, HANDLE, DWORD)
{
    *handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
    return S_OK;
}
HRESULT FakeClose(HANDLE) { return S_OK; }
HRESULT FakeAdd(HANDLE, SIMCONNECT_DATA_DEFINITION_ID, LPCSTR, LPCSTR, SIMCONNECT_DATATYPE, float, DWORD)
{
    return S_OK;
}
HRESULT FakeRequestData(HANDLE, SIMCONNECT_DATA_REQUEST_ID, SIMCONNECT_DATA_DEFINITION_ID, SIMCONNECT_OBJECT_ID,
                        SIMCONNECT_PERIOD, DWORD, DWORD, DWORD, DWORD)
{
    return S_OK;
}
HRESULT FakeRequestByType(HANDLE, SIMCONNECT_DATA_REQUEST_ID, SIMCONNECT_DATA_DEFINITION_ID, DWORD,
                          SIMCONNECT_SIMOBJECT_TYPE)
{
    return S_OK;
}
HRESULT FakeUnsubscribe(HANDLE, SIMCONNECT_CLIENT_EVENT_ID) { return S_OK; }
HRESULT FakeSubscribe(HANDLE, SIMCONNECT_CLIENT_EVENT_ID, LPCSTR) { return S_OK; }
HRESULT FakeSetState(HANDLE, SIMCONNECT_CLIENT_EVENT_ID, SIMCONNECT_STATE) { return S_OK; }

// Hands each message that passes the client's check to the link, in a
// buffer of its own size.
HRESULT FakeDispatch(HANDLE, DispatchProc proc, void* context)
{
    for (const std::vector<BYTE>& m : Messages) {
        std::vector<BYTE> copy(m);
        if (SimWireCheckRecv(copy.data(), copy.size()))
            proc(reinterpret_cast<SIMCONNECT_RECV*>(copy.data()), static_cast<DWORD>(copy.size()), context);
    }
    return S_OK;
}

const P3dConnectorCalls FakeCalls = {FakeOpen,        FakeClose,      FakeAdd,      FakeRequestData, FakeRequestByType,
                                     FakeDispatch,    FakeUnsubscribe, FakeSubscribe, FakeSetState};

void ConnectP3d()
{
    UseP3dConnectorCalls(&FakeCalls);
    SetSimLinkEnabled(1);
    // No companion thread and no close while the display is "recreated".
    SetDisplayResetting(1);
    for (int i = 0; i < 5000 && !IsP3dConnected(); ++i) {
        PollP3dSimConnect();
        usleep(1000);
    }
    Check(IsP3dConnected());
    P3dStartTraffic();
}

void DispatchToP3d()
{
    PollP3dSimConnect();
    double latitude = 0, longitude = 0;
    P3dGetVar(SimVarLatitude, &latitude);
    P3dGetVar(SimVarLongitude, &longitude);
    Check(std::fabs(latitude) <= 90 && std::fabs(longitude) <= 180);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    fuzz::EnterScratch(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SimConnectQueueEnable(true);
    OpenProxySession();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(9);
    RegisterClient(1, address);  // nothing is dispatched without a client
    ConnectP3d();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodeClientMessage(data, size);
    size_t frame = SimWireFrameLength(data, size);
    Check(frame == 0 || frame == SIZE_MAX || (frame >= sizeof(SIMCONNECT_RECV) && frame <= SimWireMaxMessage));
    SplitMessages(data, size);
    DispatchToProxy();
    DispatchToP3d();
    return 0;
}
