// The message queue and the event pump: SDL events become window messages
// (keys with virtual-key codes, mouse and wheel in client coordinates, size,
// activation, close), and a user's resize becomes WM_ENTERSIZEMOVE ... and,
// once its size events have stopped for 300 ms, WM_EXITSIZEMOVE.
#include "platform/window_internal.h"

#include "platform/codepage.h"
#include "platform/event_script.h"
#include "platform/keymap.h"

#include <SDL2/SDL.h>
#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

static const uint32_t SizeMoveQuietMs = 300;

// Posted from any thread, taken by the GUI thread.
static std::mutex QueueLock;
static std::deque<MSG> Queue;
// PostQuitMessage may be called from any thread; PeekMessageA reads it.
static std::atomic<bool> QuitPosted{false};
static std::atomic<int> QuitCode{0};
// Key and button states. AsyncKeys follow the events as the pump reads them;
// KeyStates follow the messages as the program takes them out of the queue,
// so that GetKeyState during a key message tells the state at that message.
// Both are written on the GUI thread; GetAsyncKeyState may read from any.
static std::atomic<uint8_t> AsyncKeys[256];
static std::atomic<uint8_t> KeyStates[256];
// lParam bit of our key messages that marks the right-hand modifier key.
static const uint32_t RightSideBit = 1u << 24;
// The thread that pumps; SendMessageA from another thread posts instead.
static std::atomic<std::thread::id> GuiThread{};

void NoteGuiThread() { GuiThread = std::this_thread::get_id(); }

static bool OnGuiThread()
{
    std::thread::id gui = GuiThread.load();
    return gui == std::thread::id() || gui == std::this_thread::get_id();
}

static void PushMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg = {hwnd, message, wParam, lParam, SDL_WasInit(SDL_INIT_TIMER | SDL_INIT_VIDEO) ? SDL_GetTicks() : 0, {0, 0}};
    std::lock_guard<std::mutex> lock(QueueLock);
    Queue.push_back(msg);
}

void DropMessagesFor(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    for (auto it = Queue.begin(); it != Queue.end();)
        it = it->hwnd == hwnd ? Queue.erase(it) : it + 1;
}

void ResetMessageQueue()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    Queue.clear();
    QuitPosted = false;
    QuitCode = 0;
    for (auto& key : KeyStates)
        key = 0;
    for (auto& key : AsyncKeys)
        key = 0;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Other threads cannot look at the window table; their messages are
    // checked when they are dispatched.
    if (hwnd && OnGuiThread() && !FindWindowRecord(hwnd))
        return FALSE;
    PushMessage(hwnd, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!OnGuiThread()) {
        PushMessage(hwnd, message, wParam, lParam);
        return 0;
    }
    WindowRecord* record = FindWindowRecord(hwnd);
    if (!record || !record->proc)
        return 0;
    return record->proc(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode)
{
    QuitCode = exitCode;
    QuitPosted = true;
}

BOOL TranslateMessage(const MSG* msg)
{
    // Characters come from SDL's text input (WM_CHAR), so nothing is made here.
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    WindowRecord* record = FindWindowRecord(msg->hwnd);
    if (!record || !record->proc)
        return 0;
    return record->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// ---- keys ----

static bool KeyDown(int vk) { return (KeyStates[vk & 0xFF].load() & 0x80) != 0; }
static bool AsyncKeyDown(int vk) { return (AsyncKeys[vk & 0xFF].load() & 0x80) != 0; }

static void SetKey(std::atomic<uint8_t>* table, int vk, bool down)
{
    if (vk > 0 && vk < 256)
        table[vk] = down ? 0x80 : 0;
}

static int SidedKey(int vk, bool right)
{
    switch (vk) {
    case VK_SHIFT: return right ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL: return right ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU: return right ? VK_RMENU : VK_LMENU;
    default: return 0;
    }
}

// The key state as the program sees it moves on with each message taken.
static void ApplyToKeyStates(const MSG& msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        int vk = static_cast<int>(msg.wParam & 0xFF);
        SetKey(KeyStates, vk, down);
        SetKey(KeyStates, SidedKey(vk, (static_cast<uint32_t>(msg.lParam) & RightSideBit) != 0), down);
        break;
    }
    case WM_LBUTTONDOWN: SetKey(KeyStates, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: SetKey(KeyStates, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: SetKey(KeyStates, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: SetKey(KeyStates, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: SetKey(KeyStates, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: SetKey(KeyStates, VK_MBUTTON, false); break;
    default: break;
    }
}

BOOL GetKeyboardState(BYTE* state256)
{
    if (!state256)
        return FALSE;
    for (int i = 0; i < 256; ++i)
        state256[i] = KeyStates[i];
    return TRUE;
}

SHORT GetKeyState(int virtualKey) { return KeyDown(virtualKey) ? static_cast<SHORT>(0x8000) : 0; }

SHORT GetAsyncKeyState(int virtualKey) { return AsyncKeyDown(virtualKey) ? static_cast<SHORT>(0x8000) : 0; }

static WPARAM MouseKeyFlags()
{
    WPARAM flags = 0;
    if (AsyncKeyDown(VK_LBUTTON))
        flags |= MK_LBUTTON;
    if (AsyncKeyDown(VK_RBUTTON))
        flags |= MK_RBUTTON;
    if (AsyncKeyDown(VK_MBUTTON))
        flags |= MK_MBUTTON;
    if (AsyncKeyDown(VK_SHIFT))
        flags |= MK_SHIFT;
    if (AsyncKeyDown(VK_CONTROL))
        flags |= MK_CONTROL;
    return flags;
}

// Synthetic events may name no window: they go to the first one.
static WindowRecord* EventWindow(uint32_t windowId)
{
    WindowRecord* record = FindWindowRecordBySdlId(windowId);
    return record ? record : FirstWindowRecord();
}

static void TranslateKey(const SDL_KeyboardEvent& e)
{
    WindowRecord* record = EventWindow(e.windowID);
    int vk = SdlKeyToVirtualKey(e.keysym.sym);
    if (!record || !vk)
        return;
    bool down = e.type == SDL_KEYDOWN;
    bool wasDown = AsyncKeyDown(vk) || e.repeat;
    int sided = SdlKeyToSidedVirtualKey(e.keysym.sym);
    SetKey(AsyncKeys, vk, down);
    SetKey(AsyncKeys, sided, down);
    bool alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    UINT message = alt || vk == VK_F10 ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    uint32_t flags = 1u | ((static_cast<uint32_t>(e.keysym.scancode) & 0xFFu) << 16);
    if (alt)
        flags |= 1u << 29;
    if (wasDown)
        flags |= 1u << 30;
    if (!down)
        flags |= 1u << 31;
    if (sided == VK_RSHIFT || sided == VK_RCONTROL || sided == VK_RMENU)
        flags |= RightSideBit;
    PostMessageA(HandleOf(record), message, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<int32_t>(flags)));
}

static void TranslateText(const SDL_TextInputEvent& e)
{
    WindowRecord* record = EventWindow(e.windowID);
    if (!record)
        return;
    uint32_t cp = 0;
    for (const char* p = e.text; size_t len = DecodeUtf8(p, &cp); p += len) {
        int byte = CodePointToCp1252(cp);
        if (byte > 0)
            PostMessageA(HandleOf(record), WM_CHAR, static_cast<WPARAM>(byte), 1);
    }
}

// ---- mouse ----

static void TranslateButton(const SDL_MouseButtonEvent& e)
{
    WindowRecord* record = EventWindow(e.windowID);
    if (!record)
        return;
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    UINT message;
    switch (e.button) {
    case SDL_BUTTON_LEFT:
        SetKey(AsyncKeys, VK_LBUTTON, down);
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        SetKey(AsyncKeys, VK_RBUTTON, down);
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        SetKey(AsyncKeys, VK_MBUTTON, down);
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    default:
        return;
    }
    PostMessageA(HandleOf(record), message, MouseKeyFlags(), MAKELPARAM(e.x, e.y));
}

static void TranslateWheel(const SDL_MouseWheelEvent& e)
{
    WindowRecord* record = EventWindow(e.windowID);
    int steps = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y;
    if (!record || steps == 0)
        return;
    int delta = std::max(-32768, std::min(32767, steps * WHEEL_DELTA));
    PostMessageA(HandleOf(record), WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyFlags(), delta), MAKELPARAM(e.mouseX, e.mouseY));
}

// ---- size and placement ----

// A state change whose event is still queued behind the size event at hand:
// window managers report the new size and the new state in either order.
static bool StateEventPending(const WindowRecord* record, Uint8 event)
{
    SDL_Event pending[32];
    int n = SDL_PeepEvents(pending, 32, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    for (int i = 0; i < n; ++i) {
        if (pending[i].window.windowID == record->sdlId && pending[i].window.event == event)
            return true;
    }
    return false;
}

static void BeginSizeMove(WindowRecord* record)
{
    record->lastResizeTick = SDL_GetTicks();
    if (record->inSizeMove)
        return;
    record->inSizeMove = true;
    PostMessageA(HandleOf(record), WM_ENTERSIZEMOVE, 0, 0);
}

static void OnSizeEvent(WindowRecord* record)
{
    if (record->state == ShowState::Minimized)
        return;
    if (record->state == ShowState::Maximized && StateEventPending(record, SDL_WINDOWEVENT_RESTORED))
        return;
    if (record->state == ShowState::Maximized || StateEventPending(record, SDL_WINDOWEVENT_MAXIMIZED)) {
        record->state = ShowState::Maximized;
        ReportSize(record, SIZE_MAXIMIZED, false);
        return;
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(record->sdl, &w, &h);
    bool changed = w != record->reportedWidth || h != record->reportedHeight;
    RememberNormalRect(record);
    if (record->inSizeMove) {
        record->lastResizeTick = SDL_GetTicks();
    } else if (!changed) {
        return;
    } else if (!CausedResizeJustNow(record)) {
        BeginSizeMove(record);
    }
    ReportSize(record, SIZE_RESTORED, false);
}

static void OnMoveEvent(WindowRecord* record, int x, int y)
{
    if (record->state != ShowState::Normal || StateEventPending(record, SDL_WINDOWEVENT_MAXIMIZED))
        return;
    RECT before = record->normalRect;
    RememberNormalRect(record);
    bool moved = before.left != record->normalRect.left || before.top != record->normalRect.top;
    if (moved && (record->inSizeMove || !CausedResizeJustNow(record)))
        BeginSizeMove(record);
    PostMessageA(HandleOf(record), WM_MOVE, 0, MAKELPARAM(x, y));
}

static void TranslateWindowEvent(const SDL_WindowEvent& e)
{
    WindowRecord* record = FindWindowRecordBySdlId(e.windowID);
    if (!record)
        return;
    HWND hwnd = HandleOf(record);
    switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
        record->visible = true;
        record->paintPending = true;
        break;
    case SDL_WINDOWEVENT_HIDDEN:
        record->visible = false;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        record->paintPending = true;
        break;
    case SDL_WINDOWEVENT_MOVED:
        OnMoveEvent(record, e.data1, e.data2);
        break;
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        OnSizeEvent(record);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        record->state = ShowState::Minimized;
        ReportSize(record, SIZE_MINIMIZED, false);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        record->state = ShowState::Maximized;
        MarkCausedResize(record);
        ReportSize(record, SIZE_MAXIMIZED, false);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        if (record->state != ShowState::Normal) {
            record->state = ShowState::Normal;
            MarkCausedResize(record);
            ReportSize(record, SIZE_RESTORED, false);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        record->active = true;
        PostMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        record->active = false;
        PostMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        // The close box is the system command, as on Windows.
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    default:
        break;
    }
}

void TranslateSdlEvent(const void* sdlEvent)
{
    const SDL_Event& e = *static_cast<const SDL_Event*>(sdlEvent);
    switch (e.type) {
    case SDL_QUIT:
        // SIGINT or SIGTERM: end like the program's own quit.
        PostQuitMessage(0);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(e.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(e.key);
        break;
    case SDL_TEXTINPUT:
        TranslateText(e.text);
        break;
    case SDL_MOUSEMOTION: {
        WindowRecord* record = EventWindow(e.motion.windowID);
        if (record)
            PostMessageA(HandleOf(record), WM_MOUSEMOVE, MouseKeyFlags(), MAKELPARAM(e.motion.x, e.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateButton(e.button);
        break;
    case SDL_MOUSEWHEEL:
        TranslateWheel(e.wheel);
        break;
    default:
        break;
    }
}

// ---- the pump ----

static void PumpSdlEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        TranslateSdlEvent(&e);
}

static void EndQuietSizeMoves()
{
    uint32_t now = SDL_GetTicks();
    for (int i = 0; i < WindowRecordCount(); ++i) {
        WindowRecord* record = WindowRecordAt(i);
        if (record->used && record->inSizeMove && now - record->lastResizeTick >= SizeMoveQuietMs) {
            record->inSizeMove = false;
            SendMessageA(HandleOf(record), WM_EXITSIZEMOVE, 0, 0);
        }
    }
}

static bool Matches(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (hwnd && msg.hwnd != hwnd)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

static bool TakeQueued(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    for (auto it = Queue.begin(); it != Queue.end(); ++it) {
        if (Matches(*it, hwnd, filterMin, filterMax)) {
            *msg = *it;
            if (remove) {
                Queue.erase(it);
                ApplyToKeyStates(*msg);
            }
            return true;
        }
    }
    return false;
}

static bool TakePaint(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    for (int i = 0; i < WindowRecordCount(); ++i) {
        WindowRecord* record = WindowRecordAt(i);
        if (!record->used || !record->paintPending || !record->visible)
            continue;
        MSG paint = {HandleOf(record), WM_PAINT, 0, 0, SDL_GetTicks(), {0, 0}};
        if (!Matches(paint, hwnd, filterMin, filterMax))
            continue;
        // Taken once; the window is painted again when something invalidates it.
        record->paintPending = false;
        *msg = paint;
        return true;
    }
    return false;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    NoteGuiThread();
    bool remove = (removeFlags & PM_REMOVE) != 0;
    for (int round = 0; round < 2; ++round) {
        PumpSdlEvents();
        EndQuietSizeMoves();
        if (TakeQueued(msg, hwnd, filterMin, filterMax, remove))
            return TRUE;
        if (QuitPosted && (!hwnd) && Matches(MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}}, nullptr, filterMin, filterMax)) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(QuitCode.load()), 0, 0, {0, 0}};
            if (remove)
                QuitPosted = false;
            return TRUE;
        }
        if (TakePaint(msg, hwnd, filterMin, filterMax))
            return TRUE;
        // Nothing waits: a test script may feed its next events now.
        if (!StepEventScript())
            break;
    }
    return FALSE;
}
