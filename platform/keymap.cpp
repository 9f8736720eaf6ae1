// SDL key codes <-> virtual-key codes, and key names for test scripts.
#include "platform/keymap.h"

#include "platform/window.h"

#include <SDL2/SDL_keycode.h>
#include <cstdlib>
#include <cstring>
#include <strings.h>

struct KeyPair {
    int32_t sdlKey;
    int virtualKey;
    const char* name;
};

// Keys whose codes are not a plain letter, digit or function-key range.
static const KeyPair NamedKeys[] = {
    {SDLK_BACKSPACE, VK_BACK, "BACK"},       {SDLK_TAB, VK_TAB, "TAB"},
    {SDLK_RETURN, VK_RETURN, "RETURN"},      {SDLK_KP_ENTER, VK_RETURN, "ENTER"},
    {SDLK_LSHIFT, VK_SHIFT, "SHIFT"},        {SDLK_RSHIFT, VK_SHIFT, "RSHIFT"},
    {SDLK_LCTRL, VK_CONTROL, "CONTROL"},     {SDLK_RCTRL, VK_CONTROL, "RCONTROL"},
    {SDLK_LALT, VK_MENU, "MENU"},            {SDLK_RALT, VK_MENU, "RMENU"},
    {SDLK_PAUSE, VK_PAUSE, "PAUSE"},         {SDLK_CAPSLOCK, VK_CAPITAL, "CAPITAL"},
    {SDLK_ESCAPE, VK_ESCAPE, "ESCAPE"},      {SDLK_SPACE, VK_SPACE, "SPACE"},
    {SDLK_PAGEUP, VK_PRIOR, "PRIOR"},        {SDLK_PAGEDOWN, VK_NEXT, "NEXT"},
    {SDLK_END, VK_END, "END"},               {SDLK_HOME, VK_HOME, "HOME"},
    {SDLK_LEFT, VK_LEFT, "LEFT"},            {SDLK_UP, VK_UP, "UP"},
    {SDLK_RIGHT, VK_RIGHT, "RIGHT"},         {SDLK_DOWN, VK_DOWN, "DOWN"},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT, "SNAPSHOT"}, {SDLK_INSERT, VK_INSERT, "INSERT"},
    {SDLK_DELETE, VK_DELETE, "DELETE"},      {SDLK_LGUI, VK_LWIN, "LWIN"},
    {SDLK_RGUI, VK_RWIN, "RWIN"},            {SDLK_APPLICATION, VK_APPS, "APPS"},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY, "MULTIPLY"}, {SDLK_KP_PLUS, VK_ADD, "ADD"},
    {SDLK_KP_MINUS, VK_SUBTRACT, "SUBTRACT"}, {SDLK_KP_PERIOD, VK_DECIMAL, "DECIMAL"},
    {SDLK_KP_DIVIDE, VK_DIVIDE, "DIVIDE"},   {SDLK_NUMLOCKCLEAR, VK_NUMLOCK, "NUMLOCK"},
    {SDLK_SCROLLLOCK, VK_SCROLL, "SCROLL"},  {SDLK_SEMICOLON, VK_OEM_1, "OEM_1"},
    {SDLK_EQUALS, VK_OEM_PLUS, "OEM_PLUS"},  {SDLK_PLUS, VK_OEM_PLUS, "PLUS"},
    {SDLK_COMMA, VK_OEM_COMMA, "OEM_COMMA"}, {SDLK_MINUS, VK_OEM_MINUS, "OEM_MINUS"},
    {SDLK_PERIOD, VK_OEM_PERIOD, "OEM_PERIOD"}, {SDLK_SLASH, VK_OEM_2, "OEM_2"},
    {SDLK_BACKQUOTE, VK_OEM_3, "OEM_3"},     {SDLK_LEFTBRACKET, VK_OEM_4, "OEM_4"},
    {SDLK_BACKSLASH, VK_OEM_5, "OEM_5"},     {SDLK_RIGHTBRACKET, VK_OEM_6, "OEM_6"},
    {SDLK_QUOTE, VK_OEM_7, "OEM_7"},         {SDLK_LESS, VK_OEM_102, "OEM_102"},
};

int SdlKeyToVirtualKey(int32_t sdlKey)
{
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z)
        return 'A' + (sdlKey - SDLK_a);
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9)
        return '0' + (sdlKey - SDLK_0);
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12)
        return VK_F1 + (sdlKey - SDLK_F1);
    if (sdlKey >= SDLK_F13 && sdlKey <= SDLK_F24)
        return VK_F1 + 12 + (sdlKey - SDLK_F13);
    if (sdlKey >= SDLK_KP_1 && sdlKey <= SDLK_KP_9)
        return VK_NUMPAD0 + 1 + (sdlKey - SDLK_KP_1);
    if (sdlKey == SDLK_KP_0)
        return VK_NUMPAD0;
    for (const KeyPair& k : NamedKeys) {
        if (k.sdlKey == sdlKey)
            return k.virtualKey;
    }
    return 0;
}

int SdlKeyToSidedVirtualKey(int32_t sdlKey)
{
    switch (sdlKey) {
    case SDLK_LSHIFT: return VK_LSHIFT;
    case SDLK_RSHIFT: return VK_RSHIFT;
    case SDLK_LCTRL: return VK_LCONTROL;
    case SDLK_RCTRL: return VK_RCONTROL;
    case SDLK_LALT: return VK_LMENU;
    case SDLK_RALT: return VK_RMENU;
    default: return 0;
    }
}

int32_t VirtualKeyToSdlKey(int virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return SDLK_a + (virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9')
        return SDLK_0 + (virtualKey - '0');
    if (virtualKey >= VK_F1 && virtualKey < VK_F1 + 12)
        return SDLK_F1 + (virtualKey - VK_F1);
    if (virtualKey >= VK_F1 + 12 && virtualKey <= VK_F24)
        return SDLK_F13 + (virtualKey - VK_F1 - 12);
    if (virtualKey == VK_NUMPAD0)
        return SDLK_KP_0;
    if (virtualKey > VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return SDLK_KP_1 + (virtualKey - VK_NUMPAD0 - 1);
    for (const KeyPair& k : NamedKeys) {
        if (k.virtualKey == virtualKey)
            return k.sdlKey;
    }
    return 0;
}

int VirtualKeyFromName(const char* name)
{
    if (!name || !*name)
        return 0;
    if (name[1] == '\0') {
        char c = name[0];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return c;
        if (c == ' ')
            return VK_SPACE;
        return 0;
    }
    if ((name[0] == 'F' || name[0] == 'f') && name[1] >= '1' && name[1] <= '9') {
        char* end = nullptr;
        long n = std::strtol(name + 1, &end, 10);
        return (*end == '\0' && n >= 1 && n <= 24) ? VK_F1 + static_cast<int>(n) - 1 : 0;
    }
    if (name[0] == '0' && (name[1] == 'x' || name[1] == 'X')) {
        char* end = nullptr;
        long n = std::strtol(name + 2, &end, 16);
        return (*end == '\0' && n > 0 && n < 256) ? static_cast<int>(n) : 0;
    }
    const char* bare = strncasecmp(name, "VK_", 3) == 0 ? name + 3 : name;
    if (strcasecmp(bare, "ESC") == 0)
        return VK_ESCAPE;
    if (strcasecmp(bare, "CTRL") == 0)
        return VK_CONTROL;
    if (strcasecmp(bare, "ALT") == 0)
        return VK_MENU;
    for (const KeyPair& k : NamedKeys) {
        if (strcasecmp(bare, k.name) == 0)
            return k.virtualKey;
    }
    return 0;
}
