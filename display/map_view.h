// The map view: centre, scale, zoom, panning, north-up or track-up, and the
// projection to the screen.
#pragma once

// The point of the 640 x 480 virtual screen at which the map centre is drawn.
void GetScreenCentre(float* x, float* y);
