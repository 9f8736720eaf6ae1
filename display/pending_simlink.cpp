// Stand-ins for the map display services the links' ready step calls,
// until the display lands.
void FreeMapBuffers() {}  // until the real one lands
