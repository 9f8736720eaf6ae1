// Message boxes through zenity (SDL's own box where zenity cannot run) when a
// display is up, and headless with the answer taken from the environment, so
// no test ever waits on one.
#include "platform/messagebox.h"

#include "platform/codepage.h"
#include "platform/termination.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The program's log, when the program has one (the proxy has none).
void WriteLog(const char* text) __attribute__((weak));

extern char** environ;

namespace {

struct ButtonSet {
    int count;
    int ids[3];
    const char* labels[3];
};

ButtonSet ButtonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {2, {IDOK, IDCANCEL}, {"OK", "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {3, {IDABORT, IDRETRY, IDIGNORE}, {"Abort", "Retry", "Ignore"}};
    case MB_YESNOCANCEL:
        return {3, {IDYES, IDNO, IDCANCEL}, {"Yes", "No", "Cancel"}};
    case MB_YESNO:
        return {2, {IDYES, IDNO}, {"Yes", "No"}};
    case MB_RETRYCANCEL:
        return {2, {IDRETRY, IDCANCEL}, {"Retry", "Cancel"}};
    default:
        return {1, {IDOK}, {"OK"}};
    }
}

int DefaultButton(const ButtonSet& buttons, UINT type)
{
    int index = static_cast<int>((type >> 8) & 0xF);
    return buttons.ids[index < buttons.count ? index : 0];
}

// The answer of TVL_MESSAGEBOX_ANSWER: a name such as "IDYES" or a number.
int AnswerFromEnvironment()
{
    static const struct {
        const char* name;
        int id;
    } names[] = {{"IDOK", IDOK},         {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT}, {"IDRETRY", IDRETRY},
                 {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},       {"IDNO", IDNO}};
    const char* answer = getenv("TVL_MESSAGEBOX_ANSWER");
    if (!answer || !*answer)
        return IDOK;
    for (const auto& entry : names) {
        if (strcasecmp(answer, entry.name) == 0)
            return entry.id;
    }
    char* end = nullptr;
    long number = strtol(answer, &end, 10);
    return end != answer && *end == '\0' ? static_cast<int>(number) : IDOK;
}

bool HasDisplay()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && strcmp(driver, "dummy") != 0 && strcmp(driver, "offscreen") != 0;
}

// A termination signal (SIGTERM, SIGINT) while a box is open: SDL shows the
// box in a child process of its own and waits for it, and the signal's quit
// event would wait with it. The signal wakes the box's watcher, which ends
// the box; boxes asked for after the signal are not shown at all.

// The process ids of this process's children, from /proc.
std::vector<pid_t> ChildProcesses()
{
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc)
        return children;
    pid_t self = getpid();
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        FILE* f = std::fopen(path, "r");
        if (!f)
            continue;
        char stat[512] = "";
        size_t n = std::fread(stat, 1, sizeof stat - 1, f);
        std::fclose(f);
        stat[n] = 0;
        const char* afterName = std::strrchr(stat, ')');
        char state = 0;
        long parent = 0;
        if (afterName && std::sscanf(afterName + 1, " %c %ld", &state, &parent) == 2 && parent == self)
            children.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return children;
}

// Ends the box's process: the child that came while the box opened (the
// video layer runs the box as a program of its own, or in a copy of this
// one), not a program some other thread had started before.
void EndBoxProcesses(const std::vector<pid_t>& before)
{
    for (pid_t child : ChildProcesses())
        if (std::find(before.begin(), before.end(), child) == before.end())
            kill(child, SIGKILL);
}

// Watches for a termination signal while one box is open.
class BoxWatch {
public:
    BoxWatch() : done_(eventfd(0, EFD_CLOEXEC)), before_(ChildProcesses())
    {
        if (done_ >= 0 && TerminationEventFd() >= 0)
            thread_ = std::thread([this] { Watch(); });
    }
    ~BoxWatch()
    {
        if (thread_.joinable()) {
            uint64_t one = 1;
            if (write(done_, &one, sizeof one) < 0) {
                // Cannot happen for an eventfd below its limit.
            }
            thread_.join();
        }
        if (done_ >= 0)
            close(done_);
    }
    BoxWatch(const BoxWatch&) = delete;
    BoxWatch& operator=(const BoxWatch&) = delete;

private:
    int done_;
    std::vector<pid_t> before_;
    std::thread thread_;

    void Watch()
    {
        for (;;) {
            // Once the signal came, look again shortly: the box's process
            // may not have been started yet when it came.
            bool ending = IsTerminationRequested();
            if (ending)
                EndBoxProcesses(before_);
            pollfd fds[2] = {{done_, POLLIN, 0}, {ending ? -1 : TerminationEventFd(), POLLIN, 0}};
            if (poll(fds, 2, ending ? 50 : -1) < 0 && errno != EINTR)
                return;
            if (fds[0].revents)
                return;
        }
    }
};

int ShowWithSdl(const char* text, const char* caption, UINT type, const ButtonSet& buttons)
{
    SDL_MessageBoxButtonData data[3];
    int defaultId = DefaultButton(buttons, type);
    for (int i = 0; i < buttons.count; i++) {
        data[i].flags = buttons.ids[i] == defaultId ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        if (buttons.ids[i] == IDCANCEL || buttons.ids[i] == IDNO || buttons.count == 1)
            data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data[i].buttonid = buttons.ids[i];
        data[i].text = buttons.labels[i];
    }
    UINT icon = type & 0xF0;
    SDL_MessageBoxData box{};
    box.flags = icon == MB_ICONHAND ? SDL_MESSAGEBOX_ERROR
                : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                             : SDL_MESSAGEBOX_INFORMATION;
    box.title = caption;
    box.message = text;
    box.numbuttons = buttons.count;
    box.buttons = data;
    int chosen = -1;
    int shown = -1;
    {
        BoxWatch watch;
        if (!IsTerminationRequested())
            shown = SDL_ShowMessageBox(&box, &chosen);
    }
    // Ended by a termination signal, or closed without a button: what Escape
    // would have chosen (the program ends through its own quit next).
    if (IsTerminationRequested() || (shown == 0 && chosen <= 0))
        return buttons.ids[buttons.count - 1];
    return shown == 0 ? chosen : -1;
}

// zenity's arguments for the box: one button an information, two a question
// whose buttons are ours, three buttons of their own (zenity then prints the
// label of the one chosen).
std::vector<std::string> ZenityBoxArguments(const char* text, const char* caption, UINT type,
                                            const ButtonSet& buttons)
{
    UINT icon = type & 0xF0;
    const char* iconName = icon == MB_ICONHAND          ? "dialog-error"
                           : icon == MB_ICONEXCLAMATION ? "dialog-warning"
                           : icon == MB_ICONQUESTION    ? "dialog-question"
                                                        : "dialog-information";
    std::vector<std::string> args = {buttons.count == 1 ? "--info" : "--question", "--no-markup",
                                     std::string("--icon-name=") + iconName, std::string("--title=") + caption,
                                     std::string("--text=") + text};
    if (buttons.count == 1) {
        args.push_back("--ok-label=OK");
    } else if (buttons.count == 2) {
        args.push_back(std::string("--ok-label=") + buttons.labels[0]);
        args.push_back(std::string("--cancel-label=") + buttons.labels[1]);
        if (DefaultButton(buttons, type) == buttons.ids[1])
            args.push_back("--default-cancel");
    } else {
        args.push_back("--switch");
        for (int i = 0; i < buttons.count; i++)
            args.push_back(std::string("--extra-button=") + buttons.labels[i]);
    }
    return args;
}

// The box as a zenity of our own, so that a termination signal can end it:
// the chosen ID*, the Escape button when it was closed or ended, -1 when
// zenity cannot run.
int ShowWithZenity(const char* text, const char* caption, UINT type, const ButtonSet& buttons)
{
    int escape = buttons.ids[buttons.count - 1];
    if (IsTerminationRequested())
        return escape;
    std::vector<std::string> args = ZenityBoxArguments(text, caption, type, buttons);
    std::vector<char*> argv;
    std::string program = "zenity";
    argv.push_back(program.data());
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (failed != 0) {
        close(out[0]);
        return -1;
    }
    std::string output;
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {TerminationEventFd(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (IsTerminationRequested()) {
            kill(pid, SIGTERM);
            break;
        }
        if (!fds[0].revents)
            continue;
        char buffer[256];
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (IsTerminationRequested())
        return escape;
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return -1;
    int code = WEXITSTATUS(status);
    if (buttons.count == 1)
        return IDOK;
    if (buttons.count == 2)
        return code == 0 ? buttons.ids[0] : buttons.ids[1];
    std::string chosen = output.substr(0, output.find('\n'));
    for (int i = 0; i < buttons.count; i++)
        if (chosen == buttons.labels[i])
            return buttons.ids[i];
    return escape;
}

// Headless: the box is reported, and an answer the box cannot give becomes
// its default button.
int ShowHeadless(const char* text, const char* caption, UINT type, const ButtonSet& buttons)
{
    fprintf(stderr, "[%s] %s\n", caption, text);
    int answer = AnswerFromEnvironment();
    for (int i = 0; i < buttons.count; i++) {
        if (buttons.ids[i] == answer)
            return answer;
    }
    return DefaultButton(buttons, type);
}

} // namespace

int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT type)
{
    (void)window;
    const char* body = text ? text : "";
    const char* title = caption ? caption : "Error";
    if (WriteLog) {
        char line[2048];
        snprintf(line, sizeof line, "MessageBox [%s] %s", title, body);
        WriteLog(line);
    }
    char utf8Text[4096];
    char utf8Title[512];
    Cp1252ToUtf8(body, utf8Text, sizeof utf8Text);
    Cp1252ToUtf8(title, utf8Title, sizeof utf8Title);
    ButtonSet buttons = ButtonsOf(type);
    if (HasDisplay()) {
        WatchTerminationSignals();
        int chosen = ShowWithZenity(utf8Text, utf8Title, type, buttons);
        if (chosen <= 0)
            chosen = ShowWithSdl(utf8Text, utf8Title, type, buttons);
        if (chosen > 0)
            return chosen;
    }
    return ShowHeadless(utf8Text, utf8Title, type, buttons);
}
