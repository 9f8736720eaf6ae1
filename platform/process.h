// Starting programs the way the shell of the home platform does: helper
// programs "X.exe" run the stand-in X from the program folder, "cmd.exe /c"
// runs /bin/sh, and the PDF tools map to the system's mutool.
#pragma once

#include "platform/win32.h"
#include "platform/window.h"

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SE_ERR_NOASSOC 31

struct SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp; // above 32 on success, else the error
    HANDLE hProcess;    // with SEE_MASK_NOCLOSEPROCESS: waitable, closed with CloseHandle
};

// Starts file with parameters in directory without waiting; returns a value
// above 32 on success, else an error code (2 for a program that is missing).
HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
// The exit code of a process that has ended; STILL_ACTIVE while it runs.
#define STILL_ACTIVE 259u
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

// The folder of the running executable, without a trailing '/'.
const char* ProgramFolder();
