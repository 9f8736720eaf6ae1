// The X-Plane link (simulator 4): a client of the plug-in inside X-Plane.
// Its thread registers, keeps the aircraft state block it shares with the
// MSFS link, the flight plan and the traffic table up to date, parks the
// simulator's buttons as commands and sends traffic, weather, set-position
// and unregister requests.
#pragma once

#include "simlink/sim_link.h"
#include "simlink/udp_link_ops.h"

#include <cstddef>

// The link's descriptor, which the UDP link operations (udp_link_ops.h) take.
extern const UdpLink XPlaneLink;
// Over the state block the MSFS link shares; writes go through MsfsSetVar.
void XPlaneGetVar(SimVarId id, double* out);

// One received datagram, as the link thread handles it. False when it is
// not the plug-in's (shorter than its header or another magic), which the
// thread counts as a failed receive.
bool HandleXPlaneDatagram(const void* data, size_t size);
