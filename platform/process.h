// Starting programs the way the shell of the home platform does: helper
// programs "X.exe" run the stand-in X from the program folder, "cmd.exe /c"
// runs the program it names with its redirections (never through a shell),
// and the PDF tools map to the system's mutool.
#pragma once

#include "platform/win32.h"
#include "platform/window.h"

#include <string>
#include <vector>

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

// Whether program names something that runs here ("mutool.exe", "mudraw.exe"
// and "Rastoq.exe" are the system's mutool, "AcroRd32.exe" the desktop's PDF
// viewer, "X.exe" a helper program in the program folder).
bool IsProgramAvailable(const char* program);
// Runs program as ShellExecuteA maps it with each argument handed over as
// it is (no shell reads any of them), in directory, standard output into
// outputFile when one is named, and waits for its end. Its exit code, or -1
// when it could not be started.
int RunProgramWithArguments(const char* program, const std::vector<std::string>& arguments, const char* directory,
                            const char* outputFile);

// The folder of the running executable, without a trailing '/'.
const char* ProgramFolder();
