// The zoom box, the message box, the button outlines, the wait cursor and the
// chart-busy label.
#include "display/text_boxes.h"

#include "app/language.h"
#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "display/status_layer.h"
#include "maps/airport_charts.h"
#include "maps/http_download.h"
#include "maps/tile_grid.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "render/system_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t White = 0xFFFFFFFFu;
constexpr uint32_t ZoomHighlight = 0xFF0040FFu;
constexpr uint32_t BoxShade = 0xBF000000u;
constexpr uint32_t OutlineYellow = 0xFF00FFFFu;

HoverHold ZoomHold;
bool ZoomBoxUp = false;

double SteadySeconds() { return static_cast<double>(ProgramClockMs()) / 1000.0; }

bool SquatLayout() { return GetAspectRatio() == 3 || GetAspectRatio() == 4; }

FloatRect PlaceZoomBox()
{
    float left = BezelShown ? static_cast<float>(ScreenLayout.MapRectX) : 0.0f;
    float top = ScreenLayout.MapRectY + 60.0f;
    float bottom = top + (Settings.TouchMode ? 160.0f : 200.0f);
    return {left, left + (SquatLayout() ? 22.0f : 20.0f), top, bottom};
}

// The loader's word, one character under the other.
void DrawBusyWord(float left, float y)
{
    const char* word = GetNetworkFailureFlag() ? GetNoteText(10) : GetNoteText(11);
    y -= 4;
    uint32_t colour = 0;
    DimColour(&colour, White);
    for (const char* c = word; *c; ++c) {
        char one[2] = {*c, '\0'};
        DrawText(one, left + 10, y, colour, 1);
        y += Settings.TouchMode ? 11 : 15;
    }
}

void DrawZoomNumbers(const ZoomColumn& column, float left, float y)
{
    // The text drawer dims once more: these colours come out dimmed twice.
    uint32_t white = 0, highlight = 0;
    DimColour(&white, White);
    DimColour(&highlight, ZoomHighlight);
    char number[16];
    for (int zoom = column.first; zoom <= column.first + column.rows - 2; ++zoom) {
        std::snprintf(number, sizeof number, "%d", zoom);
        DrawText(number, left + 15, y, zoom == column.wanted ? highlight : white, 2);
        y += 20;
    }
}

}  // namespace

// ---- message box ----

ScreenMessageBox ScreenMessage = {{}, 0, 16};

void ShowScreenMessage(const char* text, int32_t fontSize)
{
    if (!text || strnlen(text, sizeof ScreenMessage.text) >= sizeof ScreenMessage.text)
        return;
    std::memcpy(ScreenMessage.text, text, std::strlen(text) + 1);
    ScreenMessage.fontSize = fontSize;
    ScreenMessage.shown = 1;
}

bool IsScreenMessageShown() { return ScreenMessage.shown != 0; }
void HideScreenMessage() { ScreenMessage.shown = 0; }

void ShowEditHelpMessage()
{
    ScreenMessage.fontSize = 16;
    size_t used = 0;
    ScreenMessage.text[0] = '\0';
    for (int n = 3; n <= 7 && used + 1 < sizeof ScreenMessage.text; ++n) {
        int written = std::snprintf(ScreenMessage.text + used, sizeof ScreenMessage.text - used, "%s", GetEditText(n));
        if (written < 0)
            break;
        used = std::min(used + static_cast<size_t>(written), sizeof ScreenMessage.text - 1);
    }
}

// The virtual width of a line of the message at the current font size.
static float MessageLineWidth(const char* line)
{
    OutlinePoint outline[5], frame[5];
    MeasureTextOutline(outline, frame, TextScale, line, 400, 0, 0);
    float sx = ScreenScaleX > 0 ? ScreenScaleX : 1.0f;
    return (outline[2].x - outline[0].x) / sx;
}

float TextFitFactor(const char* text, float room)
{
    if (!(room > 0.0f))
        return 0.0f;
    float width = MessageLineWidth(text);
    return width > room ? room / width : 1.0f;
}

void DrawScreenMessageBox()
{
    if (!ScreenMessage.shown)
        return;
    SetFontSize(ScreenMessage.fontSize);
    int h = static_cast<int>(ScreenMessage.fontSize * 1.5);
    // Within the map's glass with the bezel, and below the status block, so
    // that neither the bezel nor the aircraft's status line is covered; a
    // line too long for the glass takes the band as far as it needs.
    float x = ScreenLayout.MapRectX + 20.0f;
    float top = std::max(static_cast<float>(ScreenLayout.MapRectY), GetStatusBlockBottom());
    float left = BezelShown ? static_cast<float>(ScreenLayout.MapRectX) : 0.0f;
    float right = BezelShown ? static_cast<float>(ScreenLayout.MapRectX + ScreenLayout.MapRectW) : 640.0f;
    char text[sizeof ScreenMessage.text];
    std::snprintf(text, sizeof text, "%s", ScreenMessage.text);
    int count = 0;
    const char* lines[64];
    for (char* line = text; line && count < 64;) {
        lines[count++] = line;
        char* next = std::strchr(line, '\n');
        if (next)
            *next++ = '\0';
        right = std::min(640.0f, std::max(right, x + MessageLineWidth(line) + 8));
        line = next;
    }
    for (int i = 0; i < count; ++i) {
        // The last band reaches a little lower than the text.
        float extra = i + 1 < count ? 0.0f : (count > 1 ? 2.0f : 4.0f);
        ScreenRect band{left, right, top + i * h, top + (i + 1) * h + extra};
        DrawBox(&band, BoxShade, 0, QuadPlacement::VirtualScreen, 0, 0);
        // A line wider than the screen is drawn smaller, whole on it.
        float keep = TextScale;
        TextScale = keep * TextFitFactor(lines[i], right - 8 - x);
        if (TextScale > 0.0f)
            DrawText(lines[i], x, top + i * h, White, 0);
        TextScale = keep;
    }
}

// ---- zoom box ----

FloatRect ZoomBoxRect = {0, 0, 0, 0};

bool HoverHold::Step(bool hovering, double now)
{
    if (hovering) {
        hold = 1;
        leftAt = 0;
        leaving = false;
        return true;
    }
    if (!hold)
        return false;
    if (!leaving) {
        leaving = true;
        leftAt = now;
    }
    if (now - leftAt > 1.0)
        hold = 0;
    return hold != 0;
}

ZoomColumn ComputeZoomColumn(int wantedZoom, bool terrain, bool touchMode)
{
    ZoomColumn c{0, touchMode ? 8 : 10, wantedZoom};
    c.first = std::max(wantedZoom - 4, 4);
    if (terrain && c.first < 10)
        c.first = 9;
    if (c.first + c.rows - 1 > 20)
        c.first = 21 - c.rows;
    return c;
}

bool IsZoomBoxShown() { return ZoomBoxUp; }
bool IsScaleBarShown() { return ZoomBoxUp; }

bool GetScaleBarRect(float* left, float* right, float* top, float* bottom)
{
    *left = ZoomBoxRect.left;
    *right = ZoomBoxRect.right;
    *top = ZoomBoxRect.top;
    *bottom = ZoomBoxRect.bottom;
    return ZoomBoxRect.bottom > ZoomBoxRect.top;
}

void DrawZoomBox()
{
    ZoomBoxRect = PlaceZoomBox();
    bool wanted = (ZoomBoxHover || !Settings.DynamicSoftkeys) && Settings.PreferedChartType.load() != 0;
    bool held = ZoomHold.hold != 0;
    ZoomBoxUp = wanted || held;
    if (wanted && ZoomBoxHover)
        SetCursor(LoadCursorA(nullptr, IDC_HAND));
    ZoomHold.Step(wanted && ZoomBoxHover, SteadySeconds());
    if (!ZoomBoxUp)
        return;
    const FloatRect& r = ZoomBoxRect;
    uint32_t border = 0;
    DimColour(&border, White);
    ScreenRect box{r.left, r.right, r.top, r.bottom};
    DrawBox(&box, BoxShade, 0, QuadPlacement::VirtualScreen, border, 1);
    bool terrain = Settings.Terrainstate || Settings.TerrainProfile;
    float y0 = std::trunc(r.top + 2);
    SetFontSize(6);
    DrawText("ZOOM", r.left + 2, y0 + 1, border, 0);
    if (terrain)
        DrawText("TER", r.left + 4, y0 + 8, ZoomHighlight, 0);
    SetFontSize(12);
    float y = y0 + 20;
    if (GetTileLoaderBusy())
        DrawBusyWord(r.left, y);
    else
        DrawZoomNumbers(ComputeZoomColumn(GetWantedZoom(), terrain, Settings.TouchMode != 0), r.left, y);
}

// ---- outlines, cursor, chart label ----

void DrawButtonOutlines()
{
    if (!BezelShown || !Settings.ShowMouserectangle)
        return;
    for (int i = 0; i < ScreenButtonCount; ++i) {
        const ScreenButton& b = ScreenButtons[i];
        int row = i >= FirstSoftkeyButton ? (i - FirstSoftkeyButton) / SoftkeysPerRow : 0;
        if (!b.tooltipShown || !IsSoftkeyRowShown(row))
            continue;
        ScreenRect r{static_cast<float>(b.x), static_cast<float>(b.x + b.w), static_cast<float>(b.y),
                     static_cast<float>(b.y + b.h)};
        DrawBox(&r, 0, 0, QuadPlacement::VirtualScreen, OutlineYellow, 2);
    }
}

void ShowWaitCursor()
{
    if (IsLoadingBusy())
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void DrawChartBusyLabel()
{
    if (!IsChartBusy())
        return;
    SetFontSize(16);
    char text[401];
    GetChartStatusText(text, sizeof text);
    DrawLabelBox(1.0, text, 400, ScreenCentre.x, ScreenCentre.y, 0, White, 0x7F000000u, 0);
}
