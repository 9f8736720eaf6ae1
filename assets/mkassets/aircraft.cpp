// Own-aircraft symbols (nose up, white so the colour setting tints them,
// with a dark rim for contrast on light maps) and the twelve traffic symbols.
#include "pictures.h"

#include <cmath>
#include <cstdio>
#include <vector>

typedef std::vector<Point> Shape;

// Outlines in a 100 x 100 box, nose at the top.
static const Shape kLightAircraft = {{50, 3},  {55, 9},  {56, 36}, {96, 52}, {96, 60}, {56, 55},
                                     {54, 79}, {68, 88}, {68, 95}, {50, 91}, {32, 95}, {32, 88},
                                     {46, 79}, {44, 55}, {4, 60},  {4, 52},  {44, 36}, {45, 9}};
static const Shape kJet = {{50, 2},  {55, 10}, {56, 38}, {95, 66}, {95, 72}, {56, 60}, {54, 82},
                           {66, 93}, {66, 98}, {50, 94}, {34, 98}, {34, 93}, {46, 82}, {44, 60},
                           {5, 72},  {5, 66},  {44, 38}, {45, 10}};
static const Shape kHighWing = {{50, 4},  {55, 10}, {55, 30}, {97, 30}, {97, 40}, {55, 40},
                                {53, 80}, {70, 84}, {70, 92}, {50, 92}, {30, 92}, {30, 84},
                                {47, 80}, {45, 40}, {3, 40},  {3, 30},  {45, 30}, {45, 10}};
static const Shape kDelta = {{50, 3}, {58, 30}, {92, 86}, {58, 82}, {50, 94}, {42, 82}, {8, 86}, {42, 30}};
static const Shape kChevron = {{50, 4}, {90, 92}, {50, 72}, {10, 92}};
static const Shape kTwin = {{50, 3},  {55, 10}, {56, 34}, {70, 36}, {70, 26}, {76, 26}, {76, 38},
                            {97, 44}, {97, 52}, {56, 52}, {54, 80}, {68, 88}, {68, 95}, {50, 91},
                            {32, 95}, {32, 88}, {46, 80}, {44, 52}, {3, 52},  {3, 44},  {24, 38},
                            {24, 26}, {30, 26}, {30, 36}, {44, 34}, {45, 10}};

static void DrawSymbol(Canvas& c, const Shape& shape)
{
    c.Polyline(shape, 6, Hex(0x101010, 0.75f), true);
    c.FillPolygon(shape, Hex(0xFFFFFF));
}

static bool WriteSymbol(const std::string& bitmaps, const char* name, const Shape& shape)
{
    Canvas c(48, 48, 100, 100);
    DrawSymbol(c, shape);
    return SavePicture(c, bitmaps, name);
}

static bool WriteHelicopter(const std::string& bitmaps)
{
    Canvas c(48, 48, 100, 100);
    Shape body = {{50, 14}, {60, 22}, {62, 44}, {56, 58}, {53, 92}, {62, 92}, {62, 97}, {38, 97}, {38, 92}, {47, 92},
                  {44, 58}, {38, 44}, {40, 22}};
    DrawSymbol(c, body);
    for (double a : {0.785398, 2.356194}) {
        Point p0{50 - 44 * std::cos(a), 38 - 44 * std::sin(a)};
        Point p1{50 + 44 * std::cos(a), 38 + 44 * std::sin(a)};
        c.Line(p0, p1, 9, Hex(0x101010, 0.75f));
        c.Line(p0, p1, 5, Hex(0xFFFFFF));
    }
    c.FillCircle(50, 38, 5, Hex(0x101010, 0.75f));
    return SavePicture(c, bitmaps, "Heli.png");
}

// Traffic by class, three each by trend (level, climbing, descending): other
// traffic an open cyan diamond, proximate traffic a filled one, a traffic
// advisory an amber circle, a resolution advisory a red square (class 9 is
// never given; it is drawn as an advisory). A small arrow beside the shape
// shows a climb or a descent.
static void DrawTrafficShape(Canvas& c, int trafficClass)
{
    const Shape diamond = {{6.5, 1}, {12, 6.5}, {6.5, 12}, {1, 6.5}};
    if (trafficClass <= 2)
        c.Polyline(diamond, 2.0, Hex(0x3FE0FF), true);
    else if (trafficClass <= 5)
        c.FillPolygon(diamond, Hex(0x3FE0FF));
    else if (trafficClass <= 9)
        c.FillCircle(6.5, 6.5, 5.5, Hex(0xFFB000));
    else
        c.FillRect(1.5, 1.5, 11.5, 11.5, Hex(0xFF2020));
}

static void DrawTrendArrow(Canvas& c, int trafficClass)
{
    int trend = trafficClass >= 10 ? 0 : trafficClass % 3;  // 1 climbing, 2 descending
    if (trend == 0)
        return;
    Rgba colour = Hex(trafficClass <= 5 ? 0x3FE0FF : 0xFFB000);
    double tip = trend == 1 ? 2 : 14, tail = trend == 1 ? 14 : 2;
    double head = trend == 1 ? 6 : 10;
    c.Line({14, tail}, {14, head}, 1.6, colour);
    c.FillPolygon({{14, tip}, {16, head}, {12, head}}, colour);
}

static bool WriteTraffic(const std::string& bitmaps)
{
    bool ok = true;
    for (int k = 0; k < 12; ++k) {
        Canvas c(16, 16);
        DrawTrafficShape(c, k);
        DrawTrendArrow(c, k);
        char name[16];
        std::snprintf(name, sizeof name, "tc%02d.bmp", k);
        ok = SavePicture(c, bitmaps, name) && ok;
    }
    return ok;
}

bool WriteAircraftSymbols(const std::string& bitmaps)
{
    bool ok = WriteSymbol(bitmaps, "Aircraft2.png", kLightAircraft);
    ok = WriteSymbol(bitmaps, "Aircraft3.png", kChevron) && ok;
    ok = WriteSymbol(bitmaps, "Aircraft4.png", kJet) && ok;
    ok = WriteSymbol(bitmaps, "Aircraft5.png", kHighWing) && ok;
    ok = WriteSymbol(bitmaps, "Aircraft6.png", kTwin) && ok;
    ok = WriteSymbol(bitmaps, "Aircraft7.png", kDelta) && ok;
    ok = WriteHelicopter(bitmaps) && ok;
    return WriteTraffic(bitmaps) && ok;
}
