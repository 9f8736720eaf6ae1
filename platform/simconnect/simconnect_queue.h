// In-process back-end of the SimConnect stand-in for unit tests: it records
// every call the code under test makes and dispatches the messages a test
// injects, in order. Enable it before SimConnect_Open.
#pragma once

#include "platform/simconnect/simconnect_wire.h"

#include <vector>

// true: SimConnect_Open uses the queue from now on; false: the socket.
void SimConnectQueueEnable(bool on);
// Forgets calls and messages; the simulator is then not running.
void SimConnectQueueReset();
// While false (the default) SimConnect_Open fails as without a simulator.
void SimConnectQueueSetAvailable(bool available);
// The simulator goes away: the next SimConnect_CallDispatch fails, after
// dispatching what was injected before.
void SimConnectQueueDisconnect();

// Messages for the next SimConnect_CallDispatch. Inject takes raw bytes, so a
// test can also hand in a malformed message.
void SimConnectQueueInject(const void* message, size_t length);
void SimConnectQueueInjectQuit();
void SimConnectQueueInjectException(DWORD exception, DWORD sendId, DWORD index);
void SimConnectQueueInjectEvent(DWORD eventId, DWORD data);
void SimConnectQueueInjectObjectAddRemove(DWORD eventId, DWORD objectId);
void SimConnectQueueInjectData(DWORD requestId, DWORD objectId, DWORD defineId, const void* block, size_t size);
void SimConnectQueueInjectDataByType(DWORD requestId, DWORD objectId, DWORD defineId, DWORD entryNumber,
                                     DWORD outOf, const void* block, size_t size);
void SimConnectQueueInjectSystemState(DWORD requestId, const char* text);
size_t SimConnectQueuePending();

// The calls made since the last reset or clear, oldest first.
std::vector<SimWireRequest> SimConnectQueueCalls();
void SimConnectQueueClearCalls();
// Calls of one kind (and, unless SIMCONNECT_UNUSED, one request or event id).
size_t SimConnectQueueCount(DWORD kind, DWORD id = SIMCONNECT_UNUSED);

// The back-end side, called by the client API.
bool SimConnectQueueIsEnabled();
bool SimConnectQueueOpen();
bool SimConnectQueueSend(const BYTE* message, size_t length);
// Takes the next message into out; false when none is waiting. *gone is set
// when nothing is waiting and the simulator has gone.
bool SimConnectQueueReceive(std::vector<BYTE>* out, bool* gone);
