// Display values the program root module reads, declared here until the
// display's own module declares them.
#pragma once

#include <cstdint>

// Zoom-out steps of the chart smoothing.
extern int32_t ChartZoomOutSteps;
