// Stand-ins for the terrain and data-file services the renderer calls, until
// the map tiles and terrain code lands.
#include "maps/system_files.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"

static uint8_t g_palette[1024];

PaletteImageData PaletteImageBuffer;  // until the real one lands
uint8_t* ElevationGrids[kElevationGridCount];  // until the real one lands
int LoadMakerImageFile(const char*) { return 0; }  // until the real one lands
void GetMakerImagePalette(uint8_t** palette) { *palette = g_palette; }  // until the real one lands
uint32_t GetMakerImageDataOffset() { return 1078; }  // until the real one lands
bool GetTerrainColorRgb(float* rgb, int) { rgb[0] = rgb[1] = rgb[2] = 0.0f; return true; }  // until the real one lands
