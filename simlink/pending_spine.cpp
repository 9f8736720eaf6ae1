// Stand-in for the connector unload of the shutdown, until the Prepar3D/FSX
// link lands.
#include "app/pending_spine.h"

void UnloadP3dConnector() {}  // until the real one lands
