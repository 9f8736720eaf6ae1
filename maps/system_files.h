// The system's own data files: file lengths and (later) the palette images
// and scrambled descriptor files read through the descrambler.
#pragma once

#include <cstdint>

// Opens path for binary reading and stores its length in bytes; 0, or -1
// with length 0 when it cannot be opened (a folder cannot).
int GetFileLength(const char* path, uint32_t* length);

// The bytes of the last palette image (or image file) read, and their count.
constexpr int kPaletteImageCapacity = 1078 + 1024 * 1024;
struct PaletteImageData {
    uint8_t bytes[kPaletteImageCapacity];
    int32_t size;
};
extern PaletteImageData PaletteImageBuffer;

// Reads a palette image into PaletteImageBuffer; the bytes now in it, 0 or
// less when nothing could be read.
int LoadMakerImageFile(const char* path);
// The 256 palette entries (blue, green, red, reserved) of the last image read.
void GetMakerImagePalette(uint8_t** palette);
// Where the pixel bytes start within PaletteImageBuffer.
uint32_t GetMakerImageDataOffset();
