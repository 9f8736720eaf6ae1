// Cursors and icons: the system's cursors as SDL system cursors; the
// program's cursors 114 and 115 and its icon 101 are drawn by us.
#include "platform/window_internal.h"

#include <SDL2/SDL.h>

static const int ProgramIconId = 101;

struct CursorRecord {
    uintptr_t id = 0;
    bool program = false;
    bool tried = false;
    SDL_Cursor* sdl = nullptr;
};

static const int MaxCursors = 24;
static CursorRecord Cursors[MaxCursors];
static HCURSOR Current = nullptr;

struct CursorKind {
    uintptr_t id;
    bool program;
    SDL_SystemCursor sdl;
};

static const CursorKind KnownCursors[] = {
    {32512, false, SDL_SYSTEM_CURSOR_ARROW},    {32513, false, SDL_SYSTEM_CURSOR_IBEAM},
    {32514, false, SDL_SYSTEM_CURSOR_WAIT},     {32515, false, SDL_SYSTEM_CURSOR_CROSSHAIR},
    {32642, false, SDL_SYSTEM_CURSOR_SIZENWSE}, {32643, false, SDL_SYSTEM_CURSOR_SIZENESW},
    {32644, false, SDL_SYSTEM_CURSOR_SIZEWE},   {32645, false, SDL_SYSTEM_CURSOR_SIZENS},
    {32646, false, SDL_SYSTEM_CURSOR_SIZEALL},  {32648, false, SDL_SYSTEM_CURSOR_NO},
    {32649, false, SDL_SYSTEM_CURSOR_HAND},
    // The program's knob cursors: turn up and down, turn both ways.
    {114, true, SDL_SYSTEM_CURSOR_SIZENS},      {115, true, SDL_SYSTEM_CURSOR_SIZEALL},
};

static HCURSOR HandleOfCursor(int index) { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x7000 + index)); }

static CursorRecord* FindCursor(HCURSOR cursor)
{
    uintptr_t index = reinterpret_cast<uintptr_t>(cursor) - 0x7000;
    return index < static_cast<uintptr_t>(MaxCursors) && Cursors[index].id ? &Cursors[index] : nullptr;
}

static HCURSOR LoadKind(uintptr_t id, bool program)
{
    for (int i = 0; i < MaxCursors; ++i) {
        if (Cursors[i].id == id && Cursors[i].program == program)
            return HandleOfCursor(i);
    }
    for (int i = 0; i < MaxCursors; ++i) {
        if (!Cursors[i].id) {
            Cursors[i].id = id;
            Cursors[i].program = program;
            return HandleOfCursor(i);
        }
    }
    return nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (!IS_INTRESOURCE(name))
        return nullptr;
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    bool program = instance != nullptr;
    for (const CursorKind& kind : KnownCursors) {
        if (kind.id == id && kind.program == program)
            return LoadKind(id, program);
    }
    return nullptr;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    if (!IS_INTRESOURCE(name))
        return nullptr;
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    bool program = instance != nullptr;
    if ((program && id == ProgramIconId) || (!program && id == 32512))
        return LoadKind(id | 0x10000, program);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous = Current;
    Current = cursor;
    CursorRecord* record = FindCursor(cursor);
    if (!record || !SDL_WasInit(SDL_INIT_VIDEO))
        return previous;
    if (!record->tried) {
        record->tried = true;
        for (const CursorKind& kind : KnownCursors) {
            if (kind.id == record->id && kind.program == record->program)
                record->sdl = SDL_CreateSystemCursor(kind.sdl);
        }
    }
    if (record->sdl)
        SDL_SetCursor(record->sdl);
    return previous;
}

HCURSOR GetCursor() { return Current; }

BOOL GetCursorPos(LPPOINT point)
{
    if (!point)
        return FALSE;
    int x = 0, y = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_GetGlobalMouseState(&x, &y);
    *point = POINT{x, y};
    return TRUE;
}

void FreeCursors()
{
    for (CursorRecord& record : Cursors) {
        if (record.sdl)
            SDL_FreeCursor(record.sdl);
        record = CursorRecord();
    }
    Current = nullptr;
}

// The program's icon: a dark blue disc with a white north arrow.
void ApplyClassIcon(WindowRecord* record)
{
    CursorRecord* icon = FindCursor(record->icon);
    if (!icon || !icon->program || icon->id != (ProgramIconId | 0x10000))
        return;
    const int size = 32;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface)
        return;
    Uint32* pixels = static_cast<Uint32*>(surface->pixels);
    Uint32 disc = SDL_MapRGBA(surface->format, 20, 50, 110, 255);
    Uint32 arrow = SDL_MapRGBA(surface->format, 255, 255, 255, 255);
    Uint32 clear = SDL_MapRGBA(surface->format, 0, 0, 0, 0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int dx = 2 * x + 1 - size, dy = 2 * y + 1 - size;
            bool inDisc = dx * dx + dy * dy <= (size - 1) * (size - 1);
            // A triangle from the top centre down to the lower middle.
            bool inArrow = y >= 5 && y <= 24 && (x - size / 2) * 3 <= (y - 5) && (size / 2 - 1 - x) * 3 <= (y - 5);
            pixels[y * (surface->pitch / 4) + x] = inArrow ? arrow : inDisc ? disc : clear;
        }
    }
    SDL_SetWindowIcon(record->sdl, surface);
    SDL_FreeSurface(surface);
}
