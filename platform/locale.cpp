// The user's locale as the home platform names it, from the environment.
#include "platform/locale.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

int GetSystemLocaleName(char* out, int size)
{
    if (!out || size <= 0)
        return 0;
    const char* value = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        value = getenv(variable);
        if (value && *value)
            break;
        value = nullptr;
    }
    char name[64];
    snprintf(name, sizeof name, "%s", value ? value : "C");
    // "language_TERRITORY.codeset@modifier": the codeset and modifier go.
    name[strcspn(name, ".@")] = '\0';
    for (char* p = name; *p; p++) {
        if (*p == '_')
            *p = '-';
    }
    if (strcmp(name, "POSIX") == 0 || name[0] == '\0')
        snprintf(name, sizeof name, "C");
    return snprintf(out, static_cast<size_t>(size), "%s", name) >= size ? size - 1 : static_cast<int>(strlen(out));
}
