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

// The slots the display draws by name, with their files.
enum : int {
    SpriteBezel = 0,                   // "G500_16x9.png" by the layout
    SpriteTrafficAircraft = 3,         // "Aircraft3.png", an aircraft without class
    SpriteWaypoint = RouteSymbolWaypoint, // "wpt.png"
    SpriteTrafficClass0 = 5,           // "tc00.bmp" .. "tc11.bmp" by class
    SpriteWindArrow = 17,              // "Arrow2.png"
    SpriteSoftkeyTouch = 18,           // "SoftkeyA2.png"; the softkey faces: touch mode and plain, each
    SpriteWindVector = 19,             // "WV2.png"
    SpriteWindRose = 20,               // "Rosea.png"
    SpriteTower = 21,                  // "TWR.png"
    SpriteRouteVor = RouteSymbolVor,   // "vor.png"
    SpriteRouteNdb = RouteSymbolNdb,   // "ndb.png"
    SpriteRouteAirport = RouteSymbolAirport, // "apt.png"
    SpriteKnobPointer = 25,            // "G500_Knob.png"
    SpriteBezelLamp = 26,              // "G500_16x9_Bulb.png" by the layout
    SpriteReferencePoint = 27,         // "ARP.png"
    SpriteAirportSheet = 28,           // "Airports.png"
    SpriteFix = 34,                    // "Fix.png"
    SpriteOval = 35,                   // "Oval.png"
    SpriteTerrainLegend1 = 37,         // "Legende1.png"
    SpriteTerrainLegend2 = 38,         // "Legende2.png"
    SpriteNorthArrow = 39,             // "North1.png"
    SpriteTransparencyScaleLower = 41, // "G500_16X9_TranA.png" by the layout
    SpriteWindRoseChart = 42,          // "Rose1a.png"
    SpriteKeyboard = 43,               // "G500_4X3_Keyboard.png"
    SpriteKeyYellow = 44,              // "key_yellow.png"
    SpriteKeyRed = 45,                 // "key_red.png"
    SpriteKeyGreen = 46,               // "key_green.png"
    SpriteVerticalMark = 47,           // "vline.png"
    SpriteHorizontalMark = 48,         // "hline.png"
    SpriteTrackDot = 49,               // "dot.png"
    SpriteNdb = 51,                    // "ndb32.png"
    SpriteMarker = 52,                 // "Marker64.png"
    SpriteVorRose = 53,                // "vorrose.png"
    SpriteVor = 54,                    // "vor32.png"
    SpriteVorDme = 55,                 // "vor-dme.png"
    SpriteVortac = 56,                 // "vortac.png"
    SpriteDme = 57,                    // "DME.png"
    SpriteAirportUnpaved = 58,         // "aptup.png"
    SpriteFontPage121 = 59,            // "Arial_121_00.png"
    SpriteFontPage16 = 60,             // "Arial_16_00.png"
    SpriteSoftkeyTouchPressed = 61,    // "SoftkeyB2.png"; normal and pressed
    SpriteVorRose128 = 62,             // "VOR_128.png"
    SpriteObstacle = 67,               // "obs1a.png", below 1000 ft high
    SpriteTallObstacle = 69,           // "obs3a.png", 1000 ft or more
    SpriteAirportPaved = 71,           // "aptp.png"
    SpriteAirportWater = 72,           // "apt2.png"
    SpriteAirportOther = 73,           // "apt3.png"
    SpriteVorRose512 = 74,             // "vor_512.png"
    SpriteTransparencyScale = 75,      // "G500_16X9_Tran.png" by the layout
    SpriteParking = 76,                // "Parking.png"
    SpriteSoftkey = 77,                // "SoftkeyA1.png"
    SpriteSoftkeyPressed = 78,         // "SoftkeyB1.png"
    SpriteAircraft = 80,               // "Aircraft2.png", the one required picture
    SpriteLastNamed = SpriteAircraft,  // the highest of them
};
static_assert(SpriteLastNamed < SpriteSlotCount, "every slot drawn by name lies in the table");

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
