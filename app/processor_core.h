// Pins the process to one processor core: the highest one, or the one that
// the setting UseProcessorCore names when the machine has it.
#pragma once

#include "platform/win32.h"

// The highest core index of a system mask whose bits form one run from bit 0,
// or -1 for any other mask (none, holes, 12 or more cores).
int HighestCoreOfMask(DWORD_PTR systemMask);
// The affinity bit for the configured core: 1 << configured when that core
// exists (and is not the whole mask), else 1 << highest.
DWORD_PTR AffinityForCore(DWORD_PTR systemMask, int highest, int configured);
// Reads UseProcessorCore, sets the affinity and keeps the core number as text
// (MainWindowState.coreText); leaves everything alone when the mask is unusable.
void ApplyProcessorCore();
