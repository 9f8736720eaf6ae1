// Instrument pictures: compass roses (dark and light), wind and north
// arrows, terrain legends, lamps, track dot, georeference marks, page marks.
#include "pictures.h"

#include <cmath>

static const double kPi = 3.14159265358979;
static const Rgba kWhite = Hex(0xFFFFFF);
static const Rgba kDark = Hex(0x101010, 0.75f);

// A 512 x 512 rose: ticks every 5 degrees, longer every 10 and 30, the
// cardinal letters as glyph strokes, triangles every 30 degrees.
static void DrawRose(Canvas& c, Rgba ink, Rgba halo)
{
    const double cx = 256, cy = 256, r = 250;
    c.Ring(cx, cy, r - 2, 5, halo);
    c.Ring(cx, cy, r - 2, 2.5, ink);
    for (int k = 0; k < 72; ++k) {
        double a = k * kPi / 36;
        double len = k % 6 == 0 ? 30 : k % 2 == 0 ? 20 : 12;
        Point p0{cx + (r - 2) * std::sin(a), cy - (r - 2) * std::cos(a)};
        Point p1{cx + (r - 2 - len) * std::sin(a), cy - (r - 2 - len) * std::cos(a)};
        c.Line(p0, p1, k % 6 == 0 ? 6 : 4.5, halo);
        c.Line(p0, p1, k % 6 == 0 ? 3.5 : 2.2, ink);
    }
    for (int k = 0; k < 12; ++k) {
        double a = k * kPi / 6;
        std::vector<Point> tri = {{cx, cy - r + 36}, {cx + 7, cy - r + 50}, {cx - 7, cy - r + 50}};
        c.FillPolygon(Rotated(tri, {cx, cy}, a), ink);
    }
    // N, E, S, W in strokes, upright at their bearing.
    const double d = r - 80;
    auto stroke = [&](std::vector<Point> pts, double angle) {
        Point at{cx + d * std::sin(angle), cy - d * std::cos(angle)};
        for (Point& p : pts)
            p = {at.x + p.x, at.y + p.y};
        pts = Rotated(pts, at, angle);
        c.Polyline(pts, 8, halo);
        c.Polyline(pts, 5, ink);
    };
    stroke({{-12, 16}, {-12, -16}, {12, 16}, {12, -16}}, 0);                         // N
    stroke({{12, -16}, {-12, -16}, {-12, 16}, {12, 16}}, kPi / 2);                   // E bars
    stroke({{-12, 0}, {8, 0}}, kPi / 2);
    stroke({{12, -12}, {4, -16}, {-8, -16}, {-12, -10}, {-8, -2}, {8, 2}, {12, 10}, {8, 16}, {-4, 16}, {-12, 12}}, kPi);  // S
    stroke({{-14, -16}, {-7, 16}, {0, -4}, {7, 16}, {14, -16}}, 3 * kPi / 2);         // W
}

static bool WriteRoses(const std::string& folder)
{
    Canvas dark(512, 512);
    DrawRose(dark, Hex(0x141414), Hex(0xFFFFFF, 0.6f));
    bool ok = SavePicture(dark, folder, "Rosea.png");
    Canvas light(512, 512);
    DrawRose(light, kWhite, Hex(0x000000, 0.6f));
    return SavePicture(light, folder, "Rose1a.png") && ok;
}

// An arrow pointing down the picture (the direction the wind blows to),
// centred, for turning about the picture's centre.
static std::vector<Point> DownArrow()
{
    return {{44, 6}, {56, 6}, {56, 60}, {74, 60}, {50, 94}, {26, 60}, {44, 60}};
}

static bool WriteArrows(const std::string& folder)
{
    Canvas arrow(64, 64, 100, 100);
    arrow.Polyline(DownArrow(), 8, kDark, true);
    arrow.FillPolygon(DownArrow(), kWhite);
    bool ok = SavePicture(arrow, folder, "Arrow2.png");

    Canvas arrow1(32, 32, 100, 100);
    arrow1.FillPolygon(Rotated(DownArrow(), {50, 50}, kPi), kWhite);
    ok = SavePicture(arrow1, folder, "arrow1.png") && ok;

    Canvas wind(48, 48, 100, 100);
    wind.Polyline(DownArrow(), 8, kDark, true);
    wind.FillPolygon(DownArrow(), kWhite);
    ok = SavePicture(wind, folder, "WV2.png") && ok;

    Canvas north(64, 64, 100, 100);
    std::vector<Point> needle = {{50, 4}, {66, 56}, {50, 46}, {34, 56}};
    north.Polyline(needle, 7, kDark, true);
    north.FillPolygon(needle, kWhite);
    north.Polyline({{38, 94}, {38, 66}, {62, 94}, {62, 66}}, 9, kDark);  // N
    north.Polyline({{38, 94}, {38, 66}, {62, 94}, {62, 66}}, 5, kWhite);
    return SavePicture(north, folder, "North1.png") && ok;
}

// Terrain legends: colour bands from the terrain colours with frames.
static bool WriteLegends(const std::string& folder)
{
    static const uint32_t relative[4] = {0xFF0000, 0xFFFF00, 0x00C000, 0x000000};
    static const uint32_t absolute[5] = {0x2E7D32, 0x9CCC65, 0xFFE082, 0xA1887F, 0xFFFFFF};
    bool ok = true;
    for (int k = 0; k < 2; ++k) {
        Canvas c(256, 512);
        int bands = k == 0 ? 4 : 5;
        double h = 480.0 / bands;
        for (int b = 0; b < bands; ++b)
            c.FillRect(16, 16 + b * h, 240, 16 + (b + 1) * h, Hex(k == 0 ? relative[b] : absolute[b], 0.85f));
        c.StrokeRoundRect(12, 12, 244, 500, 6, 5, kWhite);
        ok = SavePicture(c, folder, k == 0 ? "Legende1.png" : "Legende2.png") && ok;
    }
    return ok;
}

static bool WriteSmallParts(const std::string& folder)
{
    Canvas off(32, 32);
    off.FillCircle(16, 16, 13, Hex(0x2A2C30));
    off.Ring(16, 16, 13, 2, Hex(0x6B7079));
    bool ok = SavePicture(off, folder, "Light.png");
    Canvas on(32, 32);
    on.FillCircle(16, 16, 15, Hex(0x7CFF7C, 0.3f));
    on.FillCircle(16, 16, 12, Hex(0x3CE03C));
    on.FillCircle(13, 13, 4, Hex(0xD8FFD8));
    ok = SavePicture(on, folder, "Lightb.png") && ok;

    Canvas dot(8, 8);
    dot.FillCircle(4, 4, 3.5, kWhite);
    ok = SavePicture(dot, folder, "dot.png") && ok;

    Canvas vline(16, 64);
    vline.FillRect(6.5, 0, 9.5, 64, Hex(0xFF2020));
    ok = SavePicture(vline, folder, "vline.png") && ok;
    Canvas hline(64, 16);
    hline.FillRect(0, 6.5, 64, 9.5, Hex(0xFF2020));
    ok = SavePicture(hline, folder, "hline.png") && ok;

    Canvas selected(16, 16);
    selected.FillCircle(8, 8, 6, kWhite);
    ok = SavePicture(selected, folder, "page_s.png") && ok;
    Canvas unselected(16, 16);
    unselected.Ring(8, 8, 5.5, 1.5, kWhite);
    return SavePicture(unselected, folder, "page_us.png") && ok;
}

bool WriteInstrumentPictures(const std::string& folder)
{
    bool ok = WriteRoses(folder);
    ok = WriteArrows(folder) && ok;
    ok = WriteLegends(folder) && ok;
    return WriteSmallParts(folder) && ok;
}
