// The command table of the 117 named commands, the button assignments read
// from the settings file, and the one pending-command slot that buttons
// arriving on the simulator link threads fill and the message loop empties.
#pragma once

#include "platform/win32.h"

#include <cstdint>

constexpr int CommandCount = 117;
// Rows 96.. are renamed after the map types the softkey page places there.
constexpr int MapTypeCommandFirst = 96;

struct SoftkeyPage;

// A command is a key of a softkey page: its page is selected (level and
// Softkeysublevel) and the key pressed there.
struct CommandRow {
    char name[13];            // INI key of the command's button, matched by OnSimButton
    const SoftkeyPage* page;  // the page whose row runs it
    int key;                  // the row's key on that page
};

// The name of row index (empty for an index outside the table). GUI thread.
const char* GetCommandName(int index);
// Renames row 96 + i (at most 12 characters).
void SetCommandName(uint32_t i, const char* name);

// Reads the button of every command from the section of ".\Plovik.ini"
// named after the simulator; works once per run.
void LoadButtonAssignments(const char* section);
// No assignments loaded, no button pending or last, as at the start; no
// link thread or helper may run (tests).
void ResetButtonAssignments();

// Link threads: a button the pilot pressed (debounced 0.3 s); with TopMost on
// its assigned command becomes the pending command.
void OnSimButton(int32_t button);
// GUI thread: true with the pending command's index when there is one.
bool GetPendingCommand(int* index);
// GUI thread: empties the slot once the command has run.
void ClearPendingCommand();
// GUI thread: runs row index as its key pressed on its page;
// nothing while the joystick set-up helper runs. Always leaves the slot empty.
void ExecuteCommand(uint32_t index);
// The last button OnSimButton accepted.
int32_t GetLastButton();
// The row of index (null outside the table).
const CommandRow* GetCommandRow(int index);
// The command index of a row name, -1 when no row has it.
int FindCommandByName(const char* name);
// The button assigned to a command in the list, -1 when none.
int32_t GetAssignedButton(int command);

// The joystick set-up helper's exchange: every assignment into ".\Joystick.ini"
// section "JoyStickButtons" and the window centre into "Joystick.txt".
void ExportButtonAssignments(const char* section, HWND window);
// Reads the helper's answer back from ".\Joystick.ini" into the list and
// into the simulator's section of ".\Plovik.ini". A value that is not a
// button number keeps the command's old assignment and is logged.
void ImportButtonAssignments(const char* section);
// Assignment mode: buttons are published to the helper, never run. Begin
// clears the idle flag before the publishing thread starts, so an end that
// comes first is never missed; End sets it and ends the thread.
void BeginButtonAssignmentMode();
void EndButtonAssignmentMode();
bool IsButtonAssignmentMode();
// Publishes the last button through the shared memory "TVLFileMappingObject"
// until assignment mode ends (a thread of its own; arg unused).
void ButtonSharedMemoryThread(void* arg);
// True while the publishing thread runs.
bool IsButtonPublisherRunning();
// The options menu's BTN ASSGN: export, run the helper, import; only while a
// simulator is connected.
void RunButtonAssignment();
