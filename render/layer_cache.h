// Map layers kept from one frame to the next: a layer states everything it
// draws from as a key; when the key and the pixels under the layer are what
// they were last frame, the layer's pixels of last frame are written back
// instead of the layer being drawn again. A key that misses anything the
// layer reads would show stale pixels, so a layer puts in it every input it
// takes, and AddRendererState adds what every draw of the renderer reads.
// GUI thread only.
#pragma once

#include "platform/gpu/layer_memo.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

class LayerKey {
public:
    template <class T>
    void Add(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof(T));
    }
    void AddBytes(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The client size, the offscreen flag, the bound target and the viewport.
void AddRendererState(LayerKey* key);

class LayerCache {
public:
    LayerCache();
    ~LayerCache();
    LayerCache(const LayerCache&) = delete;
    LayerCache& operator=(const LayerCache&) = delete;

    // True when the layer's pixels of last frame were written back: skip the draw.
    bool Reuse(const LayerKey& key);
    // After the layer was drawn (Reuse said false): keeps its pixels for the next frame.
    void Keep(const LayerKey& key);
    void Forget() { memo_.Forget(); }

private:
    GpuLayerMemo memo_;
};

// Every layer cache lets go of what it keeps (the renderer is going).
void ForgetLayerCaches();
