// Map layers kept between frames (see layer_cache.h).
#include "render/layer_cache.h"

#include "render/device.h"

#include <algorithm>

namespace {

// Every cache there is. GUI thread. Made on first use (caches are statics of
// their layers, made before main) and never destroyed (they may go after it).
std::vector<LayerCache*>& Caches()
{
    static auto* caches = new std::vector<LayerCache*>;
    return *caches;
}

} // namespace

LayerCache::LayerCache()
{
    Caches().push_back(this);
}

LayerCache::~LayerCache()
{
    Caches().erase(std::remove(Caches().begin(), Caches().end(), this), Caches().end());
}

void ForgetLayerCaches()
{
    for (LayerCache* cache : Caches())
        cache->Forget();
}

void AddRendererState(LayerKey* key)
{
    key->Add(RenderDevice.clientWidth);
    key->Add(RenderDevice.clientHeight);
    key->Add(RenderDevice.offscreen);
    key->Add(RenderDevice.currentTarget);
    D3D11_VIEWPORT viewport{};
    UINT count = 1;
    if (RenderDevice.context)
        RenderDevice.context->RSGetViewports(&count, &viewport);
    key->Add(count);
    key->Add(viewport);
}

bool LayerCache::Reuse(const LayerKey& key)
{
    return memo_.Reuse(RenderDevice.context, key.Bytes());
}

void LayerCache::Keep(const LayerKey& key)
{
    memo_.Keep(RenderDevice.context, key.Bytes());
}
