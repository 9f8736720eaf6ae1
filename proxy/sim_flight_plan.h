// The simulator's flight plan as the proxy forwards it: the path MSFS reports
// in its "FlightPlan" system state is read on a short thread into the proxy's
// own FlightPlan record, which the UDP sender then sends.
#pragma once

#include "navdata/flight_plan.h"

#include <atomic>

// Set by the main thread when it starts a read, cleared by the read thread
// when it ends; while set no further "FlightPlan" state is asked for.
extern std::atomic<bool> PlanReadBusy;
// The proxy's record; written only by the read thread.
extern FlightPlanRecord ProxyFlightPlan;

// Starts FlightPlanReadThread for the plan at path unless a read runs.
void StartFlightPlanRead(const char* path);
void FlightPlanReadThread(void*);
// Reads the plan named by PlanPath when its path or last-write time changed;
// true when a plan of more than one waypoint was read.
bool LoadSimFlightPlan();
// The server stops: the fix table goes (waits for a running read); the next
// plan that needs a fix reads it again.
void FreeProxyFixes();
// Session start: forget the paths and the plan (waits for a running read).
void ResetSimFlightPlan();
