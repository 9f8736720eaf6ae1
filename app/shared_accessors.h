// The Track setting as the display and the lamps read it.
#pragma once

// The Track setting: 0 no vector, 1 the flown minute, 2 a fixed length.
int GetTrackMode();
