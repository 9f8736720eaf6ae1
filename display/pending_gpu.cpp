// Stand-ins for the map view services the renderer calls, until the display lands.
void GetScreenCentre(float* x, float* y) { *x = 320.0f; *y = 240.0f; }  // until the real one lands
