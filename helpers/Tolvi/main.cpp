// The browser window: opens the address it is given, or the system's web
// page, in the user's browser. Headless nothing opens.
#include "helpers/helper_exchange.h"

#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

int main(int argc, char** argv)
{
    std::string address = argc >= 2 ? argv[1] : "https://maps.tabrix-software.example/";
    if (!CanAskUser())
        return 0;
    std::string program = "xdg-open";
    char* args[] = {program.data(), address.data(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, args, environ) != 0)
        return 1;
    int status = 0;
    waitpid(pid, &status, 0);
    return 0;
}
