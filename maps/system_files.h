// The system's own data files: palette images (".qrl"), scrambled image files
// (".qrj") and scrambled descriptor files (".bin"), read plain or from the
// zip package named after their folder, and the shared image buffer the
// renderer makes textures from. Also the writers of those forms, for the
// package maker and the map list of the TPC charts.
//
// The scrambling is an XOR with the runtime's rand() % 255 after srand(seed),
// the stream of the Windows runtime's generator; stored files depend on it.
#pragma once

#include "platform/files.h"
#include "platform/gpu/d3d11.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>


// The bytes of the last palette image (or image file) read, and their count.
// threads: read and written only while PaletteImageMutex is held; the one
// loader that filled it hands it over to the texture maker by a flag.
constexpr int kPaletteImageHeaderSize = 1078;  // file header, info header, palette
constexpr int kPaletteImageMaxPixels = 1024 * 1024;
constexpr int kPaletteImageCapacity = kPaletteImageHeaderSize + kPaletteImageMaxPixels;
struct PaletteImageData {
    uint8_t bytes[kPaletteImageCapacity];
    int32_t size;
};
extern PaletteImageData PaletteImageBuffer;
// Held across a read into the buffer and across a texture made from it.
extern std::recursive_mutex PaletteImageMutex;

// The generator the scrambling uses (per thread, as the runtime keeps it).
void SeedScrambler(uint32_t seed);
int NextScramblerValue();
// XORs each byte with NextScramblerValue() % 255, in order; the caller seeds.
void DescrambleBuffer(uint8_t* buffer, size_t count);
// The seed of an image file: atoi of its name without folder and extension.
int ImageSeed(const char* path);

// Reads a palette image into PaletteImageBuffer (see the file comment);
// the bytes now in it, 0 when nothing could be read.
int LoadMakerImageFile(const char* path);
// Reads a whole scrambled file into PaletteImageBuffer and descrambles it
// with the generator as the caller seeded it; its length, 0 when missing,
// empty or larger than the buffer.
int LoadScrambledFile(const char* path);
// The 256 palette entries (blue, green, red, reserved) of the last plain
// ".qrl" read.
void GetMakerImagePalette(uint8_t** palette);
// Where the pixel bytes start within PaletteImageBuffer.
uint32_t GetMakerImageDataOffset();
// The width of the last plain ".qrl" read (800 before the first).
int32_t GetMakerImageWidth();
// True when the buffer holds an image file (a ".qrj" was read) rather than
// palette pixels; its name is the entry or file name read.
bool HasLoadedImageFile();
// An empty buffer with an 800-wide image's layout, as at the start (tests).
void ResetMakerImageBuffer();

// Refills (or, for none, creates) an 800 x 800 texture from the palette image
// in PaletteImageBuffer; a texture created here is handed to the caller.
ID3D11ShaderResourceView* UpdatePaletteTexture(ID3D11Texture2D** texture, uint8_t* ok, int* width, int* height);
// The image file (a ".qrj" read) in PaletteImageBuffer as a texture.
ID3D11ShaderResourceView* CreateTextureFromLoadedFile(uint8_t* ok);

// The part of path after its n-th separator from the end ('/' or '\'), with
// every separator turned into '/'; the whole path when it has fewer.
void PathTail(const char* path, char* out, size_t size, int n);
// Whether the folder's "000000.qrj" is found in the folder's zip package or
// in its parent's.
bool IsFolderPacked(const char* folderPath);

// Reads a scrambled ".bin" (an int32 seed, then the scrambled bytes) into
// text, followed by a terminating zero that the count leaves out; 0, or -1
// when the file is missing, shorter than its seed or unreasonably large.
int ReadScrambledBin(const char* path, std::vector<char>* text, int* count);
// For "name.txt" writes "name.bin": every whitespace-separated word of the
// text followed by "\n", scrambled. False (and no file left) when the text
// cannot be read or the file cannot be written.
bool WriteScrambledBin(const char* textPath);
// The scrambled form of a list of words into binPath with the given seed.
bool WriteScrambledWords(const char* binPath, const std::vector<const char*>& words, int seed);
// The seed WriteScrambledBin takes from a text file's name.
int ScrambledBinSeed(const char* textPath);

// Map lists of the maker's other map product, which are no local maps here.
bool IsExcludedMapFile(const char* name);

// Writers of the image forms (the package maker, tests). A palette image of
// width x height indices, rows bottom-up as in a BMP, its pixel area packed
// with zlib when that is smaller; an image file scrambled whole. The seed
// comes from the file name. False, and no file left, on any failure.
bool WriteMakerImageFile(const char* path, int width, int height, const uint8_t palette[1024],
                         const uint8_t* pixels);
bool WriteScrambledImageFile(const char* path, const void* bytes, size_t size);
