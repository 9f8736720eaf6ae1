// The map's redraw request and the new-bank flag.
#include "display/map_redraw.h"

#include <atomic>

namespace {

std::atomic<bool> RedrawRequested{false};
std::atomic<bool> NewTileBank{false};

}  // namespace

void RequestMapRedraw() { RedrawRequested = true; }
bool IsMapRedrawPending() { return RedrawRequested.load(); }
void TakeMapRedrawRequest() { RedrawRequested = false; }

void RaiseNewTileBankFlag() { NewTileBank = true; }
bool TakeNewTileBankFlag() { return NewTileBank.exchange(false); }
