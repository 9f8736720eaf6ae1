// The renderer's device, swap chain, effect and frame (see device.h).
// InitD3D builds everything in a fixed order and stops at the first failure;
// CleanupD3D releases it in the reverse order and may run more than once.
#include "render/device.h"
#include "render/layer_cache.h"

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/window.h"
#include "render/bitmap_fonts.h"
#include "render/screen_centre.h"
#include "render/snapshot.h"
#include "render/system_text.h"
#include "render/textures.h"

#include <cstdio>
#include <cstring>
#include <memory>


RenderDeviceState RenderDevice;
float TerrainColors[4][4];

namespace {

int g_headlessWidth = 640, g_headlessHeight = 480;

template <class T>
void ReleaseOne(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

template <class... T>
void SafeReleaseAll(T*&... p)
{
    (ReleaseOne(p), ...);
}

const char* const kTechniqueNames[TechCount] = {"Render",  "Render1", "Render2", "Render3",
                                                "Render4", "Render5", "Render6"};

const char* DriverTypeName(int type)
{
    switch (type) {
    case D3D_DRIVER_TYPE_HARDWARE:
        return "D3D_DRIVER_TYPE_HARDWARE";
    case D3D_DRIVER_TYPE_WARP:
        return "D3D_DRIVER_TYPE_WARP";
    case D3D_DRIVER_TYPE_REFERENCE:
        return "D3D_DRIVER_TYPE_REFERENCE";
    default:
        return "D3D_DRIVER_TYPE_UNKNOWN";
    }
}

const char* FeatureLevelName(D3D_FEATURE_LEVEL level)
{
    switch (level) {
    case D3D_FEATURE_LEVEL_9_1:
        return "D3D_FEATURE_LEVEL_9_1";
    case D3D_FEATURE_LEVEL_9_2:
        return "D3D_FEATURE_LEVEL_9_2";
    case D3D_FEATURE_LEVEL_9_3:
        return "D3D_FEATURE_LEVEL_9_3";
    case D3D_FEATURE_LEVEL_10_0:
        return "D3D_FEATURE_LEVEL_10_0";
    case D3D_FEATURE_LEVEL_10_1:
        return "D3D_FEATURE_LEVEL_10_1";
    case D3D_FEATURE_LEVEL_11_0:
        return "D3D_FEATURE_LEVEL_11_0";
    default:
        return "D3D_FEATURE_LEVEL_UNKNOWN";
    }
}

void ReadClientSize(HWND window, int* w, int* h)
{
    RECT rc{};
    if (window && GetClientRect(window, &rc)) {
        *w = rc.right - rc.left;
        *h = rc.bottom - rc.top;
    } else {
        *w = g_headlessWidth;
        *h = g_headlessHeight;
    }
}

HRESULT CreateDeviceAndSwapChain(HWND window, int w, int h, D3D_FEATURE_LEVEL* level)
{
    DXGI_SWAP_CHAIN_DESC sd{};
    sd.BufferDesc.Width = static_cast<UINT>(w);
    sd.BufferDesc.Height = static_cast<UINT>(h);
    sd.BufferDesc.RefreshRate = {60, 1};
    sd.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    sd.SampleDesc = {2, 0};
    sd.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    sd.BufferCount = 1;
    sd.OutputWindow = window;
    sd.Windowed = TRUE;
    sd.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    const D3D_DRIVER_TYPE drivers[] = {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP, D3D_DRIVER_TYPE_REFERENCE};
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
    HRESULT hr = E_FAIL;
    for (D3D_DRIVER_TYPE type : drivers) {
        hr = D3D11CreateDeviceAndSwapChain(nullptr, type, nullptr, 0, levels, 3, D3D11_SDK_VERSION, &sd,
                                           &RenderDevice.swapChain, &RenderDevice.device, level,
                                           &RenderDevice.context);
        if (SUCCEEDED(hr)) {
            RenderDevice.driverType = type;
            return hr;
        }
    }
    return hr;
}

HRESULT CreateBackBufferView()
{
    ID3D11Texture2D* back = nullptr;
    HRESULT hr = RenderDevice.swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&back));
    if (FAILED(hr))
        return hr;
    hr = RenderDevice.device->CreateRenderTargetView(back, nullptr, &RenderDevice.backBufferView);
    back->Release();
    if (FAILED(hr))
        return hr;
    RenderDevice.context->OMSetRenderTargets(1, &RenderDevice.backBufferView, nullptr);
    SetRenderTarget(RenderDevice.backBufferView);
    return S_OK;
}

void SetUpViewport()
{
    RenderDevice.viewport = {0, 0, RenderDevice.clientWidth, RenderDevice.clientHeight, 0.0f, 1.0f};
    RenderDevice.orthographic =
        XMMatrixOrthographicOffCenterLH(0, RenderDevice.clientWidth, RenderDevice.clientHeight, 0, 0, 1);
    RenderDevice.context->RSSetViewports(1, &RenderDevice.viewport);
    RenderDevice.savedViewport = RenderDevice.viewport;
}

// -1 when the file cannot be found or read, else the effect's creation result.
HRESULT CreateEffect(D3D_FEATURE_LEVEL level)
{
    char path[512 + 32];
    const char* name = level < D3D_FEATURE_LEVEL_9_2 ? "QRDLX_91.fxo" : "QRDLX30_11.fxo";
    std::snprintf(path, sizeof(path), "%s/System/%s", ProgramRoot, name);
    uint32_t length = 0;
    if (GetFileLength(path, &length) != 0 || length == 0)
        return -1;
    FILE* file = OpenFile(path, "rb");
    if (!file)
        return -1;
    std::unique_ptr<char[]> bytes(new char[length]);
    size_t got = std::fread(bytes.get(), 1, length, file);
    std::fclose(file);
    if (got != length)
        return -1;
    return D3DX11CreateEffectFromMemory(bytes.get(), length, 0, RenderDevice.device, &RenderDevice.effect);
}

void CreateRasterizerState()
{
    D3D11_RASTERIZER_DESC rd{};
    rd.FillMode = D3D11_FILL_SOLID;
    rd.CullMode = D3D11_CULL_BACK;
    rd.FrontCounterClockwise = FALSE; // clockwise on screen is the front
    rd.DepthClipEnable = FALSE;
    rd.ScissorEnable = FALSE;
    rd.MultisampleEnable = TRUE;
    rd.AntialiasedLineEnable = TRUE;
    if (SUCCEEDED(RenderDevice.device->CreateRasterizerState(&rd, &RenderDevice.rasterizerState)))
        RenderDevice.context->RSSetState(RenderDevice.rasterizerState);
}

HRESULT CreateInputLayout()
{
    const D3D11_INPUT_ELEMENT_DESC elements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R8G8B8A8_UNORM, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 16, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"LINELENGTH", 0, DXGI_FORMAT_R32_FLOAT, 0, 24, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    D3DX11_PASS_DESC pass{};
    RenderDevice.techniques[TechRender]->GetPassByIndex(0)->GetDesc(&pass);
    HRESULT hr = RenderDevice.device->CreateInputLayout(elements, 4, pass.pIAInputSignature,
                                                        pass.IAInputSignatureSize, &RenderDevice.inputLayout);
    if (SUCCEEDED(hr))
        RenderDevice.context->IASetInputLayout(RenderDevice.inputLayout);
    return hr;
}

HRESULT CreateVertexBuffer()
{
    D3D11_BUFFER_DESC bd{};
    bd.ByteWidth = kRenderVertexCapacity * sizeof(RenderVertex);
    bd.Usage = D3D11_USAGE_DYNAMIC;
    bd.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    bd.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    HRESULT hr = RenderDevice.device->CreateBuffer(&bd, nullptr, &RenderDevice.vertexBuffer);
    if (FAILED(hr))
        return hr;
    UINT stride = sizeof(RenderVertex), offset = 0;
    RenderDevice.context->IASetVertexBuffers(0, 1, &RenderDevice.vertexBuffer, &stride, &offset);
    return S_OK;
}

void SetUpMatrices(float aspect)
{
    D3DXMatrixIdentity(&RenderDevice.shaderMatrix);
    D3DXMatrixIdentity(&RenderDevice.translation);
    D3DXMatrixIdentity(&RenderDevice.view);
    D3DXMatrixIdentity(&RenderDevice.projection);
    D3DXMatrixPerspectiveFovLH(&RenderDevice.projection, D3DX_PI / 2, aspect, 0.01f, 100.0f);
}

// ShaderMatrix = V x P x T, as every draw builds it.
void BuildShaderMatrix()
{
    const D3DXVECTOR3 up{0, 1, 0};
    D3DXMatrixTranslation(&RenderDevice.translation, 0, 0, 0);
    D3DXMatrixLookAtLH(&RenderDevice.view, &RenderDevice.eye, &RenderDevice.at, &up);
    D3DXMatrixMultiply(&RenderDevice.shaderMatrix, &RenderDevice.view, &RenderDevice.projection);
    D3DXMatrixMultiply(&RenderDevice.shaderMatrix, &RenderDevice.shaderMatrix, &RenderDevice.translation);
}

} // namespace

void SetHeadlessClientSize(int width, int height)
{
    if (width > 0 && height > 0) {
        g_headlessWidth = width;
        g_headlessHeight = height;
    }
}

int InitD3D(HWND window)
{
    CleanupD3D(); // a display re-creation after a failed start finds leftovers
    int w, h;
    ReadClientSize(window, &w, &h);
    RenderDevice.clientWidth = static_cast<float>(w);
    RenderDevice.clientHeight = static_cast<float>(h);
    // The mappings and the mouse scaling assume an aspect of 1.0, so the small
    // windows use it too rather than squeezing the picture.
    const float aspect = 1.0f;
    ClearTextureSpinFlag();

    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = CreateDeviceAndSwapChain(window, w, h, &level);
    if (FAILED(hr))
        return hr;
    WriteIniString(DriverTypeName(RenderDevice.driverType), "System.info", "DirectX", "DriverType");
    WriteIniString(FeatureLevelName(level), "System.info", "DirectX", "FeatureLevel");
    if (FAILED(hr = CreateBackBufferView()))
        return hr;
    SetUpViewport();
    if (FAILED(hr = CreateEffect(level)))
        return hr;
    for (int t = 0; t < TechCount; t++)
        RenderDevice.techniques[t] = RenderDevice.effect->GetTechniqueByName(kTechniqueNames[t]);
    CreateRasterizerState();
    if (FAILED(hr = CreateInputLayout()))
        return hr;
    if (FAILED(hr = CreateVertexBuffer()))
        return hr;
    SetUpMatrices(aspect);
    LoadBitmapFonts();
    CreateTextObjects(RenderDevice.device);
    CreateSnapshotTarget(RenderDevice.device, w, h);
    BlockAltEnter(window);
    RenderDevice.ready = 1;
    return 0;
}

int CleanupD3D()
{
    RenderDeviceState& d = RenderDevice;
    d.ready = 0;
    ForgetLayerCaches();
    SafeReleaseAll(d.dxgiFactory, d.dxgiAdapter, d.dxgiDevice);
    ReleaseSnapshotTarget();
    ReleaseTextObjects();
    ReleaseTextureSlots();
    SafeReleaseAll(d.rasterizerState, d.vertexBuffer, d.inputLayout, d.backBufferView);
    d.currentTarget = nullptr;
    SafeReleaseAll(d.effect, d.swapChain);
    for (auto& t : d.techniques)
        t = nullptr;
    if (d.context) {
        d.context->ClearState();
        d.context->Flush();
    }
    SafeReleaseAll(d.context, d.device);
    d.offscreen = 0;
    return 1;
}

int ClearTarget(uint32_t colour)
{
    if (!RenderDevice.device)
        return 0;
    if (!RenderDevice.context)
        return E_FAIL;
    float c[4] = {static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                  static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>(colour >> 24) / 255.0f};
    if (RenderDevice.currentTarget)
        RenderDevice.context->ClearRenderTargetView(RenderDevice.currentTarget, c);
    return 0;
}

int PresentFrame()
{
    if (!RenderDevice.ready || !RenderDevice.swapChain)
        return -1;
    return FAILED(RenderDevice.swapChain->Present(0, 0)) ? -1 : 0;
}

void RestoreViewport()
{
    if (RenderDevice.context)
        RenderDevice.context->RSSetViewports(1, &RenderDevice.savedViewport);
}

void GetViewportSize(int* width, int* height)
{
    if (width)
        *width = static_cast<int>(RenderDevice.savedViewport.Width);
    if (height)
        *height = static_cast<int>(RenderDevice.savedViewport.Height);
}

void SetRenderTarget(ID3D11RenderTargetView* view)
{
    RenderDevice.currentTarget = view;
    if (RenderDevice.context)
        RenderDevice.context->OMSetRenderTargets(1, &view, nullptr);
}

void SetOffscreenFlag(uint8_t flag)
{
    RenderDevice.offscreen = flag;
}

void BlockAltEnter(HWND window)
{
    RenderDeviceState& d = RenderDevice;
    if (FAILED(d.device->QueryInterface(IID_IDXGIDevice, reinterpret_cast<void**>(&d.dxgiDevice))))
        return;
    if (FAILED(d.dxgiDevice->GetParent(IID_IDXGIAdapter, reinterpret_cast<void**>(&d.dxgiAdapter))))
        return;
    if (FAILED(d.dxgiAdapter->GetParent(IID_IDXGIFactory, reinterpret_cast<void**>(&d.dxgiFactory))))
        return;
    d.dxgiFactory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
}

float VirtualToClipX(float x)
{
    return x / 320.0f - 1.0f;
}

float VirtualToClipY(float y)
{
    return 1.0f - y / 240.0f;
}

float MapPixelToClipX(float x, float cx)
{
    return TakeMapPixelClip(cx, 0.0f).X(x);
}

float MapPixelToClipY(float y, float cy)
{
    return TakeMapPixelClip(0.0f, cy).Y(y);
}

MapPixelClip TakeMapPixelClip(float cx, float cy)
{
    return {cx, cy, static_cast<float>(RenderDevice.clientWidth), static_cast<float>(RenderDevice.clientHeight),
            cx / 320.0f, 1.0f - cy / 240.0f};
}

void ToClientPixels(float x, float y, float* px, float* py)
{
    float cx, cy;
    GetScreenCentre(&cx, &cy);
    *px = x - cx + RenderDevice.clientWidth * cx / 640.0f;
    *py = y - cy + RenderDevice.clientHeight * cy / 480.0f;
}

RenderTechnique TexturedTechnique()
{
    return RenderDevice.offscreen ? TechRender4 : TechRender;
}

RenderTechnique ColouredTechnique()
{
    return RenderDevice.offscreen ? TechRender5 : TechRender1;
}

HRESULT BeginDraw(RenderVertex** vertices)
{
    *vertices = nullptr;
    if (!RenderDevice.context || !RenderDevice.vertexBuffer)
        return E_FAIL;
    D3D11_MAPPED_SUBRESOURCE mapped;
    HRESULT hr = RenderDevice.context->Map(RenderDevice.vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
    if (FAILED(hr))
        return hr;
    *vertices = static_cast<RenderVertex*>(mapped.pData);
    return S_OK;
}

void FinishDraw(int count, D3D11_PRIMITIVE_TOPOLOGY topology, RenderTechnique technique,
                ID3D11ShaderResourceView* texture)
{
    RenderDeviceState& d = RenderDevice;
    d.context->Unmap(d.vertexBuffer, 0);
    d.context->IASetPrimitiveTopology(topology);
    if (!d.effect || !d.techniques[technique])
        return;
    BuildShaderMatrix();
    d.effect->GetVariableByName("ShaderMatrix")->AsMatrix()->SetMatrix(d.shaderMatrix);
    if (texture)
        d.effect->GetVariableByName("diffuseTexture")->AsShaderResource()->SetResource(texture);
    ID3DX11EffectTechnique* t = d.techniques[technique];
    D3DX11_TECHNIQUE_DESC desc{};
    if (FAILED(t->GetDesc(&desc)))
        return;
    for (UINT p = 0; p < desc.Passes; p++) {
        t->GetPassByIndex(p)->Apply(0, d.context);
        d.context->Draw(static_cast<UINT>(count), 0);
    }
}
