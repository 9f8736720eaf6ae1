// A scripted zenity (or yad) for the dialog tests.
#include "tests/support/fake_zenity.h"

#include <cstdlib>
#include <sys/stat.h>

FakeZenity::FakeZenity(const std::string& program) : program_(program), path_(getenv("PATH") ? getenv("PATH") : "")
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

void FakeZenity::WriteScript(const std::string& body)
{
    std::string dir = folder_.Path();
    std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir + "/args'\ncat > '" + dir + "/input'\necho x >> '" +
                         dir + "/calls'\n" + body;
    WriteFileText(folder_ / program_, script);
    chmod((folder_ / program_).c_str(), 0755);
}

void FakeZenity::Answer(const std::string& text, int status)
{
    WriteScript("printf '%s\\n' '" + text + "'\nexit " + std::to_string(status) + "\n");
}

void FakeZenity::AnswersInTurn(const std::vector<std::pair<std::string, int>>& answers)
{
    // Each answer from a file of its own, so that it may hold any byte.
    std::string body = "n=$(wc -l < '" + folder_.Path() + "/calls')\ncase $n in\n";
    for (size_t i = 0; i < answers.size(); i++) {
        std::string file = folder_ / ("answer" + std::to_string(i + 1));
        WriteFileText(file, answers[i].first + "\n");
        body += std::to_string(i + 1) + ") cat '" + file + "'; exit " + std::to_string(answers[i].second) + ";;\n";
    }
    body += "esac\nexit 1\n";
    WriteScript(body);
}

std::string FakeZenity::Arguments() const
{
    return ReadFileText(folder_ / "args");
}

std::string FakeZenity::Input() const
{
    return ReadFileText(folder_ / "input");
}

int FakeZenity::Calls() const
{
    std::string calls = ReadFileText(folder_ / "calls");
    int n = 0;
    for (char c : calls)
        n += c == '\n';
    return n;
}
