// The instrument bezel for the three aspect layouts, with its transparent map
// window, knobs, buttons and lamp socket; the lamp, knob pointer, side parts,
// transparency scales and the splash picture that go with it.
#include "pictures.h"

#include <cmath>
#include <string>

const BezelLayout BezelLayouts[3] = {
    {"16x9", "16X9", 1280, 720, 84, 40, 472, 319, 25, 91, 24, 196, 577, 14},
    {"16x10", "16X10", 1280, 800, 94, 40, 453, 319, 28, 93, 28, 196, 568, 12},
    {"4x3", "4X3", 1280, 960, 109, 40, 422, 319, 37, 93, 37, 196, 557, 12},
};

// The map window reaches down over the softkey rows (the last ends at 396).
static const double kWindowBottom = 400;

static const Rgba kBodyTop = Hex(0x3C3F45);
static const Rgba kBodyBottom = Hex(0x222428);
static const Rgba kLip = Hex(0x0E0F11);
static const Rgba kEdge = Hex(0x5A5E66);
static const Rgba kKeyFace = Hex(0x2C2E33);
static const Rgba kKeyEdge = Hex(0x6B7079);
static const Rgba kMark = Hex(0xD8DCE2);

static void DrawBody(Canvas& c)
{
    c.ShadeWhere(0, 0, 640, 480, [](double, double) { return true; },
                 [](double, double y) {
                     float t = static_cast<float>(y / 480);
                     return Rgba{kBodyTop.r + (kBodyBottom.r - kBodyTop.r) * t,
                                 kBodyTop.g + (kBodyBottom.g - kBodyTop.g) * t,
                                 kBodyTop.b + (kBodyBottom.b - kBodyTop.b) * t, 1.0f};
                 });
    c.StrokeRoundRect(1, 1, 639, 479, 14, 2, kEdge);
}

static void DrawKnob(Canvas& c, double x, double y)
{
    c.FillCircle(x, y, 15, Hex(0x121316));
    c.FillCircle(x, y, 12.5, Hex(0x3A3D43));
    c.Ring(x, y, 12.5, 1.2, kKeyEdge);
    for (int k = 0; k < 24; ++k) {
        double a = k * 3.14159265 / 12;
        c.Line({x + 10.5 * std::cos(a), y + 10.5 * std::sin(a)}, {x + 12.5 * std::cos(a), y + 12.5 * std::sin(a)},
               0.7, Hex(0x1A1B1E));
    }
}

static void DrawSquareKey(Canvas& c, double x, double y, double w, double h)
{
    c.FillRoundRect(x, y, x + w, y + h, 5, kKeyFace);
    c.StrokeRoundRect(x, y, x + w, y + h, 5, 1.2, kKeyEdge);
}

static void DrawRoundKey(Canvas& c, double x, double y, double size)
{
    double r = size / 2;
    c.FillCircle(x + r, y + r, r, Hex(0x15161A));
    c.FillCircle(x + r, y + r, r - 3, kKeyFace);
    c.Ring(x + r, y + r, r - 3, 1.2, kKeyEdge);
}

static void DrawZoomKeys(Canvas& c)
{
    DrawSquareKey(c, 567, 56, 40, 40);
    c.Line({577, 76}, {597, 76}, 3, kMark);  // zoom out
    DrawSquareKey(c, 567, 115, 40, 40);
    c.Line({577, 135}, {597, 135}, 3, kMark);  // zoom in
    c.Line({587, 125}, {587, 145}, 3, kMark);
    for (double y : {201.0, 229.0, 275.0, 323.0})
        DrawSquareKey(c, 567, y, 40, 24);
}

static void DrawBottomKeys(Canvas& c)
{
    for (double x : {104.0, 174.0, 245.0, 316.0, 385.0, 458.0})
        DrawRoundKey(c, x, 435, 43);
}

static void DrawBezel(const BezelLayout& l, Canvas& c)
{
    DrawBody(c);
    double x0 = l.mapX, x1 = l.mapX + l.mapW;
    c.FillRoundRect(x0 - 7, l.mapY - 7, x1 + 7, kWindowBottom + 7, 6, kLip);
    c.StrokeRoundRect(x0 - 8, l.mapY - 8, x1 + 8, kWindowBottom + 8, 7, 1, kEdge);
    DrawKnob(c, l.knobX, l.knobY);
    DrawKnob(c, l.knob2X, l.knob2Y);
    DrawKnob(c, l.knob2X, l.knob2Y + 104);
    DrawZoomKeys(c);
    DrawBottomKeys(c);
    c.FillCircle(l.lampX + 8, l.lampY + 8, 9, Hex(0x0B0C0E));
    c.Ring(l.lampX + 8, l.lampY + 8, 9, 1.2, kKeyEdge);
    c.CutOut(x0, l.mapY, x1, kWindowBottom);
}

static bool WriteLayout(const BezelLayout& l, const std::string& bitmaps)
{
    Canvas bezel(l.width, l.height, 640, 480);
    DrawBezel(l, bezel);
    bool ok = SavePicture(bezel, bitmaps, ("G500_" + std::string(l.suffix) + ".png").c_str());

    Canvas bulb(40, 40);
    bulb.FillCircle(20, 20, 18, Hex(0xFFFFFF, 0.25f));
    bulb.FillCircle(20, 20, 13, Hex(0xF2F2F2));
    bulb.FillCircle(16, 16, 5, Hex(0xFFFFFF));
    ok = SavePicture(bulb, bitmaps, ("G500_" + std::string(l.suffix) + "_Bulb.png").c_str()) && ok;

    // Transparency scales: a tapering bar from clear to solid with ticks.
    for (int filled = 0; filled < 2; ++filled) {
        Canvas scale(140, 200);
        scale.FillPolygon({{20, 10}, {50, 10}, {34, 190}, {28, 190}}, Hex(0x30333A, 0.9f));
        scale.ShadeWhere(22, 12, 48, 188, [](double x, double y) { return x > 22 + (y - 12) * 0.03 && x < 48 - (y - 12) * 0.07; },
                         [filled](double, double y) { return Hex(filled ? 0x6FD0FF : 0xFFFFFF, static_cast<float>(1.0 - y / 200)); });
        for (int k = 0; k <= 8; ++k)
            scale.Line({56, 12 + k * 22.0}, {k % 4 == 0 ? 80.0 : 70.0, 12 + k * 22.0}, 3, kMark);
        std::string name = "G500_" + std::string(l.upperSuffix) + (filled ? "_TranA.png" : "_Tran.png");
        ok = SavePicture(scale, bitmaps, name.c_str()) && ok;
    }
    return ok;
}

static bool WriteSplash(const std::string& bitmaps)
{
    Canvas c(640, 480);
    c.ShadeWhere(0, 0, 640, 480, [](double, double) { return true; }, [](double x, double y) {
        float t = static_cast<float>((x + y) / 1120);
        return Rgba{0.05f + 0.05f * t, 0.12f + 0.10f * t, 0.25f + 0.25f * t, 1.0f};
    });
    for (double r : {60.0, 110.0, 160.0})
        c.Ring(520, 110, r, 1.5, Hex(0x7FB2E5, 0.35f));
    for (int k = 0; k < 36; ++k) {
        double a = k * 3.14159265 / 18;
        double inner = k % 3 == 0 ? 145 : 152;
        c.Line({520 + inner * std::sin(a), 110 - inner * std::cos(a)}, {520 + 160 * std::sin(a), 110 - 160 * std::cos(a)},
               1.5, Hex(0x7FB2E5, 0.5f));
    }
    c.Polyline({{330, 330}, {400, 250}, {470, 215}, {520, 110}}, 3, Hex(0xE040E0, 0.8f));
    c.FillPolygon(Scaled({{50, 4}, {55, 38}, {96, 58}, {96, 64}, {55, 56}, {54, 80}, {68, 92}, {50, 90}, {32, 92},
                          {46, 80}, {45, 56}, {4, 64}, {4, 58}, {45, 38}},
                         {0, 0}, 0.6, 0.6),
                  Hex(0xFFFFFF));
    c.FillRect(0, 440, 640, 480, Hex(0xE8ECF0));
    return SavePicture(c, bitmaps, "TVL.png");
}

bool WriteBezels(const std::string& bitmaps)
{
    bool ok = true;
    for (const BezelLayout& l : BezelLayouts)
        ok = WriteLayout(l, bitmaps) && ok;

    Canvas knob(16, 16);
    knob.FillCircle(8, 8, 6.5, Hex(0xFFFFFF));
    knob.Ring(8, 8, 6.5, 1.2, Hex(0x202020, 0.6f));
    ok = SavePicture(knob, bitmaps, "G500_Knob.png") && ok;

    for (const char* side : {"G500_L.png", "G500_R.png"}) {
        Canvas part(64, 480);
        part.ShadeWhere(0, 0, 64, 480, [](double, double) { return true; }, [](double, double y) {
            float t = static_cast<float>(y / 480);
            return Rgba{0.24f - 0.1f * t, 0.25f - 0.1f * t, 0.27f - 0.1f * t, 1.0f};
        });
        ok = SavePicture(part, bitmaps, side) && ok;
    }
    return WriteSplash(bitmaps) && ok;
}
