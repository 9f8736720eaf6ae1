// Threads, sleeping, clocks and processor affinity.
#pragma once

#include "platform/win32.h"

// Starts a detached thread running start(arg); returns 0 on failure, else a
// non-zero id. The stack size is ignored.
uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* arg);
void Sleep(DWORD milliseconds);
// Milliseconds since an arbitrary start, monotonic, wraps at 2^32.
DWORD GetTickCount();
// The program clock: monotonic milliseconds since the process started
// (what the runtime's clock() means on the system's home platform).
long ProgramClockMs();
void GetLocalTime(SYSTEMTIME* out);
void GetSystemTime(SYSTEMTIME* out);

HANDLE GetCurrentProcess();
BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);
BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
