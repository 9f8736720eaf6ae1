// The proxy's UDP server: the receive thread that takes the map programs'
// requests into the client table, and the sender that, once per call of
// ServeClients on the main thread, sends replies, keep-alives, the aircraft
// state, the flight plan, traffic and controller buttons.
#pragma once

#include "navdata/flight_plan.h"

#include <cstdint>
#include <netinet/in.h>

// Opens the socket on the server port and starts the receive thread; false
// when Winsock, the socket or the port cannot be had.
bool StartUdpServer();
// Stops the thread, tells every client (MsgProxyShutdown), releases the
// controllers and closes the socket.
void StopUdpServer();
// After the server's socket failed a send: the server is stopped and started
// again, keeping the client table and the controllers; false when it cannot
// start or has failed 99 times in a row (then the proxy ends). A send that
// one client's address refuses is not a failure of the server.
bool RestartUdpServer();
// One round of sends; main thread only.
void ServeClients();
// The queued replies, or a keep-alive to every client when none is queued.
void SendPendingReply();
void UdpReceiveThread(void*);
// One datagram of a map program, as the receive thread takes it: anything
// that is not a request is dropped; what needs the main thread is queued.
void HandleProxyDatagram(const uint8_t* data, size_t length, const sockaddr_in& from);
bool IsUdpServerRunning();

// The port: 54222, or TVL64_PORT from the environment (a test switch).
uint16_t ProxyServerPort();
// The flight-plan thread hands over a plan to send; copied under a lock.
void PublishFlightPlan(const FlightPlanRecord& plan);
// Forgets counters, queues and the published plan (a fresh process, for tests).
void ResetUdpServer();
