// The Prepar3D/FSX link (simulators 1 to 3): SimConnect through the
// connector library PlovikSimConnectP3D, loaded from the program folder at
// run time, with its connection probe, data definitions, dispatch on the GUI
// thread, the user aircraft's values and the AI traffic; and beside it the
// companion's UDP link, which carries the plan, the buttons, the weather
// exchange and the registration that lets the aircraft data in.
#pragma once

#include "platform/connector/plovik_simconnect.h"
#include "simlink/sim_link.h"

#include <cstddef>

// ---- the SimConnect connection (GUI thread unless said) ----

void PollP3dSimConnect();
void ConnectP3dLink();
// Closes the session (not while the display is re-created) and stops the
// companion.
void CloseP3dSimConnect();
// Any thread.
bool IsP3dConnected();
bool P3dStartTraffic();
void P3dStopTraffic();
void P3dGetVar(SimVarId id, double* out);

// True when loaded already or now; a missing library or export shows the
// connector message, sets UseSimulator to 3 and gives false.
bool LoadSimConnectConnector();
// Starts the connection probe unless connected or one runs.
void StartSimConnectThread();
// Opens the connection "Tabrix Tervalingo 2.3"; the open's result, S_OK when
// connected already, E_FAIL without the connector.
HRESULT OpenSimConnect();
// Definition 5 and the four system events; the last subscription's result.
HRESULT DefineSimConnectData();
// At exit, after the links have stopped: waits for the probe, frees the library.
void UnloadP3dConnector();

// The connector's calls the link makes, bound by name from the library.
struct P3dConnectorCalls {
    PK_SimConnect_OpenFn open;
    PK_SimConnect_CloseFn close;
    PK_SimConnect_AddToDataDefinitionFn addToDataDefinition;
    PK_SimConnect_RequestDataOnSimObjectFn requestDataOnSimObject;
    PK_SimConnect_RequestDataOnSimObjectTypeFn requestDataOnSimObjectType;
    PK_SimConnect_CallDispatchFn callDispatch;
    PK_SimConnect_UnsubscribeFromSystemEventFn unsubscribeFromSystemEvent;
    PK_SimConnect_SubscribeToSystemEventFn subscribeToSystemEvent;
    PK_SimConnect_SetSystemEventStateFn setSystemEventState;
};
// Tests: these calls stand for a loaded connector (the in-process SimConnect
// queue behind them); null forgets them. Only while no connection is open.
void UseP3dConnectorCalls(const P3dConnectorCalls* calls);
// Tests: forgets the session's state (a fresh process).
void ResetP3dLink();
// The current radius of the traffic list request, metres.
uint32_t GetP3dTrafficRadius();
// An AI aircraft has been announced since traffic was switched on.
bool IsP3dTrafficOn();
// Tests: the radius timer as if it had been set seconds earlier.
void AgeP3dTrafficTimer(double seconds);

// ---- the companion's UDP link ----

// Starts the companion thread while the SimConnect connection is up (not
// while the display is re-created); the running flag, false without a
// connection.
bool StartP3dLink();
// Stops the companion thread and waits for its end (not while the display is
// re-created).
void StopP3dLink();
bool IsP3dLinkRunning();
bool IsP3dLinkRegistered();
// One received datagram, as the companion thread handles it. False when it is
// not the companion's (shorter than its header or another magic).
bool HandleP3dCompanionDatagram(const void* data, size_t size);
// The companion thread's start and end clear it; the SimConnect dispatch
// sets it with each accepted position.
void ClearP3dPositionValid();
