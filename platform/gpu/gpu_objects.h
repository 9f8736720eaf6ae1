// The concrete objects behind the D3D11 stand-in's interfaces, shared by the
// files of platform/gpu. Reference counts are atomic (any thread creates and
// releases); everything a context binds is touched by the GUI thread only.
#pragma once

#include "platform/gpu/d3d11.h"
#include "platform/gpu/raster.h"
#include "platform/gpu/texel_store.h"

#include <atomic>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

template <class I>
class RefCounted : public I {
public:
    ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override
    {
        ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    std::atomic<ULONG> refs_{1};
};

// Releases p (when set) and clears it.
template <class T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Replaces held by next, keeping one reference on what it holds.
template <class T>
void Rebind(T*& held, T* next)
{
    if (next)
        next->AddRef();
    if (held)
        held->Release();
    held = next;
}

// QueryInterface for an object that answers to the given identities.
template <class I>
HRESULT AnswerQuery(I* self, REFIID riid, void** object, std::initializer_list<IID> ids)
{
    if (!object)
        return E_POINTER;
    for (const IID& id : ids)
        if (riid == id) {
            self->AddRef();
            *object = self;
            return S_OK;
        }
    *object = nullptr;
    return E_NOINTERFACE;
}

class GpuDevice;
class GpuContext;

// Hands out the device with a reference added (children keep only a pointer).
void HandDevice(GpuDevice* device, ID3D11Device** out);

class GpuBuffer final : public RefCounted<ID3D11Buffer> {
public:
    GpuBuffer(GpuDevice* device, const D3D11_BUFFER_DESC& desc, std::unique_ptr<uint8_t[]> bytes);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDevice(ID3D11Device** device) override;
    void GetType(D3D11_RESOURCE_DIMENSION* dimension) override { *dimension = D3D11_RESOURCE_DIMENSION_BUFFER; }
    void GetDesc(D3D11_BUFFER_DESC* desc) override { *desc = desc_; }

    D3D11_BUFFER_DESC desc_;
    std::unique_ptr<uint8_t[]> bytes_;
    bool mapped_ = false;

private:
    GpuDevice* device_; // not owned: children never keep the device alive
};

class GpuTexture final : public RefCounted<ID3D11Texture2D> {
public:
    GpuTexture(GpuDevice* device, const D3D11_TEXTURE2D_DESC& desc, TexelStore texels);
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDevice(ID3D11Device** device) override;
    void GetType(D3D11_RESOURCE_DIMENSION* dimension) override { *dimension = D3D11_RESOURCE_DIMENSION_TEXTURE2D; }
    void GetDesc(D3D11_TEXTURE2D_DESC* desc) override { *desc = desc_; }

    int Width() const { return static_cast<int>(desc_.Width); }
    int Height() const { return static_cast<int>(desc_.Height); }
    RasterTexture AsRaster() const;
    // Re-reads whether every texel is opaque and where the runs of clear and
    // solid texels lie (after creation or an unmap).
    void UpdateOpaque();
    // For texels known to be opaque (a decoder without alpha wrote them).
    void MarkOpaque();

    D3D11_TEXTURE2D_DESC desc_;
    TexelStore texels_; // Width x Height words, no padding
    bool mapped_ = false;                // GUI thread
    // Never the same for two textures of a process, and the count of maps
    // for writing: what the draw memo keys a texture's texels by.
    const uint64_t id_;
    uint64_t writes_ = 0;                // GUI thread
    // The context holding batched draws that write or sample this texture,
    // or null: whoever reads or writes its texels settles them first.
    GpuContext* pendingDraws_ = nullptr; // GUI thread

private:
    GpuDevice* device_;
    std::atomic<bool> opaque_{false};
    // Written at creation and on unmap, read by draws: the context's thread.
    // The alpha runs, then the clear cells, a byte a texel each.
    std::unique_ptr<uint8_t[]> alphaRuns_;
    bool alphaRunsValid_ = false;
};

// The texture behind a resource pointer, or null when it is not ours.
GpuTexture* AsGpuTexture(ID3D11Resource* resource);
GpuBuffer* AsGpuBuffer(ID3D11Resource* resource);

// A view of a texture: it keeps one reference on the texture it views.
template <class I, class Desc, const IID& Iid>
class GpuView final : public RefCounted<I> {
public:
    GpuView(GpuDevice* device, GpuTexture* texture, const Desc& desc) : texture_(texture), device_(device), desc_(desc)
    {
        texture_->AddRef();
    }
    ~GpuView() override { texture_->Release(); }
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return AnswerQuery<I>(this, riid, object, {IID_IUnknown, Iid});
    }
    void GetDevice(ID3D11Device** device) override { HandDevice(device_, device); }
    void GetResource(ID3D11Resource** resource) override
    {
        texture_->AddRef();
        *resource = texture_;
    }
    void GetDesc(Desc* desc) override { *desc = desc_; }

    GpuTexture* texture_; // owned reference

private:
    GpuDevice* device_;
    Desc desc_;
};

using GpuShaderResourceView =
    GpuView<ID3D11ShaderResourceView, D3D11_SHADER_RESOURCE_VIEW_DESC, IID_ID3D11ShaderResourceView>;
using GpuRenderTargetView = GpuView<ID3D11RenderTargetView, D3D11_RENDER_TARGET_VIEW_DESC, IID_ID3D11RenderTargetView>;

class GpuRasterizerState final : public RefCounted<ID3D11RasterizerState> {
public:
    GpuRasterizerState(GpuDevice* device, const D3D11_RASTERIZER_DESC& desc) : desc_(desc), device_(device) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDevice(ID3D11Device** device) override;
    void GetDesc(D3D11_RASTERIZER_DESC* desc) override { *desc = desc_; }

    D3D11_RASTERIZER_DESC desc_;

private:
    GpuDevice* device_;
};

// Where each attribute sits in a vertex; -1 when the layout lacks it.
struct VertexLayout {
    int position = -1, positionComponents = 3;
    int colour = -1, texcoord = -1, lineLength = -1;
};

class GpuInputLayout final : public RefCounted<ID3D11InputLayout> {
public:
    GpuInputLayout(GpuDevice* device, const VertexLayout& layout) : layout_(layout), device_(device) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    void GetDevice(ID3D11Device** device) override;

    VertexLayout layout_;

private:
    GpuDevice* device_;
};

// What an effect pass hands to the context when it is applied.
struct AppliedPass {
    PassState state;
    std::string technique;
    float matrix[16];
    ID3D11ShaderResourceView* texture; // borrowed; the context adds its own reference
    TerrainConstants terrain;
};

// Binds an applied pass on our context; E_INVALIDARG for a foreign context.
HRESULT GpuApplyPass(ID3D11DeviceContext* context, const AppliedPass& pass);


class GpuDevice final : public RefCounted<ID3D11Device> {
public:
    explicit GpuDevice(D3D_FEATURE_LEVEL level);
    ~GpuDevice() override;
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                         ID3D11Buffer** buffer) override;
    HRESULT CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                            ID3D11Texture2D** texture) override;
    HRESULT CreateShaderResourceView(ID3D11Resource* resource, const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                     ID3D11ShaderResourceView** view) override;
    HRESULT CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                   ID3D11RenderTargetView** view) override;
    HRESULT CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** state) override;
    HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* signature,
                              SIZE_T signatureLength, ID3D11InputLayout** layout) override;
    void GetImmediateContext(ID3D11DeviceContext** context) override;
    D3D_FEATURE_LEVEL GetFeatureLevel() override { return level_; }

private:
    D3D_FEATURE_LEVEL level_;
    GpuContext* context_; // owned reference
};

// Rasterizes the draws still batched on the texture's context, so its texels
// are current (context.cpp). Null or a settled texture: nothing to do.
void SettlePendingDraws(GpuTexture* texture);

// Creates the immediate context of a device (context.cpp).
GpuContext* CreateGpuContext(GpuDevice* device);
void ReleaseGpuContext(GpuContext* context);
ID3D11DeviceContext* AsContextInterface(GpuContext* context);

// The DXGI objects behind a device (swap_chain.cpp).
HRESULT CreateDxgiDevice(GpuDevice* device, void** object);
HRESULT CreateGpuSwapChain(GpuDevice* device, const DXGI_SWAP_CHAIN_DESC& desc, IDXGISwapChain** swapChain);
// Writes the texture as an opaque 24-bit PNG: what the window shows.
bool WriteFramePng(const GpuTexture& frame, const char* path);

// Fault injection and recording shared with gpu_inspect.h.
HRESULT TakeInjectedMapFailure();
HRESULT InjectedDeviceFailure();
