// Mouse and softkey keys from the window procedure, turned into events on
// the 640 x 480 virtual screen: hover feedback (tooltip flags and cursor),
// clicks and drags handed to the click zone under the pointer, the map and
// chart drag, and the keys that press softkeys; also the softkey buttons'
// rectangles, the hit tests of the boxes the frame draws, and the colour
// entry of the map type. GUI thread only.
#pragma once

#include "display/frame_renderer.h"
#include "platform/win32.h"

#include <cstdint>

// The window procedure's substitute for WM_MOUSEMOVE while the left button is held.
constexpr UINT MouseDragMessage = 0x8000;

// Mouse events of the click zones.
constexpr int32_t MouseLeftPress = 1;
constexpr int32_t MouseRightPress = 2;
constexpr int32_t MouseDrag = 3;
constexpr int32_t MouseWheelForward = 4;
constexpr int32_t MouseWheelBack = 8;

// The traffic-radar button, whose hover the frame and the map click read.
constexpr int TrafficButton = 9;

// 1 while the pointer is strictly inside the traffic button's rectangle.
extern uint8_t TrafficButtonHover;
// 1 while the pointer is over the softkey bar.
extern uint8_t SoftkeyBarHover;
// 1 while the pointer is over the zoom box (ZoomBoxRect of the status layer).
extern uint8_t ZoomBoxHover;
// The NEAREST panel's and the "APT" box's rectangles as their layer last drew them.
extern FloatRect NearestBoxRect;
extern FloatRect AptBoxRect;
// The nearest-airport list's title bar (it drags the map) and close box;
// empty while no list panel placed them, so that no click lands in them.
extern FloatRect NearestListDragRect;
extern FloatRect NearestListCloseRect;

// position packs the client point as two i16 (x low, y high).
void OnMouseMessage(LPARAM position, UINT message);
// direction 513 for a forward turn, anything else backward.
void OnMouseWheel(int direction, LPARAM position);
// 0 when the key pressed a softkey (Esc, 1..7, with Ctrl 1..7 the second
// row), ran the options command (Space), nudged the map cursor (arrows) or
// ended a pan (Home); -1 for any other key.
int HandleSoftkeyKey(WPARAM virtualKey, LPARAM flags);
// The softkey a key presses, -1 for none: Esc and "7" softkey 6, "1" to "6"
// softkeys 0 to 5, with Ctrl "1" to "7" softkeys 7 to 13 (and Esc still 6).
int SoftkeyForKey(WPARAM virtualKey, bool ctrl);
// Clears the tooltip flags of all 39 screen buttons.
void ClearButtonStates();
// The mouse dispatcher of the window's mouse messages.
void HandleSoftkeyWidgetMouse(UINT message, LPARAM position);
// Whether the pointer is where buttons live (bezel columns, softkey bar);
// keeps HoverPos, TrafficButtonHover and SoftkeyBarHover.
bool HoverScreenButtons(HWND window, LPARAM position);
// Hover feedback: the tooltip flag and cursor of the button under the pointer.
void PressScreenButton(HWND window, LPARAM position);
// Whether a drag at this point goes to the click zones.
bool ReleaseScreenButton(HWND window, LPARAM position);
// event 1 left, 2 right, 3 drag, 4 and 8 the wheel.
void HandleMapClick(HWND window, LPARAM position, int32_t event);
// A client point on the 640 x 480 virtual screen.
void ClientToVirtual(LPARAM position, float* x, float* y);
// The map drag: a press takes the anchor (and in the georeference editor
// picks the field's edge), a drag pans the map, the chart or the airport
// diagram; 1 when the event was taken. x and y are not read: the position
// is the last mouse message's.
uint8_t HandleMouseDrag(int x, int y, int event);
void GetLastClickPos(int* x, int* y);
void SetLastClickPos(int x, int y);
void GetHoverPos(int* x, int* y);
// Client width / 640 and height / 480 as the window start measured them.
void GetScreenScale(float* sx, float* sy);

// The softkey objects' rows and the softkey buttons' rectangles (after
// LayoutSoftkeys), for the bezel shown or hidden (FrameState).
void LayoutScreenButtons();

// Inclusive hit tests of virtual points against the boxes the frame drew.
bool HitTestNearestBox(float x, float y);
bool HitTestAptBox(float x, float y);
bool HitTestHeadingBox(float x, float y);
// Strict tests: a point on the edge of either rectangle is outside.
bool IsInNearestListDragRect(int x, int y);
bool IsInNearestListCloseRect(int x, int y);

// The colour entry (0..11) of a map-type id; ids 1000 and the current one
// change nothing. -1 for an unknown id (the entry stays).
int32_t SelectMapTypeEntry(int32_t id);
// The current colour entry (-999 until one was selected).
int32_t GetSelectedIndex();
