// Softkey faces (plain and pressed, two styles), the on-screen keypad and its
// key highlights.
#include "pictures.h"

// A softkey picture is square; its face fills the bottom band of faceHeight
// rows (the rest is clear), so that the rows of the bar can stand closer
// than a picture is high. The bar tints the face (the back key reddish), so
// it is light and the labels are dark. The face itself is opaque: the bar's
// tint leaves the map faintly under it, and the map's labels no longer
// read through the keys.
static bool WriteFace(const std::string& folder, const char* name, bool pressed, double faceHeight)
{
    Canvas c(512, 512);
    double top = 512 - faceHeight + 4, bottom = 508;
    Rgba upper = pressed ? Hex(0xA9B0BA) : Hex(0xF4F6F8);
    Rgba lower = pressed ? Hex(0xC9CED6) : Hex(0xC4C9D0);
    const double radius = 18;
    auto inside = [=](double x, double y) {
        double dx = x < 4 + radius ? 4 + radius - x : x > 508 - radius ? x - (508 - radius) : 0;
        double dy = y < top + radius ? top + radius - y : y > bottom - radius ? y - (bottom - radius) : 0;
        return dx * dx + dy * dy <= radius * radius;
    };
    c.ShadeWhere(4, top, 508, bottom, inside, [=](double, double y) {
                     float t = static_cast<float>((y - top) / (bottom - top));
                     return Rgba{upper.r + (lower.r - upper.r) * t, upper.g + (lower.g - upper.g) * t,
                                 upper.b + (lower.b - upper.b) * t, 1.0f};
                 });
    c.StrokeRoundRect(4, top, 508, bottom, 18, 8, pressed ? Hex(0x3A4A66) : Hex(0x5C636E));
    return SavePicture(c, folder, name);
}

// Keypad of the georeference editor, 0.478 of its size on the screen, right
// edge on the screen's: a title strip, then nine rows of keys 43 units high
// every 47 units from 53 (screen units; x from the keypad's left edge): row 0
// Backspace, Save, Exit; rows 1 to 4 a field key and its value strip; rows 5
// to 8 the number keys, a quarter of the width each ("0" half of it).
static bool WriteKeypad(const std::string& folder)
{
    const double w = 448 * 0.478, h = 480;
    Canvas c(448, 1004, w, h);
    c.FillRoundRect(0, 0, w, h, 8, Hex(0x24262B, 0.95f));
    c.StrokeRoundRect(0, 0, w, h, 8, 1.5, Hex(0x6B7079));
    const double quarter = w / 4;
    auto key = [&](double x0, double x1, double y) {
        c.FillRoundRect(x0 + 2, y + 2, x1 - 2, y + 41, 5, Hex(0x3A3D44));
        c.StrokeRoundRect(x0 + 2, y + 2, x1 - 2, y + 41, 5, 1.2, Hex(0x7A808A));
    };
    key(0, 2 * quarter, 53);
    key(2 * quarter, 3 * quarter, 53);
    key(3 * quarter, w, 53);
    for (int row = 1; row <= 4; ++row) {
        double y = 53 + 47 * row;
        key(0, 2 * quarter, y);
        c.FillRoundRect(2 * quarter + 2, y + 4, w - 4, y + 39, 3, Hex(0x101114));
    }
    for (int row = 5; row <= 7; ++row)
        for (int col = 0; col < 4; ++col)
            key(col * quarter, (col + 1) * quarter, 53 + 47 * row);
    key(0, 2 * quarter, 429);
    key(2 * quarter, 3 * quarter, 429);
    key(3 * quarter, w, 429);
    return SavePicture(c, folder, "G500_4X3_Keyboard.png");
}

// A field mark, stretched over a key by the keypad.
static bool WriteKeyHighlight(const std::string& folder, const char* name, uint32_t colour)
{
    Canvas c(96, 78);
    c.FillRoundRect(0, 0, 96, 78, 10, Hex(colour, 0.45f));
    c.StrokeRoundRect(0, 0, 96, 78, 10, 5, Hex(colour));
    return SavePicture(c, folder, name);
}

bool WriteSoftkeyPictures(const std::string& folder)
{
    // Faces of 180 rows for the normal bar, 370 for the touch bar's tall keys.
    bool ok = WriteFace(folder, "SoftkeyA1.png", false, 180);
    ok = WriteFace(folder, "SoftkeyB1.png", true, 180) && ok;
    ok = WriteFace(folder, "SoftkeyA2.png", false, 370) && ok;
    ok = WriteFace(folder, "SoftkeyB2.png", true, 370) && ok;
    ok = WriteKeypad(folder) && ok;
    ok = WriteKeyHighlight(folder, "key_yellow.png", 0xFFD600) && ok;
    ok = WriteKeyHighlight(folder, "key_red.png", 0xFF3030) && ok;
    return WriteKeyHighlight(folder, "key_green.png", 0x30E030) && ok;
}
