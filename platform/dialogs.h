// Dialogs of the home platform: movable global memory blocks, dialogs run
// from a template written in memory (only the one-line text entry: buttons,
// static texts and one edit field), and the colour dialog. With a display
// they ask the user through zenity; headless the answer comes from
// TVL_DIALOG_ANSWER (unset or empty: the user cancels), so no test waits.
#pragma once

#include "platform/wide_text.h"
#include "platform/win32.h"

#include <string>
#include <vector>

// Global memory.
typedef HANDLE HGLOBAL;
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's bytes while locked; null for a handle that is not live.
LPVOID GlobalLock(HGLOBAL block);
// FALSE once the last lock is gone.
BOOL GlobalUnlock(HGLOBAL block);
// Null on success, the handle when it was not a live block.
HGLOBAL GlobalFree(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);

// Dialog templates, as the dialog manager reads them from memory.
#define DS_SETFONT 0x40u
#define DS_MODALFRAME 0x80u
#define DS_3DLOOK 0x04u
#define DS_CENTER 0x0800u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_BORDER 0x00800000u
#define WS_TABSTOP 0x00010000u
#define BS_PUSHBUTTON 0x00000000u
#define BS_DEFPUSHBUTTON 0x00000001u
// Class atoms of the predefined controls.
#define DialogButtonAtom 0x0080u
#define DialogEditAtom 0x0081u
#define DialogStaticAtom 0x0082u
#define BN_CLICKED 0u
#define MAKEWPARAM(lo, hi) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))))

#pragma pack(push, 2)
struct DLGTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x, y, cx, cy;
};
struct DLGITEMTEMPLATE {
    DWORD style;
    DWORD dwExtendedStyle;
    short x, y, cx, cy;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18);
static_assert(sizeof(DLGITEMTEMPLATE) == 18);

typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
typedef void* HFONT;

// Runs the dialog modally: WM_SETFONT (with DS_SETFONT), WM_INITDIALOG with
// init, then the user's answer as WM_COMMAND of the OK (1) or cancel (2)
// button; an OK answer is first put into the template's edit field. Returns
// what the procedure gave EndDialog, IDCANCEL when it never ended the
// dialog, -1 for a template that cannot be read.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM init);
HWND GetDlgItem(HWND dialog, int id);
// Copies the item's text (code page 1252) cut to size - 1; returns its length.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR out, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
BOOL EndDialog(HWND dialog, INT_PTR result);
// The item that has the keyboard focus; returns the one that had it.
HWND SetFocus(HWND item);
HWND GetFocus();

// The colour dialog. rgbResult is 0x00BBGGRR; with CC_RGBINIT the dialog
// starts from it. Headless the answer is "#RRGGBB" or "rgb(r,g,b)".
typedef DWORD COLORREF;
#define CC_RGBINIT 0x00000001u
#define CC_FULLOPEN 0x00000002u
struct CHOOSECOLORA {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    COLORREF* lpCustColors;
    DWORD Flags;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
};
BOOL ChooseColorA(CHOOSECOLORA* choice);
// A colour answer as zenity or a test gives it, as 0x00BBGGRR.
bool ParseColourAnswer(const char* text, COLORREF* out);

// The file-open and file-save dialogs. lpstrFilter holds pairs of texts (a
// name, then patterns separated by ';'), ended by an empty text. Headless the
// answer is the chosen path; a relative one lies in lpstrInitialDir.
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
struct OPENFILENAMEA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
};
// TRUE with the chosen path in lpstrFile (the default extension added to a
// name without one); FALSE when the user cancels, the path does not fit
// nMaxFile, or (with OFN_FILEMUSTEXIST / OFN_PATHMUSTEXIST) it is missing.
BOOL GetOpenFileNameA(OPENFILENAMEA* dialog);
BOOL GetSaveFileNameA(OPENFILENAMEA* dialog);
// The zenity arguments of a file dialog (for the dialog tests).
std::vector<std::string> FileDialogArguments(const OPENFILENAMEA* dialog, bool save);
