// The softkey objects and their tooltips, the top level, the connected flag
// of the selected link, and the layout and drawing of one softkey. A page's
// faces are built in softkey_page_builder.cpp.
#include "display/softkey_pages.h"

#include "app/click_zones.h"
#include "app/language.h"
#include "app/layout_tables.h"
#include "app/screen_layout.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/draw_helpers.h"
#include "display/sprite_draw.h"
#include "render/bitmap_fonts.h"
#include "render/system_text.h"
#include "simlink/sim_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

// Until the page is first built every key is blank but the back key.
int32_t MapTypeSoftkeyIds[MapTypeSoftkeySlots] = {
    MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBackId,
    MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId,
    MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId, MapTypeBlankId};
int32_t MapTypeSoftkeyCount = 0;
int32_t SoftkeyLabelOffset[21];
float SoftkeyScale = 472.0f / 3584.0f;
float SoftkeyPictureX[7];
float SoftkeyPictureY = 0;

static bool IsSoftkey(int n) { return n >= 0 && n < SoftkeyCount; }

void HideAllSoftkeys()
{
    for (int n = 0; n < SoftkeyCount; ++n) {
        SoftkeyLabelBoxes[n].text[0] = '\0';
        SoftkeyLabelBoxes[n].shown = 0;
        SoftkeyLabelOffset[n] = 0;
    }
}

void SetSoftkeyHighlight(int n, bool on)
{
    if (IsSoftkey(n))
        SoftkeyLabelBoxes[n].textColour = on ? SoftkeyLit : SoftkeyNormal;
}

static void TakeTooltipEntry(int n, int tooltipEntry)
{
    TooltipEntry entry;
    GetTooltipText(&entry, tooltipEntry);
    SetSoftkeyTooltip(n, entry.text.c_str(), static_cast<int>(entry.lineCount));
}

void SetButtonLabel(int n, const char* label, bool highlight, int tooltipEntry, int32_t offset)
{
    if (!IsSoftkey(n))
        return;
    TextBox& key = SoftkeyLabelBoxes[n];
    std::snprintf(key.text, sizeof key.text, "%s", label ? label : "");
    key.textColour = highlight ? SoftkeyLit : SoftkeyNormal;
    key.shown = 1;
    TakeTooltipEntry(n, tooltipEntry);
    SoftkeyLabelOffset[n] = offset;
}

void SetPageSoftkey(const char* label, bool highlight, int tooltipEntry, int n, int32_t offset)
{
    if (n >= 0 && n <= 14)
        SetButtonLabel(n, label, highlight, tooltipEntry, offset);
}

uint32_t GetSoftkeyColour(int n) { return IsSoftkey(n) ? SoftkeyLabelBoxes[n].textColour : 0; }
const char* GetSoftkeyLabel(int n) { return IsSoftkey(n) ? SoftkeyLabelBoxes[n].text : ""; }
bool IsSoftkeyShown(int n) { return IsSoftkey(n) && SoftkeyLabelBoxes[n].shown; }

float GetSoftkeyRowTop(int row)
{
    int n = FirstSoftkeyButton + std::clamp(row, 0, 2) * SoftkeysPerRow;
    return static_cast<float>(ScreenButtons[static_cast<size_t>(n)].y);
}

bool IsSoftkeyRowShown(int row)
{
    if (row == 0)
        return true;
    int first = row * SoftkeysPerRow;
    return row > 0 && row < 3 && IsSoftkeyShown(first) && std::strcmp(SoftkeyLabelBoxes[first].text, " ") != 0;
}

void ShowTopSoftkeys()
{
    HideAllSoftkeys();
    SetButtonLabel(BackSoftkey, "MENU", false, 17, 16);
    SetButtonLabel(ExitSoftkey, "EXIT", false, 17, 16);
}

bool IsSimConnected()
{
    int sim = Settings.UseSimulator.load();
    return sim >= SimulatorFirst && sim <= SimulatorLast && SimLinkIsConnected();
}

// ---- layout and drawing ----

void LayoutSoftkeys()
{
    const ScreenLayoutValues& l = ScreenLayout;
    float x = static_cast<float>(l.MapRectX), y = static_cast<float>(l.MapRectY);
    float w = static_cast<float>(l.MapRectW), h = static_cast<float>(l.MapRectH);
    LayoutOriginX = l.MapRectX;
    LayoutOriginY = l.MapRectY;
    // The first anchor keeps to the map's lower left corner; the others stay.
    SoftkeyAnchors[0] = {x, y + h - 64.0f, 0.0f};
    SoftkeyScale = w / 3584.0f;
    float s = SoftkeyScale, f = TextScale;
    // Touch mode has keys twice as tall on the same three rows.
    float keyRows = Settings.TouchMode ? 370.0f : 180.0f;
    SoftkeyRowY = static_cast<int>(std::trunc(y + h - keyRows * s));
    SoftkeyRowStep = static_cast<int>(std::trunc(keyRows * s));
    SoftkeyRowOffset = static_cast<int>(std::trunc(h - keyRows / 2 * s - 4 * f));
    for (int n = 0; n < SoftkeyCount; ++n) {
        int row = n / SoftkeysPerRow, column = n % SoftkeysPerRow;
        SoftkeyLabelBoxes[n].x = l.MapRectX + 64 * column;
        SoftkeyLabelBoxes[n].y = l.MapRectY + SoftkeyRowOffset - row * SoftkeyRowStep;
        ScreenButton& b = ScreenButtons[FirstSoftkeyButton + n];
        b.x = static_cast<int>(std::trunc(x + column * w / 7));
        b.w = static_cast<int>(std::trunc(w / 7));
        b.h = static_cast<int>(std::trunc(180 * s));
        b.y = static_cast<int>(std::trunc(y + h - 180 * s * (row + 1)));
    }
    for (int column = 0; column < SoftkeysPerRow; ++column)
        SoftkeyPictureX[column] = x + column * w / 7;
    SoftkeyPictureY = y + h - 512 * s;
}

void DrawSoftkey(int n, float dx, float dy, int screenHeight)
{
    if (!IsSoftkey(n))
        return;
    TextBox& key = SoftkeyLabelBoxes[n];
    int row = n / SoftkeysPerRow, column = n % SoftkeysPerRow;
    uint32_t colour = DimmedColour(key.textColour, Settings.Dimlevel);
    bool pressed = n == GetPressedSoftkey();
    int picture = Settings.TouchMode ? (pressed ? SpriteSoftkeyTouchPressed : SpriteSoftkeyTouch)
                                     : (pressed ? SpriteSoftkeyPressed : SpriteSoftkey);
    // The back key's face is tinted red.
    uint32_t tint = n == BackSoftkey ? 0xE08080FFu : 0xE0FFFFFFu;
    DrawSprite(picture, dx + SoftkeyPictureX[column], dy + SoftkeyPictureY - row * SoftkeyRowStep, tint, 0,
               SoftkeyScale, QuadPlacement::VirtualScreen);
    bool squat = GetAspectRatio() == 3 || GetAspectRatio() == 4;
    float size = static_cast<float>(GetFontSize()) * (squat ? 0.85f : 1.0f) * TextScale;
    float labelY = key.y + dy + (screenHeight - 700) * 5.68f / 1080.0f;
    DrawFontString(size, (dx + SoftkeyPictureX[column] + 32) * ScreenScaleX, labelY * ScreenScaleY, colour, key.text,
                   1);
    key.reserved[0] = key.x + dx + SoftkeyLabelOffset[n];
    key.reserved[2] = labelY;
}
