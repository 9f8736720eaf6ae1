// Stand-ins for the local map services the links' ready step calls, until
// the map tiles code lands.
void LoadMapContent(int) {}  // until the real one lands
int FindMapsAtPosition() { return 0; }  // until the real one lands
