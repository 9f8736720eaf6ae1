// Blending one 0xAABBGGRR word over a target word, inline for the loops that
// run it per pixel: the rasterizer's spans and the text drawer's glyphs.
// Internal to platform/gpu.
#pragma once

#include <algorithm>
#include <cstdint>

#define PIXEL_BLEND_INLINE inline __attribute__((always_inline))

// Rounds the two 16-bit lanes of x (each at most 65025) divided by 255.
PIXEL_BLEND_INLINE uint32_t Div255Lanes(uint32_t x)
{
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

PIXEL_BLEND_INLINE uint32_t Div255(uint32_t x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

PIXEL_BLEND_INLINE uint32_t OverInline(uint32_t s, uint32_t d)
{
    uint32_t a = s >> 24;
    if (a == 255)
        return s;
    if (a == 0)
        return d;
    uint32_t ia = 255 - a;
    uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * ia;
    // The source alpha lane counts as 255 so the target alpha becomes a + dA (1 - a).
    uint32_t ga = (((s >> 8) & 0xFFu) | 0x00FF0000u) * a + ((d >> 8) & 0x00FF00FFu) * ia;
    return Div255Lanes(rb) | (Div255Lanes(ga) << 8);
}

// Over, but where the target is partly transparent its colour stays
// un-premultiplied, so an offscreen layer drawn back with Over looks as if
// its figures had been drawn straight onto the screen.
PIXEL_BLEND_INLINE uint32_t OverStraightInline(uint32_t s, uint32_t d)
{
    uint32_t a = s >> 24;
    uint32_t da = d >> 24;
    if (a == 255 || a == 0 || da == 255)
        return OverInline(s, d);
    uint32_t ia = 255 - a;
    uint32_t outA = a * 255 + da * ia; // alpha scaled by 255
    uint32_t wd = da * ia;
    uint32_t out = Div255(outA) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        uint32_t c = (sc * a * 255 + dc * wd + outA / 2) / outA;
        out |= std::min<uint32_t>(c, 255) << shift;
    }
    return out;
}
