// The user's locale as the home platform names it ("de-DE").
#pragma once

// Writes the system default locale name into out (size bytes): from LC_ALL,
// LC_MESSAGES or LANG, "de_DE.UTF-8" becoming "de-DE"; "C" when none is set.
// Returns the length written.
int GetSystemLocaleName(char* out, int size);
