// The D3DX11 texture loaders: PNG, JPEG and BMP images (FreeImage) become
// RGBA8 textures at their own size with one mip level. Safe from any thread.
#pragma once

#include "platform/gpu/d3d11.h"

// Load options are not supported: callers pass none and get the defaults.
struct D3DX11_IMAGE_LOAD_INFO;
struct ID3DX11ThreadPump;

// Largest image file or buffer the loaders take, in bytes.
#define TVL_MAX_IMAGE_BYTES (256u * 1024u * 1024u)

// Platform-layer checks, not D3DX calls: whether the image in data (or in
// the file) is a PNG, JPEG or BMP whose header gives a size within the
// texture limit (each side at most D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION).
// Only the header is read: a file of a megabyte may unpack to gigabytes, so
// anything larger is refused before it is decoded. Any thread.
bool ImageFitsTextureLimit(const uint8_t* data, size_t size);
bool ImageFileFitsTextureLimit(const char* path);

HRESULT D3DX11CreateTextureFromFileA(ID3D11Device* device, LPCSTR path, D3DX11_IMAGE_LOAD_INFO* loadInfo,
                                     ID3DX11ThreadPump* pump, ID3D11Resource** texture, HRESULT* result);
HRESULT D3DX11CreateTextureFromMemory(ID3D11Device* device, LPCVOID data, SIZE_T size,
                                      D3DX11_IMAGE_LOAD_INFO* loadInfo, ID3DX11ThreadPump* pump,
                                      ID3D11Resource** texture, HRESULT* result);
