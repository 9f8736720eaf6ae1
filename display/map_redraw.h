// The map's redraw request, the flag of a newly begun tile bank and the
// tile-map zoom animation's state: raised by the tile grid and the local maps
// (any thread), taken by the whole-screen frame on the GUI thread.
#pragma once

// A map change asks for the next frame.
void RequestMapRedraw();
// True from a request until a frame was drawn after it.
bool IsMapRedrawPending();
// The frame drawn: the request is answered.
void TakeMapRedrawRequest();

// A tile grid or a local raster set began a new bank.
void RaiseNewTileBankFlag();
// True once per raised flag.
bool TakeNewTileBankFlag();

// The tile-map zoom animation: its start time and start scale (both 0 while
// none runs) and the stop flag the tile loader raises when it is stopped.
struct TileZoomAnimationState {
    double startTime;
    double startScale;
    bool stopped;
};
TileZoomAnimationState GetTileZoomAnimationState();
// A new grid was laid out: the animation starts afresh from its scale.
void ClearTileZoomAnimationState();
// The loader stops: the animation stops where it is.
void StopTileZoomAnimation();
// An animation begins at time t from scale s; clears the stop flag.
void StartTileZoomAnimation(double t, double s);
