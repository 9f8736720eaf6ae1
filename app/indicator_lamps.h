// The eleven indicator lamps of the bezel, set every frame from the modes
// they show, and the blink of the connection lamp while something loads.
// GUI thread.
#pragma once

#include <cstdint>

enum IndicatorLamp {
    LampSoftkeys = 0,
    LampFlightPlan = 1,
    LampTrackUp = 2,
    LampSoftkeysRight = 3,
    LampTraffic = 4,
    LampNearestPage = 5,
    LampMapPanning = 6,
    LampStatusPage = 7,
    LampTrack = 8,
    LampLoading = 9,
    LampWindrose = 10,
    IndicatorLampCount = 11
};

// Sets the lamps from the current modes (blink: the half-second phase) and
// rebuilds the softkey bar for the page in use.
void UpdateIndicatorLamps(bool blink);
// All lamps off.
void ClearIndicatorLamps();
bool IsIndicatorLampOn(int lamp);
// False in the dark half of the blink while a map or terrain load runs.
bool IsBlinkPhaseVisible();
