// tvl-mkassets: draws the display's bitmaps and our bitmap fonts into the
// program root given as the one argument (Bitmaps/ and the tile fallbacks in
// System/).
#include "bitmap_fonts.h"
#include "pictures.h"

#include <FreeImage.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

bool SavePicture(const Canvas& canvas, const std::string& folder, const char* name)
{
    std::string path = folder + "/" + name;
    if (canvas.Save(path.c_str()))
        return true;
    std::fprintf(stderr, "tvl-mkassets: cannot write %s\n", path.c_str());
    return false;
}

static bool MakeFolder(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return mkdir(path.c_str(), 0755) == 0;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tvl-mkassets <program root>\n");
        return 2;
    }
    std::string root = argv[1];
    std::string bitmaps = root + "/Bitmaps";
    std::string system = root + "/System";
    if (!MakeFolder(root) || !MakeFolder(bitmaps) || !MakeFolder(system)) {
        std::fprintf(stderr, "tvl-mkassets: cannot create the folders below %s\n", root.c_str());
        return 1;
    }
    FreeImage_Initialise(FALSE);
    bool ok = WriteBezels(bitmaps);
    ok = WriteAircraftSymbols(bitmaps) && ok;
    ok = WriteNavaidSymbols(bitmaps) && ok;
    ok = WriteAirportSymbols(bitmaps) && ok;
    ok = WriteInstrumentPictures(bitmaps) && ok;
    ok = WriteSoftkeyPictures(bitmaps) && ok;
    ok = WriteTileFallbacks(system) && ok;
    ok = WriteBitmapFonts(bitmaps) && ok;
    FreeImage_DeInitialise();
    return ok ? 0 : 1;
}
