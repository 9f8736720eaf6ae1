// Threads, sleeping, clocks and processor affinity.
#pragma once

#include "platform/win32.h"

#include <atomic>

// Starts a detached thread running start(arg); returns 0 on failure, else a
// non-zero id. The stack size is ignored.
uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* arg);
void Sleep(DWORD milliseconds);
// Milliseconds since an arbitrary start, monotonic, wraps at 2^32.
DWORD GetTickCount();
// The program clock: monotonic milliseconds since the process started
// (what the runtime's clock() means on the system's home platform).
long ProgramClockMs();
// Moves the program clock on by milliseconds, so a test steps past a time
// guard instead of waiting it out (tests).
void AdvanceProgramClock(long milliseconds);
void GetLocalTime(SYSTEMTIME* out);
void GetSystemTime(SYSTEMTIME* out);

HANDLE GetCurrentProcess();
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);
BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);

// A busy flag that callers wait for by polling every 1 ms, with a bound on
// how many may wait at once: the log and the deletion log share it.
struct BusyGate {
    std::atomic<bool> busy{false};
    std::atomic<int> waiters{0};
};
// Takes the gate, waiting while it is busy; false without taking it when
// maxWaiters callers already wait (the caller then drops its work).
bool EnterBusyGate(BusyGate* gate, int maxWaiters);
void LeaveBusyGate(BusyGate* gate);
