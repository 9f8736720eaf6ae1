// Stand-ins for navigation data calls of the settings reader and writer,
// until the navigation modules land.
#include "app/pending_settings.h"

void ReleaseNavResources() {}  // until the real one lands
