// Libraries loaded at run time by name (the sound and connector libraries of
// the family): LoadLibraryA, GetProcAddress and FreeLibrary on dlopen, dlsym
// and dlclose. A name "X.dll" loads "libX.so" from the same folder (or "X.so"),
// found whatever the case of the path.
#pragma once

#include "platform/win32.h"

#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L

typedef INT_PTR (*FARPROC)();

// Null with ERROR_MOD_NOT_FOUND when no candidate loads. A name without a
// folder is looked for in the program's own folder first, as Windows does.
HMODULE LoadLibraryA(LPCSTR fileName);
// Null with ERROR_PROC_NOT_FOUND for a name the library does not export.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// What the loader said about the last failure of this thread, for logs.
const char* GetLibraryErrorText();

// The function of a library as the type the caller calls it with.
template <typename Function>
Function GetProcAddressAs(HMODULE module, LPCSTR name)
{
    // void (*)() is the type every function pointer may pass through.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
