// Navaid, fix, waypoint and obstacle symbols: white on transparent so the
// navigation colour tables tint them, with a thin dark rim.
#include "pictures.h"

#include <cmath>
#include <cstdio>
#include <vector>

static const double kPi = 3.14159265358979;
static const Rgba kWhite = Hex(0xFFFFFF);
static const Rgba kRim = Hex(0x101010, 0.7f);

static std::vector<Point> Hexagon(double cx, double cy, double r)
{
    std::vector<Point> p;
    for (int k = 0; k < 6; ++k)
        p.push_back({cx + r * std::cos(k * kPi / 3), cy + r * std::sin(k * kPi / 3)});
    return p;
}

// Compass rose of a VOR: a ring with ticks every 10 degrees, longer every 30,
// and a north arrow; units of a 100 x 100 box.
static void DrawVorRose(Canvas& c, double lineScale)
{
    c.Ring(50, 50, 46, 1.6 * lineScale, kWhite);
    for (int k = 0; k < 36; ++k) {
        double a = k * kPi / 18;
        double inner = k % 3 == 0 ? 38 : 42;
        c.Line({50 + inner * std::sin(a), 50 - inner * std::cos(a)}, {50 + 46 * std::sin(a), 50 - 46 * std::cos(a)},
               (k % 3 == 0 ? 1.4 : 0.9) * lineScale, kWhite);
    }
    c.FillPolygon({{50, 1}, {54, 10}, {46, 10}}, kWhite);
}

static void DrawVor(Canvas& c)
{
    c.Polyline(Hexagon(50, 50, 30), 10, kRim, true);
    c.Polyline(Hexagon(50, 50, 30), 6, kWhite, true);
    c.FillCircle(50, 50, 6, kWhite);
}

static bool WriteVor(const std::string& folder, const char* name, int size)
{
    Canvas c(size, size, 100, 100);
    DrawVor(c);
    return SavePicture(c, folder, name);
}

static bool WriteRose(const std::string& folder, const char* name, int size)
{
    Canvas c(size, size, 100, 100);
    // The centre symbol is a sprite of its own, drawn over the rose.
    DrawVorRose(c, size >= 256 ? 0.5 : 1.0);
    return SavePicture(c, folder, name);
}

static bool WriteNdb(const std::string& folder, const char* name, int size)
{
    Canvas c(size, size, 100, 100);
    c.FillCircle(50, 50, 9, kWhite);
    for (double r : {20.0, 31.0, 42.0}) {
        int dots = static_cast<int>(r * 0.6);
        for (int k = 0; k < dots; ++k) {
            double a = 2 * kPi * k / dots;
            c.FillCircle(50 + r * std::cos(a), 50 + r * std::sin(a), 3.2, kWhite);
        }
    }
    return SavePicture(c, folder, name);
}

static bool WriteDmeFamily(const std::string& folder)
{
    Canvas dme(32, 32, 100, 100);
    dme.StrokeRoundRect(14, 14, 86, 86, 2, 9, kWhite);
    dme.FillCircle(50, 50, 7, kWhite);
    bool ok = SavePicture(dme, folder, "DME.png");

    Canvas vorDme(32, 32, 100, 100);
    vorDme.StrokeRoundRect(10, 18, 90, 82, 2, 7, kWhite);
    DrawVor(vorDme);
    ok = SavePicture(vorDme, folder, "vor-dme.png") && ok;

    Canvas vortac(32, 32, 100, 100);
    DrawVor(vortac);
    for (int k = 0; k < 3; ++k) {
        double a = kPi / 2 + k * 2 * kPi / 3;
        Point c{50 + 36 * std::cos(a), 50 + 36 * std::sin(a)};
        vortac.FillPolygon(Rotated({{c.x - 14, c.y - 7}, {c.x + 14, c.y - 7}, {c.x + 14, c.y + 7}, {c.x - 14, c.y + 7}}, c,
                                   a + kPi / 2),
                           kWhite);
    }
    return SavePicture(vortac, folder, "vortac.png") && ok;
}

static bool WriteFixes(const std::string& folder)
{
    Canvas fix(24, 24, 100, 100);
    std::vector<Point> triangle = {{50, 12}, {90, 84}, {10, 84}};
    fix.Polyline(triangle, 14, kRim, true);
    fix.Polyline(triangle, 9, kWhite, true);
    bool ok = SavePicture(fix, folder, "Fix.png");

    Canvas wpt(24, 24, 100, 100);
    std::vector<Point> star = {{50, 4}, {60, 40}, {96, 50}, {60, 60}, {50, 96}, {40, 60}, {4, 50}, {40, 40}};
    wpt.Polyline(star, 6, kRim, true);
    wpt.FillPolygon(star, kWhite);
    ok = SavePicture(wpt, folder, "wpt.png") && ok;

    Canvas marker(64, 64, 100, 100);
    marker.FillEllipse(50, 50, 46, 24, Hex(0xFFFFFF, 0.35f));
    for (int k = -3; k <= 3; ++k)
        marker.FillCircle(50 + k * 11, 50, 3.5, kWhite);
    marker.StrokeRoundRect(4, 26, 96, 74, 24, 3, kWhite);
    return SavePicture(marker, folder, "Marker64.png") && ok;
}

// Obstacles: a tower, a lit tower (rays), a group, a tall structure.
static bool WriteObstacles(const std::string& folder)
{
    bool ok = true;
    for (int k = 1; k <= 4; ++k) {
        Canvas c(24, 24, 100, 100);
        std::vector<Point> tower = {{50, 14}, {82, 90}, {70, 90}, {50, 38}, {30, 90}, {18, 90}};
        if (k == 3) {
            c.FillPolygon(Scaled(tower, {50, 90}, 0.7, 0.8), kWhite);
            c.FillPolygon(Scaled(tower, {50, 90}, 0.7, 0.8), kWhite);
            c.FillPolygon(Scaled(tower, {30, 90}, 0.6, 0.7), kWhite);
        } else {
            c.FillPolygon(k == 4 ? Scaled(tower, {50, 90}, 1.15, 1.1) : tower, kWhite);
        }
        c.FillCircle(50, 78, 7, kWhite);
        if (k == 2)
            for (double a : {-0.9, -0.45, 0.45, 0.9})
                c.Line({50 + 18 * std::sin(a), 12 - 4 * std::cos(a)}, {50 + 30 * std::sin(a), 12 - 16 * std::cos(a) + 12}, 4,
                       kWhite);
        char name[16];
        std::snprintf(name, sizeof name, "obs%da.png", k);
        ok = SavePicture(c, folder, name) && ok;
    }
    return ok;
}

bool WriteNavaidSymbols(const std::string& folder)
{
    bool ok = WriteVor(folder, "vor.png", 32);
    ok = WriteVor(folder, "vor32.png", 32) && ok;
    ok = WriteRose(folder, "VOR_128.png", 128) && ok;
    ok = WriteRose(folder, "vor_512.png", 512) && ok;
    ok = WriteRose(folder, "vorrose.png", 512) && ok;
    ok = WriteNdb(folder, "ndb.png", 32) && ok;
    ok = WriteNdb(folder, "ndb32.png", 32) && ok;
    ok = WriteDmeFamily(folder) && ok;
    ok = WriteFixes(folder) && ok;
    return WriteObstacles(folder) && ok;
}
