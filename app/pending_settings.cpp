// Stand-ins for shell calls of the settings reader and writer, until their
// modules land.
#include "app/pending_settings.h"

#include <sys/stat.h>

void TakeFilterDialogResult() {}  // until the real one lands
void LoadTrackFile() {}  // until the real one lands
void SaveTrackFile() {}  // until the real one lands
void CheckForNews() {}  // until the real one lands
