// The exchange files of the helper programs and their one way of asking.
#include "helpers/helper_exchange.h"

#include "platform/codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool ReadExchangeLines(const std::string& path, std::vector<std::string>* lines, size_t limit)
{
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return false;
    lines->clear();
    std::string line;
    int c;
    while (lines->size() < limit && (c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            lines->push_back(line);
            line.clear();
        } else if (c != '\r' && line.size() < 4096) {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty() && lines->size() < limit)
        lines->push_back(line);
    std::fclose(f);
    return true;
}

std::vector<long> LineNumbers(const std::string& line, size_t max)
{
    std::vector<long> numbers;
    const char* p = line.c_str();
    while (numbers.size() < max) {
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || (*end && *end != ' ' && *end != '\t' && *end != '|'))
            break;
        numbers.push_back(value);
        p = *end == '|' ? end + 1 : end;
    }
    return numbers;
}

bool WriteReply(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".part";
    FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool HasDisplay()
{
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (strcasecmp(driver, "dummy") == 0 || strcasecmp(driver, "offscreen") == 0))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

namespace {

// 1 answered, 0 cancelled, -1 zenity did not run.
int RunZenity(const std::vector<std::string>& args, std::string* answer)
{
    int ends[2];
    if (pipe(ends) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    std::vector<char*> argv;
    std::string program = "zenity";
    argv.push_back(program.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (spawned != 0) {
        close(ends[0]);
        return -1;
    }
    std::string output;
    char buffer[512];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(ends[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -1;
    *answer = output.substr(0, output.find('\n'));
    return WEXITSTATUS(status) == 0 ? 1 : 0;
}

}  // namespace

bool AskUser(const std::vector<std::string>& args, std::string* answer)
{
    if (HasDisplay()) {
        int result = RunZenity(args, answer);
        if (result >= 0)
            return result == 1;
    }
    const char* scripted = std::getenv("TVL_DIALOG_ANSWER");
    if (!scripted || !*scripted)
        return false;
    *answer = scripted;
    return true;
}

std::string ToUtf8(const std::string& cp1252)
{
    std::string out(cp1252.size() * 3 + 1, '\0');
    Cp1252ToUtf8(cp1252.c_str(), out.data(), out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string FromUtf8(const std::string& utf8)
{
    std::string out(utf8.size() + 1, '\0');
    Utf8ToCp1252(utf8.c_str(), out.data(), out.size());
    out.resize(std::strlen(out.c_str()));
    return out;
}
