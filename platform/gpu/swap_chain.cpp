// The swap chain and the DXGI objects behind the device. Present shows the
// back buffer in the window's SDL streaming texture (scaled to the window);
// a window-less (headless) swap chain keeps its frame in memory. The switches
// TVL_SCREENSHOT (a PNG of the presented frame after TVL_SCREENSHOT_FRAME
// presents, default 1; an event script's "shot" line asks for one too) and
// TVL_EXIT_AFTER_FRAMES (post the quit message after
// that many presents) serve tests and people looking at frames.
#include "platform/event_script.h"
#include "platform/gpu/gpu_inspect.h"
#include "platform/gpu/gpu_objects.h"
#include "platform/window.h"

#include <FreeImage.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::atomic<long> g_presents{0}; // GUI thread writes; any thread may read

template <class I>
class DxgiObject : public RefCounted<I> {
public:
    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return E_NOINTERFACE;
    }
};

// Hands out a new parent object of type P when riid asks for it.
template <class P, class Made>
HRESULT HandParent(REFIID riid, const IID& wanted, void** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    if (!(riid == wanted))
        return E_NOINTERFACE;
    *parent = static_cast<P*>(new Made);
    return S_OK;
}

class GpuFactory final : public DxgiObject<IDXGIFactory> {
public:
    HRESULT GetParent(REFIID, void** parent) override
    {
        if (parent)
            *parent = nullptr;
        return E_NOINTERFACE;
    }
    // SDL windows have no Alt+Enter switch of their own: nothing to block.
    HRESULT MakeWindowAssociation(HWND, UINT) override { return S_OK; }
};

class GpuAdapter final : public DxgiObject<IDXGIAdapter> {
public:
    HRESULT GetParent(REFIID riid, void** parent) override
    {
        return HandParent<IDXGIFactory, GpuFactory>(riid, IID_IDXGIFactory, parent);
    }
};

class GpuDxgiDevice final : public DxgiObject<IDXGIDevice> {
public:
    HRESULT GetParent(REFIID riid, void** parent) override
    {
        return HandParent<IDXGIAdapter, GpuAdapter>(riid, IID_IDXGIAdapter, parent);
    }
    HRESULT GetAdapter(IDXGIAdapter** adapter) override
    {
        return GetParent(IID_IDXGIAdapter, reinterpret_cast<void**>(adapter));
    }
};

struct FrameSwitches {
    std::string screenshot; // empty: no screenshot
    long screenshotFrame = 1;
    long exitAfter = 0;
};

long PositiveNumber(const char* text, long fallback)
{
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    return (end && *end == '\0' && v > 0) ? v : fallback;
}

// Read as each swap chain is made: the environment stays as the program
// started, and a chain made after the switches changed takes the new ones.
FrameSwitches ReadSwitches()
{
    FrameSwitches f;
    const char* shot = std::getenv("TVL_SCREENSHOT");
    f.screenshot = shot ? shot : "";
    f.screenshotFrame = PositiveNumber(std::getenv("TVL_SCREENSHOT_FRAME"), 1);
    f.exitAfter = PositiveNumber(std::getenv("TVL_EXIT_AFTER_FRAMES"), 0);
    return f;
}

class GpuSwapChain final : public DxgiObject<IDXGISwapChain> {
public:
    GpuSwapChain(const DXGI_SWAP_CHAIN_DESC& desc, GpuTexture* backBuffer)
        : desc_(desc), backBuffer_(backBuffer), switches_(ReadSwitches())
    {
    }

    ~GpuSwapChain() override
    {
        if (texture_)
            SDL_DestroyTexture(texture_);
        if (renderer_)
            SDL_DestroyRenderer(renderer_);
        backBuffer_->Release();
    }

    HRESULT GetParent(REFIID riid, void** parent) override
    {
        return HandParent<IDXGIFactory, GpuFactory>(riid, IID_IDXGIFactory, parent);
    }

    HRESULT GetBuffer(UINT buffer, REFIID riid, void** surface) override
    {
        if (!surface)
            return E_POINTER;
        *surface = nullptr;
        if (buffer != 0)
            return DXGI_ERROR_INVALID_CALL;
        return backBuffer_->QueryInterface(riid, surface);
    }

    HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC* desc) override
    {
        if (!desc)
            return E_POINTER;
        *desc = desc_;
        return S_OK;
    }

    HRESULT Present(UINT, UINT) override
    {
        if (backBuffer_->mapped_)
            return DXGI_ERROR_INVALID_CALL;
        SettlePendingDraws(backBuffer_);
        ShowInWindow();
        long count = g_presents.fetch_add(1) + 1;
        const FrameSwitches& s = switches_;
        if (!s.screenshot.empty() && count == s.screenshotFrame && !WriteFramePng(*backBuffer_, s.screenshot.c_str()))
            std::fprintf(stderr, "TVL_SCREENSHOT: cannot write %s\n", s.screenshot.c_str());
        if (const char* shot = PendingFrameShot()) {
            if (!WriteFramePng(*backBuffer_, shot))
                std::fprintf(stderr, "shot: cannot write %s\n", shot);
            FrameShotTaken();
        }
        if (s.exitAfter > 0 && count == s.exitAfter)
            PostQuitMessage(0);
        return S_OK;
    }

private:
    void ShowInWindow()
    {
        SDL_Window* window = GetSdlWindow(desc_.OutputWindow);
        if (!window || failed_)
            return;
        int w = backBuffer_->Width(), h = backBuffer_->Height();
        if (!renderer_) {
            // The renderer may make the window anew, where it was created
            // rather than where it was placed since (a restored placement
            // came back centred, half off the screen): it goes back there.
            int x = 0, y = 0, nowX = 0, nowY = 0;
            SDL_GetWindowPosition(window, &x, &y);
            renderer_ = SDL_CreateRenderer(window, -1, 0);
            SDL_GetWindowPosition(window, &nowX, &nowY);
            if (renderer_ && (nowX != x || nowY != y))
                SDL_SetWindowPosition(window, x, y);
            if (renderer_)
                texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING, w, h);
            if (!renderer_ || !texture_) {
                std::fprintf(stderr, "swap chain: no SDL renderer (%s); frames stay in memory\n", SDL_GetError());
                failed_ = true;
                return;
            }
            SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
        }
        SDL_UpdateTexture(texture_, nullptr, backBuffer_->texels_.get(), w * 4);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr); // scaled to the window's present size
        SDL_RenderPresent(renderer_);
    }

    DXGI_SWAP_CHAIN_DESC desc_;
    GpuTexture* backBuffer_; // owned reference
    FrameSwitches switches_;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool failed_ = false;
};

} // namespace

HRESULT CreateDxgiDevice(GpuDevice*, void** object)
{
    *object = static_cast<IDXGIDevice*>(new GpuDxgiDevice);
    return S_OK;
}

HRESULT CreateGpuSwapChain(GpuDevice* device, const DXGI_SWAP_CHAIN_DESC& desc, IDXGISwapChain** swapChain)
{
    DXGI_SWAP_CHAIN_DESC d = desc;
    if (d.BufferDesc.Width == 0 || d.BufferDesc.Height == 0) {
        // Zero takes the window's size, as on the home platform.
        SDL_Window* window = GetSdlWindow(d.OutputWindow);
        int w = 0, h = 0;
        if (window)
            SDL_GetWindowSize(window, &w, &h);
        if (d.BufferDesc.Width == 0)
            d.BufferDesc.Width = static_cast<UINT>(w > 0 ? w : 0);
        if (d.BufferDesc.Height == 0)
            d.BufferDesc.Height = static_cast<UINT>(h > 0 ? h : 0);
    }
    if (d.BufferDesc.Format != DXGI_FORMAT_R8G8B8A8_UNORM || d.BufferCount < 1 ||
        !(d.BufferUsage & DXGI_USAGE_RENDER_TARGET_OUTPUT))
        return E_INVALIDARG;
    D3D11_TEXTURE2D_DESC t{};
    t.Width = d.BufferDesc.Width;
    t.Height = d.BufferDesc.Height;
    t.MipLevels = 1;
    t.ArraySize = 1;
    t.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    t.SampleDesc = {1, 0}; // one sample per pixel whatever was asked
    t.Usage = D3D11_USAGE_DEFAULT;
    t.BindFlags = D3D11_BIND_RENDER_TARGET;
    ID3D11Texture2D* back = nullptr;
    HRESULT hr = device->CreateTexture2D(&t, nullptr, &back);
    if (FAILED(hr))
        return hr;
    *swapChain = new GpuSwapChain(d, static_cast<GpuTexture*>(back));
    return S_OK;
}

long GpuPresentCount()
{
    return g_presents.load();
}

// Writes the frame as an opaque 24-bit PNG: what the window shows.
bool WriteFramePng(const GpuTexture& frame, const char* path)
{
    int w = frame.Width(), h = frame.Height();
    FIBITMAP* dib = FreeImage_Allocate(w, h, 24);
    if (!dib)
        return false;
    for (int y = 0; y < h; y++) {
        BYTE* line = FreeImage_GetScanLine(dib, h - 1 - y); // FreeImage rows run bottom-up
        const uint32_t* src = frame.texels_.get() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; x++) {
            line[x * 3 + FI_RGBA_RED] = static_cast<BYTE>(src[x]);
            line[x * 3 + FI_RGBA_GREEN] = static_cast<BYTE>(src[x] >> 8);
            line[x * 3 + FI_RGBA_BLUE] = static_cast<BYTE>(src[x] >> 16);
        }
    }
    bool ok = FreeImage_Save(FIF_PNG, dib, path, PNG_DEFAULT) != 0;
    FreeImage_Unload(dib);
    return ok;
}
