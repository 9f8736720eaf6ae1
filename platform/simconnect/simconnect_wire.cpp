// Encoding and checking of the SimConnect stand-in's socket messages.
#include "platform/simconnect/simconnect_wire.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Copies a name into a fixed field; false when it does not fit with its NUL.
bool PutName(char* field, const char* name)
{
    size_t length = name != nullptr ? std::strlen(name) : 0;
    if (length >= SimWireNameSize)
        return false;
    std::memset(field, 0, SimWireNameSize);
    if (length > 0)
        std::memcpy(field, name, length);
    return true;
}

void GetName(char* out, const char* field)
{
    std::memcpy(out, field, SimWireNameSize);
    out[SimWireNameSize - 1] = '\0';
}

size_t BodySize(DWORD kind)
{
    switch (kind) {
    case SimWireOpen: return sizeof(SimWireOpenBody);
    case SimWireClose: return 0;
    case SimWireAddToDataDefinition: return sizeof(SimWireAddToDataDefinitionBody);
    case SimWireRequestDataByType: return sizeof(SimWireRequestDataByTypeBody);
    case SimWireRequestData: return sizeof(SimWireRequestDataBody);
    case SimWireSetData: return sizeof(SimWireSetDataBody);
    case SimWireRequestSystemState: return sizeof(SimWireRequestSystemStateBody);
    case SimWireSubscribeSystemEvent: return sizeof(SimWireSubscribeSystemEventBody);
    case SimWireSetSystemEventState: return sizeof(SimWireSetSystemEventStateBody);
    case SimWireUnsubscribeSystemEvent: return sizeof(SimWireUnsubscribeSystemEventBody);
    default: return SIZE_MAX;
    }
}

// Fills body (of BodySize(kind) bytes) from the request; false on a name
// that does not fit.
bool EncodeBody(const SimWireRequest& r, BYTE* body)
{
    switch (r.kind) {
    case SimWireOpen: {
        SimWireOpenBody b{};
        if (!PutName(b.name, r.name))
            return false;
        b.configIndex = r.configIndex;
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireClose: return true;
    case SimWireAddToDataDefinition: {
        SimWireAddToDataDefinitionBody b{};
        if (!PutName(b.datumName, r.name) || !PutName(b.unitsName, r.units))
            return false;
        b.defineId = r.defineId;
        b.datumType = r.datumType;
        b.epsilon = r.epsilon;
        b.datumId = r.datumId;
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireRequestDataByType: {
        SimWireRequestDataByTypeBody b{r.requestId, r.defineId, r.radiusMeters, r.objectType};
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireRequestData: {
        SimWireRequestDataBody b{r.requestId, r.defineId, r.objectId, r.period, r.flags, 0, 0, 0};
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireSetData: {
        SimWireSetDataBody b{r.defineId, r.objectId, r.flags, r.arrayCount, r.unitSize};
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireRequestSystemState: {
        SimWireRequestSystemStateBody b{};
        b.requestId = r.requestId;
        if (!PutName(b.stateName, r.name))
            return false;
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireSubscribeSystemEvent: {
        SimWireSubscribeSystemEventBody b{};
        b.eventId = r.eventId;
        if (!PutName(b.eventName, r.name))
            return false;
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireSetSystemEventState: {
        SimWireSetSystemEventStateBody b{r.eventId, r.state};
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    case SimWireUnsubscribeSystemEvent: {
        SimWireUnsubscribeSystemEventBody b{r.eventId};
        std::memcpy(body, &b, sizeof(b));
        return true;
    }
    default: return false;
    }
}

void DecodeBody(DWORD kind, const BYTE* body, SimWireRequest* r)
{
    switch (kind) {
    case SimWireOpen: {
        SimWireOpenBody b;
        std::memcpy(&b, body, sizeof(b));
        GetName(r->name, b.name);
        r->configIndex = b.configIndex;
        break;
    }
    case SimWireAddToDataDefinition: {
        SimWireAddToDataDefinitionBody b;
        std::memcpy(&b, body, sizeof(b));
        r->defineId = b.defineId;
        GetName(r->name, b.datumName);
        GetName(r->units, b.unitsName);
        r->datumType = b.datumType;
        r->epsilon = b.epsilon;
        r->datumId = b.datumId;
        break;
    }
    case SimWireRequestDataByType: {
        SimWireRequestDataByTypeBody b;
        std::memcpy(&b, body, sizeof(b));
        r->requestId = b.requestId;
        r->defineId = b.defineId;
        r->radiusMeters = b.radiusMeters;
        r->objectType = b.objectType;
        break;
    }
    case SimWireRequestData: {
        SimWireRequestDataBody b;
        std::memcpy(&b, body, sizeof(b));
        r->requestId = b.requestId;
        r->defineId = b.defineId;
        r->objectId = b.objectId;
        r->period = b.period;
        r->flags = b.flags;
        break;
    }
    case SimWireSetData: {
        SimWireSetDataBody b;
        std::memcpy(&b, body, sizeof(b));
        r->defineId = b.defineId;
        r->objectId = b.objectId;
        r->flags = b.flags;
        r->arrayCount = b.arrayCount;
        r->unitSize = b.unitSize;
        break;
    }
    case SimWireRequestSystemState: {
        SimWireRequestSystemStateBody b;
        std::memcpy(&b, body, sizeof(b));
        r->requestId = b.requestId;
        GetName(r->name, b.stateName);
        break;
    }
    case SimWireSubscribeSystemEvent: {
        SimWireSubscribeSystemEventBody b;
        std::memcpy(&b, body, sizeof(b));
        r->eventId = b.eventId;
        GetName(r->name, b.eventName);
        break;
    }
    case SimWireSetSystemEventState: {
        SimWireSetSystemEventStateBody b;
        std::memcpy(&b, body, sizeof(b));
        r->eventId = b.eventId;
        r->state = b.state;
        break;
    }
    case SimWireUnsubscribeSystemEvent: {
        SimWireUnsubscribeSystemEventBody b;
        std::memcpy(&b, body, sizeof(b));
        r->eventId = b.eventId;
        break;
    }
    default: break;
    }
}

// Minimum length of a received message of the given id; 0 for unknown ids,
// which are passed on with just their header.
size_t RecvRecordSize(DWORD id)
{
    switch (id) {
    case SIMCONNECT_RECV_ID_EXCEPTION: return sizeof(SIMCONNECT_RECV_EXCEPTION);
    case SIMCONNECT_RECV_ID_OPEN: return sizeof(SIMCONNECT_RECV_OPEN);
    case SIMCONNECT_RECV_ID_QUIT: return sizeof(SIMCONNECT_RECV_QUIT);
    case SIMCONNECT_RECV_ID_EVENT: return sizeof(SIMCONNECT_RECV_EVENT);
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE: return sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE);
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE: return SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE;
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: return sizeof(SIMCONNECT_RECV_SYSTEM_STATE);
    default: return sizeof(SIMCONNECT_RECV);
    }
}

template <typename Record>
size_t PutRecord(BYTE* out, size_t capacity, Record* record, DWORD id)
{
    if (capacity < sizeof(Record))
        return 0;
    record->dwSize = sizeof(Record);
    record->dwVersion = SimWireVersion;
    record->dwID = id;
    std::memcpy(out, record, sizeof(Record));
    return sizeof(Record);
}

}  // namespace

size_t SimWireEncode(const SimWireRequest& request, BYTE* out, size_t capacity)
{
    size_t body = BodySize(request.kind);
    if (body == SIZE_MAX)
        return 0;
    size_t extra = 0;
    if (request.kind == SimWireSetData) {
        extra = size_t{request.arrayCount} * request.unitSize;
        if (extra > SimWireMaxSetData || extra != request.dataSize)
            return 0;
    }
    size_t total = sizeof(SimWireHeader) + body + extra;
    if (total > capacity || total > SimWireMaxMessage)
        return 0;
    SimWireHeader header{static_cast<uint32_t>(total), SimWireVersion, request.kind, request.sendId};
    std::memcpy(out, &header, sizeof(header));
    if (!EncodeBody(request, out + sizeof(header)))
        return 0;
    if (extra > 0)
        std::memcpy(out + sizeof(header) + body, request.data, extra);
    return total;
}

bool SimWireDecode(const BYTE* data, size_t length, SimWireRequest* out)
{
    if (data == nullptr || length < sizeof(SimWireHeader))
        return false;
    SimWireHeader header;
    std::memcpy(&header, data, sizeof(header));
    if (header.size != length || header.version != SimWireVersion)
        return false;
    size_t body = BodySize(header.kind);
    if (body == SIZE_MAX || length < sizeof(header) + body)
        return false;
    std::memset(out, 0, sizeof(*out));
    out->kind = header.kind;
    out->sendId = header.sendId;
    DecodeBody(header.kind, data + sizeof(header), out);
    size_t extra = length - sizeof(header) - body;
    if (header.kind == SimWireSetData) {
        uint64_t expected = uint64_t{out->arrayCount} * out->unitSize;
        if (expected != extra || extra > SimWireMaxSetData)
            return false;
        out->dataSize = static_cast<DWORD>(extra);
        std::memcpy(out->data, data + sizeof(header) + body, extra);
        return true;
    }
    return extra == 0;
}

size_t SimWireFrameLength(const BYTE* data, size_t available)
{
    if (available < 4)
        return 0;
    uint32_t size;
    std::memcpy(&size, data, 4);
    if (size < sizeof(SIMCONNECT_RECV) || size > SimWireMaxMessage)
        return SIZE_MAX;
    return size;
}

bool SimWireCheckRecv(BYTE* data, size_t length)
{
    if (data == nullptr || length < sizeof(SIMCONNECT_RECV) || length > SimWireMaxMessage)
        return false;
    SIMCONNECT_RECV header;
    std::memcpy(&header, data, sizeof(header));
    if (header.dwSize != length || length < RecvRecordSize(header.dwID))
        return false;
    if (header.dwID == SIMCONNECT_RECV_ID_SYSTEM_STATE)
        data[sizeof(SIMCONNECT_RECV_SYSTEM_STATE) - 1] = '\0';  // the string is the record's last field
    if (header.dwID == SIMCONNECT_RECV_ID_OPEN)
        data[sizeof(SIMCONNECT_RECV) + 255] = '\0';  // the name follows the header
    return true;
}

size_t SimWireBuildOpen(BYTE* out, size_t capacity, const char* applicationName)
{
    SIMCONNECT_RECV_OPEN m{};
    std::snprintf(m.szApplicationName, sizeof(m.szApplicationName), "%s", applicationName ? applicationName : "");
    m.dwApplicationVersionMajor = 1;
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_OPEN);
}

size_t SimWireBuildQuit(BYTE* out, size_t capacity)
{
    SIMCONNECT_RECV_QUIT m{};
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_QUIT);
}

size_t SimWireBuildException(BYTE* out, size_t capacity, DWORD exception, DWORD sendId, DWORD index)
{
    SIMCONNECT_RECV_EXCEPTION m{};
    m.dwException = exception;
    m.dwSendID = sendId;
    m.dwIndex = index;
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_EXCEPTION);
}

size_t SimWireBuildEvent(BYTE* out, size_t capacity, DWORD eventId, DWORD data)
{
    SIMCONNECT_RECV_EVENT m{};
    m.uGroupID = SIMCONNECT_UNUSED;
    m.uEventID = eventId;
    m.dwData = data;
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_EVENT);
}

size_t SimWireBuildObjectAddRemove(BYTE* out, size_t capacity, DWORD eventId, DWORD objectId, DWORD objectType)
{
    SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE m{};
    m.uGroupID = SIMCONNECT_UNUSED;
    m.uEventID = eventId;
    m.dwData = objectId;
    m.eObjType = objectType;
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
}

size_t SimWireBuildData(BYTE* out, size_t capacity, DWORD recvId, DWORD requestId, DWORD objectId, DWORD defineId,
                        DWORD entryNumber, DWORD outOf, DWORD defineCount, const void* block, size_t blockSize)
{
    size_t total = SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE + blockSize;
    if (total > capacity || total > SimWireMaxMessage)
        return 0;
    SIMCONNECT_RECV_SIMOBJECT_DATA m{};
    m.dwSize = static_cast<DWORD>(total);
    m.dwVersion = SimWireVersion;
    m.dwID = recvId;
    m.dwRequestID = requestId;
    m.dwObjectID = objectId;
    m.dwDefineID = defineId;
    m.dwentrynumber = entryNumber;
    m.dwoutof = outOf;
    m.dwDefineCount = defineCount;
    std::memcpy(out, &m, SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE);
    if (blockSize > 0)
        std::memcpy(out + SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE, block, blockSize);
    return total;
}

size_t SimWireBuildSystemState(BYTE* out, size_t capacity, DWORD requestId, DWORD integer, float value,
                               const char* text)
{
    SIMCONNECT_RECV_SYSTEM_STATE m{};
    m.dwRequestID = requestId;
    m.dwInteger = integer;
    m.fFloat = value;
    std::snprintf(m.szString, sizeof(m.szString), "%s", text ? text : "");
    return PutRecord(out, capacity, &m, SIMCONNECT_RECV_ID_SYSTEM_STATE);
}

bool SimConnectSocketPath(char* out, size_t size)
{
    const char* given = std::getenv("TVL_SIMCONNECT");
    int n;
    if (given != nullptr && given[0] != '\0') {
        n = std::snprintf(out, size, "%s", given);
    } else {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime != nullptr && runtime[0] != '\0')
            n = std::snprintf(out, size, "%s/tvl-simconnect.sock", runtime);
        else
            n = std::snprintf(out, size, "/tmp/tvl-simconnect-%u.sock", static_cast<unsigned>(getuid()));
    }
    return n > 0 && static_cast<size_t>(n) < size;
}
