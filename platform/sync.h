// Named mutexes that hold across processes (a lock file + flock, so a process
// that dies releases them) and named shared memory.
#pragma once

#include "platform/win32.h"

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define PAGE_READWRITE 0x04u
#define FILE_MAP_ALL_ACCESS 0xF001Fu
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_NOT_OWNER 288u

// A named mutex is one per machine: every process that opens the name shares
// it, and a process that dies releases what it held. Sets ERROR_ALREADY_EXISTS
// when another handle to the name is open (in this or another process). A
// wait after the holder died answers WAIT_OBJECT_0: the waiter owns it.
HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
// Mutexes and processes (from ShellExecuteExA) can be waited on.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
DWORD GetLastError();
// The calling thread's last error, as the stand-ins set it.
void SetLastError(DWORD code);
// errno as the nearest ERROR_* code.
DWORD ErrnoToLastError(int error);

// Only shared memory (file == INVALID_HANDLE_VALUE) is offered; a named
// mapping is removed when the handle that created it is closed.
HANDLE CreateFileMappingA(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCSTR name);
HANDLE OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID view);
