// System-font text and screen hit tests (see system_text.h). Each operation
// converts its code page 1252 text to UTF-16 into a buffer of its own and
// hands it to the font wrapper with the restore-state flag; the turned ones
// build RotationZ x Translation x the client-pixel orthographic matrix.
#include "render/system_text.h"

#include "render/bitmap_fonts.h"
#include "render/device.h"

#include <cmath>
#include <cstring>

TextRendererState TextRenderer;

namespace {

constexpr UINT kTurnedFlags = FW1_RESTORESTATE | FW1_NOWORDWRAP;

template <class T>
void ReleaseOne(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Converts at most size - 1 bytes of text (longer texts are cut) with its
// terminating NUL; returns the units written, NUL included (0 for no text).
int ToWide(const char* text, WCHAR* out, int size)
{
    if (!text || size < 1)
        return 0;
    size_t n = strnlen(text, static_cast<size_t>(size - 1));
    int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n), out, size - 1);
    out[units] = 0;
    return units + 1;
}

// RotationZ(angle) x Translation(px, py, 0) x the orthographic matrix; the
// turn is left out when asked (the unturned string).
XMMATRIX AnchorTransform(float px, float py, double angle, bool turn)
{
    XMMATRIX m = XMMatrixMultiply(XMMatrixTranslation(px, py, 0), RenderDevice.orthographic);
    if (turn)
        m = XMMatrixMultiply(XMMatrixRotationZ(static_cast<float>(angle)), m);
    return m;
}

// A layout of the converted text with no word wrap, the size and the weight;
// null when the objects are missing or refuse.
IDWriteTextLayout* MakeLayout(const WCHAR* text, int units, float size, uint32_t weight)
{
    if (!TextRenderer.writeFactory || !TextRenderer.textFormat || units < 1)
        return nullptr;
    IDWriteTextLayout* layout = nullptr;
    if (FAILED(TextRenderer.writeFactory->CreateTextLayout(text, static_cast<UINT>(units), TextRenderer.textFormat,
                                                           0.0f, 0.0f, &layout)))
        return nullptr;
    const DWRITE_TEXT_RANGE all{0, static_cast<UINT>(units)};
    layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    layout->SetFontSize(size, all);
    layout->SetFontWeight(static_cast<DWRITE_FONT_WEIGHT>(weight), all);
    return layout;
}

} // namespace

void CreateTextObjects(ID3D11Device* device)
{
    ReleaseTextObjects();
    TextRendererState& t = TextRenderer;
    if (FAILED(FW1CreateFactory(FW1_VERSION, &t.factory)))
        return;
    if (FAILED(t.factory->CreateFontWrapper(device, u"Arial", &t.wrapper)))
        return;
    if (FAILED(t.wrapper->GetDWriteFactory(&t.writeFactory)))
        return;
    t.writeFactory->CreateTextFormat(u"Arial", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                     DWRITE_FONT_STRETCH_NORMAL, 12.0f, u"", &t.textFormat);
}

void ReleaseTextObjects()
{
    TextRendererState& t = TextRenderer;
    ReleaseOne(t.textFormat);
    ReleaseOne(t.writeFactory);
    ReleaseOne(t.wrapper);
    ReleaseOne(t.factory);
}

void DrawFontString(float size, float x, float y, uint32_t colour, const char* text, uint32_t flags)
{
    WCHAR wide[kFontStringChars + 1];
    if (!TextRenderer.wrapper || !RenderDevice.context || ToWide(text, wide, kFontStringChars + 1) < 1)
        return;
    TextRenderer.wrapper->DrawString(RenderDevice.context, wide, size, x, y, colour, flags | FW1_RESTORESTATE);
}

void DrawTextRotated(float size, float x, float y, uint32_t colour, const char* text, double angle, uint32_t flags)
{
    float px, py;
    ToClientPixels(x, y, &px, &py);
    WCHAR wide[kTextLayoutChars + 1];
    if (!TextRenderer.wrapper || !RenderDevice.context || ToWide(text, wide, kTextLayoutChars + 1) < 1)
        return;
    const FW1_RECTF anchor{0, 0, 0, 0};
    XMMATRIX m = AnchorTransform(px, py, angle, angle != 0.0);
    TextRenderer.wrapper->DrawString(RenderDevice.context, wide, nullptr, size, &anchor, colour, nullptr, &m.m[0][0],
                                     flags | kTurnedFlags);
}

void DrawTextLayoutRotated(float size, float x, float y, uint32_t colour, const char* text, double angle,
                           uint32_t flags, uint32_t weight)
{
    float px, py;
    ToClientPixels(x, y, &px, &py);
    WCHAR wide[kTextLayoutChars + 1];
    if (!TextRenderer.wrapper || !RenderDevice.context)
        return;
    IDWriteTextLayout* layout = MakeLayout(wide, ToWide(text, wide, kTextLayoutChars + 1), size, weight);
    if (!layout)
        return;
    XMMATRIX m = AnchorTransform(px, py, angle, true);
    TextRenderer.wrapper->DrawTextLayout(RenderDevice.context, layout, 0, 0, colour, nullptr, &m.m[0][0],
                                         flags | kTurnedFlags);
    layout->Release();
}

void MeasureTextOutline(OutlinePoint* outline, OutlinePoint* frame, double scale, const char* text, uint32_t weight,
                        double centreX, double centreY)
{
    if (!outline || !frame)
        return;
    DWRITE_OVERHANG_METRICS o{0, 0, 0, 0};
    WCHAR wide[kTextLayoutChars + 1];
    float size = static_cast<float>(GetFontSize() * scale);
    if (IDWriteTextLayout* layout = MakeLayout(wide, ToWide(text, wide, kTextLayoutChars + 1), size, weight)) {
        if (FAILED(layout->GetOverhangMetrics(&o)))
            o = {0, 0, 0, 0};
        layout->Release();
    }
    const float L = o.left, T = o.top, R = o.right, B = o.bottom;
    const float box[5][2] = {{L, B}, {L, T}, {R, T}, {R, B}, {L, B}};
    const float dx = static_cast<float>(centreX - (L + R) / 2.0), dy = static_cast<float>(centreY - (T + B) / 2.0);
    for (int k = 0; k < 5; k++) {
        outline[k].x = box[k][0] + dx;
        outline[k].y = box[k][1] + dy;
        frame[k] = outline[k];
    }
    // One pixel more on every side, still closed.
    const float grow[5][2] = {{-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 5; k++) {
        frame[k].x += grow[k][0];
        frame[k].y += grow[k][1];
    }
}

bool IsOnScreen(double x, double y)
{
    float px, py;
    ToClientPixels(static_cast<float>(x), static_cast<float>(y), &px, &py);
    return px >= 0 && px <= RenderDevice.clientWidth && py >= 0 && py <= RenderDevice.clientHeight;
}

bool IsNearPoint(int32_t mapX, int32_t mapY, int32_t clickX, int32_t clickY)
{
    float fx, fy;
    ToClientPixels(static_cast<float>(mapX), static_cast<float>(mapY), &fx, &fy);
    if (!(std::fabs(fx) < 1e9f) || !(std::fabs(fy) < 1e9f))
        return false;
    const int px = static_cast<int>(fx), py = static_cast<int>(fy);
    return px - 30 < clickX && clickX < px + 30 && py - 30 < clickY && clickY < py + 30;
}
