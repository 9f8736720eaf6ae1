// One SimConnect client of the simulator server: its data definitions,
// subscribed events and periodic requests, and the answers it is sent.
#pragma once

#include <cstddef>
#include <cstdint>

struct ClientOptions {
    double fourSecondsMs = 4000.0;   // period of the "4sec" event
    const char* planPath = "";       // answer to the "FlightPlan" system state
    bool mismatchOnOpen = false;     // answer the open with a version-mismatch exception
    bool verbose = false;
};

// Starts serving a freshly accepted connection.
void BeginClient(int fd, const ClientOptions& options, double now);
bool ClientConnected();
// Reads and answers what the client sent, sends due events and periodic
// data; drops the client on any malformed message or a failed send.
void ServeClient(double now);
// Ends the connection, with a QUIT first when sendQuit.
void EndClient(bool sendQuit);
int ClientSocket();

// Simulator happenings the control file or the options ask for.
void SendVersionMismatch();
void SendPause(bool paused);
void SendObjectAdded(uint32_t objectId);
void SendObjectRemoved(uint32_t objectId);
