// The Prepar3D/FSX connector library: every called export hands its
// arguments to the SimConnect call of the same name, which reaches the
// simulator server over the stand-in's socket. The exports nothing calls
// answer E_NOTIMPL.
#include "platform/connector/plovik_simconnect.h"

#define CONNECTOR_EXPORT extern "C" __attribute__((visibility("default")))

CONNECTOR_EXPORT HRESULT PK_SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                                            HANDLE hEventHandle, DWORD ConfigIndex)
{
    return SimConnect_Open(phSimConnect, szName, hWnd, UserEventWin32, hEventHandle, ConfigIndex);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_Close(HANDLE hSimConnect)
{
    return SimConnect_Close(hSimConnect);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                           LPCSTR DatumName, LPCSTR UnitsName,
                                                           SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                                           DWORD DatumID)
{
    return SimConnect_AddToDataDefinition(hSimConnect, DefineID, DatumName, UnitsName, DatumType, fEpsilon, DatumID);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                              SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                              SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                              DWORD Flags, DWORD origin, DWORD interval, DWORD limit)
{
    return SimConnect_RequestDataOnSimObject(hSimConnect, RequestID, DefineID, ObjectID, Period, Flags, origin,
                                             interval, limit);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect,
                                                                  SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                                  SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                                  DWORD dwRadiusMeters,
                                                                  SIMCONNECT_SIMOBJECT_TYPE type)
{
    return SimConnect_RequestDataOnSimObjectType(hSimConnect, RequestID, DefineID, dwRadiusMeters, type);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext)
{
    return SimConnect_CallDispatch(hSimConnect, pfcnDispatch, pContext);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect,
                                                                  SIMCONNECT_CLIENT_EVENT_ID EventID)
{
    return SimConnect_UnsubscribeFromSystemEvent(hSimConnect, EventID);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                              LPCSTR SystemEventName)
{
    return SimConnect_SubscribeToSystemEvent(hSimConnect, EventID, SystemEventName);
}

CONNECTOR_EXPORT HRESULT PK_SimConnect_SetSystemEventState(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                           SIMCONNECT_STATE dwState)
{
    return SimConnect_SetSystemEventState(hSimConnect, EventID, dwState);
}

// Client data, system states, saved flights and weather: the map program
// binds them with the others but never calls them.
#define UNUSED_EXPORT(name)                                                                                           \
    CONNECTOR_EXPORT HRESULT name(HANDLE) { return E_NOTIMPL; }

UNUSED_EXPORT(PK_SimConnect_MapClientDataNameToID)
UNUSED_EXPORT(PK_SimConnect_CreateClientData)
UNUSED_EXPORT(PK_SimConnect_AddToClientDataDefinition)
UNUSED_EXPORT(PK_SimConnect_RequestClientData)
UNUSED_EXPORT(PK_SimConnect_SetSystemState)
UNUSED_EXPORT(PK_SimConnect_FlightSave)
UNUSED_EXPORT(PK_SimConnect_FlightLoad)
UNUSED_EXPORT(PK_SimConnect_WeatherSetModeGlobal)
UNUSED_EXPORT(PK_SimConnect_WeatherSetModeCustom)
UNUSED_EXPORT(PK_SimConnect_WeatherRequestObservationAtNearestStation)
UNUSED_EXPORT(PK_SimConnect_WeatherSetObservation)
