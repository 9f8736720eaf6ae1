// Textures: image files, the system's palette images, images in memory and
// terrain elevation grids become shader resource views. The caller owns the
// view it gets. Image files may be loaded on any thread (one decode at a time);
// everything that maps a texture belongs to the GUI thread.
#pragma once

#include "platform/gpu/d3d11.h"

#include <cstdint>

constexpr int kTextureSlotCount = 8;

ID3D11ShaderResourceView* LoadTexture(const char* path, uint8_t* ok, int* width, int* height, int slot);
// An image file (not a palette image) decoded on any thread, several at
// once: a view, or null when it does not load. Keeps nothing in a slot.
ID3D11ShaderResourceView* DecodePictureFile(const char* path, int* width, int* height);
// Keeps the view's texture in a texture slot, as a load into that slot does.
void KeepTextureInSlot(ID3D11ShaderResourceView* view, int slot);
ID3D11ShaderResourceView* LoadTileTexture(const char* path, int* width, int* height, int slot);
// Refills (or, for none, creates) an 800 x 800 texture from the palette image
// in PaletteImageBuffer; a texture created here is handed to the caller.
ID3D11ShaderResourceView* UpdatePaletteTexture(ID3D11Texture2D** texture, uint8_t* ok, int* width, int* height);
ID3D11ShaderResourceView* CreateTextureFromLoadedFile(uint8_t* ok);
ID3D11ShaderResourceView* CreateTextureFromMemory(const void* buffer, uint32_t size, uint8_t* ok);
// The 1200 x 1200 elevation texture of ElevationGrids[index]: green = the
// elevation byte, north row on top. The first argument is not used.
ID3D11ShaderResourceView* CreateElevationTexture(void* unused, uint8_t* ok, int* width, int* height, int index);

// Releases the textures kept in the eight slots (device clean-up).
void ReleaseTextureSlots();
// The texture kept in a slot, or null (no reference added).
ID3D11Texture2D* GetTextureSlot(int slot);
void ClearTextureSpinFlag();
