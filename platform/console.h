// The console of a console program: the keyboard read without waiting, as
// the runtime's _kbhit/_getch give it, and the console's window handle.
#pragma once

#include "platform/win32.h"

// Non-zero when a key is waiting. Without a terminal on standard input
// (headless, piped) no key ever waits.
int _kbhit();
// The waiting key (blocks when none). A terminal's escape sequence for a
// cursor or function key comes back as one 0xE0, so only a lone ESC is 27.
int _getch();
// A terminal has no window handle a program could minimise: always null.
HWND GetConsoleWindow();
