// The status block and the bezel overlay.
#include "display/status_layer.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "app/indicator_lamps.h"
#include "display/softkey_bar.h"
#include "display/softkey_pages.h"
#include "display/sprite_draw.h"
#include "display/status_text.h"
#include "display/text_boxes.h"
#include "maps/tile_sources.h"
#include "navdata/route_navigation.h"
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "render/system_text.h"
#include "simlink/msfs_link.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

static const uint32_t White = 0xFFFFFFFFu;
static const uint32_t HalfBlack = 0x7F000000u;
static const char Degree = static_cast<char>(0xB0);

int32_t ComputeStatusFontSize(int clientHeight)
{
    // A window not measured yet counts as the virtual screen's height.
    int h = clientHeight > 0 ? clientHeight : 480;
    double v = std::trunc(Settings.Stateline * 1000.0 / h + 0.5);
    int32_t size = v > 1000 ? 1000 : v < -1000 ? -1000 : static_cast<int32_t>(v);
    if (Settings.Position)
        size -= 1;
    return std::min(size, 20);
}

static bool InAirportDiagramMode()
{
    return Settings.NavAirport && !Settings.AirportOverlay;
}

// The navigation database's name; 0 takes the simulator's own.
static const char* NavDatabaseName(const char* ownName)
{
    static const char* const Names[9] = {"", "X-Plane", "FS2004", "FSX", "P3D", "FlightGear", "MSFS", "AFS2",
                                         "OpenAIP"};
    int n = Settings.NavDatabase;
    if (n <= 0 || n >= 9)
        return ownName;
    return Names[n];
}

// "%3d° %4.1f' %c  %2d° %4.1f' %c" of the map centre, longitude first.
static void FormatCentrePosition(char* out, size_t size)
{
    DegMinRecord p{};
    LatLonToDegMin(MapCenter.latitude.load(), MapCenter.longitude.load(), &p);
    std::snprintf(out, size, "%3d%c %4.1f' %c  %2d%c %4.1f' %c", p.lonDegrees, Degree, p.lonMinutes, p.eastWest,
                  p.latDegrees, Degree, p.latMinutes, p.northSouth);
}

void FormatWaitingLine(char* out, size_t size)
{
    struct Simulator {
        int note;
        const char* name;
    };
    static const Simulator BySimulator[9] = {{-1, ""},       {0, "FSX"},        {3, "P3D"},
                                             {3, "P3D"},     {2, "X-Plane"},    {1, "FS2004"},
                                             {4, "FlightGear"}, {5, "MSFS"},   {16, "AFS2"}};
    out[0] = '\0';
    int sim = Settings.UseSimulator.load();
    if (sim < SimulatorFirst || sim > SimulatorLast)
        return;
    if (sim == SimulatorMsfs && !ProxyAlive.load()) {
        std::snprintf(out, size, "%s", GetErrorText(7));
        return;
    }
    char position[64];
    FormatCentrePosition(position, sizeof position);
    std::snprintf(out, size, "%s | Pos: %s / Nav DB: %s", GetNoteText(BySimulator[sim].note), position,
                  NavDatabaseName(BySimulator[sim].name));
}

bool IsWaitingLineShown()
{
    if (ManualPositionMode.load() && ManualPositionValid.load())
        return true;
    return IsSimLinkEnabled() && !IsSimConnected() && !InAirportDiagramMode();
}

void FormatStatusLine1ForDisplay(char* out, size_t size)
{
    const char* line = StatusLines[0].text;
    // With MapQuest tiles the month's request counter stands first; with its
    // switch off the line shows on its own.
    if (IsMapQuestMode() && Settings.Transactioncounter)
        std::snprintf(out, size, "TXCNT: %d / %s", Settings.TransactionCount.load(), line);
    else if (!IsMapQuestMode() && Settings.ShowFPS)
        std::snprintf(out, size, "FPS: %3.1lf / %s", FramesPerSecond, line);
    else
        std::snprintf(out, size, "%s", line);
    if ((ManualPositionMode.load() && ManualPositionValid.load()) || Settings.Position) {
        char position[64];
        FormatCentrePosition(position, sizeof position);
        size_t used = strnlen(out, size);
        if (used + 1 < size)
            std::snprintf(out + used, size - used, " : Pos: %s", position);
    }
}

void DrawTextDimmed(float left, float top, uint32_t colour, const char* text)
{
    uint32_t c = 0;
    DimColour(&c, colour);
    float size = static_cast<float>(GetFontSize()) * TextScale;
    DrawFontString(size, left * ScreenScaleX, top * ScreenScaleY, c, text, 0);
}

// The bottom of the status block drawn this frame (0 while none is).
static float StatusBlockBottom = 0;

float GetStatusBlockBottom() { return StatusBlockBottom; }

static void FillBand(float top, float bottom)
{
    ScreenRect r{0, 640, top, bottom};
    DrawBox(&r, HalfBlack, 0, QuadPlacement::VirtualScreen, 0, 0);
    StatusBlockBottom = std::max(StatusBlockBottom, bottom);
}

// The top of the status block: just above the map with the bezel.
static float StatusTop()
{
    return BezelShown ? ScreenLayout.MapRectY - 1.0f : 0.0f;
}

static void DrawWaitingLine(int32_t fontSize)
{
    char text[256];
    FormatWaitingLine(text, sizeof text);
    bool squat = GetAspectRatio() == 3 || GetAspectRatio() == 4;
    int k = BezelShown ? (squat ? 10 : 12) : (squat ? 14 : 16);
    SetFontSize(fontSize * k / 20);
    float top = StatusTop();
    FillBand(top, top + 22);
    DrawTextDimmed(BezelShown ? ScreenLayout.MapRectX + 2.0f : 0.0f, top, White, text);
}

static void DrawStatusLines(int32_t fontSize)
{
    if (InAirportDiagramMode() || !BackgroundDrawn)
        return;
    SetFontSize(fontSize);
    float top = StatusTop(), bottom = top + fontSize + 2;
    for (int k = 1; k < 3; ++k)
        if (StatusLines[k].shown)
            bottom += fontSize + 2;
    FillBand(top, bottom);
    float x = BezelShown ? ScreenLayout.MapRectX + 2.0f : 2.0f;
    float mapTop = static_cast<float>(ScreenLayout.MapRectY);
    if (StatusLines[0].shown) {
        char line[256];
        FormatStatusLine1ForDisplay(line, sizeof line);
        DrawTextDimmed(x, BezelShown ? mapTop - 1 : 0.0f, White, line);
    }
    uint32_t planColour = IsCrossTrackExceeded() ? 0xFF00FFFFu : White;
    if (StatusLines[1].shown)
        DrawTextDimmed(x, BezelShown ? mapTop + fontSize + 1 : fontSize, planColour, StatusLines[1].text);
    if (StatusLines[2].shown)
        DrawTextDimmed(x, BezelShown ? mapTop + 2 * fontSize + 1 : 2 * fontSize + 2.0f, planColour,
                       StatusLines[2].text);
}

// The top of the highest softkey row the open bar shows (virtual units):
// a row of keys drawn over the message would hide its text.
static float SoftkeyRowsTop()
{
    int highest = 0;
    for (int row = 1; row < 3; ++row)
        if (IsSoftkeyRowShown(row))
            highest = row;
    return GetSoftkeyRowTop(highest) + SoftkeyBarShift();
}

static void DrawStatusMessage(int32_t fontSize)
{
    const StatusLine& message = StatusLines[3];
    if (!message.shown)
        return;
    SetFontSize(fontSize);
    float b = 0, x = 2;
    if (BezelShown) {
        float mapBottom = static_cast<float>(ScreenLayout.MapRectY + ScreenLayout.MapRectH);
        b = Settings.Softkeys ? mapBottom - 52 : mapBottom - fontSize;
        x = ScreenLayout.MapRectX + 2.0f;
    } else {
        b = Settings.Softkeys ? 480.0f - 52 : 480.0f - fontSize - 4;
    }
    if (Settings.Softkeys)
        b = std::min(b, SoftkeyRowsTop() - fontSize - 1);
    // Inside the map's glass with the bezel: the bezel stays as it is.
    ScreenRect band = BezelShown ? ScreenRect{static_cast<float>(ScreenLayout.MapRectX),
                                              static_cast<float>(ScreenLayout.MapRectX + ScreenLayout.MapRectW), b,
                                              b + fontSize}
                                 : ScreenRect{0, 640, b, b + fontSize};
    DrawBox(&band, HalfBlack, 0, QuadPlacement::VirtualScreen, 0, 0);
    // A message longer than its band is drawn smaller, whole inside it.
    float keep = TextScale;
    TextScale = keep * TextFitFactor(message.text, band.x1 - 2 - x);
    if (TextScale > 0.0f)
        DrawTextDimmed(x, b, White, message.text);
    TextScale = keep;
}

void DrawStatusLayer(int clientHeight)
{
    StatusBlockBottom = 0;
    if (Settings.AirportChart)
        return;
    int32_t fontSize = ComputeStatusFontSize(clientHeight);
    if (IsWaitingLineShown())
        DrawWaitingLine(fontSize);
    else
        DrawStatusLines(fontSize);
    DrawStatusMessage(fontSize);
}

// ---- bezel ----

namespace {

constexpr double KnobRadius = 7.0;

// The brightness knob's pointer is placed anew only when its angle changed.
struct KnobAngleCache {
    double angle = 0;
    double dx = KnobRadius, dy = 0;
};
KnobAngleCache BrightnessKnob;

void DrawKnobPointer(double centreX, double centreY, double dx, double dy, uint32_t colour)
{
    DrawSprite(SpriteKnobPointer, static_cast<float>(centreX + dx), static_cast<float>(centreY + dy), colour, 0, 0.5f,
               QuadPlacement::VirtualScreen);
}

// A knob's angle for a value of 0..1: a quarter turn plus up to 5.5 radians.
double KnobAngle(double share) { return share * 5.5 + 1.57; }

void DrawBrightnessKnob(uint32_t colour)
{
    int level = Settings.AllowDim ? Settings.MapDimLevel : Settings.Dimlevel;
    double a = KnobAngle(level / 255.0);
    if (a != BrightnessKnob.angle) {
        BrightnessKnob.angle = a;
        BrightnessKnob.dx = KnobRadius * std::cos(a);
        BrightnessKnob.dy = KnobRadius * std::sin(a);
    }
    DrawKnobPointer(ScreenLayout.BrightnessKnobX, ScreenLayout.BrightnessKnobY, BrightnessKnob.dx, BrightnessKnob.dy,
                    colour);
}

void DrawTransparencyKnobs(uint32_t colour)
{
    DrawSprite(SpriteTransparencyScale, 0, 196, colour, 0, 0.478f, QuadPlacement::VirtualScreen);
    DrawSprite(SpriteTransparencyScaleLower, 0, 300, colour, 0, 0.478f, QuadPlacement::VirtualScreen);
    double x = ScreenLayout.TransparencyKnobX, y = ScreenLayout.TransparencyKnobY;
    double terrain = KnobAngle(Settings.TerrainTransparency);
    DrawKnobPointer(x, y, KnobRadius * std::cos(terrain), KnobRadius * std::sin(terrain), colour);
    double airport = KnobAngle(Settings.AirportMapTransparency / 255.0);
    DrawKnobPointer(x, y + 104, KnobRadius * std::cos(airport), KnobRadius * std::sin(airport), colour);
}

void DrawConnectionLamp()
{
    if (!IsBlinkPhaseVisible() || !SpriteTable[SpriteBezelLamp].loaded || Settings.Dimlevel < 10)
        return;
    uint32_t colour = IsSimConnected() ? White : 0xFF0040FFu;
    DrawSprite(SpriteBezelLamp, static_cast<float>(ScreenLayout.ConnectionLampX),
               static_cast<float>(ScreenLayout.ConnectionLampY), colour, 0, 0.4f, QuadPlacement::VirtualScreen);
}

}  // namespace

void DrawBezelOverlay()
{
    if (!BezelShown)
        return;
    uint32_t white = 0;
    DimColour(&white, White);
    DrawSprite(SpriteBezel, 0, 0, white, 0, 1.0f, QuadPlacement::WholeTarget);
    if (TransparencyControls)
        DrawTransparencyKnobs(white);
    DrawBrightnessKnob(white);
    DrawConnectionLamp();
}
