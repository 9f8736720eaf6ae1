// What tests, tools and benchmarks may see of the software renderer besides
// its D3D11 face: pixels of a texture, a record of the draws, injected
// failures, and the size a window-less swap chain takes. GUI thread only.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstddef>
#include <string>
#include <vector>

// Copies the texture behind a resource (a texture, or the texture behind a
// view when given one through GetResource) as 0xAABBGGRR words, row by row.
bool GpuReadPixels(ID3D11Resource* resource, std::vector<uint32_t>* pixels, int* width, int* height);
// Writes the texture behind a resource as an opaque 24-bit PNG, as the
// screenshot switch does for the presented frame.
bool GpuWritePng(ID3D11Resource* resource, const char* path);
// The texel at (x, y) of a texture or 0 outside it.
uint32_t GpuReadPixel(ID3D11Resource* resource, int x, int y);

// One draw as the context saw it: the technique's name, topology, the vertex
// bytes (stride bytes each) and the matrix and texture that were applied.
struct GpuDrawRecord {
    std::string technique;
    D3D11_PRIMITIVE_TOPOLOGY topology;
    UINT vertexCount;
    UINT stride;
    std::vector<uint8_t> vertices;
    float matrix[16];
    ID3D11ShaderResourceView* texture; // not owned; compare only
};

// Recording keeps every draw until cleared; off by default.
void GpuRecordDraws(bool on);
const std::vector<GpuDrawRecord>& GpuRecordedDraws();
void GpuClearRecordedDraws();

// The next Map on any context fails with this code (once).
void GpuFailNextMap(HRESULT code);
// Device creation fails for every driver type with this code while set
// (0 clears it).
void GpuFailDeviceCreation(HRESULT code);

// Devices created from now on rasterize with this many threads (the caller
// counted; 0 restores the default) and hand a draw to them from this many
// covered pixels on (-1 restores the default).
void GpuRasterThreadsForNewDevices(int threads, int64_t splitPixels = -1);

// Devices created from now on rasterize consecutive draws of the same state
// as one job of at most this many triangle-list vertices (0: every draw on its
// own, at once; -1 restores the default).
void GpuBatchDrawsForNewDevices(int vertices);

// Textured draws that come again unchanged blend the source words kept from
// before instead of sampling anew (on unless TVL_DRAW_MEMO is 0): switched
// for every context, and the words a context keeps.
void GpuKeepRepeatedDraws(bool on);
size_t GpuKeptDrawWords(ID3D11DeviceContext* context);

// How many times a swap chain presented since the process started.
long GpuPresentCount();
