// The text-entry dialog: its template written into a global memory block,
// and the procedure that hands the entered text back.
#include "app/text_entry_dialog.h"

#include "app/language.h"
#include "app/winmain.h"
#include "platform/messagebox.h"
#include "platform/wide_text.h"
#include "platform/window.h"

#include <cstring>

namespace {

// What the procedure fills: handed over with WM_INITDIALOG.
struct TextEntryRequest {
    char* text;
    int size;
};

TextEntryRequest* Request = nullptr;
// The dialog's font: the dialog manager owns it, the procedure only keeps it.
WPARAM DialogFont = 0;

bool Room(DialogTemplateWriter* w, size_t bytes)
{
    if (w->position > w->end || static_cast<size_t>(w->end - w->position) < bytes) {
        w->cut = true;
        return false;
    }
    return true;
}

void PutWord(DialogTemplateWriter* w, WORD value)
{
    if (!Room(w, 2))
        return;
    w->position[0] = static_cast<uint8_t>(value & 0xFF);
    w->position[1] = static_cast<uint8_t>(value >> 8);
    w->position += 2;
}

void PutDword(DialogTemplateWriter* w, DWORD value)
{
    PutWord(w, static_cast<WORD>(value & 0xFFFF));
    PutWord(w, static_cast<WORD>(value >> 16));
}

// Texts of a template are cut to this many characters, so that the title,
// the font and four items always fit the block together.
constexpr size_t MaxTemplateText = 120;

// A zero-terminated UTF-16 text from code page 1252, cut at MaxTemplateText
// characters or where only its terminator still fits.
void PutText(DialogTemplateWriter* w, const char* text)
{
    const char* t = text ? text : "";
    for (size_t n = 0; *t; ++t, ++n) {
        if (n == MaxTemplateText || !Room(w, 4)) {
            w->cut = true;
            break;
        }
        WCHAR unit = 0;
        MultiByteToWideChar(CP_ACP, 0, t, 1, &unit, 1);
        PutWord(w, static_cast<WORD>(unit));
    }
    PutWord(w, 0);
}

void AlignTo(DialogTemplateWriter* w, size_t boundary, size_t offset)
{
    while (static_cast<size_t>(w->position - w->begin) % boundary != offset && Room(w, 1))
        *w->position++ = 0;
}

}  // namespace

DialogTemplateWriter MakeDialogTemplateWriter(void* block, size_t size)
{
    uint8_t* begin = static_cast<uint8_t*>(block);
    return DialogTemplateWriter{begin, begin, begin + size, false};
}

uint8_t* WriteDialogHeader(DialogTemplateWriter* w, const char* title, DWORD style, WORD itemCount,
                           const char* fontName, WORD pointSize, short x, short y, short cx, short cy)
{
    PutDword(w, style);
    PutDword(w, 0);
    PutWord(w, itemCount);
    PutWord(w, static_cast<WORD>(x));
    PutWord(w, static_cast<WORD>(y));
    PutWord(w, static_cast<WORD>(cx));
    PutWord(w, static_cast<WORD>(cy));
    PutWord(w, 0);  // no menu
    PutWord(w, 0);  // the standard dialog class
    PutText(w, title);
    if (style & DS_SETFONT) {
        PutWord(w, pointSize);
        PutText(w, fontName);
    }
    return w->position;
}

uint8_t* WriteDialogItem(DialogTemplateWriter* w, WORD classAtom, WORD id, const char* text, DWORD style, short x,
                         short y, short cx, short cy)
{
    AlignTo(w, 4, 0);
    PutDword(w, style);
    PutDword(w, 0);
    PutWord(w, static_cast<WORD>(x));
    PutWord(w, static_cast<WORD>(y));
    PutWord(w, static_cast<WORD>(cx));
    PutWord(w, static_cast<WORD>(cy));
    PutWord(w, id);
    PutWord(w, 0xFFFF);
    PutWord(w, classAtom);
    PutText(w, text);
    // The creation-data size sits 2 bytes past a 4-byte boundary, so the
    // item ends on one.
    AlignTo(w, 4, 2);
    PutWord(w, 0);
    return w->position;
}

INT_PTR TextEntryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFONT: DialogFont = wParam; break;
    case WM_INITDIALOG:
        Request = reinterpret_cast<TextEntryRequest*>(lParam);
        SetFocus(GetDlgItem(dialog, TextEntryFieldId));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (Request && Request->text && Request->size > 0)
                GetDlgItemTextA(dialog, TextEntryFieldId, Request->text, Request->size);
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        break;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); break;
    default: break;
    }
    return 0;
}

int RunTextEntryDialog(HWND owner, const char* prompt, const char* title, char* text, int size)
{
    HGLOBAL block = GlobalAlloc(GHND, TextEntryBlockSize);
    if (!block)
        return 0;
    void* bytes = GlobalLock(block);
    if (!bytes) {
        GlobalFree(block);
        return 0;
    }
    DialogTemplateWriter w = MakeDialogTemplateWriter(bytes, TextEntryBlockSize);
    WriteDialogHeader(&w, title, 0x90C808C4u, 4, "MS Sans Serif", 8, 0, 0, 169, 47);
    WriteDialogItem(&w, DialogButtonAtom, IDOK, "OK", 0x50010001u, 114, 7, 48, 15);
    WriteDialogItem(&w, DialogButtonAtom, IDCANCEL, GetEditText(10), 0x50010000u, 114, 26, 48, 15);
    WriteDialogItem(&w, DialogStaticAtom, TextEntryPromptId, prompt, 0x50000000u, 10, 9, 54, 16);
    WriteDialogItem(&w, DialogEditAtom, TextEntryFieldId, "", 0x50810000u, 10, 26, 99, 13);
    GlobalUnlock(block);
    TextEntryRequest request{text, size};
    INT_PTR result = DialogBoxIndirectParamA(GetInstanceHandle(), static_cast<const DLGTEMPLATE*>(bytes), owner,
                                             TextEntryDialogProc, reinterpret_cast<LPARAM>(&request));
    Request = nullptr;
    GlobalFree(block);
    return result >= 1 ? static_cast<int>(result) : 0;
}
