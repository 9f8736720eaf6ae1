// SimConnect client API as the proxy and the Prepar3D/FSX connector call it: connection, data definitions,
// data and system-state requests, system events and the dispatch of received
// messages. Two back-ends: a stream socket to a simulator server (see
// PROTOCOL.md) and an in-process queue for unit tests (simconnect_queue.h).
#pragma once

#include "platform/win32.h"

typedef DWORD SIMCONNECT_DATA_DEFINITION_ID;
typedef DWORD SIMCONNECT_DATA_REQUEST_ID;
typedef DWORD SIMCONNECT_CLIENT_EVENT_ID;
typedef DWORD SIMCONNECT_OBJECT_ID;

constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
constexpr SIMCONNECT_OBJECT_ID SIMCONNECT_OBJECT_ID_USER = 0;

enum SIMCONNECT_DATATYPE : DWORD {
    SIMCONNECT_DATATYPE_INVALID = 0,
    SIMCONNECT_DATATYPE_INT32 = 1,
    SIMCONNECT_DATATYPE_FLOAT64 = 4,
    SIMCONNECT_DATATYPE_STRING32 = 6,
    SIMCONNECT_DATATYPE_STRING256 = 9,
    SIMCONNECT_DATATYPE_INITPOSITION = 12,
};

enum SIMCONNECT_SIMOBJECT_TYPE : DWORD {
    SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
    SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
    SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
};

enum SIMCONNECT_PERIOD : DWORD {
    SIMCONNECT_PERIOD_NEVER = 0,
    SIMCONNECT_PERIOD_ONCE = 1,
    SIMCONNECT_PERIOD_SECOND = 4,
};

enum SIMCONNECT_STATE : DWORD {
    SIMCONNECT_STATE_OFF = 0,
    SIMCONNECT_STATE_ON = 1,
};

enum SIMCONNECT_RECV_ID : DWORD {
    SIMCONNECT_RECV_ID_NULL = 0,
    SIMCONNECT_RECV_ID_EXCEPTION = 1,
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
    SIMCONNECT_RECV_ID_SYSTEM_STATE = 15,
};

enum SIMCONNECT_EXCEPTION : DWORD {
    SIMCONNECT_EXCEPTION_NONE = 0,
    SIMCONNECT_EXCEPTION_ERROR = 1,
    SIMCONNECT_EXCEPTION_SIZE_MISMATCH = 2,
    SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
    SIMCONNECT_EXCEPTION_UNOPENED = 4,
    SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
    SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
};

// Received messages. Every message starts with its whole size; the dispatch
// hands over only messages at least as long as their record.
#pragma pack(push, 1)
struct SIMCONNECT_RECV {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID;  // SIMCONNECT_RECV_ID
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
    DWORD dwException;  // SIMCONNECT_EXCEPTION
    DWORD dwSendID;     // the send id of the request that failed
    DWORD dwIndex;      // the parameter at fault
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
    char szApplicationName[256];
    DWORD dwApplicationVersionMajor;
    DWORD dwApplicationVersionMinor;
};

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {
};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
    DWORD uGroupID;
    DWORD uEventID;
    DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
    DWORD eObjType;  // SIMCONNECT_SIMOBJECT_TYPE; dwData holds the object id
};

// The data block follows the header; dwData is its first word. Its length is
// dwSize - SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE.
struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;  // 1-based in a by-type answer; 0 when nothing was found
    DWORD dwoutof;        // entries in a by-type answer
    DWORD dwDefineCount;  // data items in the block
    DWORD dwData;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE : SIMCONNECT_RECV_SIMOBJECT_DATA {
};

struct SIMCONNECT_RECV_SYSTEM_STATE : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwInteger;
    float fFloat;
    char szString[260];  // NUL-terminated by the dispatch
};

struct SIMCONNECT_DATA_INITPOSITION {
    double Latitude;   // degrees
    double Longitude;  // degrees
    double Altitude;   // feet
    double Pitch;      // degrees
    double Bank;       // degrees
    double Heading;    // degrees
    DWORD OnGround;    // 1 on the ground
    DWORD Airspeed;    // knots
};
#pragma pack(pop)

static_assert(sizeof(SIMCONNECT_RECV) == 12);
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24);
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24);
static_assert(sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE) == 28);
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44);
static_assert(sizeof(SIMCONNECT_RECV_SYSTEM_STATE) == 284);
static_assert(sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);

constexpr DWORD SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE = 40;  // up to dwData
// Size of the data block of a data message of cbData bytes (0 when too short).
inline DWORD SimObjectDataSize(DWORD cbData)
{
    return cbData > SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE ? cbData - SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE : 0;
}
inline const BYTE* SimObjectDataBytes(const SIMCONNECT_RECV_SIMOBJECT_DATA* message)
{
    return reinterpret_cast<const BYTE*>(message) + SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE;
}

typedef void(CALLBACK* DispatchProc)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// Fails (E_FAIL) when no simulator answers.
HRESULT SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32, HANDLE hEventHandle,
                        DWORD ConfigIndex);
HRESULT SimConnect_Close(HANDLE hSimConnect);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID, LPCSTR DatumName,
                                       LPCSTR UnitsName,
                                       SIMCONNECT_DATATYPE DatumType = SIMCONNECT_DATATYPE_FLOAT64,
                                       float fEpsilon = 0, DWORD DatumID = SIMCONNECT_UNUSED);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID, SIMCONNECT_OBJECT_ID ObjectID,
                                          SIMCONNECT_PERIOD Period, DWORD Flags = 0, DWORD origin = 0,
                                          DWORD interval = 0, DWORD limit = 0);
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags, DWORD ArrayCount,
                                      DWORD cbUnitSize, void* pDataSet);
HRESULT SimConnect_RequestSystemState(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID, LPCSTR szState);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          LPCSTR SystemEventName);
HRESULT SimConnect_SetSystemEventState(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                       SIMCONNECT_STATE dwState);
HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID);
// Hands every complete received message to pfcnDispatch, on the calling
// thread, and returns. E_FAIL once the simulator has gone (the connection
// closed or sent a malformed message); the handle then only needs closing.
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
