// Bitmap fonts and glyph text.
#pragma once

// Reads the bitmap font files of the Bitmaps folder.
void LoadBitmapFonts();
