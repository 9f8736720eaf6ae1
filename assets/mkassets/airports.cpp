// Airport symbols (paved, unpaved, seaplane, other, and a sheet of 4 x 4
// cells by kind), the diagram's reference point, tower, runway number oval
// and parking stand. Drawn runway-up: the layer turns them by the runway.
#include "pictures.h"

#include <cmath>

static const Rgba kBlue = Hex(0x2D6BE0);
static const Rgba kMagenta = Hex(0xC03FC0);
static const Rgba kWhite = Hex(0xFFFFFF);
static const Rgba kDark = Hex(0x101010, 0.7f);

enum AirportStyle { Paved, Unpaved, Seaplane, Heliport, Closed, Other };

// One symbol centred on (cx, cy) with radius r.
static void DrawAirport(Canvas& c, double cx, double cy, double r, AirportStyle style)
{
    Rgba colour = style == Unpaved || style == Closed ? kMagenta : kBlue;
    c.FillCircle(cx, cy, r + 1.5, kDark);
    switch (style) {
    case Paved:
        c.FillCircle(cx, cy, r, colour);
        c.FillRect(cx - r * 0.16, cy - r * 0.78, cx + r * 0.16, cy + r * 0.78, kWhite);
        break;
    case Unpaved:
        c.FillCircle(cx, cy, r, kWhite);
        c.Ring(cx, cy, r * 0.86, r * 0.28, colour);
        c.FillRect(cx - r * 0.13, cy - r * 0.62, cx + r * 0.13, cy + r * 0.62, colour);
        break;
    case Seaplane:
        c.FillCircle(cx, cy, r, colour);
        c.Ring(cx, cy + r * 0.1, r * 0.42, r * 0.14, kWhite);
        c.Line({cx, cy - r * 0.7}, {cx, cy + r * 0.5}, r * 0.14, kWhite);
        c.Line({cx - r * 0.3, cy - r * 0.45}, {cx + r * 0.3, cy - r * 0.45}, r * 0.12, kWhite);
        break;
    case Heliport:
        c.FillCircle(cx, cy, r, colour);
        c.Line({cx - r * 0.35, cy - r * 0.5}, {cx - r * 0.35, cy + r * 0.5}, r * 0.16, kWhite);
        c.Line({cx + r * 0.35, cy - r * 0.5}, {cx + r * 0.35, cy + r * 0.5}, r * 0.16, kWhite);
        c.Line({cx - r * 0.35, cy}, {cx + r * 0.35, cy}, r * 0.16, kWhite);
        break;
    case Closed:
        c.FillCircle(cx, cy, r, kWhite);
        c.Ring(cx, cy, r * 0.86, r * 0.28, colour);
        c.Line({cx - r * 0.5, cy - r * 0.5}, {cx + r * 0.5, cy + r * 0.5}, r * 0.16, colour);
        c.Line({cx - r * 0.5, cy + r * 0.5}, {cx + r * 0.5, cy - r * 0.5}, r * 0.16, colour);
        break;
    case Other:
        c.FillCircle(cx, cy, r, colour);
        c.FillCircle(cx, cy, r * 0.3, kWhite);
        break;
    }
}

static bool WriteOne(const std::string& folder, const char* name, AirportStyle style)
{
    Canvas c(32, 32, 100, 100);
    DrawAirport(c, 50, 50, 40, style);
    return SavePicture(c, folder, name);
}

static bool WriteSheet(const std::string& folder)
{
    static const AirportStyle cells[16] = {Paved,    Paved,    Unpaved, Closed, Seaplane, Seaplane, Seaplane, Other,
                                           Heliport, Heliport, Heliport, Other, Other,    Other,    Other,    Other};
    Canvas c(256, 256);
    for (int k = 0; k < 16; ++k)
        DrawAirport(c, 32 + 64 * (k % 4), 32 + 64 * (k / 4), 20, cells[k]);
    return SavePicture(c, folder, "Airports.png");
}

static bool WriteDiagramSymbols(const std::string& folder)
{
    Canvas arp(24, 24, 100, 100);
    arp.Ring(50, 50, 30, 10, kDark);
    arp.Ring(50, 50, 30, 6, kWhite);
    arp.Line({50, 6}, {50, 94}, 6, kWhite);
    arp.Line({6, 50}, {94, 50}, 6, kWhite);
    bool ok = SavePicture(arp, folder, "ARP.png");

    Canvas twr(32, 32, 100, 100);
    twr.FillPolygon({{38, 40}, {62, 40}, {70, 92}, {30, 92}}, kWhite);
    twr.FillRoundRect(24, 14, 76, 40, 6, kWhite);
    twr.FillRect(30, 20, 70, 32, kBlue);
    twr.Polyline({{38, 40}, {62, 40}, {70, 92}, {30, 92}}, 3, kDark, true);
    ok = SavePicture(twr, folder, "TWR.png") && ok;

    Canvas oval(48, 28);
    oval.FillEllipse(24, 14, 23, 13, kDark);
    oval.FillEllipse(24, 14, 21, 11.5, Hex(0x1A1A1A));
    oval.FillEllipse(24, 14, 19, 9.5, Hex(0xF5F5F5));
    ok = SavePicture(oval, folder, "Oval.png") && ok;

    Canvas parking(24, 24, 100, 100);
    parking.FillCircle(50, 50, 44, Hex(0xF0C020));
    parking.Ring(50, 50, 44, 5, kDark);
    parking.FillPolygon({{50, 14}, {62, 46}, {56, 46}, {56, 84}, {44, 84}, {44, 46}, {38, 46}}, Hex(0x101010));
    return SavePicture(parking, folder, "Parking.png") && ok;
}

bool WriteAirportSymbols(const std::string& folder)
{
    bool ok = WriteOne(folder, "apt.png", Paved);
    ok = WriteOne(folder, "aptp.png", Paved) && ok;
    ok = WriteOne(folder, "aptup.png", Unpaved) && ok;
    ok = WriteOne(folder, "apt2.png", Seaplane) && ok;
    ok = WriteOne(folder, "apt3.png", Other) && ok;
    ok = WriteSheet(folder) && ok;
    return WriteDiagramSymbols(folder) && ok;
}
