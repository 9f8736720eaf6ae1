// The map's zoom animations. While a zoom step is under way the displayed
// bank's tile scale moves linearly in time from where the map was towards
// the scale of the new zoom, so the map shrinks or grows about its centre
// until the set or grid of the new zoom is shown. A local raster map and the
// tile grid each have their own; the frame update runs the one of the mode.
// GUI thread unless noted.
#pragma once

// The visible rectangle in pixels of the shown grid, about the map centre.
struct ViewRect {
    int left, top, right, bottom;
};

// ---- local raster map ----

// A local step's duration when none is given.
constexpr double DefaultLocalZoomSeconds = 5.0;
// A level step from the shown level: the shown set goes from 1.0 to the
// ratio of the two levels' factors. seconds 0 takes the default.
void RequestLocalLevelZoom(int fromLevel, int toLevel, double seconds = 0);
// A fine step at level 0: the shown set goes from 2^fromSteps to 2^toSteps.
void RequestLocalStepZoom(int fromSteps, int toSteps, double seconds = 0);
// A step is under way (from its request until it is done).
bool IsLocalZoomRequested();
// The running step has reached its end scale.
bool HasLocalZoomEnded();
// The set of a level step was begun: the step is done.
void FinishLocalZoom();
// Once a frame in local-map mode: moves the shown set's scale and keeps the
// view rectangle, (x, y) the centre and the view's half sizes around it.
void AnimateLocalZoom(ViewRect* rect, double x, double y, int halfWidth, int halfHeight, double now);

// ---- tile grid ----

// A tile zoom step of a direction (+1 in, -1 out) waits for its grid: the
// commands set it before starting the loader, the grid's swap and the
// loader's end without a grid clear it. threads: any.
bool IsTileZoomPending(int direction);
void SetTileZoomPending(int direction, bool pending);
void EndTileZoomSteps();
// A tile zoom step of either direction is under way in tile-map mode.
bool IsTileZoomAnimationRunning();
// One zoom step of the tile grid unless one of that direction is pending;
// true when the loader took it.
bool StartTileZoomStep(int direction);
// Once a frame in tile-map mode: moves the shown grid's scale over the grid's
// expected load time as the step began, and keeps the view rectangle, the client rectangle
// centred on (x, y).
void AnimateTileZoom(ViewRect* rect, int x, int y, int clientWidth, int clientHeight, double now);

// The view rectangle the last animation step kept, for the tile refresh.
ViewRect GetCurrentViewRect();

// The scale curves. elapsed and duration in seconds; *ended tells whether
// the end value was reached (the result is then that value).
// Level step to ratio r: zoom-out (r < 1) s = 1 - t r / D, zoom-in
// s = (r - 1) t / D + 1.
float LocalLevelZoomScale(double r, double elapsed, double duration, bool* ended);
// Fine step: straight from `from` to `to` over the duration.
float LocalStepZoomScale(double from, double to, double elapsed, double duration, bool* ended);
// Tile step from s0: in s0 + t / D up to 2 s0, out s0 - 0.5 s0 t / D down
// to 0.5 s0. A duration of 0 or less is at its end at once.
float TileZoomScale(int direction, double s0, double elapsed, double duration, bool* ended);

// Both animations idle (display start, tests).
void ResetZoomAnimations();
