// The browser window: opens the address it is given, or the system's web
// page, in the user's browser. Where no browser can be started the user is
// told so, with the address. Headless nothing opens.
#include "helpers/helper_exchange.h"
#include "platform/codepage.h"

#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

// Runs a browser starter with the address; true when it ran and succeeded.
bool OpenWith(const char* program, const std::string& address)
{
    std::string name = program, target = address;
    char* args[] = {name.data(), target.data(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, program, nullptr, nullptr, args, environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string address = argc >= 2 ? argv[1] : "https://maps.tabrix-software.example/";
    if (!CanAskUser())
        return 0;
    for (const char* program : {"xdg-open", "sensible-browser", "x-www-browser"})
        if (OpenWith(program, address))
            return 0;
    std::string ignored;
    RunDialogTool(DialogTool::Zenity,
                  {"--info", "--no-markup", "--title=Browser",
                   "--text=No web browser could be started here. The address is:\n" + ToUtf8(address)},
                  &ignored);
    return 1;
}
