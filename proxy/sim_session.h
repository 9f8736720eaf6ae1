// The proxy's SimConnect session: data definitions, requests and system
// events, the dispatch procedure that turns the simulator's messages into the
// aircraft state, and the session cycle that feeds the UDP sender.
#pragma once

#include "platform/simconnect/simconnect.h"
#include "simlink/proxy_protocol.h"

#include <atomic>
#include <cstdint>

// Set by ESC (main thread) or a client's MsgStopProxy (UDP receive thread);
// read by the main thread's loops.
extern std::atomic<bool> StopRequest;
// The rest is main-thread state: the wait and session loops and the dispatch
// procedure (which runs inside SimConnect_CallDispatch) all run there.
extern HANDLE SimConnectHandle;  // null while not connected
extern bool SessionEnd;          // QUIT, a lost simulator or a version mismatch ends the session
extern bool MismatchEnd;         // a version mismatch ends the program
extern uint32_t SimStateFlag;    // 1 while paused or not simulating
extern bool SimDataFlag;         // simulator data flows: the sender sends state, plan, traffic

// Named apart from the map's IsSimConnected: the test programs link both.
bool HasSimConnection();

// One connected session, until StopRequest or SessionEnd.
void RunSimSession();
// Its parts: the start (definitions, events), one cycle without its 100 ms
// pause, split where the cycle pauses 1 ms, and the end (close).
void BeginSimSession();
void DispatchSimMessages();
void SendSessionState();
void EndSimSession();

void CALLBACK SimDispatch(SIMCONNECT_RECV* message, DWORD size, void* context);

// The received values in the order of the aircraft-state message.
void FillAircraftState(ProxyAircraftState* state);
// A client's MsgSetPosition: the user aircraft is moved with the next answer
// to the user-data request.
void ArmSetPosition(double latitude, double longitude);
// Forgets the received values and flags (a fresh process, for tests).
void ResetSimSession();
