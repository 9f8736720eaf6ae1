// A small headless device for the renderer's pixel tests: swap chain without a
// window, the shipped effect, one dynamic vertex buffer of 28-byte vertices,
// and helpers that draw in pixel coordinates and read pixels back.
#pragma once

#include "platform/gpu/d3d11.h"
#include "platform/gpu/d3dx11effect.h"
#include "platform/gpu/gpu_inspect.h"

#include <string>
#include <vector>

struct TestVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
    float lineLength;
};
static_assert(sizeof(TestVertex) == 28);

class TestDevice {
public:
    // Width x height back buffer; the effect file is the one we ship.
    TestDevice(int width, int height);
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    bool Ready() const { return ready_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // A vertex at pixel (px, py) of the target (y down), in clip space.
    TestVertex At(float px, float py, uint32_t colour, float u = 0, float v = 0, float len = 0) const;
    // Writes the vertices and draws them with the technique.
    void Draw(const char* technique, D3D11_PRIMITIVE_TOPOLOGY topology, const std::vector<TestVertex>& vertices,
              ID3D11ShaderResourceView* texture = nullptr);
    // A quad over pixels [x0, x1) x [y0, y1) as a strip in the quad order of the map renderer.
    void Quad(const char* technique, float x0, float y0, float x1, float y1, uint32_t colour,
              ID3D11ShaderResourceView* texture = nullptr);
    void Clear(uint32_t abgr);
    uint32_t Pixel(int x, int y) const;
    void SetRenderTarget(ID3D11RenderTargetView* view);
    // An RGBA8 texture (shader resource, optionally render target) from words.
    ID3D11ShaderResourceView* MakeTexture(int w, int h, const std::vector<uint32_t>& texels,
                                          ID3D11RenderTargetView** target = nullptr);

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11Texture2D* backBuffer = nullptr;
    ID3D11RenderTargetView* backView = nullptr;
    ID3DX11Effect* effect = nullptr;
    ID3D11Buffer* vertexBuffer = nullptr;
    ID3D11InputLayout* layout = nullptr;
    ID3D11RasterizerState* rasterizer = nullptr;

private:
    int width_, height_;
    bool ready_ = false;
    ID3D11Resource* currentTarget_ = nullptr;
};

// A swap chain description for a window-less w x h back buffer.
DXGI_SWAP_CHAIN_DESC HeadlessSwapChainDesc(UINT width, UINT height);

// The bytes of a file of the shipped program root.
std::string ReadRootFile(const std::string& relative);
