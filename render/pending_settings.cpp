// Stand-in for the renderer call of the settings reader, until it lands.
#include "app/pending_settings.h"

void PresentFrame() {}  // until the real one lands
