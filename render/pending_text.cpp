// Stand-ins for the shell accessor and the display overlay the snapshot calls.
#include <cstdint>

uint8_t RecenterNearestPage() { return 0; }  // until the real one lands
void DrawAirportInfoBox() {}  // until the real one lands
