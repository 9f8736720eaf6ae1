// The map program's entry: start-up in a fixed order, the message loop that
// draws a frame in every idle pass, and the shutdown in a fixed order.
// GUI thread only.
#pragma once

#include "platform/win32.h"

// The command line as the runtime keeps it; main sets both before WinMain.
extern int ProgramArgumentCount;
extern char** ProgramArguments;

int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// The pieces of WinMain, in their order.
void StartUpProgram(HINSTANCE instance);
void RunMessageLoop();
void ShutDownProgram();

// With exactly one argument (a count of 2), its atoi value; else 0.
int InstanceArgumentOf(int argumentCount, char** arguments);

HINSTANCE GetInstanceHandle();
int GetInstanceArgument();
bool IsStartingUp();
// The Exit command's request to end the loop, and the settings reader's clear.
void SetQuitRequest();
void ClearQuitRequest();
bool IsQuitRequested();
// The image library's messages go to the log.
void OnImageLibraryMessage(int format, const char* message);
