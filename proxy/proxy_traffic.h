// The proxy's AI traffic: the list of aircraft around the user aircraft and
// the ids of those removed, filled from the simulator's answers. Main thread
// only: the dispatch fills the lists, the UDP sender empties them, and client
// requests for traffic reach them through the main loop.
#pragma once

#include "platform/simconnect/simconnect.h"
#include "simlink/proxy_protocol.h"

#include <cstdint>

extern ProxyTrafficRecord ProxyTrafficList[ProxyMaxTrafficRecords];
extern uint32_t ProxyTrafficCount;
extern uint32_t TrafficRemovedList[ProxyMaxRemovedIds];
extern uint32_t TrafficRemovedCount;
extern uint32_t TrafficRadius;       // metres
extern bool TrafficScanActive;       // the list is being filled
extern bool TrafficDefined;          // definitions 2, 3 and the object events exist (once per run)
extern bool TrafficSubscribePending; // a client asked for traffic while no simulator was connected

constexpr uint32_t TrafficDefaultRadius = 100000;

// Switches traffic collection on; false while no simulator is connected.
bool SubscribeAiTraffic();
// Stops every per-object request and empties both lists.
void CancelTrafficRequests();
// MsgTrafficOff's part on the simulator side: no pending subscription,
// requests stopped, lists emptied, scan off.
void StopTrafficScan();
// Forgets everything of the traffic part (a fresh process).
void ResetTraffic();

// Dispatch handlers.
void OnTrafficPositionChanged();
void OnTrafficObjectAdded();
void OnTrafficObjectRemoved(uint32_t objectId);
void OnTrafficObjectData(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size);
void OnTrafficListAnswer(const SIMCONNECT_RECV_SIMOBJECT_DATA* message, DWORD size);
