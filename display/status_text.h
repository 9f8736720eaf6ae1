// The status texts the per-frame update builds and the status layer and the
// 500 x 100 window print: the mode line or the aircraft line, the two
// flight-plan lines, and the timed status message. GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>

struct StatusLine {
    char text[128];
    uint8_t shown;
};
// Lines 1 to 3 and the status message (index 3).
extern StatusLine StatusLines[4];

// "OAT: %3d %cC" (or the minus form, or Fahrenheit); %c is 0xBA.
void FormatTemperatureText(char* out, size_t size, double celsius, bool inCelsius);

// The inputs of line 1 besides the settings.
struct StatusLineInputs {
    bool followingTarget;
    bool northUp;
    const char* followedCallsign;
    double targetSpeed, targetHeading, targetAltitude;
    int32_t lastButton;
    double chartLevelScale;  // the zoom shown in local-map mode
    const char* gpwsText;
    const char* temperatureText;
    const char* trafficText;  // "AI Mode / " ...; "" when off
};
// Line 1 by MenuState: the modes (1) or the aircraft's values (2 and up).
void FormatStatusLine1(char* out, size_t size, const StatusLineInputs& in);
// " / GPWS - Departure" ... by PilotFlightmode; "" without GPWSOn.
const char* GpwsPhaseText(bool gpwsOn, int flightMode, int automaticPhase);
// "hh:mm:ss" of a time in seconds; negative counts as 0; hours wrap at 24.
void FormatEteClock(char* out, size_t size, double seconds);
// The flight-plan lines 2 and 3; line 3 only when the destination differs
// from the active waypoint.
void FormatPlanLines(const char* activeIdent, const char* destinationIdent, double waypointEte,
                     double ete, double waypointDistanceM, double routeRemainingNm, double groundSpeed,
                     bool planOn, StatusLine* line2, StatusLine* line3);
