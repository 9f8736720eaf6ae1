// Neighbours that the start-up, the window and the frame driver call,
// declared here until their own modules land (each owner then declares them
// in its header, and this block shrinks).
#pragma once

#include "app/program_root.h"
#include "platform/messagebox.h"
#include "platform/win32.h"

#include <cstdint>

// Commands, click zones and the track (shell).
int AskExitConfirmation();
void ShowAboutBox();
void ExecuteCommand(uint32_t index);
void ClearTrack();
bool MapAreaMouse(uint32_t point, int32_t event);
void SoftkeyCommand(uint32_t key);
void OptionsMenuCommand(int command);
void StopSimulatorLink();

// Prepar3D/FSX connector.
void UnloadP3dConnector();
