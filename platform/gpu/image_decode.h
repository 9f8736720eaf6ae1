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

// One PNG row's filter undone: out (n bytes) from the raw row and the
// unfiltered row above it, bpp bytes a pixel (1 below 8 bits). raw, prev
// and out have 16 bytes of room past n. False for a filter type over 4.
bool UnfilterPngRow(int filter, const uint8_t* raw, const uint8_t* prev, uint8_t* out, size_t n, size_t bpp);

// True when the picture was decoded; false leaves it to the image library.
bool DecodeTilePicture(const uint8_t* data, size_t size, unsigned maxSide, DecodedTexels* out);
