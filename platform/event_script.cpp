// The event script test hook. Lines (blank and '#' lines skipped):
//   wait N          let N idle passes go by
//   sleep MS        let idle passes go by for MS milliseconds (never blocks)
//   key KEYS        press and release; KEYS is [ctrl+][shift+][alt+]NAME
//   keydown KEYS / keyup KEYS
//   move X Y / down X Y [right] / up X Y [right] / click X Y [right]
//   wheel X Y STEPS (positive turns away from the user)
//   resize W H      the user drags the window to W x H client pixels
//   maximize / minimize / restore / close / quit
//   post MESSAGE WPARAM LPARAM   (numbers; 0x allowed) to the first window
//   shot PATH       a PNG of the next presented frame; the script waits for it
//   await PATH TEXT let idle passes go by until the file PATH holds TEXT (a
//                   test peer's or the program's own line), at most a minute
#include "platform/event_script.h"

#include "platform/keymap.h"
#include "platform/window_internal.h"

#include <SDL2/SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

static bool Loaded = false;
static std::vector<std::string> Lines;
static size_t NextLine = 0;
static long WaitPasses = 0;
static bool Sleeping = false;
static uint32_t SleepUntil = 0;
static uint32_t ButtonsHeld = 0;
static std::string ShotPath;

// An "await" line: the file and the text it waits for, the size it was last
// read at, and when it gives up.
struct AwaitState {
    std::string path, text;
    long long readSize = -1;
    uint32_t giveUpAt = 0;
    bool active = false;
};
static AwaitState Await;
// Long enough for any peer on a loaded machine; short enough that a test
// whose event never comes still ends on its own.
static const uint32_t AwaitLimitMs = 60000;

static void LoadFromText(const char* text)
{
    Lines.clear();
    NextLine = 0;
    WaitPasses = 0;
    Sleeping = false;
    ButtonsHeld = 0;
    ShotPath.clear();
    Await = AwaitState{};
    for (const char* p = text; p && *p;) {
        const char* end = std::strchr(p, '\n');
        std::string line(p, end ? static_cast<size_t>(end - p) : std::strlen(p));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line[start] != '#')
            Lines.push_back(line.substr(start));
        p = end ? end + 1 : nullptr;
    }
}

static void LoadFromEnvironment()
{
    Loaded = true;
    const char* path = std::getenv("TVL_EVENT_SCRIPT");
    if (!path || !*path)
        return;
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "TVL_EVENT_SCRIPT: cannot open %s\n", path);
        return;
    }
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0;)
        text.append(buffer, n);
    std::fclose(f);
    LoadFromText(text.c_str());
}

void SetEventScript(const char* text)
{
    Loaded = true;
    LoadFromText(text);
}

bool EventScriptRunning()
{
    if (!Loaded)
        LoadFromEnvironment();
    return NextLine < Lines.size() || WaitPasses > 0 || Sleeping || Await.active;
}

// The file is read again only when its size changed since the last look.
static bool FileHoldsText(AwaitState* a)
{
    struct stat st {};
    if (stat(a->path.c_str(), &st) != 0 || st.st_size == a->readSize)
        return false;
    a->readSize = st.st_size;
    FILE* f = std::fopen(a->path.c_str(), "rb");
    if (!f)
        return false;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0;)
        text.append(buffer, n);
    std::fclose(f);
    return text.find(a->text) != std::string::npos;
}

// True while the awaited text has not come and the wait has not run out.
static bool StillAwaiting()
{
    if (!Await.active)
        return false;
    if (FileHoldsText(&Await)) {
        Await.active = false;
        return false;
    }
    if (static_cast<int32_t>(SDL_GetTicks() - Await.giveUpAt) >= 0) {
        std::fprintf(stderr, "TVL_EVENT_SCRIPT: gave up waiting for \"%s\" in %s\n", Await.text.c_str(),
                     Await.path.c_str());
        Await.active = false;
        return false;
    }
    return true;
}

// "await PATH TEXT": the text is the rest of the line, blanks included.
static bool StartAwait(const std::string& line)
{
    size_t pathStart = line.find_first_not_of(" \t", line.find_first_of(" \t"));
    if (pathStart == std::string::npos)
        return false;
    size_t pathEnd = line.find_first_of(" \t", pathStart);
    if (pathEnd == std::string::npos)
        return false;
    size_t textStart = line.find_first_not_of(" \t", pathEnd);
    if (textStart == std::string::npos)
        return false;
    Await = AwaitState{};
    Await.path = line.substr(pathStart, pathEnd - pathStart);
    Await.text = line.substr(textStart);
    Await.giveUpAt = SDL_GetTicks() + AwaitLimitMs;
    Await.active = true;
    return true;
}

static uint32_t WindowId()
{
    WindowRecord* record = FirstWindowRecord();
    return record ? record->sdlId : 0;
}

static void PushKey(int virtualKey, bool down, uint16_t mod)
{
    SDL_Event e = {};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = WindowId();
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = VirtualKeyToSdlKey(virtualKey);
    e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

// "ctrl+shift+F1": the modifiers go down first and up last.
static bool PushKeyCombo(const char* keys, bool press, bool release)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%s", keys);
    int mods[3];
    int modCount = 0;
    uint16_t mod = 0;
    char* name = text;
    for (char* plus; (plus = std::strchr(name, '+')) != nullptr && plus[1] != '\0' && modCount < 3;) {
        *plus = '\0';
        int vk = VirtualKeyFromName(name);
        if (vk != VK_CONTROL && vk != VK_SHIFT && vk != VK_MENU)
            return false;
        mods[modCount++] = vk;
        mod |= vk == VK_CONTROL ? KMOD_LCTRL : vk == VK_SHIFT ? KMOD_LSHIFT : KMOD_LALT;
        name = plus + 1;
    }
    int vk = VirtualKeyFromName(name);
    if (!vk || !VirtualKeyToSdlKey(vk))
        return false;
    if (press) {
        for (int i = 0; i < modCount; ++i)
            PushKey(mods[i], true, 0);
        PushKey(vk, true, mod);
    }
    if (release) {
        PushKey(vk, false, mod);
        for (int i = modCount - 1; i >= 0; --i)
            PushKey(mods[i], false, 0);
    }
    return true;
}

static void PushMotion(int x, int y)
{
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = WindowId();
    e.motion.state = ButtonsHeld;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

static void PushButton(int x, int y, bool right, bool down)
{
    SDL_Event e = {};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = WindowId();
    e.button.button = right ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    uint32_t mask = right ? SDL_BUTTON_RMASK : SDL_BUTTON_LMASK;
    ButtonsHeld = down ? (ButtonsHeld | mask) : (ButtonsHeld & ~mask);
    SDL_PushEvent(&e);
}

static void PushWheel(int x, int y, int steps)
{
    SDL_Event e = {};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = WindowId();
    e.wheel.y = steps;
    e.wheel.preciseY = static_cast<float>(steps);
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    e.wheel.mouseX = x;
    e.wheel.mouseY = y;
    SDL_PushEvent(&e);
}

static void PushWindowEvent(Uint8 event, int data1 = 0, int data2 = 0)
{
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = WindowId();
    e.window.event = event;
    e.window.data1 = data1;
    e.window.data2 = data2;
    SDL_PushEvent(&e);
}

// What a window manager reports when the user drags the window's edge: the
// new size (SDL's own size event) and then the resize event.
static bool UserResize(int w, int h)
{
    WindowRecord* record = FirstWindowRecord();
    if (!record || w <= 0 || h <= 0)
        return false;
    record->causedResize = false;
    SDL_SetWindowSize(record->sdl, w, h);
    PushWindowEvent(SDL_WINDOWEVENT_RESIZED, w, h);
    return true;
}

static bool UserMaximize()
{
    WindowRecord* record = FirstWindowRecord();
    if (!record)
        return false;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoA(MonitorFromWindow(HandleOf(record), MONITOR_DEFAULTTONEAREST), &info);
    RECT insets = FrameInsets(record->style);
    LONG caption = insets.top - insets.bottom;
    SDL_SetWindowPosition(record->sdl, info.rcWork.left, info.rcWork.top + caption);
    SDL_SetWindowSize(record->sdl, info.rcWork.right - info.rcWork.left, info.rcWork.bottom - info.rcWork.top - caption);
    PushWindowEvent(SDL_WINDOWEVENT_MAXIMIZED);
    return true;
}

static bool UserRestore()
{
    WindowRecord* record = FirstWindowRecord();
    if (!record)
        return false;
    if (record->state == ShowState::Maximized) {
        RECT insets = FrameInsets(record->style);
        const RECT& r = record->normalRect;
        SDL_SetWindowPosition(record->sdl, r.left + insets.left, r.top + insets.top);
        SDL_SetWindowSize(record->sdl, r.right - r.left - insets.left - insets.right,
                          r.bottom - r.top - insets.top - insets.bottom);
    }
    PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    return true;
}

static long Number(const char* text, bool* ok)
{
    char* end = nullptr;
    long value = text ? std::strtol(text, &end, 0) : 0;
    *ok = *ok && text && end != text && *end == '\0';
    return value;
}

// Runs one line; false for a line it cannot read (reported, then skipped).
static bool RunLine(const std::string& line, bool* pushed)
{
    char verb[32] = {}, a[64] = {}, b[64] = {}, c[64] = {}, d[64] = {};
    int n = std::sscanf(line.c_str(), "%31s %63s %63s %63s %63s", verb, a, b, c, d);
    bool ok = true;
    *pushed = true;
    bool right = n >= 4 && strcasecmp(c, "right") == 0;
    if (strcasecmp(verb, "wait") == 0) {
        WaitPasses = Number(a, &ok);
        *pushed = false;
    } else if (strcasecmp(verb, "sleep") == 0) {
        SleepUntil = SDL_GetTicks() + static_cast<uint32_t>(Number(a, &ok));
        Sleeping = true;
        *pushed = false;
    } else if (strcasecmp(verb, "key") == 0 || strcasecmp(verb, "keydown") == 0 || strcasecmp(verb, "keyup") == 0) {
        bool up = strcasecmp(verb, "keyup") == 0;
        bool down = strcasecmp(verb, "keydown") == 0;
        ok = n >= 2 && PushKeyCombo(a, !up, !down);
    } else if (strcasecmp(verb, "move") == 0) {
        PushMotion(Number(a, &ok), Number(b, &ok));
    } else if (strcasecmp(verb, "down") == 0 || strcasecmp(verb, "up") == 0 || strcasecmp(verb, "click") == 0) {
        long x = Number(a, &ok), y = Number(b, &ok);
        if (ok && strcasecmp(verb, "up") != 0) {
            PushMotion(x, y);
            PushButton(x, y, right, true);
        }
        if (ok && strcasecmp(verb, "down") != 0)
            PushButton(x, y, right, false);
    } else if (strcasecmp(verb, "wheel") == 0) {
        long x = Number(a, &ok), y = Number(b, &ok), steps = Number(c, &ok);
        if (ok)
            PushWheel(x, y, steps);
    } else if (strcasecmp(verb, "resize") == 0) {
        long w = Number(a, &ok), h = Number(b, &ok);
        ok = ok && UserResize(w, h);
    } else if (strcasecmp(verb, "maximize") == 0) {
        ok = UserMaximize();
    } else if (strcasecmp(verb, "restore") == 0) {
        ok = UserRestore();
    } else if (strcasecmp(verb, "minimize") == 0) {
        PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    } else if (strcasecmp(verb, "close") == 0) {
        PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    } else if (strcasecmp(verb, "quit") == 0) {
        SDL_Event e = {};
        e.type = SDL_QUIT;
        SDL_PushEvent(&e);
    } else if (strcasecmp(verb, "await") == 0) {
        ok = StartAwait(line);
        *pushed = false;
    } else if (strcasecmp(verb, "shot") == 0) {
        ok = n >= 2;
        if (ok)
            ShotPath = a;
        *pushed = false;
    } else if (strcasecmp(verb, "post") == 0) {
        long message = Number(a, &ok), wParam = Number(b, &ok), lParam = Number(c, &ok);
        WindowRecord* record = FirstWindowRecord();
        ok = ok && record && PostMessageA(HandleOf(record), static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                          static_cast<LPARAM>(lParam));
    } else {
        ok = false;
    }
    if (!ok)
        *pushed = false;
    return ok;
}

bool StepEventScript()
{
    if (!EventScriptRunning() || !SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    if (WaitPasses > 0) {
        --WaitPasses;
        return false;
    }
    if (!ShotPath.empty() || StillAwaiting())
        return false;
    if (Sleeping) {
        if (static_cast<int32_t>(SDL_GetTicks() - SleepUntil) < 0)
            return false;
        Sleeping = false;
    }
    while (NextLine < Lines.size()) {
        const std::string& line = Lines[NextLine++];
        bool pushed = false;
        if (!RunLine(line, &pushed))
            std::fprintf(stderr, "TVL_EVENT_SCRIPT: cannot run \"%s\"\n", line.c_str());
        if (pushed)
            return true;
        if (WaitPasses > 0 || Sleeping || !ShotPath.empty() || Await.active)
            return false;
    }
    return false;
}

const char* PendingFrameShot() { return ShotPath.empty() ? nullptr : ShotPath.c_str(); }

void FrameShotTaken() { ShotPath.clear(); }
