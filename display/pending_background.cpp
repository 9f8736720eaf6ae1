// Stand-ins for the chart view, airport charts, weather radar, the links'
// radar switch and terrain awareness that the background layers call, until
// they land: no chart, no radar, no terrain.
#include "display/pending_display.h"

static const ChartEdgeMark NoEdgeMarks[4] = {{0, 0, -10000}, {0, 0, -10000}, {0, 0, -10000}, {0, 0, -10000}};

const SpriteSlot* GetChartSprite() { return nullptr; }  // until the real one lands
float GetChartZoom() { return 1.0f; }  // until the real one lands
void GetChartOrigin(float* x, float* y) { *x = 320; *y = 240; }  // until the real one lands
const ChartEdgeMark* GetChartEdgeMarks() { return NoEdgeMarks; }  // until the real one lands
uint8_t LoadChartImage(char*, int) { return 0; }  // until the real one lands
bool OpenChartGeoref(const char*) { return false; }  // until the real one lands
void FitChartToScreen() {}  // until the real one lands
void DrawThumbnails(int, int, int, int) {}  // until the real one lands
void DrawAirportMapImage(int, int, float, uint8_t, float, uint8_t) {}  // until the real one lands
bool IsTerrainElevationOn() { return false; }  // until the real one lands
void RunGpwsAndDrawTerrain(int, int, float, uint8_t, float, uint8_t, uint8_t, uint8_t, float) {}  // until the real one lands
void UpdateAltitudeCallouts() {}  // until the real one lands
