// The offscreen map snapshot.
#pragma once

#include "platform/gpu/d3d11.h"

bool CreateSnapshotTarget(ID3D11Device* device, int width, int height);
void ReleaseSnapshotTarget();

// The map snapshot is captured anew in the next frame.
void InvalidateSnapshot();
