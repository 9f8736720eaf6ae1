// Console keyboard on a terminal: the first _kbhit puts the terminal into
// non-canonical mode without echo (restored at exit), then keys are polled.
#include "platform/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace {

std::once_flag TerminalSetUp;
bool IsTerminal = false;
termios SavedMode;

void RestoreTerminal()
{
    tcsetattr(STDIN_FILENO, TCSANOW, &SavedMode);
}

void SetUpTerminal()
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &SavedMode) != 0)
        return;
    termios raw = SavedMode;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0)
        return;
    IsTerminal = true;
    std::atexit(RestoreTerminal);
}

bool ByteWaiting(int timeoutMs)
{
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    return poll(&fd, 1, timeoutMs) == 1 && (fd.revents & POLLIN) != 0;
}

int ReadByte()
{
    unsigned char c;
    return read(STDIN_FILENO, &c, 1) == 1 ? c : -1;
}

}  // namespace

int _kbhit()
{
    std::call_once(TerminalSetUp, SetUpTerminal);
    return IsTerminal && ByteWaiting(0) ? 1 : 0;
}

int _getch()
{
    std::call_once(TerminalSetUp, SetUpTerminal);
    int c = ReadByte();
    if (c != 27)
        return c;
    // A sequence sends its bytes together; a lone ESC has nothing behind it.
    if (!ByteWaiting(5))
        return 27;
    while (ByteWaiting(5))
        ReadByte();
    return 0xE0;
}

HWND GetConsoleWindow()
{
    return nullptr;
}
