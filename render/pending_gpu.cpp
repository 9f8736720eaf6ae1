// Stand-ins for the renderer's text, font and snapshot modules, until they land.
#include "render/bitmap_fonts.h"
#include "render/snapshot.h"
#include "render/system_text.h"

void LoadBitmapFonts() {}  // until the real one lands
void CreateTextObjects(ID3D11Device*) {}  // until the real one lands
void ReleaseTextObjects() {}  // until the real one lands
bool CreateSnapshotTarget(ID3D11Device*, int, int) { return false; }  // until the real one lands
void ReleaseSnapshotTarget() {}  // until the real one lands
