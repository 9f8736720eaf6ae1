// The command table of the 117 named commands, the button assignments read
// from the settings file, and the one pending-command slot that buttons
// arriving on the simulator link threads fill and the message loop empties.
#pragma once

#include <cstdint>

constexpr int CommandCount = 117;
// Rows 96.. are renamed after the map types the softkey page places there.
constexpr int MapTypeCommandFirst = 96;

struct CommandRow {
    char name[13];      // INI key of the command's button, matched by OnSimButton
    uint32_t sublevel;  // Softkeysublevel selected before the command runs
    uint32_t level;     // menu level whose handler runs it
    uint32_t softkey;   // softkey number passed to that handler
};

// The name of row index (empty for an index outside the table). GUI thread.
const char* GetCommandName(int index);
// Renames row 96 + i (at most 12 characters).
void SetCommandName(uint32_t i, const char* name);

// Reads the button of every command from the section of ".\Plovik.ini"
// named after the simulator; works once per run.
void LoadButtonAssignments(const char* section);

// Link threads: a button the pilot pressed (debounced 0.3 s); with TopMost on
// its assigned command becomes the pending command.
void OnSimButton(int32_t button);
// GUI thread: true with the pending command's index when there is one.
bool GetPendingCommand(int* index);
// GUI thread: empties the slot once the command has run.
void ClearPendingCommand();
// The last button OnSimButton accepted.
int32_t GetLastButton();
