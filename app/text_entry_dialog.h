// A one-line text prompt built without resources: its dialog template is
// written into a memory block at run time and run modally.
#pragma once

#include "platform/dialogs.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// 1 when the user pressed OK (text then holds the entry, at most size - 1
// characters), 2 for cancel or the close box (text unchanged), 0 when the
// dialog could not be made.
int RunTextEntryDialog(HWND owner, const char* prompt, const char* title, char* text, int size);

// Writes into one template block, never past its end: a text longer than
// 120 characters or than the room left is cut, and cut is set.
struct DialogTemplateWriter {
    uint8_t* begin;
    uint8_t* position;
    uint8_t* end;
    bool cut;
};
DialogTemplateWriter MakeDialogTemplateWriter(void* block, size_t size);
// The header with a code page 1252 title, DS_SETFONT's font when the style
// asks for it; returns the position after it.
uint8_t* WriteDialogHeader(DialogTemplateWriter* w, const char* title, DWORD style, WORD itemCount,
                           const char* fontName, WORD pointSize, short x, short y, short cx, short cy);
// One item on a 4-byte boundary, ending on one; returns the position after it.
uint8_t* WriteDialogItem(DialogTemplateWriter* w, WORD classAtom, WORD id, const char* text, DWORD style, short x,
                         short y, short cx, short cy);

INT_PTR TextEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Ids of the entry field and the prompt.
constexpr int TextEntryFieldId = 200;
constexpr int TextEntryPromptId = 201;
constexpr size_t TextEntryBlockSize = 1024;
