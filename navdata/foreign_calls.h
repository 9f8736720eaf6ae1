// What the navigation-data code calls in other subsystems whose own headers
// have not landed yet; each line moves to its owner's header when it lands.
#pragma once

#include <cstdint>

// Airport charts: "File: %s not found!" once per run.
void ShowFileNotFound(const char* path);

// Shell accessors.
void GetMapCenter(double* latitude, double* longitude);
void ClearParkPosition();
void SetWindowTopmost();
void SetWindowNotTopmost();

// Renderer: the map snapshot is drawn anew.
void InvalidateSnapshot();

// Airspaces and airways.
void ClearAirspaceSelection();
void FreeAirspacePoints();
void RequestAirspaceReload();
void ClearAirways();

// Message boxes of the platform layer.
#include "platform/win32.h"
#ifndef MB_OK
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define MB_ICONINFORMATION 0x00000040u
#define MB_TASKMODAL 0x00002000u
#define MB_TOPMOST 0x00040000u
#endif
int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type);
