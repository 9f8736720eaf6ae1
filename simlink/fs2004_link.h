// The FS2004 link (simulator 5): a client of the module inside FS2004. Its
// thread registers, keeps the state block Fs2004State, the flight plan and
// the traffic table up to date, parks the simulator's buttons as commands
// and sends traffic, weather and unregister requests.
#pragma once

#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"
#include "simlink/udp_link_ops.h"

#include <atomic>
#include <cstddef>

// The aircraft state, in the order of LinkStateField; altitudes in metres as
// the module sends them. Written by the link thread (and Fs2004SetVar),
// read by GetVar on any thread.
extern std::atomic<double> Fs2004State[LinkStateFieldCount];

// The link's descriptor, which the UDP link operations (udp_link_ops.h) take.
extern const UdpLink Fs2004Link;
void Fs2004GetVar(SimVarId id, double* out);
// The map's own navigation: 8 waypoint distance, 10 ETE, 12 waypoint ETE.
void Fs2004SetVar(SimVarId id, double value);

// One received datagram, as the link thread handles it. False when it is
// not the module's (shorter than its header or another magic), which the
// thread counts as a failed receive.
bool HandleFs2004Datagram(const void* data, size_t size);
