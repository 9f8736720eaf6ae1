// What the click zones of the bezel do (their handlers are named in the
// click-zone table of the layout), the router of clicks, drags and wheel
// steps on the map area, the zoom steps, the scale bar, flight-plan edits on
// the map, the NEAREST page and small services of the screen buttons.
// GUI thread only.
#pragma once

#include <cstdint>

// Mouse events of the click zones.
enum : int32_t {
    ZoneLeftClick = 1,
    ZoneRightClick = 2,
    ZoneDrag = 3,
    ZoneWheelForward = 4,
    ZoneWheelBack = 8,
};

// A point packed as the click zones receive it: x low, y high (i16 each).
uint32_t PackZonePoint(int x, int y);
int ZonePointX(uint32_t point);
int ZonePointY(uint32_t point);

// The map-area router: clicks, drags and wheel steps on the map.
bool MapAreaMouse(uint32_t point, int32_t event);
void ZoomOutStep(uint32_t point, int32_t event);
void ZoomInStep(uint32_t point, int32_t event);
// True when (x, y) was on the scale bar (the zoom then follows the row hit).
bool ScaleBarClick(int x, int y);
// The map click of the flight-plan page; true when it took the click.
bool EditFlightPlanAtPoint(int x, int y, int clickX, int clickY);
// Forgets the manual position's drag anchor while that mode is on.
void ClearClickAnchor();
void ForgetClickAnchor();
void ToggleNearestPage();
bool IsNearestPageOpen();
// While the NEAREST page is open the airport view follows the map centre;
// returns the page flag.
uint8_t RecenterNearestPage();
void ToggleDirToNearest();
// The direct-to-nearest line is on.
bool IsDirToNearestOn();
// No drag, anchor, direct-to-nearest or saved NEAREST view, as at the
// start (tests).
void ResetClickZones();
// event 1 lowers GPSMode (not below 0), event 2 raises it (not above 4).
void StepGpsMode(uint32_t point, int32_t event);

// Tooltip text and value of softkey n (0..20), kept in screen button 18 + n.
void SetSoftkeyTooltip(int n, const char* text, int value);
int GetSoftkeyTooltipValue(int n);
// The point where a screen button was last released.
void GetLastReleasePoint(int* x, int* y);
void SetLastReleasePoint(int x, int y);
void ClearParkPosition();
int32_t GetDimLevel();
uint8_t IsBezelVisible();

// The options' switch that lets the brightness and transparency zones
// change terrain and airport-map transparency.
extern uint8_t TransparencyControls;

// Set by the zoom, windrose, flight plan, map-type, track-up and track zones,
// the back zone and the map area; the frame update takes it.
bool TakeUserActivity();
