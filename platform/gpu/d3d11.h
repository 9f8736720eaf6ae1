// The Direct3D 11 and DXGI stand-in: reference-counted device objects over CPU
// memory with the names, constants and HRESULTs the renderer calls.
// Device creation of buffers, textures and views is safe from any thread; the
// immediate context (map, draw, present) belongs to the GUI thread.
#pragma once

#include "platform/win32.h"

// Interface identities for QueryInterface and GetBuffer; the values are ours.
struct IID {
    uint32_t value;
    bool operator==(const IID& other) const { return value == other.value; }
};
typedef const IID& REFIID;

inline constexpr IID IID_IUnknown{1};
inline constexpr IID IID_ID3D11Device{2};
inline constexpr IID IID_ID3D11DeviceContext{3};
inline constexpr IID IID_ID3D11Resource{4};
inline constexpr IID IID_ID3D11Buffer{5};
inline constexpr IID IID_ID3D11Texture2D{6};
inline constexpr IID IID_ID3D11ShaderResourceView{7};
inline constexpr IID IID_ID3D11RenderTargetView{8};
inline constexpr IID IID_IDXGIDevice{9};
inline constexpr IID IID_IDXGIAdapter{10};
inline constexpr IID IID_IDXGIFactory{11};
inline constexpr IID IID_IDXGISwapChain{12};

#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#define DXGI_ERROR_UNSUPPORTED (static_cast<HRESULT>(0x887A0004u))
#define DXGI_ERROR_INVALID_CALL (static_cast<HRESULT>(0x887A0001u))
#define D3D11_SDK_VERSION 7u

// Largest texture side the device accepts.
#define D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION 16384u

enum DXGI_FORMAT {
    DXGI_FORMAT_UNKNOWN = 0,
    DXGI_FORMAT_R32G32B32_FLOAT = 6,
    DXGI_FORMAT_R32G32_FLOAT = 16,
    DXGI_FORMAT_R8G8B8A8_UNORM = 28,
    DXGI_FORMAT_R32_FLOAT = 41,
};

enum D3D_DRIVER_TYPE {
    D3D_DRIVER_TYPE_UNKNOWN = 0,
    D3D_DRIVER_TYPE_HARDWARE = 1,
    D3D_DRIVER_TYPE_REFERENCE = 2,
    D3D_DRIVER_TYPE_NULL = 3,
    D3D_DRIVER_TYPE_SOFTWARE = 4,
    D3D_DRIVER_TYPE_WARP = 5,
};

enum D3D_FEATURE_LEVEL {
    D3D_FEATURE_LEVEL_9_1 = 0x9100,
    D3D_FEATURE_LEVEL_9_2 = 0x9200,
    D3D_FEATURE_LEVEL_9_3 = 0x9300,
    D3D_FEATURE_LEVEL_10_0 = 0xa000,
    D3D_FEATURE_LEVEL_10_1 = 0xa100,
    D3D_FEATURE_LEVEL_11_0 = 0xb000,
};

enum D3D11_USAGE {
    D3D11_USAGE_DEFAULT = 0,
    D3D11_USAGE_IMMUTABLE = 1,
    D3D11_USAGE_DYNAMIC = 2,
    D3D11_USAGE_STAGING = 3,
};

enum D3D11_BIND_FLAG {
    D3D11_BIND_VERTEX_BUFFER = 0x1,
    D3D11_BIND_SHADER_RESOURCE = 0x8,
    D3D11_BIND_RENDER_TARGET = 0x20,
};

enum D3D11_CPU_ACCESS_FLAG {
    D3D11_CPU_ACCESS_WRITE = 0x10000,
    D3D11_CPU_ACCESS_READ = 0x20000,
};

enum D3D11_MAP {
    D3D11_MAP_READ = 1,
    D3D11_MAP_WRITE = 2,
    D3D11_MAP_READ_WRITE = 3,
    D3D11_MAP_WRITE_DISCARD = 4,
    D3D11_MAP_WRITE_NO_OVERWRITE = 5,
};

enum D3D11_RESOURCE_DIMENSION {
    D3D11_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D11_RESOURCE_DIMENSION_BUFFER = 1,
    D3D11_RESOURCE_DIMENSION_TEXTURE2D = 3,
};

enum D3D11_SRV_DIMENSION {
    D3D11_SRV_DIMENSION_UNKNOWN = 0,
    D3D11_SRV_DIMENSION_TEXTURE2D = 4,
};

enum D3D11_RTV_DIMENSION {
    D3D11_RTV_DIMENSION_UNKNOWN = 0,
    D3D11_RTV_DIMENSION_TEXTURE2D = 4,
};

enum D3D11_PRIMITIVE_TOPOLOGY {
    D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
    D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
    D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
};

enum D3D11_FILL_MODE {
    D3D11_FILL_WIREFRAME = 2,
    D3D11_FILL_SOLID = 3,
};

enum D3D11_CULL_MODE {
    D3D11_CULL_NONE = 1,
    D3D11_CULL_FRONT = 2,
    D3D11_CULL_BACK = 3,
};

enum D3D11_INPUT_CLASSIFICATION {
    D3D11_INPUT_PER_VERTEX_DATA = 0,
    D3D11_INPUT_PER_INSTANCE_DATA = 1,
};

enum DXGI_MODE_SCANLINE_ORDER {
    DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED = 0,
};

enum DXGI_MODE_SCALING {
    DXGI_MODE_SCALING_UNSPECIFIED = 0,
};

enum DXGI_SWAP_EFFECT {
    DXGI_SWAP_EFFECT_DISCARD = 0,
    DXGI_SWAP_EFFECT_SEQUENTIAL = 1,
};

#define DXGI_USAGE_RENDER_TARGET_OUTPUT 0x20u
#define DXGI_MWA_NO_WINDOW_CHANGES 0x1u
#define DXGI_MWA_NO_ALT_ENTER 0x2u
#define DXGI_MWA_NO_PRINT_SCREEN 0x4u

struct DXGI_RATIONAL {
    UINT Numerator;
    UINT Denominator;
};

struct DXGI_MODE_DESC {
    UINT Width;
    UINT Height;
    DXGI_RATIONAL RefreshRate;
    DXGI_FORMAT Format;
    DXGI_MODE_SCANLINE_ORDER ScanlineOrdering;
    DXGI_MODE_SCALING Scaling;
};

struct DXGI_SAMPLE_DESC {
    UINT Count;
    UINT Quality;
};

struct DXGI_SWAP_CHAIN_DESC {
    DXGI_MODE_DESC BufferDesc;
    DXGI_SAMPLE_DESC SampleDesc;
    UINT BufferUsage;
    UINT BufferCount;
    HWND OutputWindow;
    BOOL Windowed;
    DXGI_SWAP_EFFECT SwapEffect;
    UINT Flags;
};

struct D3D11_BUFFER_DESC {
    UINT ByteWidth;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
    UINT StructureByteStride;
};

struct D3D11_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

struct D3D11_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
};

struct D3D11_MAPPED_SUBRESOURCE {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
};

struct D3D11_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
};

struct D3D11_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_SRV_DIMENSION ViewDimension;
    D3D11_TEX2D_SRV Texture2D;
};

struct D3D11_TEX2D_RTV {
    UINT MipSlice;
};

struct D3D11_RENDER_TARGET_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_RTV_DIMENSION ViewDimension;
    D3D11_TEX2D_RTV Texture2D;
};

struct D3D11_VIEWPORT {
    FLOAT TopLeftX;
    FLOAT TopLeftY;
    FLOAT Width;
    FLOAT Height;
    FLOAT MinDepth;
    FLOAT MaxDepth;
};

struct D3D11_RASTERIZER_DESC {
    D3D11_FILL_MODE FillMode;
    D3D11_CULL_MODE CullMode;
    BOOL FrontCounterClockwise;
    INT DepthBias;
    FLOAT DepthBiasClamp;
    FLOAT SlopeScaledDepthBias;
    BOOL DepthClipEnable;
    BOOL ScissorEnable;
    BOOL MultisampleEnable;
    BOOL AntialiasedLineEnable;
};

struct D3D11_INPUT_ELEMENT_DESC {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    DXGI_FORMAT Format;
    UINT InputSlot;
    UINT AlignedByteOffset;
    D3D11_INPUT_CLASSIFICATION InputSlotClass;
    UINT InstanceDataStepRate;
};

struct ID3D11Device;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct ID3D11DeviceChild : IUnknown {
    // Hands out the device with a reference added.
    virtual void GetDevice(ID3D11Device** device) = 0;
};

struct ID3D11Resource : ID3D11DeviceChild {
    virtual void GetType(D3D11_RESOURCE_DIMENSION* dimension) = 0;
};

struct ID3D11Buffer : ID3D11Resource {
    virtual void GetDesc(D3D11_BUFFER_DESC* desc) = 0;
};

struct ID3D11Texture2D : ID3D11Resource {
    virtual void GetDesc(D3D11_TEXTURE2D_DESC* desc) = 0;
};

struct ID3D11View : ID3D11DeviceChild {
    // Hands out the viewed resource with a reference added.
    virtual void GetResource(ID3D11Resource** resource) = 0;
};

struct ID3D11ShaderResourceView : ID3D11View {
    virtual void GetDesc(D3D11_SHADER_RESOURCE_VIEW_DESC* desc) = 0;
};

struct ID3D11RenderTargetView : ID3D11View {
    virtual void GetDesc(D3D11_RENDER_TARGET_VIEW_DESC* desc) = 0;
};

struct ID3D11DepthStencilView : ID3D11View {};

struct ID3D11RasterizerState : ID3D11DeviceChild {
    virtual void GetDesc(D3D11_RASTERIZER_DESC* desc) = 0;
};

struct ID3D11InputLayout : ID3D11DeviceChild {};

struct ID3D11DeviceContext : ID3D11DeviceChild {
    virtual void IASetInputLayout(ID3D11InputLayout* layout) = 0;
    virtual void IASetVertexBuffers(UINT startSlot, UINT count, ID3D11Buffer* const* buffers,
                                    const UINT* strides, const UINT* offsets) = 0;
    virtual void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY topology) = 0;
    virtual void RSSetState(ID3D11RasterizerState* state) = 0;
    virtual void RSSetViewports(UINT count, const D3D11_VIEWPORT* viewports) = 0;
    virtual void RSGetViewports(UINT* count, D3D11_VIEWPORT* viewports) = 0;
    virtual void OMSetRenderTargets(UINT count, ID3D11RenderTargetView* const* views,
                                    ID3D11DepthStencilView* depthStencil) = 0;
    // Hands out the bound targets with a reference added each.
    virtual void OMGetRenderTargets(UINT count, ID3D11RenderTargetView** views,
                                    ID3D11DepthStencilView** depthStencil) = 0;
    virtual HRESULT Map(ID3D11Resource* resource, UINT subresource, D3D11_MAP mapType, UINT mapFlags,
                        D3D11_MAPPED_SUBRESOURCE* mapped) = 0;
    virtual void Unmap(ID3D11Resource* resource, UINT subresource) = 0;
    virtual void Draw(UINT vertexCount, UINT startVertex) = 0;
    virtual void ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT colour[4]) = 0;
    virtual void ClearState() = 0;
    virtual void Flush() = 0;
};

struct ID3D11Device : IUnknown {
    virtual HRESULT CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                                 ID3D11Buffer** buffer) = 0;
    virtual HRESULT CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                                    ID3D11Texture2D** texture) = 0;
    virtual HRESULT CreateShaderResourceView(ID3D11Resource* resource,
                                             const D3D11_SHADER_RESOURCE_VIEW_DESC* desc,
                                             ID3D11ShaderResourceView** view) = 0;
    virtual HRESULT CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                                           ID3D11RenderTargetView** view) = 0;
    virtual HRESULT CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** state) = 0;
    // The signature is the pass's input signature (D3DX11_PASS_DESC).
    virtual HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count,
                                      const void* signature, SIZE_T signatureLength,
                                      ID3D11InputLayout** layout) = 0;
    virtual void GetImmediateContext(ID3D11DeviceContext** context) = 0;
    virtual D3D_FEATURE_LEVEL GetFeatureLevel() = 0;
};

struct IDXGIObject : IUnknown {
    virtual HRESULT GetParent(REFIID riid, void** parent) = 0;
};

struct IDXGIFactory : IDXGIObject {
    virtual HRESULT MakeWindowAssociation(HWND window, UINT flags) = 0;
};

struct IDXGIAdapter : IDXGIObject {};

struct IDXGIDevice : IDXGIObject {
    virtual HRESULT GetAdapter(IDXGIAdapter** adapter) = 0;
};

struct IDXGISwapChain : IDXGIObject {
    virtual HRESULT Present(UINT syncInterval, UINT flags) = 0;
    virtual HRESULT GetBuffer(UINT buffer, REFIID riid, void** surface) = 0;
    virtual HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC* desc) = 0;
};

struct IDXGIAdapter;
HRESULT D3D11CreateDeviceAndSwapChain(IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType, HMODULE software,
                                      UINT flags, const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount,
                                      UINT sdkVersion, const DXGI_SWAP_CHAIN_DESC* swapChainDesc,
                                      IDXGISwapChain** swapChain, ID3D11Device** device,
                                      D3D_FEATURE_LEVEL* featureLevel, ID3D11DeviceContext** context);
