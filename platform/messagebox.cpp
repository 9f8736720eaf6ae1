// Message boxes on SDL when a display is up, and headless with the answer
// taken from the environment, so no test ever waits on one.
#include "platform/messagebox.h"

#include "platform/codepage.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

// The program's log, when the program has one (the proxy has none).
void WriteLog(const char* text) __attribute__((weak));

namespace {

struct ButtonSet {
    int count;
    int ids[3];
    const char* labels[3];
};

ButtonSet ButtonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {2, {IDOK, IDCANCEL}, {"OK", "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {3, {IDABORT, IDRETRY, IDIGNORE}, {"Abort", "Retry", "Ignore"}};
    case MB_YESNOCANCEL:
        return {3, {IDYES, IDNO, IDCANCEL}, {"Yes", "No", "Cancel"}};
    case MB_YESNO:
        return {2, {IDYES, IDNO}, {"Yes", "No"}};
    case MB_RETRYCANCEL:
        return {2, {IDRETRY, IDCANCEL}, {"Retry", "Cancel"}};
    default:
        return {1, {IDOK}, {"OK"}};
    }
}

int DefaultButton(const ButtonSet& buttons, UINT type)
{
    int index = static_cast<int>((type >> 8) & 0xF);
    return buttons.ids[index < buttons.count ? index : 0];
}

// The answer of TVL_MESSAGEBOX_ANSWER: a name such as "IDYES" or a number.
int AnswerFromEnvironment()
{
    static const struct {
        const char* name;
        int id;
    } names[] = {{"IDOK", IDOK},         {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT}, {"IDRETRY", IDRETRY},
                 {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},       {"IDNO", IDNO}};
    const char* answer = getenv("TVL_MESSAGEBOX_ANSWER");
    if (!answer || !*answer)
        return IDOK;
    for (const auto& entry : names) {
        if (strcasecmp(answer, entry.name) == 0)
            return entry.id;
    }
    char* end = nullptr;
    long number = strtol(answer, &end, 10);
    return end != answer && *end == '\0' ? static_cast<int>(number) : IDOK;
}

bool HasDisplay()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && strcmp(driver, "dummy") != 0 && strcmp(driver, "offscreen") != 0;
}

int ShowWithSdl(const char* text, const char* caption, UINT type, const ButtonSet& buttons)
{
    SDL_MessageBoxButtonData data[3];
    int defaultId = DefaultButton(buttons, type);
    for (int i = 0; i < buttons.count; i++) {
        data[i].flags = buttons.ids[i] == defaultId ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        if (buttons.ids[i] == IDCANCEL || buttons.ids[i] == IDNO || buttons.count == 1)
            data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data[i].buttonid = buttons.ids[i];
        data[i].text = buttons.labels[i];
    }
    UINT icon = type & 0xF0;
    SDL_MessageBoxData box{};
    box.flags = icon == MB_ICONHAND ? SDL_MESSAGEBOX_ERROR
                : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                             : SDL_MESSAGEBOX_INFORMATION;
    box.title = caption;
    box.message = text;
    box.numbuttons = buttons.count;
    box.buttons = data;
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0)
        return -1;
    // Closed without a button: what Escape would have chosen.
    return chosen > 0 ? chosen : buttons.ids[buttons.count - 1];
}

// Headless: the box is reported, and an answer the box cannot give becomes
// its default button.
int ShowHeadless(const char* text, const char* caption, UINT type, const ButtonSet& buttons)
{
    fprintf(stderr, "[%s] %s\n", caption, text);
    int answer = AnswerFromEnvironment();
    for (int i = 0; i < buttons.count; i++) {
        if (buttons.ids[i] == answer)
            return answer;
    }
    return DefaultButton(buttons, type);
}

} // namespace

int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type)
{
    (void)window;
    const char* body = text ? text : "";
    const char* title = caption ? caption : "Error";
    if (WriteLog) {
        char line[2048];
        snprintf(line, sizeof line, "MessageBox [%s] %s", title, body);
        WriteLog(line);
    }
    char utf8Text[4096];
    char utf8Title[512];
    Cp1252ToUtf8(body, utf8Text, sizeof utf8Text);
    Cp1252ToUtf8(title, utf8Title, sizeof utf8Title);
    ButtonSet buttons = ButtonsOf(type);
    if (HasDisplay()) {
        int chosen = ShowWithSdl(utf8Text, utf8Title, type, buttons);
        if (chosen > 0)
            return chosen;
    }
    return ShowHeadless(utf8Text, utf8Title, type, buttons);
}
