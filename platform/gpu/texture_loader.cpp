// The D3DX11 texture loaders: a PNG, JPEG or BMP image from a file or from
// memory becomes an RGBA8 texture (top row first) of its own size with one
// mip level. Tile pictures are decoded straight into the texture's storage;
// others, and anything those decoders leave, go through FreeImage. Any
// thread may load; FreeImage handles each image's memory on the calling thread.
#include "platform/gpu/d3dx11.h"
#include "platform/gpu/gpu_objects.h"
#include "platform/gpu/image_decode.h"
#include "platform/files.h"

#include <FreeImage.h>

#include <cstdio>
#include <new>
#include <vector>

namespace {

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes)
{
    FILE* f = OpenFile(path, "rb");
    if (!f)
        return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && static_cast<unsigned long>(size) <= TVL_MAX_IMAGE_BYTES && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    }
    std::fclose(f);
    return ok;
}

// The formats we decode; each of them reads its header alone when asked.
bool IsKnownFormat(FREE_IMAGE_FORMAT format)
{
    return format == FIF_PNG || format == FIF_JPEG || format == FIF_BMP;
}

bool SideFits(unsigned side)
{
    return side > 0 && side <= D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION;
}

// A header read without pixels: true when it gives a size within the limit.
bool HeaderFits(FIBITMAP* header)
{
    if (!header)
        return false;
    bool fits = SideFits(FreeImage_GetWidth(header)) && SideFits(FreeImage_GetHeight(header));
    FreeImage_Unload(header);
    return fits;
}

bool MemoryImageFits(FIMEMORY* memory, FREE_IMAGE_FORMAT format)
{
    return IsKnownFormat(format) && HeaderFits(FreeImage_LoadFromMemory(format, memory, FIF_LOAD_NOPIXELS));
}

// Decodes with the image library into RGBA words, top row first; false for
// other formats, bad data and images over the texture limit (refused from
// their header).
bool DecodeWithLibrary(const uint8_t* data, size_t size, DecodedTexels* out)
{
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    if (!memory)
        return false;
    FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
    FIBITMAP* image = nullptr;
    if (MemoryImageFits(memory, format)) {
        FreeImage_SeekMemory(memory, 0, SEEK_SET);
        image = FreeImage_LoadFromMemory(format, memory, 0);
    }
    FreeImage_CloseMemory(memory);
    if (!image)
        return false;
    FIBITMAP* rgba = FreeImage_ConvertTo32Bits(image);
    FreeImage_Unload(image);
    if (!rgba)
        return false;
    UINT w = FreeImage_GetWidth(rgba), h = FreeImage_GetHeight(rgba);
    bool ok = w > 0 && h > 0 && w <= D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION && h <= D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION;
    TexelStore texels = ok ? AllocateTexels(static_cast<size_t>(w) * h) : nullptr;
    if (texels) {
        for (UINT y = 0; y < h; y++) {
            const BYTE* line = FreeImage_GetScanLine(rgba, h - 1 - y); // FreeImage rows run bottom-up
            uint32_t* row = texels.get() + static_cast<size_t>(y) * w;
            for (UINT x = 0; x < w; x++, line += 4)
                row[x] = line[FI_RGBA_RED] | (line[FI_RGBA_GREEN] << 8) | (line[FI_RGBA_BLUE] << 16) |
                         (static_cast<uint32_t>(line[FI_RGBA_ALPHA]) << 24);
        }
        out->texels = std::move(texels);
        out->width = w;
        out->height = h;
        out->opaque = false; // the texture looks for itself
    }
    FreeImage_Unload(rgba);
    return out->texels != nullptr;
}

// The decoded texels become the texture's own: no second buffer, no copy.
HRESULT CreateFromImage(ID3D11Device* device, const uint8_t* data, size_t size, ID3D11Resource** texture)
{
    auto* gpu = dynamic_cast<GpuDevice*>(device);
    if (!gpu)
        return E_INVALIDARG;
    DecodedTexels image;
    if (!DecodeTilePicture(data, size, D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION, &image) &&
        !DecodeWithLibrary(data, size, &image))
        return E_FAIL;
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = image.width;
    desc.Height = image.height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc = {1, 0};
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    auto* created = new (std::nothrow) GpuTexture(gpu, desc, std::move(image.texels));
    if (!created)
        return E_OUTOFMEMORY;
    if (image.opaque)
        created->MarkOpaque();
    else
        created->UpdateOpaque();
    *texture = static_cast<ID3D11Texture2D*>(created);
    return S_OK;
}

HRESULT Finish(HRESULT hr, HRESULT* result)
{
    if (result)
        *result = hr;
    return hr;
}

} // namespace

bool ImageFitsTextureLimit(const uint8_t* data, size_t size)
{
    if (!data || size == 0 || size > TVL_MAX_IMAGE_BYTES)
        return false;
    FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
    if (!memory)
        return false;
    bool fits = MemoryImageFits(memory, FreeImage_GetFileTypeFromMemory(memory, 0));
    FreeImage_CloseMemory(memory);
    return fits;
}

bool ImageFileFitsTextureLimit(const char* path)
{
    if (!path)
        return false;
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path, 0);
    return IsKnownFormat(format) && HeaderFits(FreeImage_Load(format, path, FIF_LOAD_NOPIXELS));
}

HRESULT D3DX11CreateTextureFromFileA(ID3D11Device* device, LPCSTR path, D3DX11_IMAGE_LOAD_INFO*,
                                     ID3DX11ThreadPump*, ID3D11Resource** texture, HRESULT* result)
{
    if (texture)
        *texture = nullptr;
    if (!device || !path || !texture)
        return Finish(E_INVALIDARG, result);
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes))
        return Finish(E_FAIL, result);
    return Finish(CreateFromImage(device, bytes.data(), bytes.size(), texture), result);
}

HRESULT D3DX11CreateTextureFromMemory(ID3D11Device* device, LPCVOID data, SIZE_T size, D3DX11_IMAGE_LOAD_INFO*,
                                      ID3DX11ThreadPump*, ID3D11Resource** texture, HRESULT* result)
{
    if (texture)
        *texture = nullptr;
    if (!device || !data || size == 0 || size > TVL_MAX_IMAGE_BYTES || !texture)
        return Finish(E_INVALIDARG, result);
    return Finish(CreateFromImage(device, static_cast<const uint8_t*>(data), size, texture), result);
}
