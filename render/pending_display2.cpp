// Stand-ins for the renderer's text calls the display makes, until the text
// modules land.
#include "render/bitmap_fonts.h"
#include "render/system_text.h"

static int CurrentFontSize = 8;

void DrawFontString(float, float, float, uint32_t, const char*, uint32_t) {}  // until the real one lands
void DrawTextRotated(float, float, float, uint32_t, const char*, double, uint32_t) {}  // until the real one lands
void DrawTextLayoutRotated(float, float, float, uint32_t, const char*, double, uint32_t, uint32_t) {}  // until the real one lands
void MeasureTextOutline(OutlinePoint* o, OutlinePoint* f, double, const char*, uint32_t, double x, double y) { for (int i = 0; i < 5; i++) o[i] = f[i] = {float(x), float(y), 0}; }  // until the real one lands
bool IsOnScreen(double x, double y) { return x >= 0 && y >= 0 && x <= 640 && y <= 480; }  // until the real one lands
int SelectBitmapFont(int id) { return id == 121 ? 59 : 60; }  // until the real one lands
void SetFontSize(int size) { CurrentFontSize = size; }  // until the real one lands
int GetFontSize() { return CurrentFontSize; }  // until the real one lands
void DrawBitmapText(ID3D11ShaderResourceView*, const char*, float, float, uint32_t, uint32_t, float, uint8_t, uint8_t) {}  // until the real one lands
HRESULT DrawBitmapTextBlock(ID3D11ShaderResourceView*, const char* const*, int, const ScreenRect*, float, uint32_t, uint32_t, float, uint8_t, uint8_t) { return 0; }  // until the real one lands
