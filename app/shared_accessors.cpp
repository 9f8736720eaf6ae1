// The Track setting as the display and the lamps read it.
#include "app/shared_accessors.h"

#include "app/settings.h"

int GetTrackMode() { return Settings.Track; }
