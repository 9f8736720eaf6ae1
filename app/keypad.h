// The on-screen keypad of the chart georeference editor: four text fields
// (the chart's two longitudes and two latitudes), the field being typed in,
// an error flag per field, and the keys that type, select, save and close.
// The display draws the fields and flags. GUI thread only.
#pragma once

#include <cstdint>

// Field modes; 0 = no field active.
enum : int {
    TextModeNone = 0,
    TextModeLongitude1 = 1,
    TextModeLatitude1 = 2,
    TextModeLongitude2 = 3,
    TextModeLatitude2 = 4,
};
constexpr int KeypadFieldCount = 4;
// Characters a field holds (the keypad takes no more).
constexpr int KeypadFieldLength = 10;
// A picked chart edge below this counts as not picked.
constexpr float EdgeNotPickedLimit = -10000.0f;
constexpr float EdgeNotPicked = -11000.0f;

// The active field mode.
extern int32_t TextMode;

// Field of mode m (1..4): its text ("" for another m) and its error flag.
const char* GetKeypadField(int mode);
bool GetKeypadFieldError(int mode);

// Appends text to the active field (ignored within 0.5 s of the last key).
void KeyboardInput(const char* text);
void KeyboardBackspace();
// Selects field mode m, or deselects it when it is active.
void SelectKeypadField(int mode);
// Parses the four fields and saves the chart's georeference; false (and the
// offending fields flagged) when a field does not parse or is not picked.
bool KeyboardSave();
// Leaves the editor: fields and picks cleared, back to the user map page.
void KeyboardClose();
// A field as degrees: "d" or "d m" (minutes away from zero); false when it
// does not parse.
bool ParseKeypadDegrees(const char* text, double* degrees);

// The click-zone forms of the keys (point and event are not read).
bool KeyboardBackspace(uint32_t point, int32_t event);
bool KeyboardSave(uint32_t point, int32_t event);
bool KeyboardClose(uint32_t point, int32_t event);
bool SelectLongitude1(uint32_t point, int32_t event);
bool SelectLatitude1(uint32_t point, int32_t event);
bool SelectLongitude2(uint32_t point, int32_t event);
bool SelectLatitude2(uint32_t point, int32_t event);
bool KeypadKey7(uint32_t point, int32_t event);
bool KeypadKey8(uint32_t point, int32_t event);
bool KeypadKey9(uint32_t point, int32_t event);
bool KeypadKeyMinus(uint32_t point, int32_t event);
bool KeypadKey4(uint32_t point, int32_t event);
bool KeypadKey5(uint32_t point, int32_t event);
bool KeypadKey6(uint32_t point, int32_t event);
bool KeypadKeySpace(uint32_t point, int32_t event);
bool KeypadKey1(uint32_t point, int32_t event);
bool KeypadKey2(uint32_t point, int32_t event);
bool KeypadKey3(uint32_t point, int32_t event);
bool KeypadKey0(uint32_t point, int32_t event);
bool KeypadKeyPoint(uint32_t point, int32_t event);

// The editor hides the bezel frame; closing it shows the frame again when
// it was shown before.
void RememberFrameForEditor(bool shown);

// The key-press highlight: noted by every keypad key, on for 0.5 s.
void NoteKeyPress();
bool IsKeyPressHighlightActive();
