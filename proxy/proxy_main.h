// TVL64's spine: one instance per machine, the UDP server, the wait for the
// simulator (SimConnect_Open every 50 ms) and the sessions, until ESC, a
// client's stop request or a version mismatch.
#pragma once

#include "platform/win32.h"

// The console's window when the program was started without arguments, else
// null; the controllers' cooperative-level window.
extern HWND ConsoleWindow;
// The registry's "InstallPath" of the program family, empty when absent; the
// proxy's fix table lies below it.
extern char InstallPath[512];

// The whole program; returns its exit code (0), or ends the process with -1
// for a second instance or ESC while waiting.
int ProxyMain(int argc, char** argv);
// Takes one waiting console key; true when it was ESC.
bool ConsoleKeyIsEsc();
// Reads InstallPath from the registry; it stays empty when the key is missing.
void ReadInstallPath();
