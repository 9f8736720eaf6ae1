// The objects behind the HANDLEs of the stand-ins (mutexes, mappings,
// processes). Live handles are registered, so a stale or foreign handle is
// refused with ERROR_INVALID_HANDLE instead of being followed.
#pragma once

#include "platform/win32.h"

enum class HandleKind { Mutex, Mapping, Process, GlobalMemory };

struct HandleObject {
    HandleKind kind;
};

HANDLE RegisterHandle(HandleObject* object);
// The live object of handle when it is of kind, else nullptr.
HandleObject* FindHandle(HANDLE handle, HandleKind kind);
// Forgets handle; false when it was not live.
bool UnregisterHandle(HANDLE handle);

// Of process.cpp, for WaitForSingleObject and CloseHandle.
DWORD WaitForProcess(HandleObject* process, DWORD milliseconds);
void CloseProcess(HandleObject* process);
