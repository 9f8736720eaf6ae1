// The georeference editor's keyboard: click zones, their fit to the picture
// and the drawing of keys, field marks and typed values.
#include "display/onscreen_keyboard.h"

#include "app/keypad.h"
#include "app/language.h"
#include "app/settings.h"
#include "display/chart_view.h"
#include "display/draw_helpers.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "render/bitmap_fonts.h"
#include "render/quads.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float KeyboardScale = 0.478f;
constexpr int KeyHeight = 43;
constexpr uint32_t White = 0xFFFFFFFFu;
// Rows of the fields (text modes 1..4) and of the number keys.
constexpr int FieldRowY[KeypadFieldCount] = {100, 147, 194, 241};
constexpr int FirstFieldKey = 3;

constexpr std::array<Hotspot, GeorefKeyCount> StartKeys()
{
    return {{
        {0, 428, 53, 94, 37, "Backspace", 1, KeyboardBackspace},
        {1, 528, 53, 38, 37, "Save", 1, KeyboardSave},
        {2, 582, 53, 38, 37, "Exit", 1, KeyboardClose},
        {3, 428, 99, 94, 37, "Longitude1", 1, SelectLongitude1},
        {4, 428, 142, 94, 37, "Latitude1", 1, SelectLatitude1},
        {5, 428, 184, 94, 37, "Longitude2", 1, SelectLongitude2},
        {6, 428, 226, 94, 37, "Latitude2", 1, SelectLatitude2},
        {7, 428, 269, 41, 47, "7", 1, KeypadKey7},
        {8, 487, 269, 41, 47, "8", 1, KeypadKey8},
        {9, 540, 269, 41, 47, "9", 1, KeypadKey9},
        {10, 593, 269, 41, 47, "-", 1, KeypadKeyMinus},
        {11, 428, 321, 41, 47, "4", 1, KeypadKey4},
        {12, 487, 321, 41, 47, "5", 1, KeypadKey5},
        {13, 540, 321, 41, 47, "6", 1, KeypadKey6},
        {14, 593, 321, 41, 47, "+", 1, KeypadKeySpace},
        {15, 428, 374, 41, 47, "1", 1, KeypadKey1},
        {16, 487, 374, 41, 47, "2", 1, KeypadKey2},
        {17, 540, 374, 41, 47, "3", 1, KeypadKey3},
        {18, 593, 374, 41, 47, "Enter", 1, OnZoomIn},
        {19, 428, 427, 93, 47, "0", 1, KeypadKey0},
        {20, 540, 427, 41, 47, ".", 1, KeypadKeyPoint},
        {21, 593, 427, 41, 47, "Enter", 1, OnZoomOut},
        {22, 0, 0, 5000, 3000, "move map ", 3, OnMapAreaClick},
    }};
}

// The labels of keys 7..21, as the keys show them.
constexpr const char* KeyLabels[GeorefKeyCount] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "7", "8", "9", "-", "4", "5", "6", "SPACE",
    "1", "2", "3", "ZOOM\n    +", "0", ".", "ZOOM\n    -", nullptr};

float SpriteWidth(int slot) { return static_cast<float>(SpriteTable[slot].width); }

// The keyboard's left edge on the virtual screen.
int KeyboardLeft() { return static_cast<int>(std::trunc(640.0f - KeyboardScale * SpriteWidth(SpriteKeyboard))); }

// Keys of one row placed one after the other from x.
void PlaceRow(int first, int last, int x, int y, const int* widths)
{
    for (int k = first; k <= last; ++k) {
        Hotspot& key = GeorefKeyTable[static_cast<size_t>(k)];
        key.x = x;
        key.y = y;
        key.w = widths[k - first];
        key.h = KeyHeight;
        x += key.w;
    }
}

// A key picture stretched over a key's rectangle.
void DrawKeyPicture(int slot, int x, int y, int w, int h)
{
    const SpriteSlot& s = SpriteTable[slot];
    if (!s.loaded || !s.texture || w <= 0)
        return;
    ScreenRect r{static_cast<float>(x), static_cast<float>(x + w), static_cast<float>(y),
                 static_cast<float>(y + h)};
    DrawTexturedQuadRotated(s.texture, &r, SpriteColour(s, White), 0.0f, QuadPlacement::VirtualScreen);
}

void DrawFieldRow(int mode)
{
    const Hotspot& key = GeorefKeyTable[static_cast<size_t>(FirstFieldKey + mode - 1)];
    if (TextMode == mode)
        DrawKeyPicture(SpriteKeyYellow, key.x, key.y, key.w, key.h);
    // Beside the field: red when the last save refused it, green once its
    // edge is picked on the chart.
    const ChartEdgeMark* mark = GetChartEdgeMark(mode - 1);
    int besideX = key.x + key.w, besideW = key.w / 2;
    if (GetKeypadFieldError(mode))
        DrawKeyPicture(SpriteKeyRed, besideX, key.y, besideW, key.h);
    else if (mark && IsChartEdgePicked(*mark))
        DrawKeyPicture(SpriteKeyGreen, besideX, key.y, besideW, key.h);
    DrawText(GetEditText(mode), key.x + 6.0f, key.y + 12.0f, White, 0);
    const char* value = GetKeypadField(mode);
    if (value[0])
        DrawText(value, besideX + 4.0f, key.y + 12.0f, White, 0);
}

}  // namespace

constinit std::array<Hotspot, GeorefKeyCount> GeorefKeyTable = StartKeys();

void LayoutKeypad()
{
    float kw = SpriteWidth(SpriteKeyboard), kr = SpriteWidth(SpriteKeyRed), kg = SpriteWidth(SpriteKeyGreen);
    // Without the pictures the keys have no width and cannot be hit.
    float q = kr > 0 ? (kw - 2) * 0.239f / kr : 0.0f;
    int x0 = KeyboardLeft();
    int wide = static_cast<int>(std::trunc(kg * q)), narrow = static_cast<int>(std::trunc(kg * q / 2));
    const int first[3] = {wide, narrow, narrow};
    PlaceRow(0, 0, x0, 53, first);
    GeorefKeyTable[1].x = static_cast<int>(std::trunc(640.0f - 0.239f * kw));
    GeorefKeyTable[1].y = 53;
    GeorefKeyTable[1].w = narrow;
    GeorefKeyTable[1].h = KeyHeight;
    GeorefKeyTable[2].x = static_cast<int>(std::trunc(640.0f - 0.1195f * kw));
    GeorefKeyTable[2].y = 53;
    GeorefKeyTable[2].w = narrow;
    GeorefKeyTable[2].h = KeyHeight;
    for (int mode = 1; mode <= KeypadFieldCount; ++mode)
        PlaceRow(FirstFieldKey + mode - 1, FirstFieldKey + mode - 1, x0, FieldRowY[mode - 1], &wide);
    const int four[4] = {narrow, narrow, narrow, narrow};
    PlaceRow(7, 10, x0, 288, four);
    PlaceRow(11, 14, x0, 335, four);
    PlaceRow(15, 18, x0, 382, four);
    const int last[3] = {wide, narrow, narrow};
    PlaceRow(19, 21, x0, 429, last);
}

void DrawOnScreenKeyboard()
{
    if (!Settings.GeorefEdit)
        return;
    float kw = SpriteWidth(SpriteKeyboard);
    int x0 = KeyboardLeft();
    DrawSprite(SpriteKeyboard, static_cast<float>(x0), 0, White, 0, KeyboardScale, QuadPlacement::VirtualScreen);
    SetFontSize(12);
    DrawText(GetEditText(0), x0 + 3.0f, 3, White, 0);
    DrawText("Backspace", x0 + 12.0f, 67, White, 0);
    DrawText("Save", std::trunc(640.0f - 0.239f * kw + 12), 67, White, 0);
    DrawText("Close", std::trunc(640.0f - 0.12f * kw + 12), 67, White, 0);
    for (int mode = 1; mode <= KeypadFieldCount; ++mode)
        DrawFieldRow(mode);
    for (int k = 7; k <= 21; ++k) {
        const Hotspot& key = GeorefKeyTable[static_cast<size_t>(k)];
        // The two-line zoom labels are laid out by their own blanks.
        bool twoLines = std::strchr(KeyLabels[k], '\n') != nullptr;
        DrawText(KeyLabels[k], twoLines ? key.x + 6.0f : key.x + key.w / 2.0f, key.y + (twoLines ? 4.0f : 12.0f),
                 White, twoLines ? 0 : 1);
    }
}
