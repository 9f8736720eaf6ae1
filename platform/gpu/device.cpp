// The device of the software renderer and the resources it creates: buffers,
// RGBA8 textures, views, rasterizer states and input layouts. Creation only
// allocates and fills new objects, so any thread may create.
#include "platform/gpu/gpu_objects.h"

#include <atomic>

#include <cstring>
#include <new>

namespace {

constexpr UINT kMaxBufferBytes = 64u * 1024u * 1024u;

template <class T>
HRESULT Hand(T* object, T** out)
{
    if (!out) {
        object->Release();
        return S_FALSE; // validation only
    }
    *out = object;
    return S_OK;
}

} // namespace

void HandDevice(GpuDevice* device, ID3D11Device** out)
{
    if (!out)
        return;
    *out = device;
    if (device)
        device->AddRef();
}

// ---- buffers and textures -------------------------------------------------

GpuBuffer::GpuBuffer(GpuDevice* device, const D3D11_BUFFER_DESC& desc, std::unique_ptr<uint8_t[]> bytes)
    : desc_(desc), bytes_(std::move(bytes)), device_(device)
{
}

HRESULT GpuBuffer::QueryInterface(REFIID riid, void** object)
{
    return AnswerQuery<ID3D11Buffer>(this, riid, object, {IID_IUnknown, IID_ID3D11Resource, IID_ID3D11Buffer});
}

void GpuBuffer::GetDevice(ID3D11Device** device)
{
    HandDevice(device_, device);
}

static uint64_t NextTextureId()
{
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

GpuTexture::GpuTexture(GpuDevice* device, const D3D11_TEXTURE2D_DESC& desc, TexelStore texels)
    : desc_(desc), texels_(std::move(texels)), id_(NextTextureId()), device_(device)
{
}

HRESULT GpuTexture::QueryInterface(REFIID riid, void** object)
{
    return AnswerQuery<ID3D11Texture2D>(this, riid, object, {IID_IUnknown, IID_ID3D11Resource, IID_ID3D11Texture2D});
}

void GpuTexture::GetDevice(ID3D11Device** device)
{
    HandDevice(device_, device);
}

RasterTexture GpuTexture::AsRaster() const
{
    RasterTexture t;
    t.texels = texels_.get();
    t.width = Width();
    t.height = Height();
    t.pitch = Width();
    // A render target changes under every draw, so it is never taken as opaque.
    t.opaque = opaque_.load(std::memory_order_relaxed) && !(desc_.BindFlags & D3D11_BIND_RENDER_TARGET);
    t.alphaRuns = alphaRunsValid_ ? alphaRuns_.get() : nullptr;
    t.clearCells = alphaRunsValid_ ? alphaRuns_.get() + static_cast<size_t>(t.width) * t.height : nullptr;
    return t;
}

void GpuTexture::UpdateOpaque()
{
    size_t n = static_cast<size_t>(desc_.Width) * desc_.Height;
    uint32_t all = 0xFF000000u;
    const uint32_t* p = texels_.get();
    for (size_t i = 0; i < n; i++)
        all &= p[i];
    bool opaque = (all & 0xFF000000u) == 0xFF000000u;
    opaque_.store(opaque, std::memory_order_relaxed);
    // Opaque pictures take the copy path anyway; render targets change under every draw.
    alphaRunsValid_ = !opaque && !(desc_.BindFlags & D3D11_BIND_RENDER_TARGET) && n > 0;
    if (!alphaRunsValid_)
        return;
    if (!alphaRuns_) // kept at its size, so a reader never sees it move; the clear cells follow the runs
        alphaRuns_ = std::make_unique<uint8_t[]>(2 * n);
    BuildAlphaRuns(p, Width(), Height(), alphaRuns_.get());
    BuildClearCells(alphaRuns_.get(), Width(), Height(), alphaRuns_.get() + n);
}

void GpuTexture::MarkOpaque()
{
    opaque_.store(true, std::memory_order_relaxed);
    alphaRunsValid_ = false;
}

GpuTexture* AsGpuTexture(ID3D11Resource* resource)
{
    return dynamic_cast<GpuTexture*>(resource);
}

GpuBuffer* AsGpuBuffer(ID3D11Resource* resource)
{
    return dynamic_cast<GpuBuffer*>(resource);
}

// ---- states -----------------------------------------------------------------

HRESULT GpuRasterizerState::QueryInterface(REFIID riid, void** object)
{
    return AnswerQuery<ID3D11RasterizerState>(this, riid, object, {IID_IUnknown});
}

void GpuRasterizerState::GetDevice(ID3D11Device** device)
{
    HandDevice(device_, device);
}

HRESULT GpuInputLayout::QueryInterface(REFIID riid, void** object)
{
    return AnswerQuery<ID3D11InputLayout>(this, riid, object, {IID_IUnknown});
}

void GpuInputLayout::GetDevice(ID3D11Device** device)
{
    HandDevice(device_, device);
}

// ---- the device -----------------------------------------------------------

GpuDevice::GpuDevice(D3D_FEATURE_LEVEL level) : level_(level), context_(CreateGpuContext(this)) {}

GpuDevice::~GpuDevice()
{
    ReleaseGpuContext(context_);
}

HRESULT GpuDevice::QueryInterface(REFIID riid, void** object)
{
    if (object && riid == IID_IDXGIDevice)
        return CreateDxgiDevice(this, object);
    return AnswerQuery<ID3D11Device>(this, riid, object, {IID_IUnknown, IID_ID3D11Device});
}

void GpuDevice::GetImmediateContext(ID3D11DeviceContext** context)
{
    if (!context)
        return;
    *context = AsContextInterface(context_);
    (*context)->AddRef();
}

HRESULT GpuDevice::CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                                ID3D11Buffer** buffer)
{
    if (buffer)
        *buffer = nullptr;
    if (!desc || desc->ByteWidth == 0 || desc->ByteWidth > kMaxBufferBytes)
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_DYNAMIC && !(desc->CPUAccessFlags & D3D11_CPU_ACCESS_WRITE))
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_IMMUTABLE && (!initial || !initial->pSysMem))
        return E_INVALIDARG;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[desc->ByteWidth]());
    if (!bytes)
        return E_OUTOFMEMORY;
    if (initial && initial->pSysMem)
        std::memcpy(bytes.get(), initial->pSysMem, desc->ByteWidth);
    return Hand<ID3D11Buffer>(new GpuBuffer(this, *desc, std::move(bytes)), buffer);
}

static bool ValidTextureDesc(const D3D11_TEXTURE2D_DESC& d, const D3D11_SUBRESOURCE_DATA* initial)
{
    if (d.Width == 0 || d.Height == 0 || d.Width > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
        d.Height > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION)
        return false;
    if (d.Format != DXGI_FORMAT_R8G8B8A8_UNORM || d.ArraySize != 1)
        return false;
    if (d.SampleDesc.Count < 1 || d.SampleDesc.Count > 8)
        return false;
    if (d.Usage == D3D11_USAGE_DYNAMIC &&
        (!(d.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE) || (d.BindFlags & D3D11_BIND_RENDER_TARGET)))
        return false;
    if (d.Usage == D3D11_USAGE_IMMUTABLE && (!initial || !initial->pSysMem))
        return false;
    if (initial && initial->pSysMem && initial->SysMemPitch < d.Width * 4)
        return false;
    return true;
}

HRESULT GpuDevice::CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                                   ID3D11Texture2D** texture)
{
    if (texture)
        *texture = nullptr;
    if (!desc || !ValidTextureDesc(*desc, initial))
        return E_INVALIDARG;
    size_t w = desc->Width, h = desc->Height;
    // Given data overwrites every texel: no fill first.
    bool given = initial && initial->pSysMem;
    TexelStore texels = given ? AllocateTexels(w * h) : AllocateZeroedTexels(w * h);
    if (!texels)
        return E_OUTOFMEMORY;
    if (given) {
        const uint8_t* src = static_cast<const uint8_t*>(initial->pSysMem);
        for (size_t y = 0; y < h; y++)
            std::memcpy(texels.get() + y * w, src + y * initial->SysMemPitch, w * 4);
    }
    D3D11_TEXTURE2D_DESC kept = *desc;
    kept.MipLevels = 1; // one level is all this device keeps
    auto* t = new GpuTexture(this, kept, std::move(texels));
    t->UpdateOpaque();
    return Hand<ID3D11Texture2D>(t, texture);
}

HRESULT GpuDevice::CreateShaderResourceView(ID3D11Resource* resource, const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                            ID3D11ShaderResourceView** view)
{
    if (view)
        *view = nullptr;
    GpuTexture* texture = AsGpuTexture(resource);
    if (!texture || !(texture->desc_.BindFlags & D3D11_BIND_SHADER_RESOURCE))
        return E_INVALIDARG;
    D3D11_SHADER_RESOURCE_VIEW_DESC d{texture->desc_.Format, D3D11_SRV_DIMENSION_TEXTURE2D, {0, 1}};
    if (desc) {
        bool formatOk = desc->Format == DXGI_FORMAT_UNKNOWN || desc->Format == texture->desc_.Format;
        bool mipsOk = desc->Texture2D.MostDetailedMip == 0 &&
                      (desc->Texture2D.MipLevels == 1 || desc->Texture2D.MipLevels == 0xFFFFFFFFu);
        if (!formatOk || desc->ViewDimension != D3D11_SRV_DIMENSION_TEXTURE2D || !mipsOk)
            return E_INVALIDARG;
    }
    return Hand<ID3D11ShaderResourceView>(new GpuShaderResourceView(this, texture, d), view);
}

HRESULT GpuDevice::CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                          ID3D11RenderTargetView** view)
{
    if (view)
        *view = nullptr;
    GpuTexture* texture = AsGpuTexture(resource);
    if (!texture || !(texture->desc_.BindFlags & D3D11_BIND_RENDER_TARGET))
        return E_INVALIDARG;
    D3D11_RENDER_TARGET_VIEW_DESC d{texture->desc_.Format, D3D11_RTV_DIMENSION_TEXTURE2D, {0}};
    if (desc) {
        bool formatOk = desc->Format == DXGI_FORMAT_UNKNOWN || desc->Format == texture->desc_.Format;
        if (!formatOk || desc->ViewDimension != D3D11_RTV_DIMENSION_TEXTURE2D || desc->Texture2D.MipSlice != 0)
            return E_INVALIDARG;
    }
    return Hand<ID3D11RenderTargetView>(new GpuRenderTargetView(this, texture, d), view);
}

HRESULT GpuDevice::CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** state)
{
    if (state)
        *state = nullptr;
    if (!desc || desc->FillMode != D3D11_FILL_SOLID || desc->CullMode < D3D11_CULL_NONE ||
        desc->CullMode > D3D11_CULL_BACK)
        return E_INVALIDARG;
    return Hand<ID3D11RasterizerState>(new GpuRasterizerState(this, *desc), state);
}

// The input signature of our passes is their semantics separated by commas.
static bool SignatureNamed(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const char* name, size_t len)
{
    for (UINT i = 0; i < count; i++)
        if (elements[i].SemanticIndex == 0 && std::strlen(elements[i].SemanticName) == len &&
            std::strncmp(elements[i].SemanticName, name, len) == 0)
            return true;
    return false;
}

static bool PlaceElement(const D3D11_INPUT_ELEMENT_DESC& e, UINT offset, VertexLayout& layout)
{
    const char* s = e.SemanticName;
    if (e.SemanticIndex != 0)
        return true; // not read by any of our pixel programs
    if (std::strcmp(s, "POSITION") == 0) {
        if (e.Format != DXGI_FORMAT_R32G32B32_FLOAT && e.Format != DXGI_FORMAT_R32G32_FLOAT)
            return false;
        layout.position = static_cast<int>(offset);
        layout.positionComponents = e.Format == DXGI_FORMAT_R32G32B32_FLOAT ? 3 : 2;
    } else if (std::strcmp(s, "COLOR") == 0) {
        if (e.Format != DXGI_FORMAT_R8G8B8A8_UNORM)
            return false;
        layout.colour = static_cast<int>(offset);
    } else if (std::strcmp(s, "TEXCOORD") == 0) {
        if (e.Format != DXGI_FORMAT_R32G32_FLOAT)
            return false;
        layout.texcoord = static_cast<int>(offset);
    } else if (std::strcmp(s, "LINELENGTH") == 0) {
        if (e.Format != DXGI_FORMAT_R32_FLOAT)
            return false;
        layout.lineLength = static_cast<int>(offset);
    }
    return true;
}

static UINT FormatBytes(DXGI_FORMAT f)
{
    switch (f) {
    case DXGI_FORMAT_R32G32B32_FLOAT:
        return 12;
    case DXGI_FORMAT_R32G32_FLOAT:
        return 8;
    case DXGI_FORMAT_R8G8B8A8_UNORM:
    case DXGI_FORMAT_R32_FLOAT:
        return 4;
    default:
        return 0;
    }
}

HRESULT GpuDevice::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* signature,
                                     SIZE_T signatureLength, ID3D11InputLayout** layout)
{
    if (layout)
        *layout = nullptr;
    if (!elements || count == 0 || count > 16 || !signature || signatureLength == 0 || signatureLength > 4096)
        return E_INVALIDARG;
    VertexLayout placed;
    UINT next = 0;
    for (UINT i = 0; i < count; i++) {
        const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
        UINT bytes = FormatBytes(e.Format);
        if (!e.SemanticName || e.InputSlot != 0 || e.InputSlotClass != D3D11_INPUT_PER_VERTEX_DATA || bytes == 0)
            return E_INVALIDARG;
        UINT offset = e.AlignedByteOffset == 0xFFFFFFFFu ? next : e.AlignedByteOffset;
        if (offset > 2048 || !PlaceElement(e, offset, placed))
            return E_INVALIDARG;
        next = offset + bytes;
    }
    // Every semantic the pass reads must be fed by an element.
    const char* sig = static_cast<const char*>(signature);
    size_t start = 0;
    for (size_t i = 0; i <= signatureLength; i++) {
        if (i == signatureLength || sig[i] == ',' || sig[i] == '\0') {
            if (i > start && !SignatureNamed(elements, count, sig + start, i - start))
                return E_INVALIDARG;
            start = i + 1;
            if (i < signatureLength && sig[i] == '\0')
                break;
        }
    }
    if (placed.position < 0)
        return E_INVALIDARG;
    return Hand<ID3D11InputLayout>(new GpuInputLayout(this, placed), layout);
}

// ---- creation -------------------------------------------------------------

static bool PickFeatureLevel(const D3D_FEATURE_LEVEL* levels, UINT count, D3D_FEATURE_LEVEL* picked)
{
    if (!levels || count == 0) {
        *picked = D3D_FEATURE_LEVEL_11_0;
        return true;
    }
    for (UINT i = 0; i < count; i++) {
        switch (levels[i]) {
        case D3D_FEATURE_LEVEL_9_1:
        case D3D_FEATURE_LEVEL_9_2:
        case D3D_FEATURE_LEVEL_9_3:
        case D3D_FEATURE_LEVEL_10_0:
        case D3D_FEATURE_LEVEL_10_1:
        case D3D_FEATURE_LEVEL_11_0:
            *picked = levels[i];
            return true;
        }
    }
    return false;
}

HRESULT D3D11CreateDeviceAndSwapChain(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software,
                                      UINT flags, const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount,
                                      UINT sdkVersion, const DXGI_SWAP_CHAIN_DESC* swapChainDesc,
                                      IDXGISwapChain** swapChain, ID3D11Device** device,
                                      D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context)
{
    (void)flags;
    if (swapChain)
        *swapChain = nullptr;
    if (device)
        *device = nullptr;
    if (context)
        *context = nullptr;
    if (adapter || sdkVersion != D3D11_SDK_VERSION || (swapChain && !swapChainDesc))
        return E_INVALIDARG;
    if (HRESULT injected = InjectedDeviceFailure(); FAILED(injected))
        return injected;
    // This device is a software rasterizer: there is no hardware device, and a
    // software driver module is not loadable here.
    if (driverType == D3D_DRIVER_TYPE_HARDWARE)
        return DXGI_ERROR_UNSUPPORTED;
    if (driverType == D3D_DRIVER_TYPE_SOFTWARE && !software)
        return E_INVALIDARG;
    if (driverType != D3D_DRIVER_TYPE_WARP && driverType != D3D_DRIVER_TYPE_REFERENCE)
        return DXGI_ERROR_UNSUPPORTED;
    D3D_FEATURE_LEVEL level;
    if (!PickFeatureLevel(featureLevels, featureLevelCount, &level))
        return DXGI_ERROR_UNSUPPORTED;

    auto* created = new GpuDevice(level);
    if (swapChain) {
        HRESULT hr = CreateGpuSwapChain(created, *swapChainDesc, swapChain);
        if (FAILED(hr)) {
            created->Release();
            return hr;
        }
    }
    if (featureLevel)
        *featureLevel = level;
    if (context)
        created->GetImmediateContext(context);
    if (device)
        *device = created;
    else
        created->Release();
    return S_OK;
}
