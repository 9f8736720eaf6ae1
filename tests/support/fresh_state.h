// The state a fresh test process starts with, put back before each test: the
// settings block, the log switch, the environment and the working folder.
#pragma once

// Remembers the environment and the working folder; called once before the
// first test.
void RecordFreshProcessState();
// Puts back everything RecordFreshProcessState remembered and presets the
// settings as a fresh process has them.
void RestoreFreshProcessState();
// The settings block as a fresh process has it, before SetDefaultSettings:
// no thread may be using it.
void ResetSettings();
// The program's tables that hold no resources (the nearest airports, the
// tile services' keys and URLs, the map catalogue, the local map table, the
// terrain grid, the chart index, the button assignments, the key events,
// the click zones, the softkey pages, the shared link state) as at the
// start.
void ResetProgramTables();
