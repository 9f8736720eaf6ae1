// The system's data files (see system_files.h): the descrambler, palette and
// scrambled images plain or from their folder's zip package, scrambled
// descriptor files, and the writers of those forms. Everything read is
// checked against what the file holds and what the buffer takes before use.
#include "maps/system_files.h"

#include "platform/log.h"
#include "maps/tile_sources.h"
#include "navdata/zip_entry.h"
#include "platform/files.h"
#include "render/device.h"
#include "render/textures.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <bit>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

PaletteImageData PaletteImageBuffer;
std::recursive_mutex PaletteImageMutex;

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int PaletteSize = 1024;
constexpr int PackedSizeOffset = kPaletteImageHeaderSize;  // u32 packed size
constexpr int PixelDataOffset = kPaletteImageHeaderSize + 5;  // after the size and one unused byte
// Descriptor and list files are a few kilobytes; anything near this is no
// descriptor of ours.
constexpr uint32_t MaxScrambledBinLength = 16u * 1024 * 1024;
constexpr int ZipTailParts = 3;
constexpr int ParentZipTailParts = 4;

// The runtime keeps the generator's state per thread; so do we.
thread_local unsigned ScramblerState = 1;

// Under PaletteImageMutex with the buffer.
uint8_t PaletteCopy[PaletteSize];
uint32_t DataOffset = kPaletteImageHeaderSize;
int32_t ImageWidth = 800;
char LastImageName[512] = "";

// The names of the maker's other map product's lists (20 characters each).
const char ExcludedMapFiles[4][20] = {"Korvane.bin", "KorvaneIFR.bin", "KorvaneVFR.bin", "KorvaneApt.bin"};

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void WriteU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// The file name without folder.
const char* BaseName(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; p++)
        if (IsSeparator(*p))
            base = p + 1;
    return base;
}

// Reads a whole file (at most limit bytes); false when it cannot be read or
// is larger.
bool ReadWholeFile(const char* path, size_t limit, std::vector<uint8_t>* out)
{
    out->clear();
    FILE* file = OpenFile(path, "rb");
    if (!file)
        return false;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<uint64_t>(st.st_size) <= limit;
    if (ok) {
        out->resize(static_cast<size_t>(st.st_size));
        ok = out->empty() || fread(out->data(), 1, out->size(), file) == out->size();
    }
    fclose(file);
    if (!ok)
        out->clear();
    return ok;
}

// Replaces the file at path (found in any case) whole.
bool WriteFileWhole(const char* path, const void* bytes, size_t size)
{
    char resolved[600];
    ResolvePath(path, resolved, sizeof resolved);
    return ReplaceFileContents(resolved, bytes, size);
}

bool ReplaceText(std::string* text, const char* from, const char* to)
{
    size_t at = text->find(from);
    if (at == std::string::npos)
        return false;
    text->replace(at, strlen(from), to);
    return true;
}

// The zip package that may hold path's file and the entry's name in it: the
// folder's own "F.zip" (three parts), else the parent's "P.zip" (four parts).
void PackageOf(const char* path, std::string* zip, std::string* entry)
{
    std::string folder = path;
    size_t cut = folder.find_last_of("/\\");
    folder = cut == std::string::npos ? std::string() : folder.substr(0, cut);
    char tail[512];
    *zip = folder + ".zip";
    if (FileExists(zip->c_str())) {
        PathTail(path, tail, sizeof tail, ZipTailParts);
    } else {
        size_t up = folder.find_last_of("/\\");
        *zip = (up == std::string::npos ? std::string() : folder.substr(0, up)) + ".zip";
        PathTail(path, tail, sizeof tail, ParentZipTailParts);
    }
    *entry = tail;
}

// The blank tile is shipped beside the sheets, never in their packages.
bool IsBlankTileName(const char* path)
{
    return strncmp(BaseName(path), "999999.", 7) == 0;
}

// Under the lock: the bytes as the buffer's image file.
int TakeImageFile(const uint8_t* bytes, size_t size, const char* name)
{
    if (size == 0 || size > sizeof PaletteImageBuffer.bytes) {
        WriteLogF("image %s of %zu bytes does not fit the image buffer", name, size);
        return 0;
    }
    memcpy(PaletteImageBuffer.bytes, bytes, size);
    PaletteImageBuffer.size = static_cast<int32_t>(size);
    DataOffset = 0;
    snprintf(LastImageName, sizeof LastImageName, "%s", name);
    return static_cast<int>(size);
}

int LoadFromPackage(const char* path)
{
    if (IsBlankTileName(path))
        return 0;
    std::string zip, entry;
    PackageOf(path, &zip, &entry);
    if (!ReplaceText(&entry, ".qrl", ".qrj") || !FileExists(zip.c_str()))
        return 0;
    std::vector<char> bytes;
    size_t size = 0;
    if (!ReadZipEntry(zip.c_str(), entry.c_str(), &bytes, &size))
        return 0;
    SeedScrambler(static_cast<uint32_t>(ImageSeed(path)));
    DescrambleBuffer(reinterpret_cast<uint8_t*>(bytes.data()), size);
    return TakeImageFile(reinterpret_cast<const uint8_t*>(bytes.data()), size, entry.c_str());
}

// A plain palette image; 0 with a log line when its header or its pixel
// area does not hold what it claims.
int LoadPlainPaletteImage(const char* path)
{
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, static_cast<size_t>(PixelDataOffset) + 2 * kPaletteImageMaxPixels, &file)) {
        if (FileExists(path))
            WriteLogF("palette image %s cannot be read or is too large", path);
        return 0;
    }
    if (file.size() < static_cast<size_t>(PixelDataOffset)) {
        WriteLogF("palette image %s is shorter than its header", path);
        return 0;
    }
    int32_t width = static_cast<int32_t>(ReadU32(&file[FileHeaderSize + 4]));
    int32_t height = static_cast<int32_t>(ReadU32(&file[FileHeaderSize + 8]));
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > kPaletteImageMaxPixels) {
        WriteLogF("palette image %s has a size of %d x %d", path, width, height);
        return 0;
    }
    uint32_t pixels = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    uint32_t packed = ReadU32(&file[PackedSizeOffset]);
    size_t available = file.size() - PixelDataOffset;
    uint8_t* data = &file[PixelDataOffset];
    uint8_t* target = PaletteImageBuffer.bytes + kPaletteImageHeaderSize;
    SeedScrambler(static_cast<uint32_t>(ImageSeed(path)));
    if (packed < pixels) {
        if (packed > available) {
            WriteLogF("palette image %s is cut short", path);
            return 0;
        }
        DescrambleBuffer(data, packed);
        uLongf length = pixels;
        if (uncompress(target, &length, data, packed) != Z_OK || length != pixels) {
            // What did unpack is no image: the buffer holds nothing now.
            PaletteImageBuffer.size = 0;
            LastImageName[0] = 0;
            WriteLogF("palette image %s does not unpack", path);
            return 0;
        }
    } else {
        if (pixels > available) {
            WriteLogF("palette image %s is cut short", path);
            return 0;
        }
        memcpy(target, data, pixels);
        DescrambleBuffer(target, pixels);
    }
    memcpy(PaletteImageBuffer.bytes, file.data(), kPaletteImageHeaderSize);
    memcpy(PaletteCopy, &file[FileHeaderSize + InfoHeaderSize], PaletteSize);
    PaletteImageBuffer.size = static_cast<int32_t>(pixels + kPaletteImageHeaderSize);
    DataOffset = kPaletteImageHeaderSize;
    ImageWidth = width;
    LastImageName[0] = 0;
    return PaletteImageBuffer.size;
}

} // namespace

void SeedScrambler(uint32_t seed)
{
    ScramblerState = seed;
}

int NextScramblerValue()
{
    int value = 0;
    ScramblerState = NextLcgState(ScramblerState, &value);
    return value;
}

void DescrambleBuffer(uint8_t* buffer, size_t count)
{
    for (size_t i = 0; i < count; i++)
        buffer[i] ^= static_cast<uint8_t>(NextScramblerValue() % 255);
}

int ImageSeed(const char* path)
{
    return path ? atoi(BaseName(path)) : 0;
}

int LoadMakerImageFile(const char* path)
{
    if (!path || !path[0])
        return 0;
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    if (strstr(path, ".qrl")) {
        int size = LoadFromPackage(path);
        if (size > 0)
            return size;
    }
    std::string scrambled = path;
    bool plainPalette = ReplaceText(&scrambled, ".qrl", ".qrj");
    if ((plainPalette && FileExists(scrambled.c_str())) || (!plainPalette && strstr(path, ".qrj"))) {
        SeedScrambler(static_cast<uint32_t>(ImageSeed(path)));
        return LoadScrambledFile(scrambled.c_str());
    }
    return LoadPlainPaletteImage(path);
}

int LoadScrambledFile(const char* path)
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, sizeof PaletteImageBuffer.bytes, &file)) {
        if (FileExists(path))
            WriteLogF("scrambled image %s cannot be read or is too large", path);
        return 0;
    }
    DescrambleBuffer(file.data(), file.size());
    return TakeImageFile(file.data(), file.size(), BaseName(path));
}

void GetMakerImagePalette(uint8_t** palette)
{
    *palette = PaletteCopy;
}

uint32_t GetMakerImageDataOffset()
{
    return DataOffset;
}

int32_t GetMakerImageWidth()
{
    return ImageWidth;
}

bool HasLoadedImageFile()
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    return LastImageName[0] != 0;
}

void ResetMakerImageBuffer()
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    PaletteImageBuffer.size = 0;
    DataOffset = kPaletteImageHeaderSize;
    ImageWidth = 800;
    LastImageName[0] = 0;
}

void PathTail(const char* path, char* out, size_t size, int n)
{
    if (!size)
        return;
    const char* start = path;
    int seen = 0;
    for (const char* p = path + strlen(path); p > path; p--) {
        if (IsSeparator(p[-1]) && ++seen == n) {
            start = p;
            break;
        }
    }
    snprintf(out, size, "%s", start);
    for (char* p = out; *p; p++)
        if (*p == '\\')
            *p = '/';
}

bool IsFolderPacked(const char* folderPath)
{
    std::string path = folderPath ? folderPath : "";
    while (!path.empty() && IsSeparator(path.back()))
        path.pop_back();
    path += "/000000.qrj";
    std::string zip, entry;
    PackageOf(path.c_str(), &zip, &entry);
    if (!FileExists(zip.c_str()))
        return false;
    std::vector<char> bytes;
    size_t size = 0;
    return ReadZipEntry(zip.c_str(), entry.c_str(), &bytes, &size);
}

int ReadScrambledBin(const char* path, std::vector<char>* text, int* count)
{
    text->clear();
    if (count)
        *count = 0;
    std::vector<uint8_t> file;
    if (!path || !ReadWholeFile(path, MaxScrambledBinLength, &file))
        return -1;
    if (file.size() < 4) {
        WriteLogF("%s is shorter than its seed", path);
        return -1;
    }
    SeedScrambler(ReadU32(file.data()));
    DescrambleBuffer(file.data() + 4, file.size() - 4);
    text->assign(file.begin() + 4, file.end());
    text->push_back('\0');
    if (count)
        *count = static_cast<int>(file.size() - 4);
    return 0;
}

int ScrambledBinSeed(const char* textPath)
{
    const char* base = BaseName(textPath);
    size_t n = strlen(base);
    const char* last = base + (n > 5 ? n - 5 : 0);
    char hex[16] = "";
    for (size_t i = 0; last[i]; i++)
        snprintf(hex + 2 * i, sizeof hex - 2 * i, "%02x", static_cast<unsigned char>(last[i]));
    return atoi(hex) % 1000;
}

bool WriteScrambledWords(const char* binPath, const std::vector<const char*>& words, int seed)
{
    std::vector<uint8_t> out(4);
    WriteU32(out.data(), static_cast<uint32_t>(seed));
    for (const char* word : words) {
        out.insert(out.end(), word, word + strlen(word));
        out.push_back('\n');
    }
    SeedScrambler(static_cast<uint32_t>(seed));
    DescrambleBuffer(out.data() + 4, out.size() - 4);
    return WriteFileWhole(binPath, out.data(), out.size());
}

bool WriteScrambledBin(const char* textPath)
{
    std::vector<uint8_t> file;
    if (!textPath || !ReadWholeFile(textPath, MaxScrambledBinLength, &file))
        return false;
    std::string text(file.begin(), file.end());
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isspace(static_cast<unsigned char>(text[at])))
            at++;
        size_t start = at;
        while (at < text.size() && !isspace(static_cast<unsigned char>(text[at])))
            at++;
        if (at > start)
            words.push_back(text.substr(start, at - start));
    }
    std::vector<const char*> pointers;
    for (const std::string& w : words)
        pointers.push_back(w.c_str());
    std::string bin = textPath;
    size_t dot = bin.find_last_of('.');
    size_t slash = bin.find_last_of("/\\");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        bin.erase(dot);
    bin += ".bin";
    return WriteScrambledWords(bin.c_str(), pointers, ScrambledBinSeed(textPath));
}

bool IsExcludedMapFile(const char* name)
{
    for (const char* excluded : ExcludedMapFiles)
        if (name && strcmp(name, excluded) == 0)
            return true;
    return false;
}

bool WriteMakerImageFile(const char* path, int width, int height, const uint8_t palette[1024], const uint8_t* pixels)
{
    if (!path || width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > kPaletteImageMaxPixels)
        return false;
    uint32_t count = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    uLongf packedLength = compressBound(count);
    std::vector<uint8_t> packed(packedLength);
    bool pack = compress2(packed.data(), &packedLength, pixels, count, Z_BEST_COMPRESSION) == Z_OK &&
                packedLength < count;
    uint32_t stored = pack ? static_cast<uint32_t>(packedLength) : count;
    std::vector<uint8_t> out(PixelDataOffset + stored, 0);
    out[0] = 'B';
    out[1] = 'M';
    WriteU32(&out[2], kPaletteImageHeaderSize + count);
    WriteU32(&out[10], kPaletteImageHeaderSize);
    uint8_t* info = &out[FileHeaderSize];
    WriteU32(info, InfoHeaderSize);
    WriteU32(info + 4, static_cast<uint32_t>(width));
    WriteU32(info + 8, static_cast<uint32_t>(height));
    WriteU16(info + 12, 1);
    WriteU16(info + 14, 8);
    WriteU32(info + 20, count);
    WriteU32(info + 32, 256);
    memcpy(&out[FileHeaderSize + InfoHeaderSize], palette, PaletteSize);
    WriteU32(&out[PackedSizeOffset], stored);
    memcpy(&out[PixelDataOffset], pack ? packed.data() : pixels, stored);
    SeedScrambler(static_cast<uint32_t>(ImageSeed(path)));
    DescrambleBuffer(&out[PixelDataOffset], stored);
    return WriteFileWhole(path, out.data(), out.size());
}

bool WriteScrambledImageFile(const char* path, const void* bytes, size_t size)
{
    if (!path || (!bytes && size))
        return false;
    std::vector<uint8_t> out(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
    SeedScrambler(static_cast<uint32_t>(ImageSeed(path)));
    DescrambleBuffer(out.data(), out.size());
    return WriteFileWhole(path, out.data(), out.size());
}

// Textures from the image buffer: the renderer's loader hands ".qrl" files here.
namespace {

constexpr int kPaletteSide = 800;

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

// Fills an 800 x 800 mapped texture from the palette image: rows bottom-up,
// one palette index a pixel. False when the buffer holds less than a whole image.
bool ConvertPaletteImage(uint8_t* dst, UINT pitch)
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    if (GetMakerImageWidth() != kPaletteSide)
        return false;
    uint32_t offset = GetMakerImageDataOffset();
    uint64_t need = static_cast<uint64_t>(offset) + kPaletteSide * kPaletteSide;
    if (PaletteImageBuffer.size < 0 || need > static_cast<uint64_t>(PaletteImageBuffer.size) ||
        need > sizeof(PaletteImageBuffer.bytes))
        return false;
    uint8_t* palette = nullptr;
    GetMakerImagePalette(&palette);
    if (!palette)
        return false;
    // One texel word per palette entry, so each pixel is one look-up; the
    // word's bytes in memory are red, green, blue, alpha.
    static_assert(std::endian::native == std::endian::little);
    uint32_t texel[256];
    for (int i = 0; i < 256; i++) {
        const uint8_t* entry = palette + 4 * i;
        texel[i] = 0xFF000000u | static_cast<uint32_t>(entry[0]) << 16 | static_cast<uint32_t>(entry[1]) << 8 |
                   entry[2];
    }
    const uint8_t* pixels = PaletteImageBuffer.bytes + offset;
    for (int r = 0; r < kPaletteSide; r++) {
        const uint8_t* src = pixels + static_cast<size_t>(kPaletteSide - 1 - r) * kPaletteSide;
        uint8_t* row = dst + static_cast<size_t>(r) * pitch;
        for (int x = 0; x < kPaletteSide; x++) {
            uint32_t word = texel[src[x]];
            std::memcpy(row + 4 * x, &word, 4);
        }
    }
    return true;
}

ID3D11ShaderResourceView* LoadPaletteImage(const char* path, uint8_t* ok, int* width, int* height)
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    if (!RenderDevice.context || LoadMakerImageFile(path) <= 0)
        return nullptr;
    // A package may hold the tile as an ordinary image file instead.
    if (HasLoadedImageFile()) {
        ID3D11ShaderResourceView* view = CreateTextureFromLoadedFile(ok);
        SetSize(width, height, kPaletteSide, kPaletteSide);
        return view;
    }
    ID3D11Texture2D* texture = CreateWritableTexture(kPaletteSide);
    if (!texture)
        return nullptr;
    SetSize(width, height, kPaletteSide, kPaletteSide);
    ID3D11ShaderResourceView* view = FillWritableTexture(texture, ConvertPaletteImage) ? CreateTextureView(texture) : nullptr;
    texture->Release();
    if (view)
        SetOk(ok, 1);
    return view;
}

// Before main, so every program and test that links the image buffer loads
// palette images through the renderer's loader.
[[maybe_unused]] const bool kPaletteLoaderSet = (PaletteImageLoader = LoadPaletteImage, true);

} // namespace

ID3D11ShaderResourceView* UpdatePaletteTexture(ID3D11Texture2D** texture, uint8_t* ok, int* width, int* height)
{
    SetOk(ok, 0);
    if (!RenderDevice.device || !RenderDevice.context || !texture)
        return nullptr;
    if (!*texture) {
        *texture = CreateWritableTexture(kPaletteSide);
        if (!*texture)
            return nullptr;
        SetSize(width, height, kPaletteSide, kPaletteSide);
    }
    if (!FillWritableTexture(*texture, ConvertPaletteImage))
        return nullptr;
    ID3D11ShaderResourceView* view = CreateTextureView(*texture);
    if (view)
        SetOk(ok, 1);
    return view;
}

ID3D11ShaderResourceView* CreateTextureFromLoadedFile(uint8_t* ok)
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    int32_t size = PaletteImageBuffer.size;
    if (size <= 0 || static_cast<size_t>(size) > sizeof(PaletteImageBuffer.bytes)) {
        SetOk(ok, 0);
        return nullptr;
    }
    return CreateTextureFromMemory(PaletteImageBuffer.bytes, static_cast<uint32_t>(size), ok);
}
