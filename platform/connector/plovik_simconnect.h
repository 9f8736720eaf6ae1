// The exports of the Prepar3D/FSX connector library PlovikSimConnectP3D:
// their names, in the order the map program binds them, and the types it
// calls them with. Each called export is the SimConnect call of the same
// name; the others are bound but never called and take only the handle.
#pragma once

#include "platform/simconnect/simconnect.h"

extern "C" {
typedef HRESULT (*PK_SimConnect_OpenFn)(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                                        HANDLE hEventHandle, DWORD ConfigIndex);
typedef HRESULT (*PK_SimConnect_CloseFn)(HANDLE hSimConnect);
typedef HRESULT (*PK_SimConnect_AddToDataDefinitionFn)(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                       LPCSTR DatumName, LPCSTR UnitsName,
                                                       SIMCONNECT_DATATYPE DatumType, float fEpsilon, DWORD DatumID);
typedef HRESULT (*PK_SimConnect_RequestDataOnSimObjectFn)(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                          SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                          SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                          DWORD Flags, DWORD origin, DWORD interval, DWORD limit);
typedef HRESULT (*PK_SimConnect_RequestDataOnSimObjectTypeFn)(HANDLE hSimConnect,
                                                              SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                              SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                              DWORD dwRadiusMeters, SIMCONNECT_SIMOBJECT_TYPE type);
typedef HRESULT (*PK_SimConnect_CallDispatchFn)(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
typedef HRESULT (*PK_SimConnect_UnsubscribeFromSystemEventFn)(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID);
typedef HRESULT (*PK_SimConnect_SubscribeToSystemEventFn)(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                          LPCSTR SystemEventName);
typedef HRESULT (*PK_SimConnect_SetSystemEventStateFn)(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                       SIMCONNECT_STATE dwState);
// The exports nothing calls.
typedef HRESULT (*PK_SimConnect_UnusedFn)(HANDLE hSimConnect);
}

// The 20 export names in binding order.
constexpr int ConnectorExportCount = 20;
inline const char* const ConnectorExportNames[ConnectorExportCount] = {
    "PK_SimConnect_Open",
    "PK_SimConnect_AddToDataDefinition",
    "PK_SimConnect_RequestDataOnSimObject",
    "PK_SimConnect_MapClientDataNameToID",
    "PK_SimConnect_CreateClientData",
    "PK_SimConnect_RequestDataOnSimObjectType",
    "PK_SimConnect_Close",
    "PK_SimConnect_CallDispatch",
    "PK_SimConnect_UnsubscribeFromSystemEvent",
    "PK_SimConnect_AddToClientDataDefinition",
    "PK_SimConnect_SubscribeToSystemEvent",
    "PK_SimConnect_SetSystemEventState",
    "PK_SimConnect_RequestClientData",
    "PK_SimConnect_SetSystemState",
    "PK_SimConnect_FlightSave",
    "PK_SimConnect_FlightLoad",
    "PK_SimConnect_WeatherSetModeGlobal",
    "PK_SimConnect_WeatherSetModeCustom",
    "PK_SimConnect_WeatherRequestObservationAtNearestStation",
    "PK_SimConnect_WeatherSetObservation",
};
