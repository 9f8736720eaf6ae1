// Stand-in for the shell's loading flag that the panel reads, until it lands.
#include "display/pending_display.h"

bool IsLoadingBusy() { return false; }  // until the real one lands
