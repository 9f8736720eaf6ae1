// Messages of the SimConnect stand-in's socket protocol (PROTOCOL.md): the
// client's request records, their one decoder, the checks on received
// messages and builders of the simulator's messages for servers and tests.
#pragma once

#include "platform/simconnect/simconnect.h"

#include <cstddef>
#include <cstdint>

constexpr DWORD SimWireVersion = 1;
// No message of either side is longer than this.
constexpr DWORD SimWireMaxMessage = 65536;
constexpr DWORD SimWireNameSize = 256;
// SetDataOnSimObject carries at most this many data bytes.
constexpr DWORD SimWireMaxSetData = 4096;

enum SimWireKind : DWORD {
    SimWireOpen = 1,
    SimWireClose = 2,
    SimWireAddToDataDefinition = 3,
    SimWireRequestDataByType = 4,
    SimWireRequestData = 5,
    SimWireSetData = 6,
    SimWireRequestSystemState = 7,
    SimWireSubscribeSystemEvent = 8,
    SimWireSetSystemEventState = 9,
    SimWireUnsubscribeSystemEvent = 10,
};

#pragma pack(push, 1)
// Every client message begins with this header; size counts the whole message.
struct SimWireHeader {
    uint32_t size;
    uint32_t version;
    uint32_t kind;    // SimWireKind
    uint32_t sendId;  // counts from 1 per connection; exceptions name it
};
struct SimWireOpenBody {
    char name[SimWireNameSize];
    uint32_t configIndex;
};
struct SimWireAddToDataDefinitionBody {
    uint32_t defineId;
    char datumName[SimWireNameSize];
    char unitsName[SimWireNameSize];
    uint32_t datumType;
    float epsilon;
    uint32_t datumId;
};
struct SimWireRequestDataByTypeBody {
    uint32_t requestId;
    uint32_t defineId;
    uint32_t radiusMeters;
    uint32_t objectType;
};
struct SimWireRequestDataBody {
    uint32_t requestId;
    uint32_t defineId;
    uint32_t objectId;
    uint32_t period;
    uint32_t flags;
    uint32_t origin;
    uint32_t interval;
    uint32_t limit;
};
// Followed by arrayCount * unitSize data bytes.
struct SimWireSetDataBody {
    uint32_t defineId;
    uint32_t objectId;
    uint32_t flags;
    uint32_t arrayCount;
    uint32_t unitSize;
};
struct SimWireRequestSystemStateBody {
    uint32_t requestId;
    char stateName[SimWireNameSize];
};
struct SimWireSubscribeSystemEventBody {
    uint32_t eventId;
    char eventName[SimWireNameSize];
};
struct SimWireSetSystemEventStateBody {
    uint32_t eventId;
    uint32_t state;
};
struct SimWireUnsubscribeSystemEventBody {
    uint32_t eventId;
};
#pragma pack(pop)
static_assert(sizeof(SimWireHeader) == 16);
static_assert(sizeof(SimWireOpenBody) == 260);
static_assert(sizeof(SimWireAddToDataDefinitionBody) == 528);
static_assert(sizeof(SimWireRequestDataByTypeBody) == 16);
static_assert(sizeof(SimWireRequestDataBody) == 32);
static_assert(sizeof(SimWireSetDataBody) == 20);
static_assert(sizeof(SimWireRequestSystemStateBody) == 260);
static_assert(sizeof(SimWireSubscribeSystemEventBody) == 260);
static_assert(sizeof(SimWireSetSystemEventStateBody) == 8);
static_assert(sizeof(SimWireUnsubscribeSystemEventBody) == 4);

// One decoded client message; only the fields of its kind are meaningful.
// Names are always NUL-terminated.
struct SimWireRequest {
    DWORD kind;
    DWORD sendId;
    DWORD defineId;
    DWORD requestId;
    DWORD objectId;
    DWORD eventId;
    DWORD radiusMeters;
    DWORD objectType;
    DWORD period;
    DWORD datumType;
    DWORD datumId;
    DWORD state;
    DWORD flags;
    DWORD configIndex;
    DWORD arrayCount;
    DWORD unitSize;
    float epsilon;
    char name[SimWireNameSize];   // application, datum, state or event name
    char units[SimWireNameSize];  // units of a datum
    DWORD dataSize;
    BYTE data[SimWireMaxSetData];
};

// Builds a client message into out (capacity bytes); returns its length or 0
// when it does not fit or a name is too long.
size_t SimWireEncode(const SimWireRequest& request, BYTE* out, size_t capacity);
// Decodes one whole client message of exactly length bytes; false for any
// size, version, kind or count that does not add up.
bool SimWireDecode(const BYTE* data, size_t length, SimWireRequest* out);

// Length of the next message in a stream that begins with it, from its first
// word: 0 while fewer than 4 bytes are there, SIZE_MAX when the word is not a
// possible message size (the stream is then broken).
size_t SimWireFrameLength(const BYTE* data, size_t available);

// True when a received message of length bytes is long enough for the record
// of its id and its size word equals length; names get terminated in place.
bool SimWireCheckRecv(BYTE* data, size_t length);

// Builders of the simulator's messages into out (capacity bytes); each
// returns the message length, 0 when it does not fit.
size_t SimWireBuildOpen(BYTE* out, size_t capacity, const char* applicationName);
size_t SimWireBuildQuit(BYTE* out, size_t capacity);
size_t SimWireBuildException(BYTE* out, size_t capacity, DWORD exception, DWORD sendId, DWORD index);
size_t SimWireBuildEvent(BYTE* out, size_t capacity, DWORD eventId, DWORD data);
size_t SimWireBuildObjectAddRemove(BYTE* out, size_t capacity, DWORD eventId, DWORD objectId, DWORD objectType);
// recvId is SIMCONNECT_RECV_ID_SIMOBJECT_DATA or _BYTYPE.
size_t SimWireBuildData(BYTE* out, size_t capacity, DWORD recvId, DWORD requestId, DWORD objectId, DWORD defineId,
                        DWORD entryNumber, DWORD outOf, DWORD defineCount, const void* block, size_t blockSize);
size_t SimWireBuildSystemState(BYTE* out, size_t capacity, DWORD requestId, DWORD integer, float value,
                               const char* text);

// The server's socket: $TVL_SIMCONNECT, else "tvl-simconnect.sock" in
// $XDG_RUNTIME_DIR, else in /tmp with the user id. False when it does not fit.
bool SimConnectSocketPath(char* out, size_t size);
