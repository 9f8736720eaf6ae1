// The frame renderer: one presented frame per idle pass of the message loop,
// as the whole screen (set-up, the layers in their fixed order, Present,
// frame limiter, follow-ups) or as one of the two small windows kept above
// the simulator. Its frame globals are read by the layers. GUI thread only
// unless a value says otherwise.
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Set for the 80 x 80 window; cleared for the 500 x 100 and the normal one.
extern bool MiniWindowFlag;

// Picks the renderer; dt is the time since the previous frame in seconds.
void DrawFrame(HWND window, float dt, int width, int height);
void DrawScreen(HWND window, float dt, int width, int height);
void DrawMiniHeadingBox(HWND window, float dt, int width, int height);
void DrawMiniHeadingBoxAlt(HWND window, float dt, int width, int height);

// True once the display has completed a frame since it started; the display
// shutdown saves the settings only then.
bool IsFirstFrameDrawn();
// A new display start has drawn nothing yet.
void ResetFirstFrameDrawn();

// Half the width and height of the displayed map grid (virtual units).
extern float GridHalfWidth, GridHalfHeight;
// FrameZoom as a double, for the zoom commands.
extern double ZoomCopy;
// 1 while a whole-screen frame is drawn. threads: the GUI thread writes it;
// the navigation-data reload polls it from its own thread.
extern std::atomic<uint8_t> DrawingFrame;

struct FloatRect {
    float left, right, top, bottom;
};
// The wind box of the current renderer; the mouse hit-tests it.
extern FloatRect HeadingBoxRect;
// Toggled by a right click in the wind box: green arrow turned with the map.
extern uint8_t WindArrowMode;
// Flips at every snapshot refresh; the label layers take it.
extern uint8_t LabelPhase;

// Raised by the layers during one whole-screen frame, cleared at its start.
extern uint8_t BackgroundDrawn;
extern uint8_t NavSymbolsChanged;
extern uint8_t NearestPanelInSnapshot;
// The NEAREST layer marks that it drew the nearest airports in this frame.
void SetNearestDrawnFlag(uint8_t drawn);

// What the per-frame update handed the frame, kept for the layers.
struct FrameView {
    float offsetX, offsetY;      // the map centre inside the displayed grid, map pixels, y up
    float headingRad;
    float mapRotation;           // radians the map turns about ScreenCentre
    float symbolRotation;        // the heading offset of symbols
    float trackAngle;            // radians
    float dt;
    int width, height;           // client size
};
extern FrameView CurrentFrame;

// The wind box text "%3d°\n%3d kn", or "---°\n--- kn" without wind.
void FormatWindText(char* out, size_t size, float direction, float speed);
// The font factor (1 or less) at which text, at the current font size, fits
// into room pixels; 0 when there is no room at all.
float FittingTextScale(const char* text, float room);
// The snapshot's refresh period in seconds for a ground speed in knots.
double SnapshotPeriod(double groundSpeed);
// Seconds since the last snapshot refresh.
double GetSnapshotClock();
void ResetSnapshotClock();
