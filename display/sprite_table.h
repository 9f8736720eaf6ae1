// The display's pictures: the sprite table loaded at every display start
// (bezel, symbols, roses, font pages), the display's start-up with the splash
// screen and the settings reader, and its release. GUI thread only.
#pragma once

#include "platform/gpu/d3d11.h"
#include "navdata/route_symbols.h"
#include "platform/win32.h"
#include "render/picture_slot.h"

#include <cstdint>

constexpr int SpriteSlotCount = 86;
extern SpriteSlot SpriteTable[SpriteSlotCount];

// Slots the frame names.
enum : int {
    SpriteBezel = 0,
    SpriteRouteWaypoint = RouteSymbolWaypoint,
    SpriteWindArrow = 17,
    SpriteSoftkeyTouch = 18,  // the softkey faces: touch mode and plain, each
    SpriteRouteVor = RouteSymbolVor,
    SpriteRouteNdb = RouteSymbolNdb,
    SpriteRouteAirport = RouteSymbolAirport,
    SpriteBezelLamp = 26,
    SpriteFontPage121 = 59,
    SpriteFontPage16 = 60,
    SpriteSoftkeyTouchPressed = 61,  // normal and pressed
    SpriteSoftkey = 77,
    SpriteSoftkeyPressed = 78,
    SpriteAircraft = 80,  // "Aircraft2.png", the one required picture
};

// LoadTexture; when it fails, a message box names the file.
ID3D11ShaderResourceView* LoadBitmapOrWarn(const char* path, uint8_t* ok, int* width, int* height, int slot);
// The slot, or null for a number outside the table.
SpriteSlot* GetSpriteSlot(int slot);
// The file of a slot for an AspectRatio; null for the slots that hold none.
const char* SpriteFileName(int slot, int aspectRatio);

// The display's start-up: splash (once a run), pictures, layouts and the
// settings reader. A missing "Aircraft2.png" ends the process with -1.
void LoadDisplayBitmaps(HWND window, int width, int height);
// Loads every slot from the root's bitmaps folder (a warning per missing
// file) and sets the flags; false when the required aircraft is missing.
bool LoadSpriteTable(const char* root, int aspectRatio);
// The splash picture with the credits, presented and held for 2 s, once.
void DrawSplashScreen();
bool IsSplashShown();
// As at the start of a run: the next display start shows the splash (tests).
void ResetSplashShown();
// The about screen's credit line with the year.
void SetAboutYearLine(int year);
const char* GetAboutYearLine();

// Releases every display texture, stopping the tile loader first.
void ReleaseDisplayBitmaps();
// The release stage: the closing per-frame update, the textures, the renderer
// and the terrain buffers; the next display start runs in full again.
void ShutdownDisplay();

// The 4 x 4 cells of 64 units the navigation layer lays labels into.
struct LabelCell {
    int32_t value0, value1;
    int32_t x, y, width, height;
};
extern LabelCell LabelCellGrid[16];
