// The Aerofly FS 2 link (simulator 8): a client of the peer on the
// simulator's side. Its thread registers, keeps the aircraft state block,
// logs take-offs and landings to the pilot log and takes the simulator's
// plan, which the GUI thread then completes from the procedure database.
#pragma once

#include "simlink/sim_link.h"
#include "simlink/udp_link_ops.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Set by the flight-plan commands; the link asks the peer for its plan.
extern std::atomic<uint8_t> AeroflyPlanRequest;

// The link's descriptor, which the UDP link operations (udp_link_ops.h) take.
extern const UdpLink AeroflyLink;
void AeroflyGetVar(SimVarId id, double* out);
// The map's own navigation: 8 waypoint distance, 9 the plan's active
// waypoint, 10 ETE, 12 waypoint ETE.
void AeroflySetVar(SimVarId id, double value);
// No aircraft state and no plan received or being completed, as at the
// start; no link thread may run (tests).
void ResetAeroflyState();

// One received datagram, as the link thread handles it. False when it is
// not the peer's (shorter than its header or another magic), which the
// thread counts as a failed receive.
bool HandleAeroflyDatagram(const void* data, size_t size);

// GUI thread, per frame: completes a plan the link received into the
// FlightPlan, shows it and marks it taken. True when it did.
bool CompleteAeroflyPlan();
// A received plan is being completed.
bool IsAeroflyLoaderBusy();
// Asks the link to request the simulator's plan again.
void RequestAeroflyPlanSend();

// GUI thread. The departure runway of the last completed plan and the names
// of its two airports; empty texts when there is none.
const char* GetDeparturePosition();
const char* GetDepartureName();
const char* GetDestinationName();
