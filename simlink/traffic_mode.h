// The traffic mode the program shows: the RadarMode setting applied to the
// simulator link (0 off, 1 TCAS traffic, 2 AI or multiplayer traffic with
// labels). GUI thread.
#pragma once

#include <cstdint>

// The mode in effect: 0 off, 1 TCAS traffic, 2 AI/multiplayer traffic.
extern int32_t TrafficDisplayMode;
// The traffic layer labels its targets; set together with mode 2.
extern uint8_t TrafficLabels;

// Applies the wanted RadarMode: 1 and 2 start the traffic data and keep their
// mode when it started, else 0; 2 also shows multiplayer traffic; anything
// else switches traffic off.
void ApplyTrafficMode();
// The wanted RadarMode differs from the one last applied.
bool IsTrafficModeOutdated();
// Nothing applied: the next frame applies RadarMode afresh.
void ResetTrafficMode();
// The Prepar3D/FSX connection opened: the traffic, multiplayer and plan
// options that waited for it take effect.
void ApplyStartupTrafficOptions();
// When that connection last opened, program-clock seconds (0: never).
double GetSimLinkOpenTime();
