// The zoom animations of the local raster map and of the tile grid.
#include "display/zoom_animation.h"

#include "display/map_redraw.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "maps/tile_grid.h"
#include "render/snapshot.h"

#include <atomic>
#include <cmath>

namespace {

enum class LocalKind { None, Level, Steps };

struct LocalZoom {
    LocalKind kind = LocalKind::None;
    double ratio = 1.0;           // level step: the end scale
    double from = 1.0, to = 1.0;  // fine step: the scales at both ends
    double duration = 0;          // 0: the default
    double startTime = 0;
    bool started = false;
    bool ended = false;
    int bank = -1;  // the bank shown when the step began
};
LocalZoom Local;

// threads: the commands on the GUI thread set them, the loader clears them.
std::atomic<bool> TileZoomInPending{false};
std::atomic<bool> TileZoomOutPending{false};
// The bank whose scale the tile animation moves, and the load time it runs
// over: the estimate as the step began (the step's own job changes it).
int TileAnimatedBank = -1;
double TileDuration = 0;

ViewRect CurrentViewRect{0, 0, 0, 0};

// Stores a scale on the shown bank; a change redraws the map layers.
void ShowScale(int bank, float s)
{
    TileGridBank& b = TileGridBanks[bank];
    if (b.tileScale == s)
        return;
    b.tileScale = s;
    PixelsPerDegreeKnown = 0;
    InvalidateSnapshot();
}

// The step's time-line: elapsed is never negative (a clock that stepped
// back holds the start scale).
double Elapsed(double now, double start)
{
    double t = now - start;
    return t > 0 ? t : 0;
}

// A start time of 0 means "none" in the tile animation's state.
double StartStamp(double now)
{
    return now > 0 ? now : 1e-9;
}

}  // namespace

float LocalLevelZoomScale(double r, double elapsed, double duration, bool* ended)
{
    *ended = false;
    if (!(r > 0) || !std::isfinite(r) || r == 1.0 || !(duration > 0)) {
        *ended = true;
        return static_cast<float>(r > 0 && std::isfinite(r) ? r : 1.0);
    }
    double s = r < 1.0 ? 1.0 - elapsed * r / duration : (r - 1.0) * elapsed / duration + 1.0;
    if ((r < 1.0 && s <= r) || (r > 1.0 && s >= r)) {
        *ended = true;
        s = r;
    }
    return static_cast<float>(s);
}

float LocalStepZoomScale(double from, double to, double elapsed, double duration, bool* ended)
{
    *ended = false;
    if (!(duration > 0) || elapsed >= duration || from == to) {
        *ended = true;
        return static_cast<float>(to);
    }
    return static_cast<float>(from + (to - from) * elapsed / duration);
}

float TileZoomScale(int direction, double s0, double elapsed, double duration, bool* ended)
{
    *ended = false;
    double end = direction > 0 ? 2.0 * s0 : 0.5 * s0;
    if (!(duration > 0)) {
        *ended = true;
        return static_cast<float>(end);
    }
    double s = direction > 0 ? s0 + elapsed / duration : s0 - 0.5 * s0 * elapsed / duration;
    if ((direction > 0 && s >= end) || (direction <= 0 && s <= end)) {
        *ended = true;
        s = end;
    }
    return static_cast<float>(s);
}

// ---- local raster map ----

void RequestLocalLevelZoom(int fromLevel, int toLevel, double seconds)
{
    Local = LocalZoom{};
    Local.kind = LocalKind::Level;
    Local.ratio = GetChartLevelFactor(toLevel) / GetChartLevelFactor(fromLevel);
    Local.duration = seconds;
}

void RequestLocalStepZoom(int fromSteps, int toSteps, double seconds)
{
    Local = LocalZoom{};
    Local.kind = LocalKind::Steps;
    Local.from = std::ldexp(1.0, fromSteps);
    Local.to = std::ldexp(1.0, toSteps);
    Local.duration = seconds;
}

bool IsLocalZoomRequested()
{
    return Local.kind != LocalKind::None;
}

bool HasLocalZoomEnded()
{
    return Local.ended;
}

void FinishLocalZoom()
{
    Local.kind = LocalKind::None;
}

void AnimateLocalZoom(ViewRect* rect, double x, double y, int halfWidth, int halfHeight, double now)
{
    int shown = GetDisplayedTileBank();
    if (Local.kind == LocalKind::None) {
        Local.startTime = 0;
        Local.started = false;
        Local.duration = 0;
        Local.ended = false;
    } else {
        if (!Local.started) {
            Local.started = true;
            Local.startTime = now;
            Local.bank = shown;
        }
        double duration = Local.duration > 0 ? Local.duration : DefaultLocalZoomSeconds;
        double t = Elapsed(now, Local.startTime);
        bool ended = false;
        float s = Local.kind == LocalKind::Level ? LocalLevelZoomScale(Local.ratio, t, duration, &ended)
                                                 : LocalStepZoomScale(Local.from, Local.to, t, duration, &ended);
        // A set that began meanwhile has a scale of its own.
        if (shown == Local.bank)
            ShowScale(shown, s);
        if (ended) {
            Local.ended = true;
            // A fine step loads nothing: it is done when its scale is shown.
            if (Local.kind == LocalKind::Steps) {
                Local.kind = LocalKind::None;
                InvalidateSnapshot();
            }
        }
    }
    int cx = static_cast<int>(x), cy = static_cast<int>(y);
    *rect = {cx - halfWidth, cy - halfHeight, cx + halfWidth, cy + halfHeight};
    CurrentViewRect = *rect;
}

// ---- tile grid ----

bool IsTileZoomPending(int direction)
{
    return direction > 0 ? TileZoomInPending.load() : TileZoomOutPending.load();
}

void SetTileZoomPending(int direction, bool pending)
{
    (direction > 0 ? TileZoomInPending : TileZoomOutPending) = pending;
}

void EndTileZoomSteps()
{
    TileZoomInPending = false;
    TileZoomOutPending = false;
}

bool IsTileZoomAnimationRunning()
{
    return TileMapFlag.load() && (TileZoomInPending.load() || TileZoomOutPending.load());
}

bool StartTileZoomStep(int direction)
{
    if (IsTileZoomPending(direction))
        return false;
    // Raised first: a loader that ends at once clears it again.
    SetTileZoomPending(direction, true);
    int started = 0;
    if (direction > 0)
        ZoomInAndRefresh(&started);
    else
        ZoomOutAndRefresh(&started);
    if (!started)
        SetTileZoomPending(direction, false);
    return started != 0;
}

void AnimateTileZoom(ViewRect* rect, int x, int y, int clientWidth, int clientHeight, double now)
{
    int direction = TileZoomInPending.load() ? 1 : TileZoomOutPending.load() ? -1 : 0;
    int shown = GetDisplayedTileBank();
    TileZoomAnimationState state = GetTileZoomAnimationState();
    if (direction == 0) {
        // A step that ended without its grid (stopped, failed) leaves the map
        // at the scale it had; a new grid cleared the state already.
        if (state.startTime != 0) {
            if (TileAnimatedBank == shown)
                ShowScale(shown, static_cast<float>(state.startScale));
            ClearTileZoomAnimationState();
        }
    } else if (state.startTime == 0) {
        // Not while a finished grid waits for its swap: it is the step's own.
        if (!IsTileGridComplete()) {
            float s0 = TileGridBanks[shown].tileScale;
            // A bank without a usable scale grows from the plain one.
            if (!(s0 > 0) || !std::isfinite(s0))
                s0 = 1.0f;
            StartTileZoomAnimation(StartStamp(now), s0);
            TileAnimatedBank = shown;
            TileDuration = GetGridLoadTime();
        }
    } else if (!state.stopped && TileAnimatedBank == shown) {
        bool ended = false;
        float s = TileZoomScale(direction, state.startScale, Elapsed(now, state.startTime), TileDuration, &ended);
        ShowScale(shown, s);
        if (ended)
            SetTileZoomEnding(true);
    }
    int halfW = clientWidth / 2, halfH = clientHeight / 2;
    *rect = {x - halfW, y - halfH, x + halfW, y + halfH};
    CurrentViewRect = *rect;
}

ViewRect GetCurrentViewRect()
{
    return CurrentViewRect;
}

void ResetZoomAnimations()
{
    Local = LocalZoom{};
    EndTileZoomSteps();
    TileAnimatedBank = -1;
    TileDuration = 0;
    ClearTileZoomAnimationState();
    CurrentViewRect = {0, 0, 0, 0};
}
