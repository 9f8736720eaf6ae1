// Textures from image files, memory and elevation grids, and palette images
// through their loader (see textures.h). Image files go through the D3DX
// loader one at a time under the texture spin flag, since tile workers load
// while the GUI thread does.
#include "render/textures.h"

#include "platform/gpu/d3dx11.h"
#include "platform/threads.h"
#include "render/device.h"

#include <atomic>
#include <cstdio>
#include <cstring>


ID3D11ShaderResourceView* (*PaletteImageLoader)(const char* path, uint8_t* ok, int* width, int* height) = nullptr;

namespace {

ID3D11Texture2D* g_slots[kTextureSlotCount]; // GUI thread and tile workers, under the spin flag
std::atomic_flag g_spin = ATOMIC_FLAG_INIT;  // set by whichever thread decodes an image file

void SetOk(uint8_t* ok, uint8_t value)
{
    if (ok)
        *ok = value;
}

void SetSize(int* width, int* height, int w, int h)
{
    if (width)
        *width = w;
    if (height)
        *height = h;
}

ID3D11ShaderResourceView* CreateView(ID3D11Texture2D* texture)
{
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    D3D11_SHADER_RESOURCE_VIEW_DESC vd{};
    vd.Format = desc.Format;
    vd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    vd.Texture2D.MostDetailedMip = 0;
    vd.Texture2D.MipLevels = desc.MipLevels;
    ID3D11ShaderResourceView* view = nullptr;
    if (FAILED(RenderDevice.device->CreateShaderResourceView(texture, &vd, &view)))
        return nullptr;
    return view;
}

ID3D11Texture2D* CreateDynamicTexture(int side)
{
    D3D11_TEXTURE2D_DESC d{};
    d.Width = d.Height = static_cast<UINT>(side);
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc = {1, 0};
    d.Usage = D3D11_USAGE_DYNAMIC;
    d.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    ID3D11Texture2D* t = nullptr;
    if (FAILED(RenderDevice.device->CreateTexture2D(&d, nullptr, &t)))
        return nullptr;
    return t;
}

// Texture from a decoded resource: the texture interface, its size out.
ID3D11Texture2D* TakeTexture(ID3D11Resource* resource, int* width, int* height)
{
    ID3D11Texture2D* texture = nullptr;
    resource->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(&texture));
    resource->Release();
    if (!texture)
        return nullptr;
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    SetSize(width, height, static_cast<int>(desc.Width), static_cast<int>(desc.Height));
    return texture;
}

ID3D11ShaderResourceView* LoadImageFile(const char* path, uint8_t* ok, int* width, int* height, int slot)
{
    while (g_spin.test_and_set(std::memory_order_acquire))
        Sleep(1);
    ID3D11Resource* resource = nullptr;
    HRESULT hr = D3DX11CreateTextureFromFileA(RenderDevice.device, path, nullptr, nullptr, &resource, nullptr);
    ID3D11Texture2D* texture = (SUCCEEDED(hr) && resource) ? TakeTexture(resource, width, height) : nullptr;
    ID3D11ShaderResourceView* view = texture ? CreateView(texture) : nullptr;
    if (texture && slot >= 0 && slot < kTextureSlotCount) {
        // A reload into an occupied slot releases the texture it held.
        if (g_slots[slot])
            g_slots[slot]->Release();
        g_slots[slot] = texture;
    } else if (texture) {
        texture->Release(); // the view keeps it alive
    }
    g_spin.clear(std::memory_order_release);
    if (view)
        SetOk(ok, 1);
    return view;
}

// Maps the texture and fills it; false (nothing usable) when the map or the
// fill fails.
template <class Fill>
bool FillDynamic(ID3D11Texture2D* texture, Fill fill)
{
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(RenderDevice.context->Map(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped)))
        return false;
    bool filled = mapped.pData && fill(static_cast<uint8_t*>(mapped.pData), mapped.RowPitch);
    RenderDevice.context->Unmap(texture, 0);
    return filled;
}

} // namespace

ID3D11ShaderResourceView* LoadTexture(const char* path, uint8_t* ok, int* width, int* height, int slot)
{
    SetOk(ok, 0);
    if (!RenderDevice.device || !path)
        return nullptr;
    if (std::strstr(path, ".qrl")) // case-sensitive, as the data files are named
        return PaletteImageLoader ? PaletteImageLoader(path, ok, width, height) : nullptr;
    return LoadImageFile(path, ok, width, height, slot);
}

ID3D11ShaderResourceView* LoadTileTexture(const char* path, int* width, int* height, int slot)
{
    return LoadTexture(path, nullptr, width, height, slot);
}

ID3D11ShaderResourceView* DecodePictureFile(const char* path, int* width, int* height)
{
    // The decoder is safe on any number of threads at once: unlike the
    // image-file loads above, this one does not wait for the spin flag.
    if (!RenderDevice.device || !path || std::strstr(path, ".qrl"))
        return nullptr;
    ID3D11Resource* resource = nullptr;
    HRESULT hr = D3DX11CreateTextureFromFileA(RenderDevice.device, path, nullptr, nullptr, &resource, nullptr);
    ID3D11Texture2D* texture = (SUCCEEDED(hr) && resource) ? TakeTexture(resource, width, height) : nullptr;
    if (!texture)
        return nullptr;
    ID3D11ShaderResourceView* view = CreateView(texture);
    texture->Release(); // the view keeps it alive
    return view;
}

void KeepTextureInSlot(ID3D11ShaderResourceView* view, int slot)
{
    if (!view || slot < 0 || slot >= kTextureSlotCount)
        return;
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    ID3D11Texture2D* texture = nullptr;
    if (resource) {
        resource->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(&texture));
        resource->Release();
    }
    if (!texture)
        return;
    while (g_spin.test_and_set(std::memory_order_acquire))
        Sleep(1);
    if (g_slots[slot])
        g_slots[slot]->Release();
    g_slots[slot] = texture;
    g_spin.clear(std::memory_order_release);
}

ID3D11ShaderResourceView* CreateTextureFromMemory(const void* buffer, uint32_t size, uint8_t* ok)
{
    SetOk(ok, 0);
    if (!RenderDevice.device)
        return nullptr;
    ID3D11Resource* resource = nullptr;
    HRESULT hr = D3DX11CreateTextureFromMemory(RenderDevice.device, buffer, size, nullptr, nullptr, &resource, nullptr);
    if (FAILED(hr) || !resource)
        return nullptr;
    ID3D11Texture2D* texture = TakeTexture(resource, nullptr, nullptr);
    if (!texture)
        return nullptr;
    ID3D11ShaderResourceView* view = CreateView(texture);
    texture->Release();
    if (view)
        SetOk(ok, 1); // ok only with a view to show
    return view;
}

ID3D11Texture2D* CreateWritableTexture(int side)
{
    return RenderDevice.device ? CreateDynamicTexture(side) : nullptr;
}

bool FillWritableTexture(ID3D11Texture2D* texture, bool (*fill)(uint8_t* dst, UINT pitch))
{
    return RenderDevice.context && texture && FillDynamic(texture, fill);
}

ID3D11ShaderResourceView* CreateTextureView(ID3D11Texture2D* texture)
{
    return RenderDevice.device && texture ? CreateView(texture) : nullptr;
}

ID3D11ShaderResourceView* CreateElevationTexture(const uint8_t* grid, int side, uint8_t* ok, int* width, int* height)
{
    SetOk(ok, 0);
    if (!RenderDevice.device || !RenderDevice.context || !grid || side <= 0)
        return nullptr;
    ID3D11Texture2D* texture = CreateDynamicTexture(side);
    if (!texture)
        return nullptr;
    SetSize(width, height, side, side);
    bool filled = FillDynamic(texture, [grid, side](uint8_t* dst, UINT pitch) {
        // Grid rows run south to north; the texture's top row is the north edge.
        for (int r = 0; r < side; r++) {
            const uint8_t* src = grid + static_cast<size_t>(side - 1 - r) * static_cast<size_t>(side);
            uint32_t* out = reinterpret_cast<uint32_t*>(dst + static_cast<size_t>(r) * pitch);
            for (int x = 0; x < side; x++)
                out[x] = 0xFF000000u | (static_cast<uint32_t>(src[x]) << 8);
        }
        return true;
    });
    ID3D11ShaderResourceView* view = filled ? CreateView(texture) : nullptr;
    texture->Release();
    if (view)
        SetOk(ok, 1);
    return view;
}

void ReleaseTextureSlots()
{
    for (auto& slot : g_slots)
        if (slot) {
            slot->Release();
            slot = nullptr;
        }
}

ID3D11Texture2D* GetTextureSlot(int slot)
{
    return (slot >= 0 && slot < kTextureSlotCount) ? g_slots[slot] : nullptr;
}

void ClearTextureSpinFlag()
{
    g_spin.clear(std::memory_order_release);
}
