// Reading a PNG screenshot into RGB pixels.
#include "tests/support/screenshot.h"

#include <FreeImage.h>

bool LoadPicture(const std::string& path, Picture* out)
{
    FIBITMAP* dib = FreeImage_Load(FIF_PNG, path.c_str(), PNG_DEFAULT);
    if (!dib)
        return false;
    FIBITMAP* rgb = FreeImage_ConvertTo24Bits(dib);
    FreeImage_Unload(dib);
    if (!rgb)
        return false;
    out->width = static_cast<int>(FreeImage_GetWidth(rgb));
    out->height = static_cast<int>(FreeImage_GetHeight(rgb));
    out->rgb.resize(static_cast<size_t>(out->width) * out->height);
    for (int y = 0; y < out->height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(rgb, out->height - 1 - y);
        for (int x = 0; x < out->width; ++x) {
            const BYTE* p = line + 3 * x;
            out->rgb[static_cast<size_t>(y) * out->width + x] =
                p[FI_RGBA_RED] << 16 | p[FI_RGBA_GREEN] << 8 | p[FI_RGBA_BLUE];
        }
    }
    FreeImage_Unload(rgb);
    return true;
}
