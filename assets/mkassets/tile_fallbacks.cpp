// The pictures the map shows in place of a tile: none to be had, none on the
// server, and a fully transparent one for missing radar tiles.
#include "pictures.h"

// A light grey tile with a faint cross-hatch, so a gap reads as "no map".
static void DrawPlaceholder(Canvas& c, uint32_t ground, uint32_t hatch)
{
    c.Clear(Hex(ground));
    for (int k = -256; k < 256; k += 32)
        c.Line({static_cast<double>(k), 256}, {static_cast<double>(k + 256), 0}, 2, Hex(hatch, 0.5f));
    c.StrokeRoundRect(0, 0, 256, 256, 0, 1, Hex(hatch, 0.6f));
}

bool WriteTileFallbacks(const std::string& system)
{
    Canvas none(256, 256);
    DrawPlaceholder(none, 0xE9E7E1, 0xB8B4AA);
    bool ok = SavePicture(none, system, "notile.jpg");
    Canvas missing(256, 256);
    DrawPlaceholder(missing, 0xE4E8EC, 0xA8B4C0);
    ok = SavePicture(missing, system, "no_picture.jpg") && ok;
    Canvas clear(256, 256);
    return SavePicture(clear, system, "transparent.png") && ok;
}
