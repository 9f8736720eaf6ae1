// Shared state of the window layer's files (window.cpp, messages.cpp,
// monitors.cpp, cursors.cpp): the window records. GUI thread only.
#pragma once

#include "platform/window.h"

#include <cstdint>

enum class ShowState { Normal, Minimized, Maximized };

struct WindowRecord {
    bool used = false;
    uint32_t generation = 0;
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HICON icon = nullptr;
    char title[256] = {};
    ShowState state = ShowState::Normal;
    bool visible = false;
    bool active = false;
    bool paintPending = false;
    // Outer rectangle of the window in the normal state (the placement's).
    RECT normalRect = {};
    // What the window procedure was last told in WM_SIZE.
    int reportedWidth = -1;
    int reportedHeight = -1;
    int reportedKind = -1;
    // Size events soon after a resize that we asked for (or after a maximise
    // or restore) are the window manager's answer, not the user dragging.
    bool causedResize = false;
    uint32_t causedResizeTick = 0;
    bool inSizeMove = false;
    uint32_t lastResizeTick = 0;
};

// A live window of ours, or null for anything else (stale handles included).
WindowRecord* FindWindowRecord(HWND hwnd);
WindowRecord* FindWindowRecordBySdlId(uint32_t sdlId);
// The first live window, for synthetic events that name no window.
WindowRecord* FirstWindowRecord();
HWND HandleOf(const WindowRecord* record);
// Every record slot (live or not), for the event pump's timers.
int WindowRecordCount();
WindowRecord* WindowRecordAt(int index);

// The frame around the client area for a style: left, top, right, bottom.
RECT FrameInsets(DWORD style);
// Client rectangle in screen coordinates.
RECT ClientScreenRect(const WindowRecord* record);
RECT OuterRect(const WindowRecord* record);
bool IsMaximizedNow(const WindowRecord* record);
// The WM_SIZE kind of the window's show state.
int SizeKindOf(const WindowRecord* record);
// Sends (or posts) WM_SIZE with the current client size when it or the kind
// differs from what the window procedure was last told.
void ReportSize(WindowRecord* record, int kind, bool send);
// Keeps the normal rectangle while the window is in the normal state.
void RememberNormalRect(WindowRecord* record);
void ApplyHitTest(WindowRecord* record);
void MarkCausedResize(WindowRecord* record);
bool CausedResizeJustNow(const WindowRecord* record);
// The SDL hit-test result of a WM_NCHITTEST answer.
int HitTestToSdl(LRESULT hit);
// Monitors side by side from x = 0 out of "1920x1080,1280x1024"; returns
// the count (0 for a malformed text).
int ParseMonitorList(const char* text, RECT* out, int max);

// The event pump (messages.cpp).
void TranslateSdlEvent(const void* sdlEvent);
void DropMessagesFor(HWND hwnd);
// The calling thread owns the windows from now on.
void NoteGuiThread();
void ResetMessageQueue();
// Cursors (cursors.cpp).
void FreeCursors();
void ApplyClassIcon(WindowRecord* record);
