// TVL64's spine: one instance per machine, the UDP server, the wait for the
// simulator (SimConnect_Open every 50 ms) and the sessions, until ESC, a
// client's stop request or a version mismatch.
#pragma once

// The whole program; returns its exit code (0), or ends the process with -1
// for a second instance or ESC while waiting.
int ProxyMain(int argc, char** argv);
// Takes one waiting console key; true when it was ESC.
bool ConsoleKeyIsEsc();
