// The bitmap fonts tvl-mkassets draws from an installed free font.
#pragma once

#include <string>

// Writes Arial_16.fnt, Arial_14.fnt and Arial_121.fnt with their page images
// into the Bitmaps folder; false (with a message) when something failed.
bool WriteBitmapFonts(const std::string& bitmaps);
