// The instrument layers (see instrument_layers.h).
#include "display/instrument_layers.h"

#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/aircraft_values.h"
#include "display/airport_view.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "display/sprite_draw.h"
#include "display/status_text.h"
#include "maps/terrain_awareness.h"
#include "maps/terrain_data.h"
#include "maps/tile_grid.h"
#include "platform/units.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/shapes.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

int32_t AircraftSpriteSlot(int32_t icon)
{
    // Six pictures follow the required one; an icon outside them is a
    // settings value we cannot draw, so it gets the standard aircraft.
    return SpriteAircraft + (icon >= 0 && icon <= 5 ? icon : 0);
}

void DrawAircraftSymbol(float mapAngle, float trackAngle, float headingOffset)
{
    if (Settings.AirportChart || MapPanning)
        return;
    int32_t slot = AircraftSpriteSlot(Settings.AircraftIcon);
    const SpriteSlot& s = SpriteTable[slot];
    if (!s.loaded)
        return;
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float halfW = s.width / 2.0f, halfH = s.height / 2.0f;
    if (Settings.NavAirport && !Settings.AirportOverlay && GetPlanEditMode() == PlanEditNone) {
        double ax = 0, ay = 0;
        LatLonToAirportViewXY(&ax, &ay, MapCenter.longitude.load(), MapCenter.latitude.load());
        double k = FrameZoom * GetTextScale();
        float x = static_cast<float>(cx + k * ax) - halfW, y = static_cast<float>(cy + k * ay) - halfH;
        if (y > 47 / ScreenScaleY)
            DrawSprite(slot, x, y, Settings.AircraftColor, mapAngle, 1.0f, QuadPlacement::MapPixels,
                       OwnAngle{trackAngle + headingOffset});
        return;
    }
    DrawSprite(slot, cx - halfW, cy - halfH, Settings.AircraftColor, mapAngle, 1.0f, QuadPlacement::MapPixels,
               OwnAngle{trackAngle + headingOffset});
}

// ---- terrain value box, profile, wind and north, alerts ----

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t BoxShade = 0xBF000000u;

int TerrainBlinkCounter = 0;
bool BlinkWasOn = false;

bool AirportDiagramMode() { return Settings.NavAirport && !Settings.AirportOverlay; }
bool NarrowLayout() { return GetAspectRatio() == 3 || GetAspectRatio() == 4; }

struct MapArea {
    float left, top, width, height;
};
MapArea CurrentMapArea()
{
    if (BezelShown)
        return MapArea{static_cast<float>(ScreenLayout.MapRectX), static_cast<float>(ScreenLayout.MapRectY),
                       static_cast<float>(ScreenLayout.MapRectW), static_cast<float>(ScreenLayout.MapRectH)};
    return MapArea{0, 0, 640, 480};
}

int VisibleSoftkeyRows()
{
    int rows = 0;
    for (int r = 0; r < 3; r++)
        rows += IsSoftkeyRowShown(r) ? 1 : 0;
    return rows;
}

float StatusLine3Offset() { return StatusLines[2].shown ? 20.0f : 0.0f; }

// The magnetic variation the wind and the rose turn by when headings are magnetic.
double VariationDeg() { return Settings.HeadingIsTrue ? 0.0 : Aircraft.MagneticVariation; }

void DrawLegendPicture(const MapArea& m)
{
    if (AirportDiagramMode() || (Settings.Terrainmap != 1 && Settings.Terrainmap != 2) || !TerrainLegende)
        return;
    int slot = Settings.Terrainmap == 1 ? SpriteTerrainLegend1 : SpriteTerrainLegend2;
    int d = static_cast<int>(SpriteTable[SpriteTerrainLegend1].width * 0.07);
    float y = BezelShown ? m.top + m.height - 64 + d : 480.0f - 64 + d;
    if (Settings.WindowFrame || IsSoftkeyShown(0) || IsSoftkeyShown(6))
        y -= 32;
    y -= 24.0f * VisibleSoftkeyRows();
    DrawSprite(slot, BezelShown ? m.left : 0.0f, y, White, 0, 0.18f, QuadPlacement::VirtualScreen);
}

void DrawFigure(int32_t value, int size, float x, float y, uint32_t colour)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    SetFontSize(size);
    DrawText(text, x, y, colour, 0);
}

} // namespace

TerrainBoxFigures ComputeTerrainBoxFigures(int32_t elevationFeet, int32_t msaFeet, int blinkCounter,
                                           double aircraftAltitude)
{
    // Hundreds of feet rounded up: a figure below the grid's highest terrain
    // would tell the pilot there is more room than there is.
    auto hundreds = [](int32_t feet) {
        int64_t h = feet >= 0 ? (static_cast<int64_t>(feet) + 99) / 100 : feet / 100;
        return static_cast<int32_t>(h);
    };
    int32_t e = hundreds(elevationFeet);
    int32_t m = hundreds(msaFeet);
    TerrainBoxFigures f{e / 10, e - 10 * (e / 10), false, false};
    if (blinkCounter > 2 && m / 10 > e / 10) {
        f = TerrainBoxFigures{m / 10, m - 10 * (m / 10), true, false};
        f.aboveUs = m / 10 > static_cast<int32_t>(aircraftAltitude / 1000);
    }
    return f;
}

void StepTerrainBlinkCounter(bool blinkPhaseOn)
{
    if (BlinkWasOn && !blinkPhaseOn)
        TerrainBlinkCounter = (TerrainBlinkCounter + 1) % 4;
    BlinkWasOn = blinkPhaseOn;
}

int GetTerrainBlinkCounter() { return TerrainBlinkCounter; }

void DrawTerrainValueBox()
{
    StepTerrainBlinkCounter(IsBlinkPhaseOn());
    if (!(Settings.Terrainstate || TerrainElevation) || !BackgroundDrawn || Settings.AirportChart ||
        !IsTerrainActive())
        return;
    MapArea m = CurrentMapArea();
    DrawLegendPicture(m);
    if (!TerrainElevation || AirportDiagramMode())
        return;
    int32_t elevation = GetTerrainElevation(MapCenter.latitude.load(), MapCenter.longitude.load());
    TerrainBoxFigures f =
        ComputeTerrainBoxFigures(elevation, GetMsaElevation(), TerrainBlinkCounter, GetAircraftAltitude());
    uint32_t valueColour = 0xFFFFD756u;
    if (f.msa && f.aboveUs)
        valueColour = 0xFF0020FFu;
    bool narrow = NarrowLayout();
    float right = BezelShown ? m.left + m.width : 640.0f;
    float top = m.top + 28 + 57 + StatusLine3Offset();
    uint32_t border = 0;
    DimColour(&border, White);
    ScreenRect box{right - (narrow ? 71.0f : 68.0f), right, top, top + 41};
    DrawBox(&box, BoxShade, 0, QuadPlacement::VirtualScreen, border, 1);
    bool twoDigits = f.thousands >= 10 || f.thousands <= -10;
    float bigX;
    if (narrow)
        bigX = right - (twoDigits ? 49 : 37);
    else if (f.msa)
        bigX = right - (twoDigits ? 41 : 34);
    else
        bigX = right - (twoDigits ? 49 : 32);
    float bigY = m.top + 40 + 57 + StatusLine3Offset();
    DrawFigure(f.thousands, 24, bigX, bigY, valueColour);
    DrawFigure(f.hundreds, 16, right - (narrow ? 31 : 30), bigY + 12, valueColour);
    SetFontSize(12);
    DrawText("MEA", right - (narrow ? 44 : 40), top, 0xFFFFD756u, 0);
}

void DrawTerrainProfileLayer()
{
    if (GetWantedZoom() >= 9 && BackgroundDrawn && !Settings.AirportChart && !AirportDiagramMode() &&
        Settings.TerrainProfile)
        DrawTerrainProfile(GetAspectRatio());
}

static void DrawWindRose(float mapAngle)
{
    int slot = SpriteWindRose;
    if (Settings.PreferedChartType.load() > 0 && Settings.PreferedChartType.load() % 2 == 0 &&
        SpriteTable[SpriteWindRoseChart].loaded)
        slot = SpriteWindRoseChart;
    const SpriteSlot& rose = SpriteTable[slot];
    if (!rose.loaded)
        return;
    int width = 0, height = 0;
    GetViewportSize(&width, &height);
    double s = std::min(width / 1024.0, height / 818.0);
    if (BezelShown)
        s *= 0.8;
    if (StatusLines[1].shown && IsSimulatorConnected())
        s *= 0.9;
    double v = VariationDeg();
    float cx = static_cast<float>(ScreenCentre.x), cy = static_cast<float>(ScreenCentre.y);
    float turn = static_cast<float>(mapAngle + v * RadiansPerDegree4);
    DrawSprite(slot, static_cast<float>(cx - rose.width * s / 2), static_cast<float>(cy - rose.height * s / 2), White,
               turn, static_cast<float>(s), QuadPlacement::VirtualScreen);
    uint32_t ring = 0;
    DimColour(&ring, slot == SpriteWindRose ? 0xFF000000u : White);
    DrawCircle(cx, cy, 128 * s, 0, ring, 3, 1);
    DrawCircle(cx, cy, 256 * s, 0, ring, 4, 2);
    float direction = 0, speed = 0;
    GetWindDirectionAndSpeed(&direction, &speed);
    const SpriteSlot& arrow = SpriteTable[SpriteWindVector];
    if (Settings.Windrose < 2 || !(speed > 0) || !arrow.loaded)
        return;
    double a = (direction + v) * RadiansPerDegree4;
    float ax = static_cast<float>(cx + std::sin(a) * (rose.width * s) / 2 - arrow.width / 2.0);
    float ay = static_cast<float>(cy - std::cos(a) * (rose.height * s) / 2 - arrow.height / 2.0);
    uint32_t arrowColour = slot == SpriteWindRose ? 0xFF2020FFu : White;
    DrawSprite(SpriteWindVector, ax, ay, arrowColour, mapAngle, 1.0f, QuadPlacement::VirtualScreen,
               OwnAngle{static_cast<float>((direction - 180 + v) * RadiansPerDegree4)});
    if (Settings.Windrose != 3)
        return;
    char text[32];
    snprintf(text, sizeof text, "%3d%c/%3d kn", static_cast<int>(std::lround(direction)), '\xBA',
             static_cast<int>(std::lround(speed)));
    uint32_t textColour = 0;
    DimColour(&textColour, arrowColour);
    SetFontSize(20);
    DrawLabelBox(1, text, 400, ax + arrow.width, ay + arrow.height, -mapAngle, textColour,
                 slot == SpriteWindRose ? 0u : 0xDF000000u, mapAngle);
}

static void DrawWindBox(float mapAngle)
{
    MapArea m = CurrentMapArea();
    bool narrow = NarrowLayout();
    float width = narrow ? 71.0f : 68.0f;
    float right = BezelShown ? m.left + m.width : 640.0f;
    // The right-hand column: wind box, terrain value box just below it, then
    // the NEAREST box; all move down with status line 3.
    float top = m.top + 28 + 20 + StatusLine3Offset();
    ScreenRect box{right - width, right, top, top + 37};
    uint32_t border = 0;
    DimColour(&border, White);
    DrawBox(&box, BoxShade, 0, QuadPlacement::VirtualScreen, border, 1);
    HeadingBoxRect = FloatRect{box.x0, box.x1, box.y0, box.y1};
    float direction = 0, speed = 0;
    GetWindDirectionAndSpeed(&direction, &speed);
    char line1[16] = "---\xB0", line2[16] = "--- kn";
    if (speed > 0) {
        snprintf(line1, sizeof line1, "%3d\xB0", static_cast<int>(std::lround(direction)));
        snprintf(line2, sizeof line2, "%3d kn", static_cast<int>(std::lround(speed)));
    }
    double turn = (direction - 180 + VariationDeg()) * RadiansPerDegree4;
    uint32_t colour = 0xFF00FF00u;
    float arrowAngle = static_cast<float>(GetDisplayAngleOffset() + turn);
    if (!WindArrowMode) {
        DimColour(&colour, White);
        arrowAngle = static_cast<float>(mapAngle + turn);
    }
    const SpriteSlot& arrow = SpriteTable[SpriteWindArrow];
    float arrowY = box.y0 + (37 - arrow.height * 0.35f) / 2;
    DrawSprite(SpriteWindArrow, box.x0 + 6, arrowY, colour, 0, 0.35f, QuadPlacement::VirtualScreen,
               OwnAngle{arrowAngle});
    SetFontSize(16);
    DrawText(line1, box.x0 + 28, box.y0 + 2, colour, 0);
    DrawText(line2, box.x0 + 28, box.y0 + 18, colour, 0);
}

static void DrawNorthArrow(float mapAngle)
{
    MapArea m = CurrentMapArea();
    float y = m.top + 20;
    if (BezelShown && IsSimulatorConnected() && StatusLines[1].shown)
        y = m.top + 40;
    y += StatusLine3Offset();
    DrawSprite(SpriteNorthArrow, m.left, y, White, 0, 0.5f, QuadPlacement::VirtualScreen, OwnAngle{mapAngle});
}

void DrawWindAndNorth(float mapAngle)
{
    if (Settings.AirportChart || AirportDiagramMode())
        return;
    if (Settings.Windrose > 0) {
        if (BackgroundDrawn)
            DrawWindRose(mapAngle);
        return;
    }
    DrawWindBox(mapAngle);
    DrawNorthArrow(mapAngle);
}

const char* TerrainAlertText(int32_t level, uint32_t* fill)
{
    switch (level) {
    case 4: *fill = 0xFF00FFFFu; return "TERRAIN";
    case 8: *fill = 0xFF00FFFFu; return "SINK RATE";
    case 9: *fill = 0xFF00FFFFu; return "TOO LOW TERRAIN";
    case 10: *fill = 0xFF0000FFu; return "DON'T SINK";
    case 11: *fill = 0xFF0000FFu; return "TERRAIN AHEAD - PULL UP";
    default: *fill = 0; return nullptr;
    }
}

void DrawTerrainAlertBox()
{
    if (!(Settings.Terrainstate || Settings.GPWSOn || Settings.TAWSOn) || !BackgroundDrawn || Settings.AirportChart)
        return;
    if (!Settings.GPWSOn && !(GetHeightAboveGround() > 20 && Aircraft.GroundSpeed > 20))
        return;
    if (!Settings.TAWSOn && !Settings.GPWSOn)
        return;
    int32_t level = UpdateTerrainAlert();
    uint32_t fill = 0;
    const char* text = TerrainAlertText(level, &fill);
    if (!text || level <= 0 || level >= 12 || !IsBlinkPhaseOn())
        return;
    MapArea m = CurrentMapArea();
    float length = static_cast<float>(strlen(text));
    float cx = static_cast<float>(ScreenCentre.x);
    int extraRows = std::max(0, VisibleSoftkeyRows() - 1);
    float top = BezelShown ? SoftkeyRowY - 28.0f : SoftkeyRowY + 480.0f - m.top - m.height - 28.0f;
    top -= 24.0f * extraRows;
    ScreenRect box{cx - 6 * length, cx + 6 * length, top, top + 22};
    DrawBox(&box, fill, 0, QuadPlacement::VirtualScreen, 0xFFFF0000u, 2);
    SetFontSize(20);
    DrawText(text, cx, top + 1, 0xFF000000u, 1);
}
