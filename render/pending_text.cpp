// Stand-in for the display overlay the snapshot calls.
#include <cstdint>

void DrawAirportInfoBox() {}  // until the real one lands
