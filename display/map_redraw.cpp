// The map's redraw request, the new-bank flag and the tile zoom animation's
// state.
#include "display/map_redraw.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> RedrawRequested{false};
std::atomic<bool> NewTileBank{false};
// The loader's thread clears and stops it while the GUI thread reads it.
std::mutex ZoomLock;
TileZoomAnimationState ZoomAnimation{0, 0, false};

}  // namespace

void RequestMapRedraw() { RedrawRequested = true; }
bool IsMapRedrawPending() { return RedrawRequested.load(); }
void TakeMapRedrawRequest() { RedrawRequested = false; }

void RaiseNewTileBankFlag() { NewTileBank = true; }
bool TakeNewTileBankFlag() { return NewTileBank.exchange(false); }

TileZoomAnimationState GetTileZoomAnimationState()
{
    std::lock_guard<std::mutex> lock(ZoomLock);
    return ZoomAnimation;
}

void ClearTileZoomAnimationState()
{
    std::lock_guard<std::mutex> lock(ZoomLock);
    ZoomAnimation.startTime = 0;
    ZoomAnimation.startScale = 0;
}

void StopTileZoomAnimation()
{
    std::lock_guard<std::mutex> lock(ZoomLock);
    ZoomAnimation.stopped = true;
}

void StartTileZoomAnimation(double t, double s)
{
    std::lock_guard<std::mutex> lock(ZoomLock);
    ZoomAnimation = {t, s, false};
}
