// SimConnect client API of the stand-in: each call becomes one request
// message, sent over the simulator server's stream socket or recorded by the
// test queue; the dispatch reads the server's messages, checks each length and
// hands them to the caller's procedure.
#include "platform/simconnect/simconnect.h"

#include "platform/simconnect/simconnect_queue.h"
#include "platform/simconnect/simconnect_wire.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// One connection. Used only by the thread that opened it.
struct SimConnectLink {
    bool queued = false;
    int fd = -1;
    bool broken = false;
    DWORD lastSendId = 0;
    std::vector<BYTE> in;  // received bytes not yet dispatched
    size_t inUsed = 0;
};

constexpr size_t ReceiveBufferSize = 2 * SimWireMaxMessage;
// Reads per dispatch, so a server that never pauses cannot hold the caller.
constexpr int MaxReadsPerDispatch = 16;
constexpr int SendTimeoutMs = 1000;

SimConnectLink* LinkOf(HANDLE handle)
{
    return static_cast<SimConnectLink*>(handle);
}

bool WriteAll(int fd, const BYTE* data, size_t length)
{
    while (length > 0) {
        ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

HRESULT Send(HANDLE handle, SimWireRequest* request)
{
    SimConnectLink* link = LinkOf(handle);
    if (link == nullptr || link->broken)
        return E_FAIL;
    request->sendId = ++link->lastSendId;
    BYTE message[sizeof(SimWireHeader) + sizeof(SimWireAddToDataDefinitionBody) + SimWireMaxSetData];
    size_t length = SimWireEncode(*request, message, sizeof(message));
    if (length == 0)
        return E_INVALIDARG;
    bool sent = link->queued ? SimConnectQueueSend(message, length) : WriteAll(link->fd, message, length);
    if (!sent && !link->queued)
        link->broken = true;
    return sent ? S_OK : E_FAIL;
}

// Copies a name into the request; false when it is missing or too long.
bool SetName(char* field, const char* name)
{
    if (name == nullptr)
        return false;
    size_t length = std::strlen(name);
    if (length >= SimWireNameSize)
        return false;
    std::memcpy(field, name, length + 1);
    return true;
}

int ConnectToServer()
{
    char path[sizeof(sockaddr_un::sun_path)];
    if (!SimConnectSocketPath(path, sizeof(path)))
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path, std::strlen(path) + 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    timeval timeout{SendTimeoutMs / 1000, (SendTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    return fd;
}

// Reads what the socket holds without waiting; false when the server has
// closed the connection or the read failed.
bool ReadAvailable(SimConnectLink* link)
{
    for (int i = 0; i < MaxReadsPerDispatch && link->inUsed < link->in.size(); ++i) {
        ssize_t n = recv(link->fd, link->in.data() + link->inUsed, link->in.size() - link->inUsed, MSG_DONTWAIT);
        if (n > 0) {
            link->inUsed += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
    return true;
}

// Hands one message to the procedure; false when it is malformed.
bool DispatchOne(BYTE* message, size_t length, DispatchProc proc, void* context)
{
    if (!SimWireCheckRecv(message, length))
        return false;
    proc(reinterpret_cast<SIMCONNECT_RECV*>(message), static_cast<DWORD>(length), context);
    return true;
}

HRESULT DispatchSocket(SimConnectLink* link, DispatchProc proc, void* context)
{
    bool open = ReadAvailable(link);
    size_t offset = 0;
    while (true) {
        size_t length = SimWireFrameLength(link->in.data() + offset, link->inUsed - offset);
        if (length == SIZE_MAX) {
            link->broken = true;
            break;
        }
        if (length == 0 || length > link->inUsed - offset)
            break;
        if (!DispatchOne(link->in.data() + offset, length, proc, context)) {
            link->broken = true;
            break;
        }
        offset += length;
    }
    if (link->broken) {
        link->inUsed = 0;
        return E_FAIL;
    }
    std::memmove(link->in.data(), link->in.data() + offset, link->inUsed - offset);
    link->inUsed -= offset;
    if (!open)
        link->broken = true;
    return open ? S_OK : E_FAIL;
}

HRESULT DispatchQueue(SimConnectLink* link, DispatchProc proc, void* context)
{
    std::vector<BYTE> message;
    bool gone = false;
    while (SimConnectQueueReceive(&message, &gone)) {
        if (!DispatchOne(message.data(), message.size(), proc, context)) {
            link->broken = true;
            return E_FAIL;
        }
    }
    if (gone)
        link->broken = true;
    return gone ? E_FAIL : S_OK;
}

}  // namespace

HRESULT SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND, DWORD, HANDLE, DWORD ConfigIndex)
{
    if (phSimConnect == nullptr)
        return E_POINTER;
    *phSimConnect = nullptr;
    SimWireRequest request{};
    request.kind = SimWireOpen;
    request.configIndex = ConfigIndex;
    if (!SetName(request.name, szName ? szName : ""))
        return E_INVALIDARG;
    SimConnectLink* link = new (std::nothrow) SimConnectLink;
    if (link == nullptr)
        return E_OUTOFMEMORY;
    link->queued = SimConnectQueueIsEnabled();
    if (link->queued ? !SimConnectQueueOpen() : (link->fd = ConnectToServer()) < 0) {
        delete link;
        return E_FAIL;
    }
    if (!link->queued)
        link->in.resize(ReceiveBufferSize);
    if (FAILED(Send(link, &request))) {
        SimConnect_Close(link);
        return E_FAIL;
    }
    *phSimConnect = link;
    return S_OK;
}

HRESULT SimConnect_Close(HANDLE hSimConnect)
{
    SimConnectLink* link = LinkOf(hSimConnect);
    if (link == nullptr)
        return E_FAIL;
    SimWireRequest request{};
    request.kind = SimWireClose;
    Send(link, &request);
    if (link->fd >= 0)
        close(link->fd);
    delete link;
    return S_OK;
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       LPCSTR DatumName, LPCSTR UnitsName, SIMCONNECT_DATATYPE DatumType,
                                       float fEpsilon, DWORD DatumID)
{
    SimWireRequest request{};
    request.kind = SimWireAddToDataDefinition;
    request.defineId = DefineID;
    request.datumType = DatumType;
    request.epsilon = fEpsilon;
    request.datumId = DatumID;
    if (!SetName(request.name, DatumName) || !SetName(request.units, UnitsName ? UnitsName : ""))
        return E_INVALIDARG;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type)
{
    SimWireRequest request{};
    request.kind = SimWireRequestDataByType;
    request.requestId = RequestID;
    request.defineId = DefineID;
    request.radiusMeters = dwRadiusMeters;
    request.objectType = type;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD Flags, DWORD, DWORD, DWORD)
{
    SimWireRequest request{};
    request.kind = SimWireRequestData;
    request.requestId = RequestID;
    request.defineId = DefineID;
    request.objectId = ObjectID;
    request.period = Period;
    request.flags = Flags;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet)
{
    // SimConnect counts an array of 0 as one element.
    DWORD count = ArrayCount == 0 ? 1 : ArrayCount;
    uint64_t size = uint64_t{count} * cbUnitSize;
    if (pDataSet == nullptr || size > SimWireMaxSetData)
        return E_INVALIDARG;
    SimWireRequest request{};
    request.kind = SimWireSetData;
    request.defineId = DefineID;
    request.objectId = ObjectID;
    request.flags = Flags;
    request.arrayCount = count;
    request.unitSize = cbUnitSize;
    request.dataSize = static_cast<DWORD>(size);
    std::memcpy(request.data, pDataSet, request.dataSize);
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_RequestSystemState(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID, LPCSTR szState)
{
    SimWireRequest request{};
    request.kind = SimWireRequestSystemState;
    request.requestId = RequestID;
    if (!SetName(request.name, szState))
        return E_INVALIDARG;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          LPCSTR SystemEventName)
{
    SimWireRequest request{};
    request.kind = SimWireSubscribeSystemEvent;
    request.eventId = EventID;
    if (!SetName(request.name, SystemEventName))
        return E_INVALIDARG;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_SetSystemEventState(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                       SIMCONNECT_STATE dwState)
{
    SimWireRequest request{};
    request.kind = SimWireSetSystemEventState;
    request.eventId = EventID;
    request.state = dwState;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID)
{
    SimWireRequest request{};
    request.kind = SimWireUnsubscribeSystemEvent;
    request.eventId = EventID;
    return Send(hSimConnect, &request);
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext)
{
    SimConnectLink* link = LinkOf(hSimConnect);
    if (link == nullptr || pfcnDispatch == nullptr || link->broken)
        return E_FAIL;
    return link->queued ? DispatchQueue(link, pfcnDispatch, pContext)
                        : DispatchSocket(link, pfcnDispatch, pContext);
}
