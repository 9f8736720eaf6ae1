// The font wrapper and text layout stand-in: system-font text drawn straight
// into the render target bound on a context, in the family a name resolves to
// through fontconfig ("Arial" becomes a metric-compatible font). Objects are
// reference counted like the device's; drawing belongs to the GUI thread.
#pragma once

#include "platform/gpu/d3d11.h"
#include "platform/wide_text.h"

#define FW1_VERSION 0x110f

// Text flags of the wrapper's draw calls.
enum FW1_TEXT_FLAG : UINT {
    FW1_LEFT = 0x0,
    FW1_CENTER = 0x1,
    FW1_RIGHT = 0x2,
    FW1_TOP = 0x0,
    FW1_VCENTER = 0x4,
    FW1_NOWORDWRAP = 0x10,
    FW1_RESTORESTATE = 0x800,
};

struct FW1_RECTF {
    FLOAT Left, Top, Right, Bottom;
};

enum DWRITE_FONT_WEIGHT {
    DWRITE_FONT_WEIGHT_NORMAL = 400,
    DWRITE_FONT_WEIGHT_BOLD = 700,
};
enum DWRITE_FONT_STYLE { DWRITE_FONT_STYLE_NORMAL = 0 };
enum DWRITE_FONT_STRETCH { DWRITE_FONT_STRETCH_NORMAL = 5 };
enum DWRITE_WORD_WRAPPING { DWRITE_WORD_WRAPPING_WRAP = 0, DWRITE_WORD_WRAPPING_NO_WRAP = 1 };

struct DWRITE_TEXT_RANGE {
    UINT startPosition;
    UINT length;
};

// How far the ink reaches beyond each edge of the layout box (positive:
// outside it).
struct DWRITE_OVERHANG_METRICS {
    FLOAT left, top, right, bottom;
};

struct IDWriteFontCollection;

struct IDWriteTextFormat : IUnknown {
    virtual FLOAT GetFontSize() = 0;
    virtual DWRITE_FONT_WEIGHT GetFontWeight() = 0;
};

// Size and weight apply to the text the range covers; our layouts keep one of
// each, taken from the last call whose range starts at the first character.
// Text breaks only at line ends: no caller lets a layout wrap words, so the
// wrapping setting is kept and not acted on.
struct IDWriteTextLayout : IDWriteTextFormat {
    virtual HRESULT SetWordWrapping(DWRITE_WORD_WRAPPING wrapping) = 0;
    virtual HRESULT SetFontSize(FLOAT size, DWRITE_TEXT_RANGE range) = 0;
    virtual HRESULT SetFontWeight(DWRITE_FONT_WEIGHT weight, DWRITE_TEXT_RANGE range) = 0;
    virtual HRESULT GetOverhangMetrics(DWRITE_OVERHANG_METRICS* overhangs) = 0;
};

struct IDWriteFactory : IUnknown {
    virtual HRESULT CreateTextFormat(LPCWSTR family, IDWriteFontCollection* collection, DWRITE_FONT_WEIGHT weight,
                                     DWRITE_FONT_STYLE style, DWRITE_FONT_STRETCH stretch, FLOAT size,
                                     LPCWSTR locale, IDWriteTextFormat** format) = 0;
    // length counts UTF-16 units; a terminating NUL in it draws nothing.
    virtual HRESULT CreateTextLayout(const WCHAR* text, UINT length, IDWriteTextFormat* format, FLOAT maxWidth,
                                     FLOAT maxHeight, IDWriteTextLayout** layout) = 0;
};

// Positions are in the layout space of a draw: pixels of the bound target
// (y down), moved there by the transform when one is given (16 floats,
// row-vector order, to clip space, then onto the context's viewport). The
// alignment flags place the text about the point or the layout rectangle.
struct IFW1FontWrapper : IUnknown {
    virtual void DrawString(ID3D11DeviceContext* context, const WCHAR* text, FLOAT size, FLOAT x, FLOAT y,
                            uint32_t colour, UINT flags) = 0;
    virtual void DrawString(ID3D11DeviceContext* context, const WCHAR* text, const WCHAR* family, FLOAT size,
                            const FW1_RECTF* layoutRect, uint32_t colour, const FW1_RECTF* clipRect,
                            const FLOAT* transform, UINT flags) = 0;
    virtual void DrawTextLayout(ID3D11DeviceContext* context, IDWriteTextLayout* layout, FLOAT originX,
                                FLOAT originY, uint32_t colour, const FW1_RECTF* clipRect, const FLOAT* transform,
                                UINT flags) = 0;
    virtual HRESULT GetDWriteFactory(IDWriteFactory** factory) = 0;
};

struct IFW1Factory : IUnknown {
    // Fails when no font of the family can be read.
    virtual HRESULT CreateFontWrapper(ID3D11Device* device, LPCWSTR family, IFW1FontWrapper** wrapper) = 0;
};

HRESULT FW1CreateFactory(uint32_t version, IFW1Factory** factory);

// Glyphs under a turning or scaling map sampled at every pixel of their box:
// the plainest way, which the faster one must match pixel for pixel (tests).
void SampleGlyphsEveryPixel(bool on);
