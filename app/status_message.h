// The timed status message at the bottom of the map: any module shows a line
// there, and it goes away by itself 10 s later. GUI thread.
#pragma once

#include <cstddef>

// Longest text kept; a longer one is cut.
constexpr size_t StatusMessageSize = 256;
// Seconds a message stays.
constexpr double StatusMessageLifetime = 10.0;

// Shows the text from now on (an empty or null text shows nothing).
void ShowStatusMessage(const char* text);
// The text of the message shown, or "" when none is.
const char* GetStatusMessage();
// Clears the message once its time is up; true while it stays. now: seconds
// of the program clock.
bool ExpireStatusMessage(double now);
