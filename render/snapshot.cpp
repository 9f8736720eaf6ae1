// The map snapshot (see snapshot.h): a render-target texture, its two views
// and four flags. Capturing switches the current target and the offscreen
// techniques; ending it or abandoning it always switches both back.
#include "render/snapshot.h"

#include "render/quads.h"

SnapshotTargetState SnapshotTarget;
void (*SnapshotOverlay)() = nullptr;
uint8_t (*SnapshotInvalidated)() = nullptr;

namespace {

template <class T>
void ReleaseOne(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Back to the back buffer and the on-screen techniques.
void StopCapturing()
{
    SetRenderTarget(RenderDevice.backBufferView);
    SetOffscreenFlag(0);
    SnapshotTarget.capturing = 0;
}

// The blit rectangle moved by the map's move since the capture; the layer
// rectangle's y axis points up, so a move down lowers it.
ScreenRect ShiftedRect(double x, double y)
{
    ScreenRect r = SnapshotTarget.blitRect;
    float dx = static_cast<float>(x - SnapshotTarget.referenceX);
    float dy = static_cast<float>(y - SnapshotTarget.referenceY);
    r.x0 += dx;
    r.x1 += dx;
    r.y0 -= dy;
    r.y1 -= dy;
    return r;
}

void DrawLayer(const ScreenRect& rect, double angle)
{
    DrawLayerQuad(SnapshotTarget.view, &rect, 0xFFFFFFFFu, static_cast<float>(angle), 0.0f);
    if (SnapshotOverlay)
        SnapshotOverlay();
}

} // namespace

bool CreateSnapshotTarget(ID3D11Device* device, int width, int height)
{
    ReleaseSnapshotTarget();
    if (!device || width <= 0 || height <= 0)
        return false;
    SnapshotTargetState& s = SnapshotTarget;
    D3D11_TEXTURE2D_DESC d{};
    d.Width = static_cast<UINT>(width);
    d.Height = static_cast<UINT>(height);
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc = {1, 0};
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    if (FAILED(device->CreateTexture2D(&d, nullptr, &s.texture)))
        return false;
    s.blitRect = {0, static_cast<float>(width), 0, static_cast<float>(height)};
    D3D11_RENDER_TARGET_VIEW_DESC rd{};
    rd.Format = d.Format;
    rd.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    rd.Texture2D.MipSlice = 0;
    if (FAILED(device->CreateRenderTargetView(s.texture, &rd, &s.targetView)))
        return false;
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    sd.Format = d.Format;
    sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    sd.Texture2D.MostDetailedMip = 0;
    sd.Texture2D.MipLevels = 1;
    return SUCCEEDED(device->CreateShaderResourceView(s.texture, &sd, &s.view));
}

void ReleaseSnapshotTarget()
{
    SnapshotTargetState& s = SnapshotTarget;
    if (s.capturing)
        StopCapturing(); // never leave a released view bound
    ReleaseOne(s.view);
    ReleaseOne(s.targetView);
    ReleaseOne(s.texture);
    s.valid = 0;
    s.capturing = 0;
}

int BeginSnapshot(double x, double y)
{
    SnapshotTargetState& s = SnapshotTarget;
    if (!s.capturing && !s.locked && s.targetView && s.view) {
        s.referenceX = x;
        s.referenceY = y;
        SetRenderTarget(s.targetView);
        SetOffscreenFlag(1);
        ClearTarget(0);
        s.capturing = 1;
    }
    return s.locked ? 0 : 1;
}

void EndSnapshot(double x, double y, double angle)
{
    SnapshotTargetState& s = SnapshotTarget;
    if (!s.capturing || s.locked)
        return;
    StopCapturing();
    s.valid = 1;
    DrawLayer(ShiftedRect(x, y), angle);
}

uint8_t DrawSnapshot(double x, double y, double angle, uint8_t shifted)
{
    SnapshotTargetState& s = SnapshotTarget;
    if (s.capturing || !s.valid || s.locked)
        return s.valid;
    DrawLayer(shifted ? ShiftedRect(x, y) : s.blitRect, angle);
    if (s.refreshRequested) {
        s.refreshRequested = 0;
        s.valid = 0;
        if (SnapshotInvalidated)
            SnapshotInvalidated();
    }
    return s.valid;
}

uint8_t InvalidateSnapshot()
{
    SnapshotTarget.valid = 0;
    return SnapshotInvalidated ? SnapshotInvalidated() : 0;
}

void SetSnapshotLock(uint8_t lock)
{
    SnapshotTargetState& s = SnapshotTarget;
    s.locked = lock;
    // A capture cut short by the lock would keep the snapshot bound until the
    // unlock: abandon it, the next unlocked frame captures anew.
    if (lock && s.capturing) {
        StopCapturing();
        s.valid = 0;
    }
}

void RequestSnapshotRefresh()
{
    SnapshotTarget.refreshRequested = 1;
}
