// The headless test device of the renderer's pixel tests.
#include "tests/support/gpu_test_device.h"

#include <cstring>
#include <fstream>
#include <sstream>

std::string ReadRootFile(const std::string& relative)
{
    std::ifstream in(std::string(TVL_ROOT_DIR) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

DXGI_SWAP_CHAIN_DESC HeadlessSwapChainDesc(UINT width, UINT height)
{
    DXGI_SWAP_CHAIN_DESC sd{};
    sd.BufferDesc.Width = width;
    sd.BufferDesc.Height = height;
    sd.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    sd.SampleDesc.Count = 1;
    sd.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    sd.BufferCount = 1;
    sd.Windowed = TRUE;
    return sd;
}

TestDevice::TestDevice(int width, int height) : width_(width), height_(height)
{
    DXGI_SWAP_CHAIN_DESC sd = HeadlessSwapChainDesc(width, height);
    D3D_FEATURE_LEVEL level;
    if (FAILED(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0,
                                             D3D11_SDK_VERSION, &sd, &swapChain, &device, &level, &context)))
        return;
    swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer));
    device->CreateRenderTargetView(backBuffer, nullptr, &backView);
    SetRenderTarget(backView);

    std::string fx = ReadRootFile("System/QRDLX30_11.fxo");
    if (FAILED(D3DX11CreateEffectFromMemory(fx.data(), fx.size(), 0, device, &effect)))
        return;
    D3D11_RASTERIZER_DESC rd{};
    rd.FillMode = D3D11_FILL_SOLID;
    rd.CullMode = D3D11_CULL_BACK;
    device->CreateRasterizerState(&rd, &rasterizer);
    context->RSSetState(rasterizer);

    const D3D11_INPUT_ELEMENT_DESC elements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R8G8B8A8_UNORM, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 16, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"LINELENGTH", 0, DXGI_FORMAT_R32_FLOAT, 0, 24, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    D3DX11_PASS_DESC pass;
    effect->GetTechniqueByName("Render6")->GetPassByIndex(0)->GetDesc(&pass);
    if (FAILED(device->CreateInputLayout(elements, 4, pass.pIAInputSignature, pass.IAInputSignatureSize, &layout)))
        return;
    context->IASetInputLayout(layout);

    D3D11_BUFFER_DESC bd{};
    bd.ByteWidth = 30000 * sizeof(TestVertex);
    bd.Usage = D3D11_USAGE_DYNAMIC;
    bd.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    bd.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    if (FAILED(device->CreateBuffer(&bd, nullptr, &vertexBuffer)))
        return;
    UINT stride = sizeof(TestVertex), offset = 0;
    context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    ready_ = true;
}

TestDevice::~TestDevice()
{
    if (context)
        context->ClearState();
    for (IUnknown* p : std::initializer_list<IUnknown*>{layout, vertexBuffer, rasterizer, effect, backView, backBuffer,
                                                         swapChain, context, device})
        if (p)
            p->Release();
}

void TestDevice::SetRenderTarget(ID3D11RenderTargetView* view)
{
    context->OMSetRenderTargets(1, &view, nullptr);
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    D3D11_TEXTURE2D_DESC d;
    static_cast<ID3D11Texture2D*>(resource)->GetDesc(&d);
    D3D11_VIEWPORT vp{0, 0, static_cast<float>(d.Width), static_cast<float>(d.Height), 0, 1};
    context->RSSetViewports(1, &vp);
    currentTarget_ = resource;
    resource->Release(); // the view keeps it
}

TestVertex TestDevice::At(float px, float py, uint32_t colour, float u, float v, float len) const
{
    D3D11_VIEWPORT vp;
    UINT n = 1;
    context->RSGetViewports(&n, &vp);
    return {px / vp.Width * 2 - 1, 1 - py / vp.Height * 2, 0, colour, u, v, len};
}

void TestDevice::Draw(const char* technique, D3D11_PRIMITIVE_TOPOLOGY topology,
                      const std::vector<TestVertex>& vertices, ID3D11ShaderResourceView* texture)
{
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(context->Map(vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped)))
        return;
    std::memcpy(mapped.pData, vertices.data(), vertices.size() * sizeof(TestVertex));
    context->Unmap(vertexBuffer, 0);
    context->IASetPrimitiveTopology(topology);
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    effect->GetVariableByName("ShaderMatrix")->AsMatrix()->SetMatrix(identity);
    effect->GetVariableByName("diffuseTexture")->AsShaderResource()->SetResource(texture);
    ID3DX11EffectTechnique* t = effect->GetTechniqueByName(technique);
    D3DX11_TECHNIQUE_DESC desc;
    if (FAILED(t->GetDesc(&desc)))
        return;
    for (UINT p = 0; p < desc.Passes; p++) {
        t->GetPassByIndex(p)->Apply(0, context);
        context->Draw(static_cast<UINT>(vertices.size()), 0);
    }
}

void TestDevice::Quad(const char* technique, float x0, float y0, float x1, float y1, uint32_t colour,
                      ID3D11ShaderResourceView* texture)
{
    Draw(technique, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
         {At(x0, y1, colour, 0, 1), At(x0, y0, colour, 0, 0), At(x1, y1, colour, 1, 1), At(x1, y0, colour, 1, 0)},
         texture);
}

void TestDevice::Clear(uint32_t abgr)
{
    float c[4] = {(abgr & 0xFF) / 255.0f, ((abgr >> 8) & 0xFF) / 255.0f, ((abgr >> 16) & 0xFF) / 255.0f,
                  (abgr >> 24) / 255.0f};
    ID3D11RenderTargetView* view = nullptr;
    context->OMGetRenderTargets(1, &view, nullptr);
    context->ClearRenderTargetView(view, c);
    view->Release();
}

uint32_t TestDevice::Pixel(int x, int y) const
{
    return GpuReadPixel(currentTarget_, x, y);
}

ID3D11ShaderResourceView* TestDevice::MakeTexture(int w, int h, const std::vector<uint32_t>& texels,
                                                  ID3D11RenderTargetView** target)
{
    D3D11_TEXTURE2D_DESC d{};
    d.Width = w;
    d.Height = h;
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE | (target ? D3D11_BIND_RENDER_TARGET : 0);
    D3D11_SUBRESOURCE_DATA init{texels.data(), static_cast<UINT>(w * 4), 0};
    ID3D11Texture2D* tex = nullptr;
    if (FAILED(device->CreateTexture2D(&d, texels.empty() ? nullptr : &init, &tex)))
        return nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    device->CreateShaderResourceView(tex, nullptr, &view);
    if (target)
        device->CreateRenderTargetView(tex, nullptr, target);
    tex->Release();
    return view;
}
