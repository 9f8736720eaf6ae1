// Softkey faces (plain and pressed, two styles), the on-screen keypad and its
// key highlights.
#include "pictures.h"

static void DrawKeyFace(Canvas& c, Rgba top, Rgba bottom, Rgba edge)
{
    double h = c.Height();
    c.ShadeWhere(0, 0, c.Width(), h, [](double, double) { return true; }, [=](double, double y) {
        float t = static_cast<float>(y / h);
        return Rgba{top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t, top.b + (bottom.b - top.b) * t,
                    1.0f};
    });
    c.StrokeRoundRect(1, 1, c.Width() - 1, h - 1, 10, 4, edge);
}

static bool WriteFace(const std::string& folder, const char* name, bool pressed, bool flat)
{
    Canvas c(512, 96);
    if (pressed)
        DrawKeyFace(c, Hex(0x16181C), Hex(0x2E3238), Hex(0x8EE0FF));
    else if (flat)
        DrawKeyFace(c, Hex(0x2A2D33), Hex(0x2A2D33), Hex(0x6B7079));
    else
        DrawKeyFace(c, Hex(0x3E424A), Hex(0x1E2024), Hex(0x7A808A));
    return SavePicture(c, folder, name);
}

// Keypad: 4 columns x 8 rows of keys on a dark plate.
static bool WriteKeypad(const std::string& folder)
{
    Canvas c(448, 1004);
    c.FillRoundRect(0, 0, 448, 1004, 18, Hex(0x24262B, 0.95f));
    c.StrokeRoundRect(0, 0, 448, 1004, 18, 4, Hex(0x6B7079));
    for (int row = 0; row < 8; ++row)
        for (int col = 0; col < 4; ++col) {
            double x = 16 + col * 106, y = 20 + row * 122;
            c.FillRoundRect(x, y, x + 96, y + 108, 12, Hex(0x3A3D44));
            c.StrokeRoundRect(x, y, x + 96, y + 108, 12, 3, Hex(0x7A808A));
        }
    return SavePicture(c, folder, "G500_4X3_Keyboard.png");
}

static bool WriteKeyHighlight(const std::string& folder, const char* name, uint32_t colour)
{
    Canvas c(96, 108);
    c.FillRoundRect(0, 0, 96, 108, 12, Hex(colour, 0.45f));
    c.StrokeRoundRect(0, 0, 96, 108, 12, 5, Hex(colour));
    return SavePicture(c, folder, name);
}

bool WriteSoftkeyPictures(const std::string& folder)
{
    bool ok = WriteFace(folder, "SoftkeyA1.png", false, false);
    ok = WriteFace(folder, "SoftkeyB1.png", true, false) && ok;
    ok = WriteFace(folder, "SoftkeyA2.png", false, true) && ok;
    ok = WriteFace(folder, "SoftkeyB2.png", true, true) && ok;
    ok = WriteKeypad(folder) && ok;
    ok = WriteKeyHighlight(folder, "key_yellow.png", 0xFFD600) && ok;
    ok = WriteKeyHighlight(folder, "key_red.png", 0xFF3030) && ok;
    return WriteKeyHighlight(folder, "key_green.png", 0x30E030) && ok;
}
