// The program's settings: one field per key of Plovik.ini, named after the key,
// preset by SetDefaultSettings, filled by InitApplication and written back
// whole by SaveSettings. Written on the GUI thread at display start; fields
// that other threads read while the GUI thread may write are atomics.
#pragma once

#include <atomic>

struct SettingsBlock {
    std::atomic<bool> DebugMode{false};
    std::atomic<int> UseSimulator{7};
    // Navigation data (GUI thread only).
    int NavDatabase = 0;
    int TopMost = 1;
    char Language[8] = "en";
    char Path[512] = "";
    char Terrainpath[512] = "None";
    int MetricAltitude = 0;
    double RunwayEmergencyLength = 1000.0;
    int RunwaySurfaceEmergency = 1;
    // The remaining keys are added by the settings reader.
};

extern SettingsBlock Settings;
