// What a map layer left in the render target, kept for the next frame: a
// layer drawn from the same inputs over the same pixels leaves the same
// pixels, so when the caller's key of its inputs and the target's pixels
// are both what they were, the kept result is written back instead of the
// layer being drawn again. Exact by construction: nothing is reused unless
// everything it was made from is equal, byte for byte. GUI thread only, like
// the context. Internal to the renderer: render/layer_cache.h wraps it.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstdint>
#include <vector>

class GpuLayerMemo {
public:
    GpuLayerMemo() = default;
    ~GpuLayerMemo();
    GpuLayerMemo(const GpuLayerMemo&) = delete;
    GpuLayerMemo& operator=(const GpuLayerMemo&) = delete;

    // True when key and the bound target's pixels are exactly those of the
    // last Keep: the layer's kept result is in the target now. Otherwise
    // false; when the key is that of the frame before (the view holds
    // still), the target's pixels are noted for the Keep after the draw.
    // While the key changes every frame (a moving map) nothing is copied.
    bool Reuse(ID3D11DeviceContext* context, const std::vector<uint8_t>& key);
    // After the layer was drawn following a Reuse that said false: keeps key
    // and the result. Forgets everything when the target changed meanwhile.
    void Keep(ID3D11DeviceContext* context, const std::vector<uint8_t>& key);
    // Drops what is kept (the next Reuse says false).
    void Forget();

private:
    std::vector<uint8_t> key_, lastKey_;
    std::vector<uint32_t> before_, after_;
    ID3D11Resource* target_ = nullptr; // owned reference while something is kept or noted
    bool kept_ = false;
    bool noted_ = false;
};
