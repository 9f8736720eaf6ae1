// The virtual-screen point the map centre is drawn at: map-pixel drawing is
// placed and turned about it. GUI thread only.
#pragma once

#include <cstdint>

struct ScreenPointI {
    int32_t x, y;
};

// Set by the map view at every frame start.
extern ScreenPointI ScreenCentre;

void GetScreenCentre(float* x, float* y);
