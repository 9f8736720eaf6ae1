// The renderer's device, swap chain, effect and frame: start-up and clean-up,
// clearing and presenting, the coordinate mappings and the sequence every
// draw follows (map the one vertex buffer, write, unmap, set the matrix,
// apply the technique's passes and draw). GUI thread only.
#pragma once

#include "platform/gpu/d3d11.h"
#include "platform/gpu/d3dx10math.h"
#include "platform/gpu/d3dx11effect.h"

#include <cstdint>

// The one vertex format of every draw.
#pragma pack(push, 1)
struct RenderVertex {
    float x, y, z;      // clip space, z = 0
    uint32_t colour;    // 0xAABBGGRR
    float u, v;         // texture coordinate
    float lineLength;   // dashed lines only
};
#pragma pack(pop)
static_assert(sizeof(RenderVertex) == 28);

// The rectangle the draws take: x0 left, x1 right, y0 upper, y1 lower (y down);
// its unit is fixed by the draw.
struct ScreenRect {
    float x0, x1, y0, y1;
};
static_assert(sizeof(ScreenRect) == 16);

// Vertices the one dynamic buffer holds; no draw writes more.
constexpr int kRenderVertexCapacity = 30000;

enum RenderTechnique {
    TechRender,  // textured
    TechRender1, // coloured
    TechRender2, // terrain, mode below 3
    TechRender3, // terrain, mode 3 and above
    TechRender4, // textured, offscreen
    TechRender5, // coloured, offscreen
    TechRender6, // dashed line
    TechCount
};

struct RenderDeviceState {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11RenderTargetView* backBufferView = nullptr;
    ID3D11RenderTargetView* currentTarget = nullptr; // not owned
    ID3D11RasterizerState* rasterizerState = nullptr;
    ID3D11InputLayout* inputLayout = nullptr;
    ID3D11Buffer* vertexBuffer = nullptr;
    ID3DX11Effect* effect = nullptr;
    ID3DX11EffectTechnique* techniques[TechCount] = {};
    IDXGIDevice* dxgiDevice = nullptr;
    IDXGIAdapter* dxgiAdapter = nullptr;
    IDXGIFactory* dxgiFactory = nullptr;
    int driverType = 0;
    float clientWidth = 0, clientHeight = 0;
    D3D11_VIEWPORT viewport{}, savedViewport{};
    D3DXMATRIX shaderMatrix{}, projection{}, view{}, translation{};
    XMMATRIX orthographic{};
    D3DXVECTOR3 eye{0, 0, -1}, at{0, 0, 0};
    uint8_t ready = 0;
    uint8_t offscreen = 0;
};

extern RenderDeviceState RenderDevice;

// Legend colours 1..4 as r, g, b, a in 0..1, for the terrain technique;
// the terrain code fills them once the device has started.
extern float TerrainColors[4][4];

int InitD3D(HWND window);
int CleanupD3D();
// colour is read as 0xAARRGGBB, unlike the vertex colours.
int ClearTarget(uint32_t colour);
int PresentFrame();
void RestoreViewport();
void GetViewportSize(int* width, int* height);
void SetRenderTarget(ID3D11RenderTargetView* view);
void SetOffscreenFlag(uint8_t flag);
void BlockAltEnter(HWND window);

// Without a window (tools, tests, benchmarks) the client area has this size;
// 640 x 480 unless set before InitD3D.
void SetHeadlessClientSize(int width, int height);

// The mappings to clip space. (cx, cy) is the screen centre on the 640 x 480
// virtual screen; W x H the client size.
float VirtualToClipX(float x);
float VirtualToClipY(float y);
float MapPixelToClipX(float x, float cx);
float MapPixelToClipY(float y, float cy);
// The same two mappings for many points of one draw, with the centre and the
// client size taken once: the same arithmetic, the same values.
struct MapPixelClip {
    float cx, cy, width, height;
    float offsetX, offsetY; // cx / 320, 1 - cy / 240

    float X(float x) const { return 2.0f * (x - cx) / width + offsetX - 1.0f; }
    float Y(float y) const { return offsetY - 2.0f * (y - cy) / height; }
};
MapPixelClip TakeMapPixelClip(float cx, float cy);
// A map-pixel point in client pixels.
void ToClientPixels(float x, float y, float* px, float* py);

// The common draw sequence. BeginDraw maps the vertex buffer (E_FAIL without
// a context, the map's code when it fails); FinishDraw unmaps, sets the
// topology, "ShaderMatrix" and, when given, "diffuseTexture", and draws count
// vertices once per pass of the technique.
HRESULT BeginDraw(RenderVertex** vertices);
void FinishDraw(int count, D3D11_PRIMITIVE_TOPOLOGY topology, RenderTechnique technique,
                ID3D11ShaderResourceView* texture);
// The textured or coloured technique for the offscreen flag.
RenderTechnique TexturedTechnique();
RenderTechnique ColouredTechnique();
