// The kept result of a layer (see layer_memo.h).
#include "platform/gpu/layer_memo.h"

#include "platform/gpu/gpu_objects.h"

#include <cstring>

namespace {

// The texture bound as the target, with a reference; its batched draws are
// drawn first (asking for the target settles them).
GpuTexture* BoundTarget(ID3D11DeviceContext* context, ID3D11Resource** resource)
{
    *resource = nullptr;
    if (!context)
        return nullptr;
    ID3D11RenderTargetView* view = nullptr;
    context->OMGetRenderTargets(1, &view, nullptr);
    if (!view)
        return nullptr;
    view->GetResource(resource);
    view->Release();
    GpuTexture* texture = AsGpuTexture(*resource);
    if (!texture || texture->mapped_) {
        SafeRelease(*resource);
        return nullptr;
    }
    return texture;
}

size_t Words(const GpuTexture& t)
{
    return static_cast<size_t>(t.Width()) * t.Height();
}

} // namespace

GpuLayerMemo::~GpuLayerMemo()
{
    Forget();
}

void GpuLayerMemo::Forget()
{
    SafeRelease(target_);
    kept_ = noted_ = false;
    key_.clear();
    lastKey_.clear();
}

bool GpuLayerMemo::Reuse(ID3D11DeviceContext* context, const std::vector<uint8_t>& key)
{
    ID3D11Resource* resource = nullptr;
    GpuTexture* texture = BoundTarget(context, &resource);
    if (!texture) {
        Forget();
        return false;
    }
    const size_t n = Words(*texture);
    uint32_t* texels = texture->texels_.get();
    if (kept_ && resource == target_ && key == key_ && before_.size() == n &&
        std::memcmp(texels, before_.data(), n * 4) == 0) {
        std::memcpy(texels, after_.data(), n * 4);
        resource->Release();
        return true;
    }
    bool still = key == lastKey_;
    SafeRelease(target_);
    kept_ = noted_ = false;
    lastKey_ = key;
    if (!still) {
        resource->Release();
        return false;
    }
    // Noted for the Keep that follows the draw.
    target_ = resource;
    before_.assign(texels, texels + n);
    noted_ = true;
    return false;
}

void GpuLayerMemo::Keep(ID3D11DeviceContext* context, const std::vector<uint8_t>& key)
{
    if (!noted_ || key != lastKey_)
        return;
    ID3D11Resource* resource = nullptr;
    GpuTexture* texture = BoundTarget(context, &resource);
    bool same = texture && resource == target_ && before_.size() == Words(*texture);
    if (resource)
        resource->Release();
    if (!same) {
        Forget();
        return;
    }
    const uint32_t* texels = texture->texels_.get();
    after_.assign(texels, texels + before_.size());
    key_ = key;
    kept_ = true;
    noted_ = false;
}
