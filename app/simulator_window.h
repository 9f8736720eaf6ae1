// The simulator's own main window: brought to the front after start-up and
// the receiver of keys the program does not take. GUI thread only.
#pragma once

#include "platform/win32.h"

// Brings the FS98-class window forward (simulators 1, 2 and 5) unless the
// user switched the simulator focus off.
void BringSimulatorToFront();
// Posts the message to the simulator's window when there is one.
void PostToSimulatorWindow(UINT message, WPARAM wParam, LPARAM lParam);
void ResetSimulatorWindowCache();
// The simulator-focus switch of the options menu (on at start).
bool IsSimulatorFocusEnabled();
void SetSimulatorFocusEnabled(bool enabled);
