// The keypad of the chart georeference editor: typing into its four fields,
// and saving or leaving the edit.
#include "app/keypad.h"

#include "app/click_zones.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/chart_view.h"
#include "display/map_view.h"
#include "display/text_boxes.h"
#include "platform/threads.h"
#include "display/chart_view.h"
#include "maps/airport_charts.h"

#include <cmath>
#include <cstdio>
#include <cstring>

int32_t TextMode = TextModeNone;

namespace {

char Fields[KeypadFieldCount][KeypadFieldLength + 1] = {};
uint8_t FieldErrors[KeypadFieldCount] = {};
uint8_t FrameShownBeforeEditor = 0;
uint8_t KeyPressHighlight = 0;
double KeyPressTime = 0.0;
constexpr double KeyPressHighlightSeconds = 0.5;

double NowSeconds()
{
    return static_cast<double>(ProgramClockMs()) / 1000.0;
}

bool IsFieldMode(int mode)
{
    return mode >= TextModeLongitude1 && mode <= TextModeLatitude2;
}

// The picked chart edge of a field; false while it is not picked.
bool PickedEdge(int mode, float* edge)
{
    const ChartEdgeMark* marks = GetChartEdgeMarks();
    float value = marks ? marks[mode - 1].edge : EdgeNotPicked;
    *edge = value;
    return value >= EdgeNotPickedLimit;
}

// Parses a field and checks its edge; the field is flagged when either fails.
bool TakeField(int mode, double* degrees, float* edge)
{
    bool ok = ParseKeypadDegrees(Fields[mode - 1], degrees) && PickedEdge(mode, edge);
    if (!ok)
        FieldErrors[mode - 1] = 1;
    return ok;
}

bool KeyZone(const char* text)
{
    KeyboardInput(text);
    return false;
}

}  // namespace

const char* GetKeypadField(int mode)
{
    return IsFieldMode(mode) ? Fields[mode - 1] : "";
}

bool GetKeypadFieldError(int mode)
{
    return IsFieldMode(mode) && FieldErrors[mode - 1] != 0;
}

void NoteKeyPress()
{
    KeyPressTime = NowSeconds();
    KeyPressHighlight = 1;
}

bool IsKeyPressHighlightActive()
{
    if (KeyPressHighlight && NowSeconds() - KeyPressTime < KeyPressHighlightSeconds)
        return true;
    KeyPressHighlight = 0;
    return false;
}

void KeyboardInput(const char* text)
{
    HideScreenMessage();
    if (IsKeyPressHighlightActive())
        return;
    NoteKeyPress();
    if (!IsFieldMode(TextMode) || !text)
        return;
    char* field = Fields[TextMode - 1];
    size_t length = std::strlen(field);
    if (length < static_cast<size_t>(KeypadFieldLength)) {
        std::strncat(field, text, static_cast<size_t>(KeypadFieldLength) - length);
        FieldErrors[TextMode - 1] = 0;
    }
}

void KeyboardBackspace()
{
    HideScreenMessage();
    if (!IsFieldMode(TextMode))
        return;
    char* field = Fields[TextMode - 1];
    size_t length = std::strlen(field);
    if (length > 0)
        field[length - 1] = '\0';
    FieldErrors[TextMode - 1] = 0;
}

void SelectKeypadField(int mode)
{
    HideScreenMessage();
    if (!IsFieldMode(mode))
        return;
    if (TextMode == mode) {
        TextMode = TextModeNone;
        return;
    }
    TextMode = mode;
    FieldErrors[mode - 1] = 0;
}

bool ParseKeypadDegrees(const char* text, double* degrees)
{
    if (!text || !text[0])
        return false;
    float whole = 0, minutes = 0;
    char rest = 0;
    if (std::strchr(text, ' ')) {
        if (std::sscanf(text, "%f %f %c", &whole, &minutes, &rest) != 2)
            return false;
        // The sign of the degrees carries the minutes, also for "-0 30".
        double magnitude = std::fabs(whole) + minutes / 60.0;
        *degrees = std::signbit(whole) ? -magnitude : magnitude;
        return std::isfinite(*degrees);
    }
    if (std::sscanf(text, "%f %c", &whole, &rest) != 1)
        return false;
    *degrees = whole;
    return std::isfinite(*degrees);
}

bool KeyboardSave()
{
    HideScreenMessage();
    double lon1 = 0, lon2 = 0, lat1 = 0, lat2 = 0;
    float edges[KeypadFieldCount] = {};
    if (!TakeField(TextModeLongitude1, &lon1, &edges[0]) || !TakeField(TextModeLongitude2, &lon2, &edges[2]) ||
        !TakeField(TextModeLatitude1, &lat1, &edges[1]) || !TakeField(TextModeLatitude2, &lat2, &edges[3]))
        return false;
    bool same = false;
    if (lon1 == lon2) {
        FieldErrors[TextModeLongitude1 - 1] = FieldErrors[TextModeLongitude2 - 1] = 1;
        same = true;
    }
    if (lat1 == lat2) {
        FieldErrors[TextModeLatitude1 - 1] = FieldErrors[TextModeLatitude2 - 1] = 1;
        same = true;
    }
    if (same)
        return false;
    // West edge first, north edge first: each edge keeps its picked pixel.
    if (lon1 > lon2) {
        std::swap(lon1, lon2);
        std::swap(edges[0], edges[2]);
    }
    if (lat1 < lat2) {
        std::swap(lat1, lat2);
        std::swap(edges[1], edges[3]);
    }
    SaveChartGeoref(edges, lon1, lat1, lon2, lat2);
    FitChartToScreen();
    ReloadChartList();
    return true;
}

void RememberFrameForEditor(bool shown)
{
    FrameShownBeforeEditor = shown ? 1 : 0;
}

void KeyboardClose()
{
    HideScreenMessage();
    StepGpsMode(0, ZoneLeftClick);
    TextMode = TextModeNone;
    std::memset(Fields, 0, sizeof(Fields));
    std::memset(FieldErrors, 0, sizeof(FieldErrors));
    ResetChartEdgeMarks();
    Settings.GeorefEdit = 0;
    if (FrameShownBeforeEditor)
        SetShowFrameOn();
    FrameShownBeforeEditor = 0;
    SetViewportRect(0, Settings.ShowFrame != 0);
    SetSoftkeyLevel(MenuOptions, 3);
    Settings.Softkeys = 1;
}

bool KeyboardBackspace(uint32_t, int32_t)
{
    KeyboardBackspace();
    return false;
}

bool KeyboardSave(uint32_t, int32_t)
{
    KeyboardSave();
    return false;
}

bool KeyboardClose(uint32_t, int32_t)
{
    KeyboardClose();
    return false;
}

bool SelectLongitude1(uint32_t, int32_t)
{
    SelectKeypadField(TextModeLongitude1);
    return false;
}

bool SelectLatitude1(uint32_t, int32_t)
{
    SelectKeypadField(TextModeLatitude1);
    return false;
}

bool SelectLongitude2(uint32_t, int32_t)
{
    SelectKeypadField(TextModeLongitude2);
    return false;
}

bool SelectLatitude2(uint32_t, int32_t)
{
    SelectKeypadField(TextModeLatitude2);
    return false;
}

bool KeypadKey7(uint32_t, int32_t) { return KeyZone("7"); }
bool KeypadKey8(uint32_t, int32_t) { return KeyZone("8"); }
bool KeypadKey9(uint32_t, int32_t) { return KeyZone("9"); }
bool KeypadKeyMinus(uint32_t, int32_t) { return KeyZone("-"); }
bool KeypadKey4(uint32_t, int32_t) { return KeyZone("4"); }
bool KeypadKey5(uint32_t, int32_t) { return KeyZone("5"); }
bool KeypadKey6(uint32_t, int32_t) { return KeyZone("6"); }
bool KeypadKeySpace(uint32_t, int32_t) { return KeyZone(" "); }
bool KeypadKey1(uint32_t, int32_t) { return KeyZone("1"); }
bool KeypadKey2(uint32_t, int32_t) { return KeyZone("2"); }
bool KeypadKey3(uint32_t, int32_t) { return KeyZone("3"); }
bool KeypadKey0(uint32_t, int32_t) { return KeyZone("0"); }
bool KeypadKeyPoint(uint32_t, int32_t) { return KeyZone("."); }
