// Storage of texture texels. Freed buffers of the sizes textures come in
// (map tiles above all) are kept and handed out again, so a new tile costs
// neither page faults nor a fill that its pixels overwrite anyway. Any
// thread. Internal to platform/gpu.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Gives a buffer back to the pool, or to the heap when the pool is full.
struct TexelRecycler {
    size_t words = 0;
    void operator()(uint32_t* texels) const;
};
using TexelStore = std::unique_ptr<uint32_t[], TexelRecycler>;

// words texels of undefined value, or null when memory ran out.
TexelStore AllocateTexels(size_t words);
// The same, all zero.
TexelStore AllocateZeroedTexels(size_t words);

// Bytes the pool holds for reuse (tests look at it).
size_t PooledTexelBytes();
