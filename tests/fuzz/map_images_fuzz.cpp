// libFuzzer target for the local maps' tile images: a palette image
// ".qrl" (plain or with its pixels packed), a scrambled image file ".qrj"
// beside it, and the same in the sheet's zip package. Whatever the bytes,
// the image buffer holds at most its capacity, the pixels start inside what
// was read, and a palette image has the pixels its size names.
#include "maps/system_files.h"
#include "navdata/zip_writer.h"
#include "tests/fuzz/fuzz_support.h"

#include <mutex>

using fuzz::Check;

namespace {

void CheckBuffer(int read)
{
    std::lock_guard<std::recursive_mutex> hold(PaletteImageMutex);
    Check(read >= 0 && read <= kPaletteImageCapacity);
    if (read == 0)
        return;
    Check(PaletteImageBuffer.size == read);
    Check(GetMakerImageDataOffset() <= static_cast<uint32_t>(read));
    if (!HasLoadedImageFile()) {
        int32_t width = GetMakerImageWidth();
        Check(width > 0 && static_cast<uint32_t>(read) - GetMakerImageDataOffset() >= static_cast<uint32_t>(width));
        uint8_t* palette = nullptr;
        GetMakerImagePalette(&palette);
        Check(palette != nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string sheet = [] {
        std::string folder = fuzz::ScratchPath("Sheet");
        fuzz::MakeFolder(folder);
        fuzz::MakeFolder(folder + "/data0");
        fuzz::MakeFolder(fuzz::ScratchPath("Packed"));
        fuzz::MakeFolder(fuzz::ScratchPath("Packed/data0"));
        return folder;
    }();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A plain palette image.
    std::string plain = sheet + "/data0/008016.qrl";
    fuzz::WriteBytes(plain, bytes);
    CheckBuffer(LoadMakerImageFile(plain.c_str()));
    // A scrambled image file, found beside the name of the palette image.
    std::string scrambled = sheet + "/data0/008024.qrj";
    fuzz::WriteBytes(scrambled, bytes);
    CheckBuffer(LoadMakerImageFile((sheet + "/data0/008024.qrl").c_str()));
    std::remove(scrambled.c_str());
    // The scrambled image in the sheet's package.
    Check(WriteZipArchive(fuzz::ScratchPath("Packed.zip").c_str(), {{"Packed/data0/016016.qrj", std::string(bytes)}}));
    CheckBuffer(LoadMakerImageFile(fuzz::ScratchPath("Packed/data0/016016.qrl").c_str()));
    return 0;
}
