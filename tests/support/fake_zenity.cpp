// A scripted zenity for the dialog tests.
#include "tests/support/fake_zenity.h"

#include <cstdlib>
#include <sys/stat.h>

FakeZenity::FakeZenity() : path_(getenv("PATH") ? getenv("PATH") : "")
{
    unsetenv("SDL_VIDEODRIVER");
    setenv("DISPLAY", ":99", 1);
    setenv("PATH", (folder_.Path() + ":" + path_).c_str(), 1);
}

FakeZenity::~FakeZenity()
{
    setenv("PATH", path_.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    unsetenv("DISPLAY");
}

void FakeZenity::Answer(const std::string& text, int status)
{
    std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + folder_.Path() + "/args'\nprintf '%s\\n' '" + text +
                         "'\nexit " + std::to_string(status) + "\n";
    WriteFileText(folder_ / "zenity", script);
    chmod((folder_ / "zenity").c_str(), 0755);
}

std::string FakeZenity::Arguments() const
{
    return ReadFileText(folder_ / "args");
}
