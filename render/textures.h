// Textures: image files, the system's palette images, images in memory and
// terrain elevation grids become shader resource views. The caller owns the
// view it gets. Image files may be loaded on any thread (one decode at a time);
// everything that maps a texture belongs to the GUI thread.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstdint>

constexpr int kTextureSlotCount = 8;

// Loads a palette image (".qrl"); set before main by the system files code,
// which holds the image buffer. Null: such paths load nothing.
extern ID3D11ShaderResourceView* (*PaletteImageLoader)(const char* path, uint8_t* ok, int* width, int* height);

ID3D11ShaderResourceView* LoadTexture(const char* path, uint8_t* ok, int* width, int* height, int slot);
// An image file (not a palette image) decoded on any thread, several at
// once: a view, or null when it does not load. Keeps nothing in a slot.
ID3D11ShaderResourceView* DecodePictureFile(const char* path, int* width, int* height);
// Keeps the view's texture in a texture slot, as a load into that slot does.
void KeepTextureInSlot(ID3D11ShaderResourceView* view, int slot);
ID3D11ShaderResourceView* LoadTileTexture(const char* path, int* width, int* height, int slot);
ID3D11ShaderResourceView* CreateTextureFromMemory(const void* buffer, uint32_t size, uint8_t* ok);
// The side x side elevation texture of a grid of side x side bytes, rows
// south to north: green = the elevation byte, north row on top. Null for no grid.
ID3D11ShaderResourceView* CreateElevationTexture(const uint8_t* grid, int side, uint8_t* ok, int* width, int* height);

// The pieces the loaders above build their own textures from (GUI thread):
// a side x side RGBA texture the CPU writes; filling it row by row (false
// when the map or the fill fails); its view. Null or false without a device.
ID3D11Texture2D* CreateWritableTexture(int side);
bool FillWritableTexture(ID3D11Texture2D* texture, bool (*fill)(uint8_t* dst, UINT pitch));
ID3D11ShaderResourceView* CreateTextureView(ID3D11Texture2D* texture);

// Releases the textures kept in the eight slots (device clean-up).
void ReleaseTextureSlots();
// The texture kept in a slot, or null (no reference added).
ID3D11Texture2D* GetTextureSlot(int slot);
void ClearTextureSpinFlag();
