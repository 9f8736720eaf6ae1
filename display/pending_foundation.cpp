// Display values the program root module reads, until the display lands them.
#include "display/pending_foundation.h"

int32_t ChartZoomOutSteps = 0;  // until the real one lands
