// Following a traffic target: the map centre stays on one aircraft of the
// traffic target list, moved on between its reports, until the user ends it
// or the aircraft leaves the list. The state is FollowTrafficMode and
// FollowedTargetIndex of the map view and the callsign kept here. GUI thread.
#pragma once

#include <cstddef>

// The right click on the traffic zone: ends a running follow, else follows
// the target nearest the map centre. False when there was none to follow.
bool ToggleTrafficFollow();
// Follows target i of the traffic target list; false when there is no such target.
bool StartFollowingTarget(int i);
// Ends the following; the map follows the aircraft again.
void StopFollowingTarget();
bool IsFollowingTarget();
const char* GetFollowedCallsign();
// The followed target's ground speed (kt), true heading (degrees) and
// altitude (ft) as the status line prints them; false while none is followed.
bool GetFollowedTargetValues(double* groundSpeed, double* headingDeg, double* altitude);

// Once a frame, while the map is panned and its background can follow (a
// local sheet set whole, or tiles): finds the followed callsign, first at its
// last index, and puts the map centre on its position moved on to now. A
// target that left the list ends the following with the refusal sound and
// the map back on the aircraft. A pan ended elsewhere (Home) ends it quietly.
void FollowTrafficTarget(double now, bool mapReady);
// The traffic pass rebuilt the list: the followed callsign's index in it.
void RefindFollowedTarget();
// The position between reports: value + (value - previous) x elapsed
// seconds since the report (nothing before it).
double ExtrapolateFollowed(double value, double previous, double elapsed);
