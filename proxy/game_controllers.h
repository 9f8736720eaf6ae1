// The PC's game controllers for the map programs: their buttons and first hat
// switch, read through DirectInput on the main thread, become controller
// button numbers that the UDP server forwards. Each controller can be
// switched off by its name in section "Controller" of the proxy's INI file.
#pragma once

#include "platform/dinput.h"

#include <cstdint>

constexpr int MaxControllers = 32;
constexpr int ControllerButtonSlots = 32;

// The DirectInput interface main creates before the enumeration; released
// with the controllers when the UDP server stops.
extern LPDIRECTINPUT8A DirectInputInterface;

// Creates DirectInputInterface; false when DirectInput is not there.
bool CreateDirectInput();
void ReleaseDirectInput();
// Enumerates and sets up the attached game controllers; true when at least
// one is ready.
bool EnumerateControllers();
BOOL ControllerEnumCallback(const DIDEVICEINSTANCEA* instance, LPVOID context);
// The pressed button's number this round, -1 when none: a button's index, or
// after the buttons one of eight numbers for the hat's 45-degree sectors.
int PollControllers();
// Unacquires and releases every device; the ready flag goes.
void ReleaseControllers();
// The controllers are set up and acquired.
bool ControllersEnumerated();

// What the proxy knows of one controller, for tests and the console.
int ControllerCount();
const char* ControllerName(int index);
int32_t ControllerEnableValue(int index);
int32_t ControllerHighestButton(int index);
