// Entry point of the map program: hands the command line to WinMain.
#include "app/winmain.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ProgramArgumentCount = argc;
    ProgramArguments = argv;
    // The module's instance handle: any non-null value names the program.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
    int code = WinMain(instance, nullptr, argc > 1 ? argv[1] : nullptr, 10);
    // Threads that still run end with the process, as on the home platform:
    // no destructors run under them.
    std::fflush(nullptr);
    std::_Exit(code);
}
