// Pins the process to one processor core.
#include "app/processor_core.h"

#include "app/main_window.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"
#include "platform/threads.h"

#include <cstdio>
#include <cstdlib>

// 4095 = 12 cores: from there on the process keeps its affinity.
static const DWORD_PTR LargestUsableMask = 4094;

int HighestCoreOfMask(DWORD_PTR systemMask)
{
    if (systemMask == 0 || systemMask > LargestUsableMask)
        return -1;
    DWORD_PTR ones = 1;
    for (int n = 0; n < 12; ++n, ones = (ones << 1) | 1) {
        if (ones == systemMask)
            return n;
    }
    return -1;
}

DWORD_PTR AffinityForCore(DWORD_PTR systemMask, int highest, int configured)
{
    // A shift by a negative or too large count would be undefined.
    if (configured >= 0 && configured < 12 && (static_cast<DWORD_PTR>(1) << configured) < systemMask)
        return static_cast<DWORD_PTR>(1) << configured;
    return static_cast<DWORD_PTR>(1) << highest;
}

void ApplyProcessorCore()
{
    HANDLE process = GetCurrentProcess();
    DWORD_PTR processMask = 0, systemMask = 0;
    if (!GetProcessAffinityMask(process, &processMask, &systemMask))
        return;
    int highest = HighestCoreOfMask(systemMask);
    if (highest < 0)
        return;
    char fallback[16], text[9];
    std::snprintf(fallback, sizeof(fallback), "%d", highest);
    GetPrivateProfileStringA(SystemSection, "UseProcessorCore", fallback, text, sizeof(text), LocalIniFile);
    int configured = std::atoi(text);
    SetProcessAffinityMask(process, AffinityForCore(systemMask, highest, configured));
    std::snprintf(MainWindowState.coreText, sizeof(MainWindowState.coreText), "%d", configured);
}
