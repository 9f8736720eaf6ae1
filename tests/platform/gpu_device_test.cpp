// The D3D11 stand-in's objects: creation and validation, mapping, effects and
// their null objects, matrices, the image loaders, presenting.
#include "platform/gpu/d3dx10math.h"
#include "platform/gpu/d3dx11.h"
#include "platform/gpu/raster.h"
#include "platform/window.h"
#include "tests/support/gpu_test_device.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <filesystem>
#include <thread>
#include <string>

namespace {

D3D11_TEXTURE2D_DESC DynamicDesc(UINT w, UINT h)
{
    D3D11_TEXTURE2D_DESC d{};
    d.Width = w;
    d.Height = h;
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.Usage = D3D11_USAGE_DYNAMIC;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    return d;
}

TEST(GpuDevice, HardwareIsUnavailableAndWarpGivesLevel11)
{
    DXGI_SWAP_CHAIN_DESC sd = HeadlessSwapChainDesc(8, 8);
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
    IDXGISwapChain* chain = nullptr;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    D3D_FEATURE_LEVEL got{};
    EXPECT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels, 3,
                                            D3D11_SDK_VERSION, &sd, &chain, &device, &got, &context),
              DXGI_ERROR_UNSUPPORTED);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, levels, 3, D3D11_SDK_VERSION,
                                            &sd, &chain, &device, &got, &context),
              S_OK);
    EXPECT_EQ(got, D3D_FEATURE_LEVEL_11_0);
    context->Release();
    chain->Release();
    device->Release();
}

TEST(GpuDevice, InjectedCreationFailureIsReturned)
{
    DXGI_SWAP_CHAIN_DESC sd = HeadlessSwapChainDesc(8, 8);
    IDXGISwapChain* chain = nullptr;
    ID3D11Device* device = nullptr;
    GpuFailDeviceCreation(E_OUTOFMEMORY);
    EXPECT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                            &sd, &chain, &device, nullptr, nullptr),
              E_OUTOFMEMORY);
    GpuFailDeviceCreation(S_OK);
    EXPECT_EQ(device, nullptr);
}

TEST(GpuDevice, WindowlessChainNeedsASize)
{
    DXGI_SWAP_CHAIN_DESC sd = HeadlessSwapChainDesc(0, 0);
    IDXGISwapChain* chain = nullptr;
    ID3D11Device* device = nullptr;
    EXPECT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                            &sd, &chain, &device, nullptr, nullptr),
              E_INVALIDARG);
}

class GpuObjects : public ::testing::Test {
protected:
    GpuObjects() : gpu(8, 8) {}
    void SetUp() override { ASSERT_TRUE(gpu.Ready()); }
    TestDevice gpu;
};

TEST_F(GpuObjects, TextureDescriptionsAreValidated)
{
    D3D11_TEXTURE2D_DESC d = DynamicDesc(800, 800);
    ID3D11Texture2D* t = nullptr;
    ASSERT_EQ(gpu.device->CreateTexture2D(&d, nullptr, &t), S_OK);
    t->Release();
    D3D11_TEXTURE2D_DESC bad = d;
    bad.Width = 0;
    EXPECT_EQ(gpu.device->CreateTexture2D(&bad, nullptr, &t), E_INVALIDARG);
    bad = d;
    bad.Height = 20000;
    EXPECT_EQ(gpu.device->CreateTexture2D(&bad, nullptr, &t), E_INVALIDARG);
    bad = d;
    bad.Format = DXGI_FORMAT_R32_FLOAT;
    EXPECT_EQ(gpu.device->CreateTexture2D(&bad, nullptr, &t), E_INVALIDARG);
    bad = d;
    bad.CPUAccessFlags = 0; // dynamic without CPU write
    EXPECT_EQ(gpu.device->CreateTexture2D(&bad, nullptr, &t), E_INVALIDARG);
    EXPECT_EQ(t, nullptr);
}

TEST_F(GpuObjects, DynamicTextureMapsWithDiscardOnly)
{
    D3D11_TEXTURE2D_DESC d = DynamicDesc(3, 2);
    ID3D11Texture2D* t = nullptr;
    ASSERT_EQ(gpu.device->CreateTexture2D(&d, nullptr, &t), S_OK);
    D3D11_MAPPED_SUBRESOURCE m;
    EXPECT_EQ(gpu.context->Map(t, 0, D3D11_MAP_WRITE, 0, &m), E_INVALIDARG);
    ASSERT_EQ(gpu.context->Map(t, 0, D3D11_MAP_WRITE_DISCARD, 0, &m), S_OK);
    EXPECT_EQ(m.RowPitch, 12u);
    D3D11_MAPPED_SUBRESOURCE again;
    EXPECT_EQ(gpu.context->Map(t, 0, D3D11_MAP_WRITE_DISCARD, 0, &again), E_INVALIDARG); // already mapped
    static_cast<uint32_t*>(m.pData)[4] = 0xFF123456u;
    gpu.context->Unmap(t, 0);
    EXPECT_EQ(GpuReadPixel(t, 1, 1), 0xFF123456u);
    t->Release();
}

TEST_F(GpuObjects, InjectedMapFailureHitsTheNextMapOnly)
{
    D3D11_MAPPED_SUBRESOURCE m;
    GpuFailNextMap(E_OUTOFMEMORY);
    EXPECT_EQ(gpu.context->Map(gpu.vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &m), E_OUTOFMEMORY);
    EXPECT_EQ(gpu.context->Map(gpu.vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &m), S_OK);
    gpu.context->Unmap(gpu.vertexBuffer, 0);
}

TEST_F(GpuObjects, DrawWhileTheBufferIsMappedDrawsNothing)
{
    gpu.Clear(0xFF000000u);
    gpu.Quad("Render1", 0, 0, 8, 8, 0xFF0000FFu);
    EXPECT_EQ(gpu.Pixel(1, 1), 0xFF0000FFu);
    gpu.Clear(0xFF000000u);
    D3D11_MAPPED_SUBRESOURCE m;
    ASSERT_EQ(gpu.context->Map(gpu.vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &m), S_OK);
    gpu.context->Draw(4, 0);
    gpu.context->Unmap(gpu.vertexBuffer, 0);
    EXPECT_EQ(gpu.Pixel(1, 1), 0xFF000000u);
}

TEST_F(GpuObjects, DrawRecorderKeepsTechniqueAndVertices)
{
    GpuClearRecordedDraws();
    GpuRecordDraws(true);
    gpu.Quad("Render1", 0, 0, 8, 8, 0xFF0000FFu);
    GpuRecordDraws(false);
    const auto& draws = GpuRecordedDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].technique, "Render1");
    EXPECT_EQ(draws[0].topology, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    ASSERT_EQ(draws[0].vertexCount, 4u);
    TestVertex v0;
    memcpy(&v0, draws[0].vertices.data(), sizeof(v0));
    EXPECT_EQ(v0.colour, 0xFF0000FFu);
    EXPECT_FLOAT_EQ(v0.x, -1.0f);
}

TEST_F(GpuObjects, InputLayoutMustFeedTheSignature)
{
    const D3D11_INPUT_ELEMENT_DESC onlyPosition[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0}};
    D3DX11_PASS_DESC pass;
    ASSERT_EQ(gpu.effect->GetTechniqueByName("Render6")->GetPassByIndex(0)->GetDesc(&pass), S_OK);
    ID3D11InputLayout* layout = nullptr;
    EXPECT_EQ(gpu.device->CreateInputLayout(onlyPosition, 1, pass.pIAInputSignature, pass.IAInputSignatureSize,
                                            &layout),
              E_INVALIDARG);
    const D3D11_INPUT_ELEMENT_DESC wrongFormat[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0}};
    EXPECT_EQ(gpu.device->CreateInputLayout(wrongFormat, 2, "POSITION,COLOR", 14, &layout), E_INVALIDARG);
}

TEST_F(GpuObjects, ShippedEffectsNameTheSevenTechniques)
{
    for (const char* file : {"System/QRDLX30_11.fxo", "System/QRDLX_91.fxo"}) {
        std::string fx = ReadRootFile(file);
        ID3DX11Effect* effect = nullptr;
        ASSERT_EQ(D3DX11CreateEffectFromMemory(fx.data(), fx.size(), 0, gpu.device, &effect), S_OK) << file;
        for (const char* name : {"Render", "Render1", "Render2", "Render3", "Render4", "Render5", "Render6"}) {
            D3DX11_TECHNIQUE_DESC d;
            ASSERT_EQ(effect->GetTechniqueByName(name)->GetDesc(&d), S_OK) << name;
            EXPECT_GE(d.Passes, 1u);
        }
        for (const char* name : {"altitude", "blendfactor", "mode", "warn", "zerolimit", "factor", "uextern",
                                 "vextern", "uoff", "voff", "cosb", "brightness", "color1", "color4"})
            EXPECT_TRUE(effect->GetVariableByName(name)->IsValid()) << name;
        effect->Release();
    }
}

TEST_F(GpuObjects, ForeignOrBrokenEffectFilesFailToLoad)
{
    ID3DX11Effect* effect = nullptr;
    const std::string cases[] = {
        std::string("DXBC\x01\x02\x00\x00garbage", 16),
        "tvl-effect 2\ntechnique A\npass P input POSITION pixel colour blend over\n",
        "tvl-effect 1\ntechnique A\n",                                                    // no pass
        "tvl-effect 1\npass P input POSITION pixel colour blend over\n",                  // pass outside
        "tvl-effect 1\ntechnique A\npass P input POSITION pixel sparkle blend over\n",    // unknown program
        "tvl-effect 1\ntechnique A\npass P input POSITION pixel colour blend over\nbogus\n",
        "tvl-effect 1\nvariable x float\nvariable x int\ntechnique A\npass P input POSITION pixel colour blend over\n",
        "",
    };
    for (const std::string& text : cases)
        EXPECT_EQ(FAILED(D3DX11CreateEffectFromMemory(text.data(), text.size(), 0, gpu.device, &effect)), true)
            << text;
    EXPECT_EQ(effect, nullptr);
}

TEST_F(GpuObjects, UnknownNamesGiveNullObjectsThatFailHarmlessly)
{
    ID3DX11EffectTechnique* t = gpu.effect->GetTechniqueByName("Render9");
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->IsValid());
    D3DX11_TECHNIQUE_DESC td;
    EXPECT_TRUE(FAILED(t->GetDesc(&td)));
    EXPECT_TRUE(FAILED(t->GetPassByIndex(0)->Apply(0, gpu.context)));
    ID3DX11EffectVariable* v = gpu.effect->GetVariableByName("nothing");
    ASSERT_NE(v, nullptr);
    EXPECT_FALSE(v->IsValid());
    float m[16] = {};
    EXPECT_TRUE(FAILED(v->AsMatrix()->SetMatrix(m)));
    EXPECT_TRUE(FAILED(v->AsScalar()->SetFloat(1.0f)));
    EXPECT_TRUE(FAILED(gpu.effect->GetVariableByName("altitude")->AsMatrix()->SetMatrix(m))); // wrong kind
    EXPECT_TRUE(FAILED(gpu.effect->GetTechniqueByName("Render")->GetPassByIndex(5)->Apply(0, gpu.context)));
    float tooMuch[8] = {};
    EXPECT_EQ(gpu.effect->GetVariableByName("color1")->SetRawValue(tooMuch, 0, 32), E_INVALIDARG);
    EXPECT_EQ(gpu.effect->GetVariableByName("color1")->SetRawValue(tooMuch, 0, 16), S_OK);
}

TEST(GpuMatrices, ShaderMatrixOfTheRendererPassesPositionsThrough)
{
    D3DXVECTOR3 eye{0, 0, -1}, at{0, 0, 0}, up{0, 1, 0};
    D3DXMATRIX view, projection, translation, m;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 1.0f, 0.01f, 100.0f);
    D3DXMatrixTranslation(&translation, 0, 0, 0);
    D3DXMatrixMultiply(&m, &view, &projection);
    D3DXMatrixMultiply(&m, &m, &translation);
    for (float x : {-1.0f, 0.25f, 1.0f}) {
        float y = -x / 2;
        float cx = x * m._11 + y * m._21 + m._41;
        float cy = x * m._12 + y * m._22 + m._42;
        float cw = x * m._14 + y * m._24 + m._44;
        EXPECT_NEAR(cx / cw, x, 1e-6);
        EXPECT_NEAR(cy / cw, y, 1e-6);
    }
}

// Thick-line segments (their shared corners three and four vertices apart),
// lone triangles and corners behind the eye, through the renderer's
// perspective matrix turned and moved and a viewport off the corner: the
// pixels are those of the triangles placed by the vertex stage's rule,
// clip = (x, y, z, 1) x ShaderMatrix, divided by w, onto the viewport, and
// rasterized on their own.
TEST(GpuVertexStage, EveryVertexLandsWhereItsMatrixAndViewportPutIt)
{
    constexpr int kW = 96, kH = 64;
    for (unsigned seed = 1; seed <= 20; seed++) {
        TestDevice gpu(kW, kH);
        ASSERT_TRUE(gpu.Ready());
        gpu.Clear(0xFF302010u);
        D3DXVECTOR3 eye{0, 0, -1}, at{0, 0, 0}, up{0, 1, 0};
        D3DXMATRIX view, projection, turn, m;
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 2, 1.0f, 0.01f, 100.0f);
        D3DXMatrixRotationZ(&turn, 0.07f * static_cast<float>(seed % 5));
        D3DXMatrixMultiply(&m, &turn, &view);
        D3DXMatrixMultiply(&m, &m, &projection);
        m._41 += 0.01f * static_cast<float>(seed);
        const D3D11_VIEWPORT viewport{3.5f, 2.25f, 80.0f, 57.0f, 0, 1};
        gpu.context->RSSetViewports(1, &viewport);
        std::vector<TestVertex> v;
        unsigned r = seed * 2654435761u;
        auto next = [&r](float lo, float hi) {
            r = r * 1664525u + 1013904223u;
            return lo + (hi - lo) * static_cast<float>(r >> 8) / 16777216.0f;
        };
        for (int k = 0; k < 30; k++) {
            const uint32_t colour = 0x80000000u | (r & 0xFFFFFF);
            const float ax = next(-1, 1), ay = next(-1, 1), z = k % 7 == 0 ? next(-3, 0.5f) : next(0, 0.3f);
            const float bx = ax + next(-0.2f, 0.2f), by = ay + next(-0.2f, 0.2f), nx = next(-0.05f, 0.05f);
            const float ny = next(-0.05f, 0.05f);
            const TestVertex p{ax + nx, ay + ny, z, colour, 0, 1, 3}, mi{ax - nx, ay - ny, z, colour, 0, 0, 3};
            const TestVertex q{bx - nx, by - ny, z, colour, 1, 0, 3}, o{bx + nx, by + ny, z, colour, 1, 1, 3};
            if (k % 3 == 2)
                v.insert(v.end(), {p, q, mi}); // a lone triangle, either way round
            else
                v.insert(v.end(), {p, mi, q, o, p, q});
        }
        D3D11_MAPPED_SUBRESOURCE mapped;
        ASSERT_EQ(gpu.context->Map(gpu.vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
        std::memcpy(mapped.pData, v.data(), v.size() * sizeof(TestVertex));
        gpu.context->Unmap(gpu.vertexBuffer, 0);
        gpu.context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        gpu.effect->GetVariableByName("ShaderMatrix")->AsMatrix()->SetMatrix(&m._11);
        gpu.effect->GetTechniqueByName("Render1")->GetPassByIndex(0)->Apply(0, gpu.context);
        gpu.context->Draw(static_cast<UINT>(v.size()), 0);

        std::vector<uint32_t> want(static_cast<size_t>(kW) * kH, 0xFF302010u);
        std::vector<RasterVertex> placed;
        for (const TestVertex& t : v) {
            const float* c = &m._11;
            const float x = t.x * c[0] + t.y * c[4] + t.z * c[8] + c[12];
            const float y = t.x * c[1] + t.y * c[5] + t.z * c[9] + c[13];
            const float w = t.x * c[3] + t.y * c[7] + t.z * c[11] + c[15];
            RasterVertex out{NAN, NAN, t.colour, t.u, t.v, t.lineLength};
            if (w > 1e-6f) {
                out.x = (x / w + 1.0f) * 0.5f * viewport.Width + viewport.TopLeftX;
                out.y = (1.0f - y / w) * 0.5f * viewport.Height + viewport.TopLeftY;
            }
            placed.push_back(out);
        }
        RasterJob job;
        job.target = {want.data(), kW, kH, kW};
        job.clipX0 = 3, job.clipY0 = 2, job.clipX1 = 83, job.clipY1 = 59; // centres inside the viewport
        RasterizeOneByOne(true);
        RasterizeTriangleList(job, placed.data(), static_cast<int>(placed.size()));
        RasterizeOneByOne(false);
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++)
                ASSERT_EQ(gpu.Pixel(x, y), want[static_cast<size_t>(y) * kW + x]) << x << "," << y << " seed " << seed;
    }
}

TEST(GpuMatrices, OrthographicMapsClientPixelsToClipSpace)
{
    XMMATRIX o = XMMatrixOrthographicOffCenterLH(0, 640, 480, 0, 0, 1);
    auto apply = [&](float x, float y, float* cx, float* cy) {
        *cx = x * o.m[0][0] + y * o.m[1][0] + o.m[3][0];
        *cy = x * o.m[0][1] + y * o.m[1][1] + o.m[3][1];
    };
    float cx, cy;
    apply(0, 0, &cx, &cy);
    EXPECT_FLOAT_EQ(cx, -1);
    EXPECT_FLOAT_EQ(cy, 1);
    apply(640, 480, &cx, &cy);
    EXPECT_FLOAT_EQ(cx, 1);
    EXPECT_FLOAT_EQ(cy, -1);
}

std::string WritePng(const std::string& path, int w, int h, const std::vector<uint32_t>& rgba)
{
    FIBITMAP* dib = FreeImage_Allocate(w, h, 32);
    for (int y = 0; y < h; y++) {
        BYTE* line = FreeImage_GetScanLine(dib, h - 1 - y);
        for (int x = 0; x < w; x++) {
            uint32_t c = rgba[y * w + x];
            line[x * 4 + FI_RGBA_RED] = c & 0xFF;
            line[x * 4 + FI_RGBA_GREEN] = (c >> 8) & 0xFF;
            line[x * 4 + FI_RGBA_BLUE] = (c >> 16) & 0xFF;
            line[x * 4 + FI_RGBA_ALPHA] = c >> 24;
        }
    }
    FreeImage_Save(FIF_PNG, dib, path.c_str(), 0);
    FreeImage_Unload(dib);
    return path;
}

TEST_F(GpuObjects, PngLoadsTopRowFirstAsRgba)
{
    TempFolder tmp;
    std::vector<uint32_t> rgba = {0xFF0000FFu, 0x8000FF00u, 0xFFFF0000u, 0x00FFFFFFu, 0xFF000000u, 0xFF808080u};
    std::string path = WritePng(tmp / "Image.png", 3, 2, rgba);
    ID3D11Resource* res = nullptr;
    ASSERT_EQ(D3DX11CreateTextureFromFileA(gpu.device, path.c_str(), nullptr, nullptr, &res, nullptr), S_OK);
    ID3D11Texture2D* tex = nullptr;
    ASSERT_EQ(res->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(&tex)), S_OK);
    D3D11_TEXTURE2D_DESC d;
    tex->GetDesc(&d);
    EXPECT_EQ(d.Width, 3u);
    EXPECT_EQ(d.Height, 2u);
    EXPECT_EQ(d.MipLevels, 1u);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(GpuReadPixel(tex, i % 3, i / 3), rgba[i]) << i;
    tex->Release();
    res->Release();
    // The same bytes from memory; a case-insensitive path finds the file too.
    ASSERT_EQ(D3DX11CreateTextureFromFileA(gpu.device, (tmp / "IMAGE.PNG").c_str(), nullptr, nullptr, &res, nullptr),
              S_OK);
    res->Release();
}

TEST_F(GpuObjects, JpegAndBmpLoadAsOpaqueRgba)
{
    TempFolder tmp;
    for (auto [format, name] : {std::pair{FIF_JPEG, "photo.jpg"}, std::pair{FIF_BMP, "picture.bmp"}}) {
        FIBITMAP* dib = FreeImage_Allocate(16, 8, 24);
        for (int y = 0; y < 8; y++) {
            BYTE* line = FreeImage_GetScanLine(dib, y);
            for (int x = 0; x < 16; x++) {
                line[x * 3 + FI_RGBA_RED] = 200;
                line[x * 3 + FI_RGBA_GREEN] = 100;
                line[x * 3 + FI_RGBA_BLUE] = 50;
            }
        }
        ASSERT_TRUE(FreeImage_Save(format, dib, (tmp / name).c_str(), 0));
        FreeImage_Unload(dib);
        ID3D11Resource* res = nullptr;
        ASSERT_EQ(D3DX11CreateTextureFromFileA(gpu.device, (tmp / name).c_str(), nullptr, nullptr, &res, nullptr),
                  S_OK)
            << name;
        uint32_t p = GpuReadPixel(res, 15, 7);
        EXPECT_EQ(p >> 24, 0xFFu) << name;
        EXPECT_NEAR(static_cast<double>(p & 0xFF), 200, 4) << name;
        EXPECT_NEAR(static_cast<double>((p >> 8) & 0xFF), 100, 4) << name;
        EXPECT_NEAR(static_cast<double>((p >> 16) & 0xFF), 50, 4) << name;
        res->Release();
    }
}

TEST_F(GpuObjects, BadImagesFailWithoutATexture)
{
    TempFolder tmp;
    ID3D11Resource* res = nullptr;
    HRESULT result = S_OK;
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromFileA(gpu.device, (tmp / "missing.png").c_str(), nullptr, nullptr,
                                                    &res, &result)));
    EXPECT_TRUE(FAILED(result));
    std::string png = ReadFileText(WritePng(tmp / "a.png", 4, 4, std::vector<uint32_t>(16, 0xFF00FF00u)));
    std::string truncated = png.substr(0, png.size() / 2);
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromMemory(gpu.device, truncated.data(), truncated.size(), nullptr, nullptr,
                                                     &res, nullptr)));
    const char text[] = "not an image at all";
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromMemory(gpu.device, text, sizeof(text), nullptr, nullptr, &res, nullptr)));
    EXPECT_EQ(res, nullptr);
    ASSERT_EQ(D3DX11CreateTextureFromMemory(gpu.device, png.data(), png.size(), nullptr, nullptr, &res, nullptr), S_OK);
    res->Release();
}

long PeakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A picture of a few hundred kilobytes that unpacks to gigabytes is refused
// from its header, before any of it is decoded.
TEST_F(GpuObjects, ImagesOverTheTextureLimitAreRefusedBeforeDecoding)
{
    TempFolder tmp;
    std::string bomb = MakeHugePng(30000, 30000);
    ASSERT_LT(bomb.size(), 2u << 20);
    ASSERT_TRUE(WriteFileText(tmp / "bomb.png", bomb));
    long before = PeakResidentKb();
    ID3D11Resource* res = nullptr;
    EXPECT_FALSE(ImageFitsTextureLimit(reinterpret_cast<const uint8_t*>(bomb.data()), bomb.size()));
    EXPECT_FALSE(ImageFileFitsTextureLimit((tmp / "bomb.png").c_str()));
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromMemory(gpu.device, bomb.data(), bomb.size(), nullptr, nullptr, &res,
                                                     nullptr)));
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromFileA(gpu.device, (tmp / "bomb.png").c_str(), nullptr, nullptr, &res,
                                                    nullptr)));
    EXPECT_EQ(res, nullptr);
    EXPECT_LT(PeakResidentKb() - before, 64 * 1024);  // the decoded bits alone would be 110 MB

    // At the limit a side loads; one pixel over it does not.
    std::string wide = MakeHugePng(16384, 2);
    ASSERT_EQ(D3DX11CreateTextureFromMemory(gpu.device, wide.data(), wide.size(), nullptr, nullptr, &res, nullptr),
              S_OK);
    res->Release();
    std::string over = MakeHugePng(2, 16385);
    EXPECT_FALSE(ImageFitsTextureLimit(reinterpret_cast<const uint8_t*>(over.data()), over.size()));
    EXPECT_TRUE(FAILED(D3DX11CreateTextureFromMemory(gpu.device, over.data(), over.size(), nullptr, nullptr, &res,
                                                     nullptr)));
}

TEST_F(GpuObjects, TexturesAndViewsCanBeCreatedFromManyThreads)
{
    std::vector<std::thread> threads;
    std::atomic<int> made{0};
    for (int t = 0; t < 4; t++)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; i++) {
                std::vector<uint32_t> texels(64 * 64, 0xFF000000u | i);
                ID3D11ShaderResourceView* view = gpu.MakeTexture(64, 64, texels);
                if (view) {
                    made++;
                    view->Release();
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(made.load(), 200);
}

// The present count runs for the whole process: the switches name a frame
// counted from the presents before the test, and are cleared after it.
class GpuPresent : public ::testing::Test {
protected:
    void TearDown() override
    {
        unsetenv("TVL_SCREENSHOT");
        unsetenv("TVL_SCREENSHOT_FRAME");
        unsetenv("TVL_EXIT_AFTER_FRAMES");
    }
    static std::string FramesFromNow(long n) { return std::to_string(GpuPresentCount() + n); }
};

TEST_F(GpuPresent, ScreenshotSwitchWritesThePresentedFrame)
{
    TempFolder tmp;
    std::string shot = tmp / "frame.png";
    long before = GpuPresentCount();
    setenv("TVL_SCREENSHOT", shot.c_str(), 1);
    setenv("TVL_SCREENSHOT_FRAME", FramesFromNow(2).c_str(), 1);
    TestDevice gpu(6, 4);
    ASSERT_TRUE(gpu.Ready());
    gpu.Clear(0xFF0000FFu);
    EXPECT_EQ(gpu.swapChain->Present(0, 0), S_OK);
    EXPECT_FALSE(std::filesystem::exists(shot));
    gpu.Clear(0x80FF0000u); // alpha is not part of the picture
    EXPECT_EQ(gpu.swapChain->Present(0, 0), S_OK);
    EXPECT_EQ(GpuPresentCount(), before + 2);
    ID3D11Resource* res = nullptr;
    ASSERT_EQ(D3DX11CreateTextureFromFileA(gpu.device, shot.c_str(), nullptr, nullptr, &res, nullptr), S_OK);
    EXPECT_EQ(GpuReadPixel(res, 5, 3), 0xFFFF0000u);
    res->Release();
}

TEST_F(GpuPresent, ExitSwitchPostsTheQuitMessageAfterThatManyFrames)
{
    setenv("TVL_EXIT_AFTER_FRAMES", FramesFromNow(3).c_str(), 1);
    TestDevice gpu(4, 4);
    ASSERT_TRUE(gpu.Ready());
    MSG msg{};
    for (int frame = 1; frame <= 3; frame++) {
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT) << frame;
        EXPECT_EQ(gpu.swapChain->Present(0, 0), S_OK);
    }
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
}

} // namespace
