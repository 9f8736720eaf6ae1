// Decoders for the pictures map tiles come as, straight into texel storage:
// PNG (8-bit grey, RGB and RGBA, palettes of 1 to 8 bits, not interlaced,
// no colour-space chunks) and JPEG (grey and colour). They give exactly the
// texels the general image library gives for the same file; anything they
// do not know, or that is not quite right, is left to that library, which
// then decides and reports as before. Any thread. Internal to platform/gpu.
#pragma once

#include "platform/gpu/texel_store.h"

#include <cstddef>
#include <cstdint>

struct DecodedTexels {
    TexelStore texels; // width x height words 0xAABBGGRR, top row first
    unsigned width = 0, height = 0;
    bool opaque = false; // every alpha is 255 by the format
};

// True when the picture was decoded; false leaves it to the image library.
bool DecodeTilePicture(const uint8_t* data, size_t size, unsigned maxSide, DecodedTexels* out);
