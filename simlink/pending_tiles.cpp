// Stand-in for the sound call of the map types, until the sound binding lands.
#include "maps/pending_tiles.h"

void PlaySoundNumber(int) {}  // until the real one lands
