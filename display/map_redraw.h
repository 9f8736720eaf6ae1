// The map's redraw request and the flag of a newly begun tile bank: raised by
// the tile grid and the local maps (any thread), taken by the whole-screen
// frame on the GUI thread.
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
