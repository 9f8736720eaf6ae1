// The per-frame update: copies the aircraft's values from the simulator
// facade, restarts a stopped link, keeps the map centre on the aircraft unless
// the user pans, works out the offsets and angles the layers need and builds
// the status texts. Runs on the GUI thread at the start of every frame and
// once more (mode 13) when the display shuts down.
#pragma once

#include "platform/win32.h"

#include <cstdint>

enum : int {
    UpdateModeFrame = 10,
    UpdateModeShutdown = 13,
};

struct FrameUpdateOutputs {
    float offsetX = 0, offsetY = 0;  // the centre inside the displayed grid, y up
    float headingRad = 0;
    float mapRotation = 0;
    float symbolRotation = 0;
};

void UpdateFrame(HWND window, int mode, float* offsetX, float* offsetY, float* headingRad, float* mapRotation,
                 float* symbolRotation, int width, int height);
// The wind as the boxes print it: direction made magnetic and wrapped into
// 0..360 (360 stays), speed in knots.
void GetWindDirectionAndSpeed(float* direction, float* speed);

// The blink phase, toggled every half second.
bool IsBlinkPhaseOn();
// Set in a frame whose view steps waited (a map switch waiting for its local
// set): the vector's turn values are last frame's.
bool IsVectorSuppressed();
// The clock the update runs on, seconds; null puts the program clock back.
void SetFrameUpdateClock(double (*clock)());
// A click that hid a message over the following airport view: the view stops
// following the map a second after it began to.
void RequestAirportViewReturn();
bool IsAirportViewReturnRequested();
// The traffic part of status line 1: "AI Mode / ", "TCAS Mode / " ... or "".
const char* TrafficModeText();
// Half seconds modulo 10; the nearest-airport refresh runs while it is 0.
extern int32_t TickCounter;
// Set and cleared only by the orientation command.
extern int32_t NorthUpMode;
extern int32_t ChartUpAngleDeg;
float GetDisplayAngleOffset();
double GetTrackAngleRad();
// The view size for the traffic advisory and the status message.
extern int32_t ViewWidth, ViewHeight;

// The displayed tile grid as the tile loader publishes it at each swap:
// pixel origin and height in map pixels.
extern double GridOriginX, GridOriginY, GridPixelHeight;

// The rotations of the frame by the orientation modes; angles in radians.
void ComputeFrameRotation(bool trackUp, bool northUpMode, int32_t chartRotationDeg, double trackAngle,
                          float* mapRotation, float* symbolRotation);
// The altitude smoothing: jumps over 100 ft are closed 10 % a frame.
double SmoothAltitude(double reading);
void ResetFrameUpdate();
