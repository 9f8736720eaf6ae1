// The softkey bar and the tooltip band.
#include "display/softkey_bar.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/draw_helpers.h"
#include "display/map_view.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "display/text_boxes.h"
#include "platform/threads.h"
#include "render/bitmap_fonts.h"
#include "render/shapes.h"
#include "maps/tile_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t BandColour = 0xBFE0FFFFu;
constexpr uint32_t Black = 0xFF000000u;
constexpr int MaxTooltipLines = 3;

// Kept with a steady clock, so that the hold ends one second after the
// pointer left also when a minute turns over meanwhile.
HoverHold BarHold;

bool IsRowDrawn(int row)
{
    if (row == 0)
        return true;
    return std::strcmp(GetSoftkeyLabel(row * SoftkeysPerRow), " ") != 0;
}

void TooltipEntryText(int entry, char* out, size_t size)
{
    TooltipEntry e;
    GetTooltipText(&e, entry);
    std::snprintf(out, size, "%s", e.text.c_str());
}

// Bands of the panel's own buttons sit one row lower than the softkeys'.
bool IsShortBand(int button) { return button == 0 || button == 3 || button == 6 || button == 7 || (button >= 12 && button <= 17); }

// While the GPS pages are up only the panel's fixed buttons explain themselves.
bool ShowsBandInGpsPages(int button)
{
    if (button == 13 || button == 15)
        return TransparencyControls != 0;
    return IsShortBand(button);
}

}  // namespace

float SoftkeyBarShift()
{
    if (BezelShown)
        return 0.0f;
    return static_cast<float>(480 - ScreenLayout.MapRectY - ScreenLayout.MapRectH);
}

bool IsSoftkeyBarUp(double nowSeconds)
{
    bool hovering = SoftkeyBarHover != 0;
    if (!Settings.DynamicSoftkeys) {
        BarHold.Step(hovering, nowSeconds);
        return true;
    }
    return BarHold.Step(hovering, nowSeconds);
}

void DrawSoftkeyBar(int clientHeight)
{
    float shift = SoftkeyBarShift();
    if (!Settings.Softkeys) {
        if (Settings.GeorefEdit)
            return;
        SetFontSize(16);
        if (IsSoftkeyShown(BackSoftkey)) {
            SetFontSize(12);
            std::snprintf(SoftkeyLabelBoxes[BackSoftkey].text, sizeof SoftkeyLabelBoxes[BackSoftkey].text, "MENU");
            DrawSoftkey(BackSoftkey, 0, shift, clientHeight);
        }
        SoftkeyLabelBoxes[ExitSoftkey].textColour = SoftkeyNormal;
        std::snprintf(SoftkeyLabelBoxes[ExitSoftkey].text, sizeof SoftkeyLabelBoxes[ExitSoftkey].text, "EXIT");
        DrawSoftkey(ExitSoftkey, 0, shift, clientHeight);
        return;
    }
    if (!IsSoftkeyBarUp(static_cast<double>(ProgramClockMs()) / 1000.0))
        return;
    SetFontSize(11);
    for (int row = 0; row < 3; ++row) {
        if (!IsRowDrawn(row))
            continue;
        for (int column = 0; column < SoftkeysPerRow; ++column) {
            int n = row * SoftkeysPerRow + column;
            if (IsSoftkeyShown(n))
                DrawSoftkey(n, 0, shift, clientHeight);
        }
    }
}

void GetTooltipBandText(int button, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = '\0';
    if (button < 0 || button >= ScreenButtonCount)
        return;
    bool knobs = BezelShown && TransparencyControls;
    if (button >= FirstSoftkeyButton) {
        if (IsSoftkeyShown(button - FirstSoftkeyButton))
            std::snprintf(out, size, "%s", ScreenButtons[static_cast<size_t>(button)].tooltip);
        return;
    }
    switch (button) {
    case 0: TooltipEntryText(202, out, size); return;
    case 2: TooltipEntryText(203, out, size); return;
    case 3: TooltipEntryText(107, out, size); return;
    case 4: {
        // The panel button explains the bar's current behaviour.
        ScreenButton& b = ScreenButtons[4];
        TooltipEntryText(Settings.DynamicSoftkeys ? 204 : 205, b.tooltip, sizeof b.tooltip);
        std::snprintf(out, size, "%s", b.tooltip);
        return;
    }
    case 6:
    case 7:
        if (IsLoadingBusy())
            std::snprintf(out, size, "%s", GetWarningText(0));
        else
            TooltipEntryText(button == 6 ? 206 : 207, out, size);
        return;
    default: break;
    }
    if (button >= 12 && button <= 17 && knobs) {
        static const int Entries[6] = {208, 209, 210, 209, 211, 211};
        TooltipEntryText(Entries[button - 12], out, size);
        return;
    }
    std::snprintf(out, size, "%s", ScreenButtons[static_cast<size_t>(button)].tooltip);
}

void DrawTooltipBands(int clientHeight)
{
    if (!Settings.Tooltips)
        return;
    int h = clientHeight > 0 ? clientHeight : 480;
    SetFontSize(std::min(16, static_cast<int>(std::trunc(Settings.Tooltip * 1000.0 / h + 0.5))));
    float lineHeight = static_cast<float>(GetFontSize()) + 4.0f;
    float r = static_cast<float>(SoftkeyRowStep);
    for (int button = 0; button < ScreenButtonCount; ++button) {
        if (!ScreenButtons[static_cast<size_t>(button)].tooltipShown)
            continue;
        if (Settings.GPSMode > 0 && !ShowsBandInGpsPages(button))
            continue;
        char text[sizeof ScreenButtons[0].tooltip];
        GetTooltipBandText(button, text, sizeof text);
        if (!text[0])
            continue;
        // A softkey's text may hold up to three lines.
        const char* lines[MaxTooltipLines] = {text, nullptr, nullptr};
        int count = 1;
        for (char* p = text; (p = std::strchr(p, '\n')) != nullptr && count < MaxTooltipLines;) {
            *p++ = '\0';
            lines[count++] = p;
        }
        if (char* extra = count == MaxTooltipLines ? std::strchr(const_cast<char*>(lines[2]), '\n') : nullptr)
            *extra = '\0';
        float height = IsShortBand(button) ? 24.0f : 26.0f;
        float grow = (count - 1) * lineHeight;
        // From the tooltip row with the bezel, from the bar without it; up
        // one row for each upper softkey row shown, growing upwards.
        float y = BezelShown ? ScreenLayout.TooltipRowY - 8.0f - 20.0f - grow
                             : SoftkeyRowY + SoftkeyBarShift() - 2.0f - height - grow;
        if (IsSoftkeyShown(SoftkeysPerRow))
            y -= r;
        if (IsSoftkeyShown(2 * SoftkeysPerRow))
            y -= r;
        ScreenRect band{0, 640, y, y + height + grow};
        DrawBox(&band, BandColour, 0, QuadPlacement::VirtualScreen, 0, 0);
        float x = ScreenLayout.MapRectX + 20.0f;
        for (int i = 0; i < count; ++i)
            DrawText(lines[i], x, y + 3 + i * lineHeight, Black, 0);
    }
}
