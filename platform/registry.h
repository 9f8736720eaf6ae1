// Registry reads on a file: "$XDG_CONFIG_HOME/tervalingo/registry.ini" holds
// one section per key path (e.g. [Software\Tabrix Software\Plovik]) with its
// values; the shell folders key answers with the XDG folders.
#pragma once

#include "platform/win32.h"

typedef DWORD REGSAM;
typedef HKEY* PHKEY;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define KEY_QUERY_VALUE 0x0001u
#define KEY_READ 0x20019u
#define REG_SZ 1u

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// data may be null to ask for the size; *size counts the terminating NUL.
// ERROR_MORE_DATA when the value does not fit (then *size is what it needs).
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegCloseKey(HKEY key);

// The file the registry is read from.
const char* RegistryFilePath();
