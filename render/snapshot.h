// The offscreen map snapshot: the map layers drawn once into a texture of the
// client's size and drawn back on later frames, shifted by how far the map
// moved since the capture and turned by the map angle, until something
// invalidates it. GUI thread only.
#pragma once

#include "render/device.h"

#include <cstdint>

struct SnapshotTargetState {
    ID3D11ShaderResourceView* view = nullptr;
    ID3D11RenderTargetView* targetView = nullptr;
    ID3D11Texture2D* texture = nullptr;
    ScreenRect blitRect{0, 0, 0, 0}; // the whole client area, client pixels
    double referenceX = 0, referenceY = 0; // map offset at the capture
    uint8_t valid = 0;
    uint8_t capturing = 0;
    uint8_t locked = 0;
    uint8_t refreshRequested = 0;
};
extern SnapshotTargetState SnapshotTarget;

// Set before main by the subsystems above, so every program and test that
// links them sees the same: drawn over the snapshot each time it lands on
// screen (the airport info box), and run when the snapshot is invalidated or
// refreshed (re-centres the NEAREST page; 1 when it did). Null: nothing.
extern void (*SnapshotOverlay)();
extern uint8_t (*SnapshotInvalidated)();

bool CreateSnapshotTarget(ID3D11Device* device, int width, int height);
void ReleaseSnapshotTarget();

// x, y: the map offset in client pixels the frame renderer computes; a
// growing x moves the snapshot right, a growing y moves it down.
// Starts capturing unless a capture runs or the snapshot is locked; 1 when
// not locked. Without a snapshot target nothing is captured and the layers
// land on the back buffer directly.
int BeginSnapshot(double x, double y);
// Ends the capture and draws the fresh snapshot shifted and turned.
void EndSnapshot(double x, double y, double angle);
// Draws a valid snapshot, shifted when asked; returns the valid flag after a
// refresh request has been honoured.
uint8_t DrawSnapshot(double x, double y, double angle, uint8_t shifted);
// Whatever changes what the layers show calls this; returns what
// SnapshotInvalidated returns.
uint8_t InvalidateSnapshot();
// A lock freezes capturing and drawing; locking during a capture abandons it.
void SetSnapshotLock(uint8_t lock);
void RequestSnapshotRefresh();
