// The boxes laid over the finished map late in a frame: the zoom box at the
// map's left edge, the on-screen message box, the outlines of the buttons
// under the pointer, the wait cursor and the chart converter's busy label.
// GUI thread only.
#pragma once

#include "display/frame_renderer.h"

#include <cstdint>

// The on-screen message box: shown from ShowScreenMessage until a map click
// or a keypad key clears the flag; drawing it never hides it.
struct ScreenMessageBox {
    char text[1024];
    uint8_t shown;
    int32_t fontSize;
};
extern ScreenMessageBox ScreenMessage;
// A text of 1024 characters or more changes nothing.
void ShowScreenMessage(const char* text, int32_t fontSize);
bool IsScreenMessageShown();
void HideScreenMessage();
// The georeference editor's help ([Edit] texts 3 to 7) at size 16; the
// command that opens the editor shows it.
void ShowEditHelpMessage();

// Keeps something up while the pointer is over it and for a second after it
// left; the time is any steady clock in seconds.
struct HoverHold {
    uint8_t hold = 0;
    bool leaving = false;  // the pointer has left; leftAt says when
    double leftAt = 0;
    // The hold after this frame.
    bool Step(bool hovering, double now);
};

// Where the zoom box stands (virtual units), kept every frame whether it is
// drawn or not: the pointer over it brings it up.
extern FloatRect ZoomBoxRect;
// The zoom levels the box lists: from first, rows - 1 of them.
struct ZoomColumn {
    int first, rows, wanted;
};
ZoomColumn ComputeZoomColumn(int wantedZoom, bool terrain, bool touchMode);
// Whether the box is up this frame (it stays 1 s after the pointer left).
bool IsZoomBoxShown();
// The zoom box is the scale bar the commands click: shown, and its rectangle
// (false before it was first placed).
bool IsScaleBarShown();
bool GetScaleBarRect(float* left, float* right, float* top, float* bottom);

// The zoom box with the tile zooms around the wanted one (or the loader's
// busy word); up while hovered, always with DynamicSoftkeys off.
void DrawZoomBox();
// The message box, one shaded band per line.
void DrawScreenMessageBox();
// How much a text at the current font size and text scale shrinks to fit
// room units of the virtual screen: 1 when it fits, 0 without room.
float TextFitFactor(const char* text, float room);
// The hovered screen buttons' outlines (ShowMouserectangle, bezel shown).
void DrawButtonOutlines();
// The wait cursor while a map or terrain load runs.
void ShowWaitCursor();
// The chart converter's status at the screen centre while it works.
void DrawChartBusyLabel();
