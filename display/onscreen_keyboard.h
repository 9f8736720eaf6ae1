// The on-screen keyboard of the georeference editor: its 23 click zones
// (used instead of the bezel's while GeorefEdit is on), their fit to the
// keyboard picture at display start, and its drawing. GUI thread only.
#pragma once

#include "app/layout_tables.h"

#include <array>

constexpr int GeorefKeyCount = 23;
// Zone 22 covers the whole screen: the map area while the keyboard is up,
// and the one zone tested while the bezel is hidden.
constexpr int GeorefWholeScreenKey = 22;
extern std::array<Hotspot, GeorefKeyCount> GeorefKeyTable;

// Fits zones 0..21 to the keyboard pictures (slots 43, 45, 46); a picture
// that did not load gives zones of no width.
void LayoutKeypad();
// The keyboard at the right edge with its title, key labels, field marks and
// the four field texts; nothing while GeorefEdit is off.
void DrawOnScreenKeyboard();
