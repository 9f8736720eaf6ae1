// Wide (UTF-16) text of the Win32 interface: the character type and the one
// conversion the system makes, from its code page 1252 texts to UTF-16.
#pragma once

#include "platform/win32.h"

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

// The system's ANSI code page is 1252 everywhere.
#define CP_ACP 0u

// Converts length bytes of text (-1: up to and including the NUL) into at
// most size UTF-16 units of out. Returns the units written, counting the NUL
// when it was converted; size 0 returns the units needed. 0 when out is too
// small (nothing useful is left in it) or the code page is not CP_ACP.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int size);
