// Window classes and windows on SDL2: creation and destruction, outer and
// client geometry, show states, styles, topmost, placement and the borderless
// hit test. Outer rectangles add a fixed frame (GetSystemMetrics) around the
// SDL window's client area, the same way in both directions, so that stored
// placements come back where they were.
#include "platform/window_internal.h"

#include "platform/codepage.h"
#include "platform/termination.h"

#include <SDL2/SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

static const int MaxWindows = 16;
static const int MaxClasses = 16;
static const int MaxRetired = 32;

struct ClassRecord {
    bool used = false;
    char name[64] = {};
    WNDPROC proc = nullptr;
    HICON icon = nullptr;
};

static ClassRecord Classes[MaxClasses];
static WindowRecord Windows[MaxWindows];
static uint32_t NextGeneration = 1;
// SDL windows of destroyed windows: kept (hidden) until CloseWindowLayer,
// because a renderer may still hold objects made for them.
static SDL_Window* Retired[MaxRetired];
static bool VideoStartedHere = false;

// ---- records and handles ----

HWND HandleOf(const WindowRecord* record)
{
    uintptr_t index = static_cast<uintptr_t>(record - Windows);
    return reinterpret_cast<HWND>((static_cast<uintptr_t>(record->generation) << 8) | (index + 1));
}

WindowRecord* FindWindowRecord(HWND hwnd)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
    uintptr_t index = (value & 0xFF) - 1;
    if ((value & 0xFF) == 0 || index >= static_cast<uintptr_t>(MaxWindows))
        return nullptr;
    WindowRecord* record = &Windows[index];
    if (!record->used || record->generation != (value >> 8))
        return nullptr;
    return record;
}

WindowRecord* FindWindowRecordBySdlId(uint32_t sdlId)
{
    for (WindowRecord& record : Windows) {
        if (record.used && record.sdlId == sdlId)
            return &record;
    }
    return nullptr;
}

WindowRecord* FirstWindowRecord()
{
    for (WindowRecord& record : Windows) {
        if (record.used)
            return &record;
    }
    return nullptr;
}

int WindowRecordCount() { return MaxWindows; }

WindowRecord* WindowRecordAt(int index) { return index >= 0 && index < MaxWindows ? &Windows[index] : nullptr; }

// ---- SDL video ----

bool EnsureSdlVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // The program decides what a close means (WM_CLOSE), not SDL.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // A click that activates the window is also a click, as on Windows.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    VideoStartedHere = true;
    // After SDL's own handlers, which queue the quit event ours hands on.
    WatchTerminationSignals();
    return true;
}

bool IsHeadlessVideo()
{
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    return !driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

SDL_Window* GetSdlWindow(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || IsHeadlessVideo())
        return nullptr;
    return record->sdl;
}

static void Retire(SDL_Window* window)
{
    if (!window)
        return;
    SDL_HideWindow(window);
    SDL_SetWindowHitTest(window, nullptr, nullptr);
    for (SDL_Window*& slot : Retired) {
        if (!slot) {
            slot = window;
            return;
        }
    }
    SDL_DestroyWindow(window);
}

void CloseWindowLayer()
{
    for (WindowRecord& record : Windows) {
        if (record.used && record.sdl)
            SDL_DestroyWindow(record.sdl);
        record = WindowRecord();
    }
    for (SDL_Window*& window : Retired) {
        if (window)
            SDL_DestroyWindow(window);
        window = nullptr;
    }
    FreeCursors();
    ResetMessageQueue();
    if (VideoStartedHere) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        VideoStartedHere = false;
    }
}

// ---- geometry ----

RECT FrameInsets(DWORD style)
{
    RECT insets = {0, 0, 0, 0};
    bool caption = (style & WS_CAPTION) == WS_CAPTION;
    if (!caption && !(style & WS_THICKFRAME) && !(style & WS_BORDER))
        return insets;
    LONG frameX = GetSystemMetrics(SM_CXFRAME);
    LONG frameY = GetSystemMetrics(SM_CYFRAME);
    insets.left = frameX;
    insets.right = frameX;
    insets.bottom = frameY;
    insets.top = frameY + (caption ? GetSystemMetrics(SM_CYCAPTION) : 0);
    return insets;
}

RECT ClientScreenRect(const WindowRecord* record)
{
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(record->sdl, &x, &y);
    SDL_GetWindowSize(record->sdl, &w, &h);
    return RECT{x, y, x + w, y + h};
}

RECT OuterRect(const WindowRecord* record)
{
    RECT client = ClientScreenRect(record);
    RECT insets = FrameInsets(record->style);
    return RECT{client.left - insets.left, client.top - insets.top, client.right + insets.right,
                client.bottom + insets.bottom};
}

bool IsMaximizedNow(const WindowRecord* record) { return record->state == ShowState::Maximized; }

static const uint32_t CausedResizeAnswerMs = 250;

void MarkCausedResize(WindowRecord* record)
{
    record->causedResize = true;
    record->causedResizeTick = SDL_GetTicks();
}

bool CausedResizeJustNow(const WindowRecord* record)
{
    return record->causedResize && SDL_GetTicks() - record->causedResizeTick < CausedResizeAnswerMs;
}

int SizeKindOf(const WindowRecord* record)
{
    switch (record->state) {
    case ShowState::Maximized: return SIZE_MAXIMIZED;
    case ShowState::Minimized: return SIZE_MINIMIZED;
    default: return SIZE_RESTORED;
    }
}

void RememberNormalRect(WindowRecord* record)
{
    if (record->state == ShowState::Normal)
        record->normalRect = OuterRect(record);
}

void ReportSize(WindowRecord* record, int kind, bool send)
{
    int w = 0, h = 0;
    if (kind != SIZE_MINIMIZED)
        SDL_GetWindowSize(record->sdl, &w, &h);
    if (w == record->reportedWidth && h == record->reportedHeight && kind == record->reportedKind)
        return;
    record->reportedWidth = w;
    record->reportedHeight = h;
    record->reportedKind = kind;
    record->paintPending = true;
    HWND hwnd = HandleOf(record);
    if (send)
        SendMessageA(hwnd, WM_SIZE, static_cast<WPARAM>(kind), MAKELPARAM(w, h));
    else
        PostMessageA(hwnd, WM_SIZE, static_cast<WPARAM>(kind), MAKELPARAM(w, h));
}

// Moves and sizes the SDL window so that its outer rectangle is the one given.
static void PlaceOuterRect(WindowRecord* record, const RECT& outer, bool move, bool size)
{
    RECT insets = FrameInsets(record->style);
    if (size) {
        int w = std::max<LONG>(1, outer.right - outer.left - insets.left - insets.right);
        int h = std::max<LONG>(1, outer.bottom - outer.top - insets.top - insets.bottom);
        SDL_SetWindowSize(record->sdl, w, h);
    }
    if (move)
        SDL_SetWindowPosition(record->sdl, outer.left + insets.left, outer.top + insets.top);
    MarkCausedResize(record);
}

static RECT MonitorWorkRect(HWND hwnd)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info))
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return info.rcWork;
}

// ---- show states ----

static void ShowSdl(WindowRecord* record)
{
    if (record->visible)
        return;
    SDL_ShowWindow(record->sdl);
    record->visible = true;
    record->paintPending = true;
}

// Without a window manager (headless) the layer itself moves the window into
// the monitor's work area; with one, SDL's events report the outcome.
static void Maximize(WindowRecord* record)
{
    if (record->state == ShowState::Maximized)
        return;
    RememberNormalRect(record);
    if (!IsHeadlessVideo()) {
        SDL_MaximizeWindow(record->sdl);
        return;
    }
    record->state = ShowState::Maximized;
    // As on Windows the side frames hang over the monitor's edges: the client
    // area is the work area less the caption.
    RECT work = MonitorWorkRect(HandleOf(record));
    RECT insets = FrameInsets(record->style);
    SDL_SetWindowPosition(record->sdl, work.left, work.top + insets.top - insets.bottom);
    SDL_SetWindowSize(record->sdl, std::max<LONG>(1, work.right - work.left),
                      std::max<LONG>(1, work.bottom - work.top - insets.top + insets.bottom));
    MarkCausedResize(record);
    SendMessageA(HandleOf(record), WM_NCCALCSIZE, TRUE, 0);
    ReportSize(record, SIZE_MAXIMIZED, true);
}

static void Minimize(WindowRecord* record)
{
    if (record->state == ShowState::Minimized)
        return;
    RememberNormalRect(record);
    if (!IsHeadlessVideo()) {
        SDL_MinimizeWindow(record->sdl);
        return;
    }
    record->state = ShowState::Minimized;
    ReportSize(record, SIZE_MINIMIZED, true);
}

static void Restore(WindowRecord* record)
{
    if (record->state == ShowState::Normal)
        return;
    bool fromMaximized = record->state == ShowState::Maximized;
    record->state = ShowState::Normal;
    if (!IsHeadlessVideo()) {
        SDL_RestoreWindow(record->sdl);
        return;
    }
    if (fromMaximized) {
        PlaceOuterRect(record, record->normalRect, true, true);
        SendMessageA(HandleOf(record), WM_NCCALCSIZE, TRUE, 0);
    }
    ReportSize(record, SIZE_RESTORED, true);
}

// ---- classes ----

static ClassRecord* FindClass(LPCSTR name)
{
    if (!name || IS_INTRESOURCE(name))
        return nullptr;
    for (ClassRecord& c : Classes) {
        if (c.used && strcasecmp(c.name, name) == 0)
            return &c;
    }
    return nullptr;
}

static ATOM AddClass(LPCSTR name, WNDPROC proc, HICON icon)
{
    if (!name || IS_INTRESOURCE(name) || !proc || std::strlen(name) >= sizeof(ClassRecord::name) || FindClass(name))
        return 0;
    for (int i = 0; i < MaxClasses; ++i) {
        if (!Classes[i].used) {
            Classes[i].used = true;
            std::strcpy(Classes[i].name, name);
            Classes[i].proc = proc;
            Classes[i].icon = icon;
            return static_cast<ATOM>(0xC000 + i);
        }
    }
    return 0;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass)
{
    if (!windowClass)
        return 0;
    return AddClass(windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->hIcon);
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA))
        return 0;
    return AddClass(windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->hIcon);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    ClassRecord* c = FindClass(className);
    if (!c)
        return FALSE;
    *c = ClassRecord();
    return TRUE;
}

// ---- windows ----

static WindowRecord* AllocateRecord()
{
    for (WindowRecord& record : Windows) {
        if (!record.used) {
            record = WindowRecord();
            record.used = true;
            record.generation = NextGeneration++ & 0xFFFFFF;
            if (record.generation == 0)
                record.generation = NextGeneration++;
            return &record;
        }
    }
    return nullptr;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID)
{
    ClassRecord* windowClass = FindClass(className);
    if (!windowClass || !EnsureSdlVideo())
        return nullptr;
    NoteGuiThread();
    WindowRecord* record = AllocateRecord();
    if (!record)
        return nullptr;
    RECT insets = FrameInsets(style);
    if (width == CW_USEDEFAULT || width <= 0)
        width = 640 + insets.left + insets.right;
    if (height == CW_USEDEFAULT || height <= 0)
        height = 480 + insets.top + insets.bottom;
    int clientW = std::max<LONG>(1, width - insets.left - insets.right);
    int clientH = std::max<LONG>(1, height - insets.top - insets.bottom);
    int clientX = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : x + static_cast<int>(insets.left);
    int clientY = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : y + static_cast<int>(insets.top);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (style & (WS_THICKFRAME | WS_POPUP))
        flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_CAPTION) != WS_CAPTION)
        flags |= SDL_WINDOW_BORDERLESS;
    if (exStyle & WS_EX_TOPMOST)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    char utf8[1024];
    Cp1252ToUtf8(title ? title : "", utf8, sizeof(utf8));
    record->sdl = SDL_CreateWindow(utf8, clientX, clientY, clientW, clientH, flags);
    if (!record->sdl) {
        *record = WindowRecord();
        return nullptr;
    }
    record->sdlId = SDL_GetWindowID(record->sdl);
    record->proc = windowClass->proc;
    record->icon = windowClass->icon;
    record->style = style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    record->exStyle = exStyle;
    std::snprintf(record->title, sizeof(record->title), "%s", title ? title : "");
    record->normalRect = OuterRect(record);
    ApplyClassIcon(record);
    ApplyHitTest(record);

    HWND hwnd = HandleOf(record);
    SendMessageA(hwnd, WM_NCCREATE, 0, 0);
    SendMessageA(hwnd, WM_NCCALCSIZE, FALSE, 0);
    if (SendMessageA(hwnd, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FindWindowRecord(hwnd))
        return nullptr;
    ReportSize(record, SIZE_RESTORED, true);
    if (style & WS_MAXIMIZE)
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return FindWindowRecord(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    // The procedure may have destroyed the window itself meanwhile.
    if (FindWindowRecord(hwnd) == record) {
        Retire(record->sdl);
        *record = WindowRecord();
    }
    DropMessagesFor(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return FindWindowRecord(hwnd) ? TRUE : FALSE; }

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        if (record)
            record->paintPending = false;
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0u) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 asks to close, as the system's own handling does.
        if (wParam == VK_F4 && (lParam & (1 << 29)))
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    default:
        return 0;
    }
}

// ---- geometry calls ----

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !rect)
        return FALSE;
    int w = 0, h = 0;
    SDL_GetWindowSize(record->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !rect)
        return FALSE;
    *rect = OuterRect(record);
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !point)
        return FALSE;
    RECT client = ClientScreenRect(record);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !point)
        return FALSE;
    RECT client = ClientScreenRect(record);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

static void SetTopmost(WindowRecord* record, bool topmost)
{
    SDL_SetWindowAlwaysOnTop(record->sdl, topmost ? SDL_TRUE : SDL_FALSE);
    record->exStyle = topmost ? (record->exStyle | WS_EX_TOPMOST) : (record->exStyle & ~WS_EX_TOPMOST);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST)
            SetTopmost(record, true);
        else if (insertAfter == HWND_NOTOPMOST)
            SetTopmost(record, false);
        else
            SDL_RaiseWindow(record->sdl);
    }
    bool move = !(flags & SWP_NOMOVE);
    bool size = !(flags & SWP_NOSIZE);
    RECT before = ClientScreenRect(record);
    if (move || size) {
        // A window moved or sized by the program leaves its maximised or
        // minimised state, so the new rectangle is what the user sees.
        if (record->state != ShowState::Normal) {
            record->state = ShowState::Normal;
            if (!IsHeadlessVideo())
                SDL_RestoreWindow(record->sdl);
        }
        RECT outer = OuterRect(record);
        RECT target = {move ? x : outer.left, move ? y : outer.top, (move ? x : outer.left) + (size ? width : outer.right - outer.left),
                       (move ? y : outer.top) + (size ? height : outer.bottom - outer.top)};
        PlaceOuterRect(record, target, move, size);
        RememberNormalRect(record);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowSdl(record);
    if ((flags & SWP_HIDEWINDOW) && record->visible) {
        SDL_HideWindow(record->sdl);
        record->visible = false;
    }
    RECT after = ClientScreenRect(record);
    bool resized = (after.right - after.left) != (before.right - before.left) ||
                   (after.bottom - after.top) != (before.bottom - before.top);
    if ((flags & SWP_FRAMECHANGED) || resized)
        SendMessageA(hwnd, WM_NCCALCSIZE, TRUE, 0);
    if (!FindWindowRecord(hwnd))
        return TRUE;
    ReportSize(record, SizeKindOf(record), true);
    if (!(flags & SWP_NOREDRAW) && (resized || (flags & SWP_FRAMECHANGED)))
        record->paintPending = true;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND hwnd, int command)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    BOOL wasVisible = record->visible ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        if (record->visible) {
            SDL_HideWindow(record->sdl);
            record->visible = false;
        }
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
        ShowSdl(record);
        Minimize(record);
        break;
    case SW_MAXIMIZE:
        ShowSdl(record);
        Maximize(record);
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        ShowSdl(record);
        Restore(record);
        break;
    default:
        ShowSdl(record);
        break;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    if (record->paintPending) {
        record->paintPending = false;
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL)
{
    if (!hwnd) {
        for (WindowRecord& record : Windows)
            record.paintPending = record.used;
        return TRUE;
    }
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    record->paintPending = true;
    return TRUE;
}

BOOL IsZoomed(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    return record && record->state == ShowState::Maximized ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    return record && record->state == ShowState::Minimized ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    return record && record->visible ? TRUE : FALSE;
}

// ---- styles and the hit test ----

int HitTestToSdl(LRESULT hit)
{
    switch (hit) {
    case HTCAPTION: return SDL_HITTEST_DRAGGABLE;
    case HTLEFT: return SDL_HITTEST_RESIZE_LEFT;
    case HTRIGHT: return SDL_HITTEST_RESIZE_RIGHT;
    case HTTOP: return SDL_HITTEST_RESIZE_TOP;
    case HTTOPLEFT: return SDL_HITTEST_RESIZE_TOPLEFT;
    case HTTOPRIGHT: return SDL_HITTEST_RESIZE_TOPRIGHT;
    case HTBOTTOM: return SDL_HITTEST_RESIZE_BOTTOM;
    case HTBOTTOMLEFT: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
    case HTBOTTOMRIGHT: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    default: return SDL_HITTEST_NORMAL;
    }
}

// SDL asks with a client point; the window procedure answers WM_NCHITTEST for
// the same point in screen coordinates.
static SDL_HitTestResult SDLCALL HitTestCallback(SDL_Window*, const SDL_Point* area, void* data)
{
    HWND hwnd = reinterpret_cast<HWND>(data);
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !area)
        return SDL_HITTEST_NORMAL;
    RECT client = ClientScreenRect(record);
    LRESULT hit = SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(client.left + area->x, client.top + area->y));
    return static_cast<SDL_HitTestResult>(HitTestToSdl(hit));
}

void ApplyHitTest(WindowRecord* record)
{
    bool framed = (record->style & WS_CAPTION) == WS_CAPTION;
    if (framed)
        SDL_SetWindowHitTest(record->sdl, nullptr, nullptr);
    else
        SDL_SetWindowHitTest(record->sdl, HitTestCallback, reinterpret_cast<void*>(HandleOf(record)));
}

LONG GetWindowLongA(HWND hwnd, int index)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return 0;
    if (index == GWL_EXSTYLE)
        return static_cast<LONG>(record->exStyle);
    if (index != GWL_STYLE)
        return 0;
    DWORD style = record->style | (record->visible ? WS_VISIBLE : 0u);
    if (record->state == ShowState::Maximized)
        style |= WS_MAXIMIZE;
    if (record->state == ShowState::Minimized)
        style |= WS_MINIMIZE;
    return static_cast<LONG>(style);
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return 0;
    LONG old = GetWindowLongA(hwnd, index);
    if (index == GWL_EXSTYLE) {
        record->exStyle = static_cast<DWORD>(value);
        return old;
    }
    if (index != GWL_STYLE)
        return 0;
    DWORD style = static_cast<DWORD>(value);
    record->style = style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    bool framed = (style & WS_CAPTION) == WS_CAPTION;
    SDL_SetWindowBordered(record->sdl, framed ? SDL_TRUE : SDL_FALSE);
    // A borderless window sizes through the hit test, which needs a resizable window.
    SDL_SetWindowResizable(record->sdl, (style & (WS_THICKFRAME | WS_POPUP)) ? SDL_TRUE : SDL_FALSE);
    ApplyHitTest(record);
    return old;
}

// ---- placement ----

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !placement)
        return FALSE;
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = 0;
    placement->showCmd = record->state == ShowState::Maximized   ? SW_SHOWMAXIMIZED
                         : record->state == ShowState::Minimized ? SW_SHOWMINIMIZED
                                                                  : SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    placement->rcNormalPosition = record->state == ShowState::Normal ? OuterRect(record) : record->normalRect;
    return TRUE;
}

// A rectangle that no monitor shows any part of is moved onto the primary one.
static RECT KeepOnScreen(RECT r)
{
    for (int i = 0;; ++i) {
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        if (!GetMonitorInfoA(reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(i + 1)), &info))
            break;
        const RECT& m = info.rcWork;
        if (r.left < m.right && r.right > m.left && r.top < m.bottom && r.bottom > m.top)
            return r;
    }
    LONG w = r.right - r.left, h = r.bottom - r.top;
    return RECT{0, 0, w, h};
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !placement || placement->length != sizeof(WINDOWPLACEMENT))
        return FALSE;
    RECT r = placement->rcNormalPosition;
    if (r.right <= r.left || r.bottom <= r.top)
        return FALSE;
    r = KeepOnScreen(r);
    UINT show = placement->showCmd;
    if (show == SW_SHOWMAXIMIZED && record->state == ShowState::Maximized) {
        record->normalRect = r;
        return TRUE;
    }
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!FindWindowRecord(hwnd))
        return FALSE;
    record->normalRect = r;
    if (show == SW_HIDE)
        ShowWindow(hwnd, SW_HIDE);
    else if (show == SW_SHOWMAXIMIZED)
        ShowWindow(hwnd, SW_MAXIMIZE);
    else if (show == SW_SHOWMINIMIZED || show == SW_MINIMIZE || show == 7 /* minimised, not active */)
        ShowWindow(hwnd, SW_MINIMIZE);
    else
        ShowWindow(hwnd, SW_SHOW);
    return TRUE;
}

// ---- titles, focus, menus ----

BOOL SetWindowTextA(HWND hwnd, LPCSTR text)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    std::snprintf(record->title, sizeof(record->title), "%s", text ? text : "");
    char utf8[1024];
    Cp1252ToUtf8(record->title, utf8, sizeof(utf8));
    SDL_SetWindowTitle(record->sdl, utf8);
    return TRUE;
}

int GetWindowTextA(HWND hwnd, LPSTR out, int size)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!out || size <= 0)
        return 0;
    out[0] = '\0';
    if (!record)
        return 0;
    std::snprintf(out, static_cast<size_t>(size), "%s", record->title);
    return static_cast<int>(std::strlen(out));
}

BOOL SetForegroundWindow(HWND hwnd)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record)
        return FALSE;
    SDL_RaiseWindow(record->sdl);
    return TRUE;
}

HWND GetForegroundWindow()
{
    for (WindowRecord& record : Windows) {
        if (record.used && record.active)
            return HandleOf(&record);
    }
    return nullptr;
}

HWND FindWindowA(LPCSTR, LPCSTR) { return nullptr; }

HMENU GetSystemMenu(HWND hwnd, BOOL)
{
    WindowRecord* record = FindWindowRecord(hwnd);
    return record ? reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x5000 + (record - Windows))) : nullptr;
}

BOOL AppendMenuA(HMENU menu, UINT, UINT_PTR, LPCSTR) { return menu ? TRUE : FALSE; }

HANDLE GetStockObject(int object)
{
    if (object < 0 || object > 19)
        return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x6000 + object));
}
