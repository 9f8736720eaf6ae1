// Track plot, traffic targets, track vector and direct-to line.
#include "display/track_traffic_layer.h"

#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/shared_accessors.h"
#include "app/softkey_menu.h"
#include "app/track_ring.h"
#include "simlink/traffic_mode.h"
#include "display/aircraft_values.h"
#include "display/airport_view.h"
#include "display/draw_helpers.h"
#include "display/frame_renderer.h"
#include "display/frame_update.h"
#include "display/map_projection.h"
#include "display/map_view.h"
#include "display/sprite_draw.h"
#include "display/sprite_table.h"
#include "navdata/nearest_airports.h"
#include "platform/window.h"
#include "render/bitmap_fonts.h"
#include "render/device.h"
#include "render/polylines.h"
#include "render/shapes.h"
#include "render/system_text.h"
#include "simlink/sim_link.h"
#include "simlink/traffic_advisory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t LabelColour = 0xFF7FFF00u;
constexpr uint32_t LabelBoxColour = 0x7F000000u;
constexpr int TrackLineMax = 1500;
constexpr int TrackLabelFont = 16;
constexpr int TrackLabelSize = 12;
constexpr float SlowTargetKt = 20;

uint32_t Dimmed(uint32_t colour) { return DimmedColour(colour, Settings.Dimlevel); }

bool InAirportDiagram() { return Settings.NavAirport && !Settings.AirportOverlay; }

float CentreX() { return static_cast<float>(ScreenCentre.x); }
float CentreY() { return static_cast<float>(ScreenCentre.y); }

// A map point on the screen (map pixels about the centre), not yet turned.
void PlaceOnScreen(double lat, double lon, float* x, float* y)
{
    double dx = 0, dy = 0, k = 0;
    if (InAirportDiagram()) {
        LatLonToAirportViewXY(&dx, &dy, lon, lat);
        k = FrameZoom * GetTextScale();
    } else {
        ProjectToScreenOffset(&dx, &dy, lon, lat);
        k = static_cast<double>(FrameZoom) * MapScale;
    }
    *x = static_cast<float>(ScreenCentre.x + k * dx);
    *y = static_cast<float>(ScreenCentre.y + k * dy);
}

// The window dots are drawn in: the client size about the centre.
struct DotWindow {
    float left, right, top, bottom;
    bool Holds(float x, float y) const { return x > left && x <= right && y > top && y <= bottom; }
};

DotWindow DotWindowOf(HWND window)
{
    RECT r{};
    // Without a window (headless runs) the renderer's client size stands in.
    if (!GetClientRect(window, &r))
        r = RECT{0, 0, static_cast<LONG>(RenderDevice.clientWidth), static_cast<LONG>(RenderDevice.clientHeight)};
    float w = static_cast<float>(r.right - r.left), h = static_cast<float>(r.bottom - r.top);
    return {CentreX() - w / 2, CentreX() + w / 2, CentreY() - h / 2, CentreY() + h / 2};
}

void DrawDot(const DotWindow& view, float x, float y, uint32_t colour, float angle)
{
    if (!view.Holds(x, y))
        return;
    const SpriteSlot& dot = SpriteTable[SpriteTrackDot];
    DrawSprite(SpriteTrackDot, x - dot.width / 2.0f, y - dot.height / 2.0f, colour, angle, 1.0f,
               QuadPlacement::MapPixels);
}

// Dots from e towards its successor s, one every 30 units at most; returns
// where the stepping ended.
OutlinePoint DrawDotsTowards(const DotWindow& view, OutlinePoint e, OutlinePoint s, uint32_t colour, float angle)
{
    int m = std::max(static_cast<int>(std::fabs(e.x - s.x) / 30) + 1, static_cast<int>(std::fabs(e.y - s.y) / 30) + 1);
    float stepX = std::trunc((s.x - e.x) / m), stepY = std::trunc((s.y - e.y) / m);
    for (int j = 0; j < m; ++j)
        DrawDot(view, e.x + j * stepX, e.y + j * stepY, colour, angle);
    return {std::trunc(e.x + m * stepX), std::trunc(e.y + m * stepY), 0};
}

OutlinePoint TrackPointOnScreen(int index)
{
    const TrackPoint& p = TrackRing.points[index];
    OutlinePoint o{0, 0, 0};
    PlaceOnScreen(p.latitude, p.longitude, &o.x, &o.y);
    return o;
}

}  // namespace

int DrawTrackPlot(HWND window, float angle)
{
    if (!Settings.PlotTrack || !BackgroundDrawn || Settings.AirportChart)
        return 0;
    uint32_t colour = Dimmed(Settings.TrackPlotColor);
    DotWindow view = DotWindowOf(window);
    int n = TrackPointCount();
    int first = TrackRing.oldest >= 0 && TrackRing.oldest < TrackRingSize ? TrackRing.oldest : 0;
    int count = 0;
    OutlinePoint lastDot = n > 0 ? TrackPointOnScreen(first) : OutlinePoint{0, 0, 0};
    const float near = static_cast<float>(TrackPointSpacing / 2);
    for (int k = 0; k < n && k < TrackRingSize; ++k) {
        OutlinePoint e = TrackPointOnScreen((first + k) % TrackRingSize);
        if (n - k <= TrackLineMax) {
            if (count < TrackLineMax && count < ScreenPointCapacity)
                ScreenPointBuffer[count++] = e;
            continue;
        }
        // Older points: thinned to one dot per 10 units of movement.
        OutlinePoint s = TrackPointOnScreen((first + k + 1) % TrackRingSize);
        bool nearLast = std::fabs(s.x - lastDot.x) <= near && std::fabs(s.y - lastDot.y) <= near;
        if (nearLast && k > 0)
            continue;
        if (k + 1 == n - 1) {
            DrawDot(view, e.x, e.y, colour, angle);
            continue;
        }
        lastDot = DrawDotsTowards(view, e, s, colour, angle);
    }
    if (count > 1)
        DrawPolyline(ScreenPointBuffer, count, colour, angle, static_cast<float>(Settings.TrackPlotWidth));
    return count;
}

void DrawTrackPlotPreview(int trackPoints, float mapAngle, float trackAngle)
{
    bool trackOptionsOpen = Settings.Softkeys && Settings.Softkeylevel == MenuOptions &&
                            (Settings.Softkeysublevel == 2 || Settings.Softkeysublevel == 5) &&
                            GetWidthTarget() == WidthTrackPlot;
    if (trackPoints >= 2 || !Settings.PlotTrack || !trackOptionsOpen)
        return;
    float w = static_cast<float>(Settings.TrackPlotWidth);
    ScreenRect bar{CentreX() - w, CentreX() + w, 0, CentreY()};
    DrawFilledQuad(&bar, Dimmed(Settings.TrackPlotColor), mapAngle + trackAngle + 3.14156f, QuadPlacement::MapPixels);
}

void TrafficLabelOffset(float heading, float groundSpeed, float* dx, float* dy)
{
    float a = heading;
    if (a < 0)
        a += 6.28f;
    else if (a >= 6.28f)
        a -= 6.28f;
    float x = 60, y = (groundSpeed > SlowTargetKt ? 32.0f : 16.0f) * 2 / 3;
    if (a >= 4.71f && a < 6.28f) {
        *dx = x, *dy = y;
    } else if (a >= 3.14f && a < 4.71f) {
        *dx = x, *dy = -y;
    } else if (a >= 1.57f && a < 3.14f) {
        *dx = -x, *dy = -y;
    } else {
        *dx = -x, *dy = y;
    }
}

namespace {

struct DrawnTarget {
    float x, y, heading, groundSpeed, altitude;
    uint32_t trafficClass;
    char callsign[36];
};

// Centred on the target's position (ax, ay), as the leader line starts there.
void DrawClassSymbol(const DrawnTarget& t, float ax, float ay, float mapAngle)
{
    // Class 9 is never given; anything past 11 has no picture.
    if (t.trafficClass > 11 || !IsOnScreen(ax - 8, ay - 8))
        return;
    DrawSpriteAbout(SpriteTrafficClass0 + static_cast<int>(t.trafficClass), ax - 8, ay - 8, White, mapAngle, 1.0f,
                    QuadPlacement::MapPixels);
}

void DrawTargetLabel(const DrawnTarget& t, int fontSlot, float bx, float by, float mapAngle)
{
    if (t.groundSpeed < SlowTargetKt) {
        DrawBitmapTextDimmed(fontSlot, t.callsign, bx - 36, by - 6, LabelColour, LabelBoxColour, mapAngle,
                             TextBackground::Box, QuadPlacement::MapPixels);
        return;
    }
    char values[32];
    std::snprintf(values, sizeof values, "%3.3d %3d", TruncateToInt(t.altitude / 100), TruncateToInt(t.groundSpeed));
    const char* lines[2] = {t.callsign, values};
    DrawBitmapTextBlockDimmed(fontSlot, lines, 2, bx - 36, by - 12, 14, LabelColour, LabelBoxColour, mapAngle,
                              TextBackground::Box, QuadPlacement::MapPixels);
}

void DrawLabelledTarget(const DrawnTarget& t, float px, float py, float w, float h, int fontSlot, float mapAngle,
                        float headingOffset)
{
    float ax = px + w / 2, ay = py + h / 2;
    float dx = 0, dy = 0;
    TrafficLabelOffset(t.heading, t.groundSpeed, &dx, &dy);
    float bx = ax + dx, by = ay + dy;
    if (t.groundSpeed >= SlowTargetKt && IsOnScreen(ax, ay)) {
        ScreenPointBuffer[0] = {ax, ay, 0};
        ScreenPointBuffer[1] = {bx, by, 0};
        DrawPolyline(ScreenPointBuffer, 2, Dimmed(LabelColour), mapAngle, 2.0f);
    }
    if (t.trafficClass != TrafficClassNone)
        DrawClassSymbol(t, ax, ay, mapAngle);
    else if (IsOnScreen(px, py))
        DrawSprite(SpriteTrafficAircraft, px, py, White, mapAngle, 1.0f, QuadPlacement::MapPixels,
                   OwnAngle{t.heading + headingOffset});
    if (IsOnScreen(bx, by))
        DrawTargetLabel(t, fontSlot, bx, by, mapAngle);
}

}  // namespace

void DrawTrafficTargets(float mapAngle, float headingOffset)
{
    if (TrafficDisplayMode == 0 || !BackgroundDrawn || Settings.AirportChart || !SimLinkIsConnected() ||
        InAirportDiagram())
        return;
    SetFontSize(TrackLabelSize);
    int fontSlot = SelectBitmapFont(TrackLabelFont);
    const SpriteSlot& symbol = SpriteTable[SpriteTrafficAircraft];
    float w = static_cast<float>(symbol.width), h = static_cast<float>(symbol.height);
    float k = static_cast<float>(GetTextScale()) * FrameZoom;
    DrawnTarget t{};
    for (int i = 0; GetTrafficTarget(i, &t.x, &t.y, &t.heading, &t.trafficClass, &t.groundSpeed, &t.altitude,
                                     t.callsign);
         ++i) {
        float px = CentreX() - w / 2 + k * t.x, py = CentreY() - h / 2 + k * t.y;
        if (TrafficLabels)
            DrawLabelledTarget(t, px, py, w, h, fontSlot, mapAngle, headingOffset);
        else
            DrawClassSymbol(t, px + w / 2, py + h / 2, mapAngle);
    }
}

double TurnRate(double bankRad, double groundSpeed)
{
    // Standing still there is no turn to show (and no speed to divide by).
    if (!(groundSpeed > 0))
        return 0;
    return 9.81 * std::tan(-bankRad) / (0.008990189679 * groundSpeed);
}

// A straight vector has been drawn since the curved one was: the curve's
// segments may then jump to their count at once.
static uint8_t VectorDrawn = 0;

void DrawTrackVector(float mapAngle)
{
    int mode = GetTrackMode();
    if (MapPanning || !BackgroundDrawn || Settings.AirportChart || InAirportDiagram() || mode <= 0)
        return;
    double rate = TurnRate(GetBankAngleRad(), Aircraft.GroundSpeed);
    // A frame whose view steps waited has last frame's turn values: no curve from them.
    if (!IsVectorSuppressed() && Settings.CurvedVector && mode == 1 && std::fabs(rate) > 0.1) {
        float cx = 0, cy = 0;
        GetMapCenterPixel(&cx, &cy);
        DrawSmoothedVector(cx, cy, Aircraft.GroundSpeed, GetAirVectorAngleRad(), mapAngle, TrackVectorLength, rate,
                           &VectorDrawn);
        return;
    }
    float length = 0;
    if (mode == 1) {
        length = TrackVectorLength * FrameZoom * MapScale;
    } else {
        // A vector of fixed length: half the viewport's diagonal whatever the zoom.
        int vw = 0, vh = 0;
        GetViewportSize(&vw, &vh);
        length = static_cast<float>(static_cast<int>(std::sqrt(static_cast<double>(vw) * vw + vh * vh) / 2));
    }
    float w = static_cast<float>(Settings.VectorWidth);
    ScreenRect bar{CentreX() - w, CentreX() + w, CentreY() - length, CentreY()};
    DrawFilledQuad(&bar, Dimmed(Settings.TrackColor), static_cast<float>(GetAirVectorAngleRad()) + mapAngle,
                   QuadPlacement::MapPixels);
    VectorDrawn = 1;
}

// The end of a line from the screen centre, turned by the map angle and,
// with the bezel, cut at the edge of its map area: drawn after the bezel,
// the line would otherwise run on across it.
static void TurnAndCutToMapArea(float angle, float* x, float* y)
{
    float cx = CentreX(), cy = CentreY();
    double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
    double dx = *x - cx, dy = *y - cy;
    double tx = dx * c - dy * s, ty = dx * s + dy * c;
    if (BezelShown) {
        // The line is in map pixels, the client's own round the centre; the
        // map area is in screen units, so it is scaled to the client first.
        double sx = RenderDevice.clientWidth > 0 ? RenderDevice.clientWidth / 640.0 : 1.0;
        double sy = RenderDevice.clientHeight > 0 ? RenderDevice.clientHeight / 480.0 : 1.0;
        double left = cx + (ScreenLayout.MapRectX - cx) * sx, top = cy + (ScreenLayout.MapRectY - cy) * sy;
        double right = cx + (ScreenLayout.MapRectX + ScreenLayout.MapRectW - cx) * sx;
        double bottom = cy + (ScreenLayout.MapRectY + ScreenLayout.MapRectH - cy) * sy;
        double t = 1.0;
        if (cx + tx > right)
            t = std::min(t, (right - cx) / tx);
        if (cx + tx < left)
            t = std::min(t, (left - cx) / tx);
        if (cy + ty > bottom)
            t = std::min(t, (bottom - cy) / ty);
        if (cy + ty < top)
            t = std::min(t, (top - cy) / ty);
        t = std::max(t, 0.0);
        tx *= t;
        ty *= t;
    }
    *x = static_cast<float>(cx + tx);
    *y = static_cast<float>(cy + ty);
}

void DrawDirectToLine(float mapAngle)
{
    // The line starts at the aircraft: while the map is panned the screen
    // centre is not where the aircraft is (its symbol is hidden too).
    if (Settings.AirportChart || InAirportDiagram() || MapPanning)
        return;
    const AirportRecord* a = GetNearestAirportRecord();
    if (!a || !Settings.DirToVector || !IsBlinkPhaseOn())
        return;
    float x = 0, y = 0;
    PlaceOnScreen((a->latA + a->latB) / 2, (a->lonA + a->lonB) / 2, &x, &y);
    TurnAndCutToMapArea(mapAngle, &x, &y);
    ScreenPointBuffer[0] = {CentreX(), CentreY(), 0};
    ScreenPointBuffer[1] = {x, y, 0};
    DrawPolyline(ScreenPointBuffer, 2, Dimmed(Settings.DirToColor), 0.0f, static_cast<float>(Settings.DirToWidth));
}
