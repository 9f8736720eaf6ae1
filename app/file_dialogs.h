// The open and save file dialogs of the map program. While the game runs
// full screen on FS2004 no dialog can show over it: the status line says so
// and the dialog answers "cancelled". GUI thread.
#pragma once

// filter: pairs of texts ended by an empty one, e.g. "Plans *.pln\0*.pln\0".
// True with the chosen path in path (at least 512 bytes); false leaves path
// as it was. The open dialog asks for a file that exists.
bool OpenFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder);
// path holds the proposed name on the way in.
bool SaveFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder);
// Lets the user pick a plan file in the Airports folder, loads it and makes
// it the active plan; false when cancelled or the file is missing.
bool OpenFlightPlanDialog();
// Lets the user pick a file name and writes the plan there.
void SaveFlightPlanDialog();
// The main window's client area covers the whole screen.
bool IsFullScreenWindow();
