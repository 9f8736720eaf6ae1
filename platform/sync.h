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

HANDLE CreateFileMappingA(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID view);
