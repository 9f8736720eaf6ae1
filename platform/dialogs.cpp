// Global memory blocks, dialogs run from in-memory templates and the colour
// dialog. A template is read with every length checked against its block;
// the user is asked through zenity when there is a display, else the answer
// comes from TVL_DIALOG_ANSWER.
#include "platform/dialogs.h"

#include "platform/ask_user.h"

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/messagebox.h"
#include "platform/sync.h"
#include "platform/window.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// ---- global memory ----

struct GlobalBlock : HandleObject {
    std::vector<uint8_t> bytes;
    int locks = 0;
};

// Live blocks, to find the one a template lies in.
std::mutex BlockLock;
std::vector<GlobalBlock*> Blocks;

GlobalBlock* FindBlock(HGLOBAL handle)
{
    return static_cast<GlobalBlock*>(FindHandle(handle, HandleKind::GlobalMemory));
}

// ---- templates ----

struct DialogItem {
    WORD id = 0;
    WORD atom = 0;
    DWORD style = 0;
    std::string text;  // code page 1252
};

struct DialogWindow {
    std::string title;  // UTF-8, for the user's dialog
    std::vector<std::unique_ptr<DialogItem>> items;
    HWND focus = nullptr;
    bool ended = false;
    INT_PTR result = IDCANCEL;
};

// Dialogs that run now (nested ones stack); their items are the HWNDs.
std::mutex DialogLock;
std::vector<DialogWindow*> LiveDialogs;

DialogWindow* FindDialog(HWND handle)
{
    std::lock_guard<std::mutex> lock(DialogLock);
    for (DialogWindow* d : LiveDialogs)
        if (reinterpret_cast<HWND>(d) == handle)
            return d;
    return nullptr;
}

DialogItem* FindItem(HWND handle)
{
    std::lock_guard<std::mutex> lock(DialogLock);
    for (DialogWindow* d : LiveDialogs)
        for (auto& item : d->items)
            if (reinterpret_cast<HWND>(item.get()) == handle)
                return item.get();
    return nullptr;
}

DialogItem* ItemById(DialogWindow* dialog, int id)
{
    for (auto& item : dialog->items)
        if (item->id == id)
            return item.get();
    return nullptr;
}

// Reads a template out of its bytes; every field is checked against the end.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    size_t Position() const { return pos_; }

    void Align(size_t boundary)
    {
        pos_ = (pos_ + boundary - 1) / boundary * boundary;
        if (pos_ > size_)
            ok_ = false;
    }
    WORD Word()
    {
        if (!ok_ || pos_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        WORD w = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    // A zero-terminated UTF-16 text as UTF-8.
    std::string Text()
    {
        std::string out;
        for (WORD unit; ok_ && (unit = Word()) != 0;) {
            char utf8[8];
            char single[2] = {0, 0};
            int byte = CodePointToCp1252(unit);
            if (byte >= 0) {
                single[0] = static_cast<char>(byte);
                Cp1252ToUtf8(single, utf8, sizeof utf8);
                out += utf8;
            } else {
                out += '?';
            }
        }
        return out;
    }
    // A class or menu: 0 none, 0xFFFF and an atom, or a name.
    WORD Atom()
    {
        WORD first = Word();
        if (first == 0)
            return 0;
        if (first == 0xFFFF)
            return Word();
        pos_ -= 2;
        Text();
        return 0;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The bytes a template may take: up to the end of the global block it lies
// in; a template elsewhere is the caller's memory, read up to 64 KiB as the
// home platform would.
size_t TemplateLimit(const DLGTEMPLATE* dialogTemplate)
{
    const uint8_t* start = reinterpret_cast<const uint8_t*>(dialogTemplate);
    std::lock_guard<std::mutex> lock(BlockLock);
    for (GlobalBlock* block : Blocks) {
        const uint8_t* begin = block->bytes.data();
        const uint8_t* end = begin + block->bytes.size();
        if (start >= begin && start < end)
            return static_cast<size_t>(end - start);
    }
    return 1u << 16;
}

bool ReadTemplate(const DLGTEMPLATE* dialogTemplate, size_t limit, DialogWindow* dialog)
{
    TemplateReader r(reinterpret_cast<const uint8_t*>(dialogTemplate), limit);
    DWORD style = r.Dword();
    r.Dword();
    WORD count = r.Word();
    for (int i = 0; i < 4; i++)
        r.Word();
    r.Atom();  // menu
    r.Atom();  // class
    dialog->title = r.Text();
    if (style & DS_SETFONT) {
        r.Word();
        r.Text();
    }
    for (WORD i = 0; i < count && r.Ok(); i++) {
        r.Align(4);
        auto item = std::make_unique<DialogItem>();
        item->style = r.Dword();
        r.Dword();
        for (int k = 0; k < 4; k++)
            r.Word();
        item->id = r.Word();
        item->atom = r.Atom();
        std::string utf8 = r.Text();
        char text[1024];
        Utf8ToCp1252(utf8.c_str(), text, sizeof text);
        item->text = text;
        WORD extra = r.Word();
        for (WORD k = 0; k < extra / 2; k++)
            r.Word();
        dialog->items.push_back(std::move(item));
    }
    return r.Ok();
}

// What the user answered: true for OK with the entry's text.
bool AskForEntry(DialogWindow* dialog, std::string* answer)
{
    std::string prompt;
    for (auto& item : dialog->items)
        if (item->atom == DialogStaticAtom) {
            char utf8[2048];
            Cp1252ToUtf8(item->text.c_str(), utf8, sizeof utf8);
            prompt = utf8;
        }
    return AskUser({"--entry", "--title=" + dialog->title, "--text=" + prompt}, answer);
}

void Send(DialogWindow* dialog, DLGPROC procedure, UINT message, WPARAM wParam, LPARAM lParam)
{
    procedure(reinterpret_cast<HWND>(dialog), message, wParam, lParam);
}

struct LiveDialog {
    explicit LiveDialog(DialogWindow* d) : dialog(d)
    {
        std::lock_guard<std::mutex> lock(DialogLock);
        LiveDialogs.push_back(d);
    }
    ~LiveDialog()
    {
        std::lock_guard<std::mutex> lock(DialogLock);
        LiveDialogs.erase(std::remove(LiveDialogs.begin(), LiveDialogs.end(), dialog), LiveDialogs.end());
    }
    DialogWindow* dialog;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes)
{
    auto* block = new GlobalBlock();
    block->kind = HandleKind::GlobalMemory;
    try {
        block->bytes.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        delete block;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(BlockLock);
    Blocks.push_back(block);
    return RegisterHandle(block);
}

LPVOID GlobalLock(HGLOBAL handle)
{
    GlobalBlock* block = FindBlock(handle);
    if (!block)
        return nullptr;
    block->locks++;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    GlobalBlock* block = FindBlock(handle);
    if (!block || block->locks == 0)
        return FALSE;
    return --block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    GlobalBlock* block = FindBlock(handle);
    if (!block || !UnregisterHandle(handle))
        return handle;
    {
        std::lock_guard<std::mutex> lock(BlockLock);
        Blocks.erase(std::remove(Blocks.begin(), Blocks.end(), block), Blocks.end());
    }
    delete block;
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL handle)
{
    GlobalBlock* block = FindBlock(handle);
    return block ? block->bytes.size() : 0;
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE, const DLGTEMPLATE* dialogTemplate, HWND, DLGPROC procedure, LPARAM init)
{
    if (!dialogTemplate || !procedure)
        return -1;
    DialogWindow dialog;
    if (!ReadTemplate(dialogTemplate, TemplateLimit(dialogTemplate), &dialog))
        return -1;
    LiveDialog live(&dialog);
    if (dialogTemplate->style & DS_SETFONT)
        Send(&dialog, procedure, WM_SETFONT, 0, 0);
    Send(&dialog, procedure, WM_INITDIALOG, 0, init);
    if (dialog.ended)
        return dialog.result;
    std::string answer;
    if (AskForEntry(&dialog, &answer)) {
        DialogItem* entry = nullptr;
        for (auto& item : dialog.items)
            if (item->atom == DialogEditAtom && !entry)
                entry = item.get();
        if (entry) {
            char text[1024];
            Utf8ToCp1252(answer.c_str(), text, sizeof text);
            entry->text = text;
        }
        DialogItem* ok = ItemById(&dialog, IDOK);
        Send(&dialog, procedure, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    } else {
        DialogItem* cancel = ItemById(&dialog, IDCANCEL);
        Send(&dialog, procedure, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    }
    return dialog.ended ? dialog.result : IDCANCEL;
}

HWND GetDlgItem(HWND handle, int id)
{
    DialogWindow* dialog = FindDialog(handle);
    DialogItem* item = dialog ? ItemById(dialog, id) : nullptr;
    return reinterpret_cast<HWND>(item);
}

UINT GetDlgItemTextA(HWND handle, int id, LPSTR out, int size)
{
    if (!out || size <= 0)
        return 0;
    out[0] = '\0';
    DialogWindow* dialog = FindDialog(handle);
    DialogItem* item = dialog ? ItemById(dialog, id) : nullptr;
    if (!item)
        return 0;
    size_t n = std::min(item->text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(out, item->text.data(), n);
    out[n] = '\0';
    return static_cast<UINT>(n);
}

BOOL SetDlgItemTextA(HWND handle, int id, LPCSTR text)
{
    DialogWindow* dialog = FindDialog(handle);
    DialogItem* item = dialog ? ItemById(dialog, id) : nullptr;
    if (!item)
        return FALSE;
    item->text = text ? text : "";
    return TRUE;
}

BOOL EndDialog(HWND handle, INT_PTR result)
{
    DialogWindow* dialog = FindDialog(handle);
    if (!dialog)
        return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

static HWND FocusedItem = nullptr;

HWND SetFocus(HWND item)
{
    HWND previous = FocusedItem;
    if (FindItem(item))
        FocusedItem = item;
    return previous;
}

HWND GetFocus()
{
    return FindItem(FocusedItem) ? FocusedItem : nullptr;
}

bool ParseColourAnswer(const char* text, COLORREF* out)
{
    if (!text)
        return false;
    while (*text == ' ')
        text++;
    int r = 0, g = 0, b = 0;
    if (text[0] == '#' && std::strlen(text) >= 7) {
        int digits[6];
        for (int i = 0; i < 6; i++)
            if ((digits[i] = HexDigit(text[1 + i])) < 0)
                return false;
        r = digits[0] * 16 + digits[1];
        g = digits[2] * 16 + digits[3];
        b = digits[4] * 16 + digits[5];
    } else if (std::sscanf(text, "rgb(%d,%d,%d)", &r, &g, &b) != 3 &&
               std::sscanf(text, "rgba(%d,%d,%d", &r, &g, &b) != 3) {
        return false;
    }
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
        return false;
    *out = static_cast<COLORREF>(r | (g << 8) | (b << 16));
    return true;
}

BOOL ChooseColorA(CHOOSECOLORA* choice)
{
    if (!choice)
        return FALSE;
    char start[16];
    COLORREF c = choice->Flags & CC_RGBINIT ? choice->rgbResult : 0;
    std::snprintf(start, sizeof start, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    std::string answer;
    bool answered = AskUser({"--color-selection", std::string("--color=") + start}, &answer);
    COLORREF colour = 0;
    if (!answered || !ParseColourAnswer(answer.c_str(), &colour))
        return FALSE;
    choice->rgbResult = colour;
    return TRUE;
}

// ---- file dialogs ----

namespace {

// The filter's pairs; every text is bounded by the block's end marker.
std::vector<std::pair<std::string, std::string>> FilterPairs(const char* filter)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!filter)
        return pairs;
    // A filter never runs longer than this; a missing end marker stops here.
    const char* end = filter + 4096;
    const char* p = filter;
    while (p < end && *p) {
        std::string name(p, strnlen(p, static_cast<size_t>(end - p)));
        p += name.size() + 1;
        if (p >= end || !*p)
            break;
        std::string patterns(p, strnlen(p, static_cast<size_t>(end - p)));
        p += patterns.size() + 1;
        pairs.emplace_back(name, patterns);
    }
    return pairs;
}

bool HasExtension(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

BOOL RunFileDialog(OPENFILENAMEA* dialog, bool save)
{
    if (!dialog || !dialog->lpstrFile || dialog->nMaxFile == 0)
        return FALSE;
    // Headless the filter list is not read at all: only zenity needs it.
    std::vector<std::string> args;
    if (CanAskUser())
        args = FileDialogArguments(dialog, save);
    std::string answer;
    bool answered = AskUser(args, &answer);
    if (!answered || answer.empty())
        return FALSE;
    std::string path = FromUtf8(answer);
    NormalizePath(path.data());
    if (path[0] != '/' && dialog->lpstrInitialDir && *dialog->lpstrInitialDir) {
        std::string folder = dialog->lpstrInitialDir;
        NormalizePath(folder.data());
        if (folder.back() != '/')
            folder += '/';
        path = folder + path;
    }
    if (dialog->lpstrDefExt && *dialog->lpstrDefExt && !HasExtension(path))
        path += std::string(".") + dialog->lpstrDefExt;
    struct stat st;
    if ((dialog->Flags & OFN_FILEMUSTEXIST) && (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)))
        return FALSE;
    if (dialog->Flags & OFN_PATHMUSTEXIST) {
        std::string folder = path.substr(0, path.find_last_of('/') + 1);
        if (!folder.empty() && (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return FALSE;
    }
    if (path.size() + 1 > dialog->nMaxFile)
        return FALSE;
    std::memcpy(dialog->lpstrFile, path.c_str(), path.size() + 1);
    size_t slash = path.find_last_of('/');
    dialog->nFileOffset = static_cast<WORD>(slash == std::string::npos ? 0 : slash + 1);
    size_t dot = path.find_last_of('.');
    dialog->nFileExtension = static_cast<WORD>(HasExtension(path) ? dot + 1 : 0);
    return TRUE;
}

}  // namespace

std::vector<std::string> FileDialogArguments(const OPENFILENAMEA* dialog, bool save)
{
    std::vector<std::string> args = {"--file-selection"};
    if (save)
        args.push_back("--save");
    if (dialog->lpstrTitle)
        args.push_back("--title=" + ToUtf8(dialog->lpstrTitle));
    std::string start;
    if (dialog->lpstrInitialDir && *dialog->lpstrInitialDir) {
        start = dialog->lpstrInitialDir;
        NormalizePath(start.data());
        if (start.back() != '/')
            start += '/';
    }
    if (save && dialog->lpstrFile && *dialog->lpstrFile) {
        std::string name(dialog->lpstrFile, strnlen(dialog->lpstrFile, dialog->nMaxFile));
        NormalizePath(name.data());
        start = name[0] == '/' ? name : start + name;
    }
    if (!start.empty())
        args.push_back("--filename=" + ToUtf8(start));
    for (const auto& [name, patterns] : FilterPairs(dialog->lpstrFilter)) {
        std::string list = patterns;
        std::replace(list.begin(), list.end(), ';', ' ');
        args.push_back("--file-filter=" + ToUtf8(name) + " | " + list);
    }
    return args;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* dialog) { return RunFileDialog(dialog, false); }

BOOL GetSaveFileNameA(OPENFILENAMEA* dialog) { return RunFileDialog(dialog, true); }
