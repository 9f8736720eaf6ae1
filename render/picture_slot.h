// A loaded picture: its texture, its size and how it is shown. The display's
// sprite table is made of them, and the map layers keep their own.
// GUI thread only.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstdint>

// The slot owns the view, and the texture behind it when a loader keeps one
// there.
struct SpriteSlot {
    ID3D11ShaderResourceView* texture = nullptr;
    ID3D11Texture2D* resource = nullptr;
    int32_t width = 0, height = 0;  // pixels as loaded
    uint8_t loaded = 0;
    uint8_t visible = 0;
    uint8_t dimmable = 0;
};

// Releases the slot's texture and clears its loaded flag.
void ReleaseSpriteSlot(SpriteSlot* slot);
// A picture file into a slot of the map's own pictures (dimmed with the
// map), the slot's old picture released first; false when it does not load.
bool LoadPictureIntoSlot(SpriteSlot* slot, const char* path);
