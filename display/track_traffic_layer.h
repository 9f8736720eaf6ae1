// The flown track, the traffic targets with their labels, the track or air
// vector ahead of the aircraft and the blinking direct-to line: layers of the
// whole-screen frame, drawn on the map and turned with it. GUI thread only.
#pragma once

#include "platform/win32.h"

#include <cstdint>

// The track: the newest 1500 points as a polyline, older ones as dots.
// Returns the points put into the polyline (0 when none was drawn).
int DrawTrackPlot(HWND window, float angle);
// A bar from the centre upwards in the track's colour and width, while its
// options are being set and no track shows them.
void DrawTrackPlotPreview(int trackPoints, float mapAngle, float trackAngle);
// The targets of the traffic advisory; with labels in AI/multiplayer mode.
void DrawTrafficTargets(float mapAngle, float headingOffset);
// The track or air vector ahead of the aircraft, straight or curved by the bank.
void DrawTrackVector(float mapAngle);
// The line to the nearest airport, shown in the blink's on phase.
void DrawDirectToLine(float mapAngle);

// Leader line and label of a target at symbol centre (ax, ay): the label
// lies away from the direction of flight (radians).
void TrafficLabelOffset(float heading, float groundSpeed, float* dx, float* dy);
// Degrees a second, with the sign of -bank; 0 without ground speed.
double TurnRate(double bankRad, double groundSpeed);
