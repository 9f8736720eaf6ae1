// Starting programs the way the shell of the home platform does, on
// posix_spawn: helper programs from the program folder, "cmd.exe /c" as the
// program it names with its redirections and no shell, the PDF tools on mutool.
#include "platform/process.h"

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/sync.h"
#include "platform/log.h"
#include "platform/termination.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct ProcessHandle {
    HandleObject base{HandleKind::Process};
    pid_t pid = -1;
    std::mutex lock; // any thread that waits on or closes the handle
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

typedef std::vector<std::string> Arguments;

bool EndsWithIgnoringCase(const std::string& text, const char* tail)
{
    size_t n = strlen(tail);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, tail) == 0;
}

bool IsExecutable(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const char* name)
{
    const char* path = getenv("PATH");
    std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (end > start && IsExecutable(candidate))
            return candidate;
        start = end + 1;
    }
    return "";
}

bool HasDisplay()
{
    const char* x = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// The executable named stem in folder, spelt in any case.
std::string FindIn(const std::string& folder, const std::string& stem)
{
    char resolved[PATH_MAX];
    if (ResolvePath((folder + "/" + stem).c_str(), resolved, sizeof resolved) && IsExecutable(resolved))
        return resolved;
    return "";
}

// The command that stands for program (a path as the system spells it);
// empty when there is none.
Arguments MapProgram(const std::string& program)
{
    std::string path = program;
    NormalizePath(path.data());
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!EndsWithIgnoringCase(base, ".exe")) {
        if (IsExecutable(path))
            return {path};
        return {};
    }
    std::string stem = base.substr(0, base.size() - 4);
    bool pageTool = strcasecmp(stem.c_str(), "mutool") == 0 || strcasecmp(stem.c_str(), "Rastoq") == 0;
    if (strcasecmp(stem.c_str(), "mudraw") == 0 || pageTool) {
        std::string tool = FindOnPath("mutool");
        if (tool.empty())
            return {};
        if (strcasecmp(stem.c_str(), "mudraw") == 0)
            return {tool, "draw"};
        return {tool};
    }
    // The desktop's PDF viewer stands in for the one the system names.
    if (strcasecmp(stem.c_str(), "AcroRd32") == 0) {
        std::string viewer = HasDisplay() ? FindOnPath("xdg-open") : "";
        if (viewer.empty())
            return {};
        return {viewer};
    }
    std::string found = FindIn(ProgramFolder(), stem);
    if (found.empty())
        found = FindIn(folder, stem);
    if (found.empty())
        return {};
    return {found};
}

// A word of a command line, whether any of it was in double quotes, and
// whether it holds a '|' or '&' outside them.
struct Word {
    std::string text;
    bool quoted = false;
    bool bareChain = false;
};

// Splits a command line as the home platform does: blanks separate,
// double quotes group and are dropped.
std::vector<Word> SplitWords(const char* text)
{
    std::vector<Word> words;
    Word word;
    bool inQuotes = false;
    bool any = false;
    for (const char* p = text ? text : ""; *p; p++) {
        if (*p == '"') {
            inQuotes = !inQuotes;
            word.quoted = any = true;
        } else if ((*p == ' ' || *p == '\t') && !inQuotes) {
            if (any)
                words.push_back(word);
            word = Word();
            any = false;
        } else {
            word.text += *p;
            word.bareChain = word.bareChain || (!inQuotes && (*p == '|' || *p == '&'));
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

// A standard stream of "cmd.exe /c" sent to or taken from a file, or
// standard error joined to standard output.
struct Redirection {
    int stream;
    std::string path;
    int flags;
    bool join;
};

// What a program is started with: its argument vector and the redirections
// of its standard streams, in the order given.
struct Command {
    Arguments words;
    std::vector<Redirection> redirections;
};

struct RedirectionOperator {
    const char* text;
    int stream;
    int flags; // of the file's open; unused by the join
    bool join;
};

// The redirection operator an unquoted word starts with; null for none.
const RedirectionOperator* FindRedirection(const std::string& word)
{
    static const RedirectionOperator operators[] = {
        {"2>&1", STDERR_FILENO, 0, true},
        {"2>>", STDERR_FILENO, O_WRONLY | O_CREAT | O_APPEND, false},
        {"2>", STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC, false},
        {"1>>", STDOUT_FILENO, O_WRONLY | O_CREAT | O_APPEND, false},
        {"1>", STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC, false},
        {">>", STDOUT_FILENO, O_WRONLY | O_CREAT | O_APPEND, false},
        {">", STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC, false},
        {"<", STDIN_FILENO, O_RDONLY, false},
    };
    for (const RedirectionOperator& op : operators) {
        if (word.compare(0, strlen(op.text), op.text) == 0)
            return &op;
    }
    return nullptr;
}

// "cmd.exe /c ...": the mapped program with its arguments as they stand and
// the redirections done by the spawn itself, so that no shell ever reads a
// word; false for a command it does not run (another program chained on).
bool BuildCmdCommand(const char* parameters, Command* command)
{
    const char* p = parameters ? parameters : "";
    while (*p == ' ')
        p++;
    if (strncasecmp(p, "/c", 2) != 0 || (p[2] != ' ' && p[2] != '\0'))
        return false;
    std::vector<Word> words = SplitWords(p + 2);
    if (words.empty() || words[0].bareChain)
        return false;
    command->words = MapProgram(words[0].text);
    if (command->words.empty())
        return false;
    for (size_t i = 1; i < words.size(); i++) {
        std::string text = words[i].text;
        const RedirectionOperator* op = words[i].quoted ? nullptr : FindRedirection(text);
        // Chaining and piping start another program, which this never does.
        if (words[i].bareChain && !(op && op->join))
            return false;
        if (op == nullptr) {
            NormalizePath(text.data());
            command->words.push_back(text);
            continue;
        }
        std::string target = text.substr(strlen(op->text));
        if (op->join) {
            if (!target.empty())
                return false;
        } else if (target.empty()) {
            // "> file": the file is the next word.
            if (++i >= words.size() || words[i].bareChain || (!words[i].quoted && FindRedirection(words[i].text)))
                return false;
            target = words[i].text;
        }
        NormalizePath(target.data());
        if (!op->join && target.empty())
            return false;
        command->redirections.push_back({op->stream, target, op->flags, op->join});
    }
    return true;
}

// The full command for file and parameters; false with the shell's error.
bool BuildCommand(const char* file, const char* parameters, Command* command, int* error)
{
    std::string path = file ? file : "";
    NormalizePath(path.data());
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (strcasecmp(base.c_str(), "cmd.exe") == 0) {
        *error = ERROR_FILE_NOT_FOUND;
        return BuildCmdCommand(parameters, command);
    }
    Arguments program = MapProgram(path);
    if (program.empty()) {
        char resolved[PATH_MAX];
        // A document opens in the desktop's viewer when there is a desktop.
        if (!EndsWithIgnoringCase(base, ".exe") && ResolvePath(path.c_str(), resolved, sizeof resolved) &&
            HasDisplay() && !FindOnPath("xdg-open").empty()) {
            command->words = {FindOnPath("xdg-open"), resolved};
            return true;
        }
        *error = EndsWithIgnoringCase(base, ".exe") || path.empty() ? ERROR_FILE_NOT_FOUND : SE_ERR_NOASSOC;
        return false;
    }
    command->words = program;
    for (Word& word : SplitWords(parameters)) {
        NormalizePath(word.text.data());
        command->words.push_back(word.text);
    }
    return true;
}

// A helper gets its standard streams only: a socket or file the program holds
// stays the program's, so a helper left running keeps no port taken.
void CloseInheritedFiles(posix_spawn_file_actions_t* actions)
{
    posix_spawn_file_actions_addclosefrom_np(actions, STDERR_FILENO + 1);
}

int Spawn(const Command& command, const char* directory, pid_t* pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    CloseInheritedFiles(&actions);
    char folder[PATH_MAX];
    if (directory && *directory) {
        if (!ResolvePath(directory, folder, sizeof folder)) {
            posix_spawn_file_actions_destroy(&actions);
            return ENOENT;
        }
        posix_spawn_file_actions_addchdir_np(&actions, folder);
    }
    // In the child after the change of folder, so relative paths are the folder's.
    for (const Redirection& r : command.redirections) {
        if (r.join)
            posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, r.stream);
        else
            posix_spawn_file_actions_addopen(&actions, r.stream, r.path.c_str(), r.flags, 0644);
    }
    std::vector<char*> argv;
    for (const std::string& word : command.words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    // A group of its own, so that ending the program can end the program it
    // started together with whatever that one started (its window ...).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int result = posix_spawn(pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

void ReapLater(pid_t pid)
{
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

DWORD ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128u + static_cast<DWORD>(WTERMSIG(status));
    return 1;
}

// Starts the command; pid of the child or -1 with the shell's error code.
pid_t Start(const char* file, const char* parameters, const char* directory, int* error)
{
    Command command;
    if (!BuildCommand(file, parameters, &command, error))
        return -1;
    pid_t pid = -1;
    int result = Spawn(command, directory, &pid);
    if (result != 0) {
        *error = result == ENOENT ? ERROR_PATH_NOT_FOUND : static_cast<int>(ErrnoToLastError(result));
        return -1;
    }
    return pid;
}

void NoteEnd(ProcessHandle* process, int status)
{
    process->ended = true;
    process->exitCode = ExitCodeOf(status);
}

// A descriptor that becomes readable when the process ends; -1 where the
// kernel has none.
int ProcessEventFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Waits up to milliseconds (-1: no limit) for the process, or until the
// termination signal came when stopAtTermination; true once it ended.
bool AwaitEnd(ProcessHandle* process, int pidfd, int milliseconds, bool stopAtTermination)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        pid_t got = waitpid(process->pid, &status, WNOHANG);
        if (got == process->pid || (got < 0 && errno == ECHILD)) {
            NoteEnd(process, status);
            return true;
        }
        if (stopAtTermination && IsTerminationRequested())
            return false;
        int wait = -1;
        if (milliseconds >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            wait = static_cast<int>(left.count());
        }
        // Without a process descriptor the end is looked for every 10 ms.
        if (pidfd < 0)
            wait = wait < 0 ? 10 : std::min(wait, 10);
        pollfd fds[2] = {{pidfd, POLLIN, 0}, {stopAtTermination ? TerminationEventFd() : -1, POLLIN, 0}};
        poll(fds, 2, wait);
    }
}

// The program ends: so does the program it waits for, and every program
// that one started (its group), asked first, then made to.
void EndProcessGroup(ProcessHandle* process, int pidfd)
{
    WriteLogF("Ending program %d and the programs it started", static_cast<int>(process->pid));
    kill(-process->pid, SIGTERM);
    if (!AwaitEnd(process, pidfd, 1000, false)) {
        kill(-process->pid, SIGKILL);
        AwaitEnd(process, pidfd, -1, false);
    }
    // Its group may outlive it (the pid stays taken while it does).
    kill(-process->pid, SIGKILL);
}

// The wait without a time limit, which a termination signal ends: the
// process is ended with it, so the program can go.
DWORD WaitForProcessOrTermination(ProcessHandle* process)
{
    if (process->ended)
        return WAIT_OBJECT_0;
    WatchTerminationSignals();
    int pidfd = ProcessEventFd(process->pid);
    if (!AwaitEnd(process, pidfd, -1, true))
        EndProcessGroup(process, pidfd);
    if (pidfd >= 0)
        close(pidfd);
    return WAIT_OBJECT_0;
}

} // namespace

bool IsProgramAvailable(const char* program)
{
    return program && !MapProgram(program).empty();
}

int RunProgramWithArguments(const char* program, const std::vector<std::string>& arguments, const char* directory,
                            const char* outputFile)
{
    Arguments command = program ? MapProgram(program) : Arguments();
    if (command.empty())
        return -1;
    command.insert(command.end(), arguments.begin(), arguments.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    CloseInheritedFiles(&actions);
    char folder[PATH_MAX], output[PATH_MAX];
    bool ok = true;
    if (directory && *directory) {
        ok = ResolvePath(directory, folder, sizeof folder);
        if (ok)
            posix_spawn_file_actions_addchdir_np(&actions, folder);
    }
    if (ok && outputFile && *outputFile) {
        ResolvePath(outputFile, output, sizeof output);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    ok = ok && posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!ok)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return static_cast<int>(ExitCodeOf(status));
}

const char* ProgramFolder()
{
    static std::once_flag once;
    static char folder[PATH_MAX];
    std::call_once(once, [] {
        char path[PATH_MAX];
        DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
        char* slash = n ? strrchr(path, '/') : nullptr;
        if (slash)
            *slash = '\0';
        snprintf(folder, sizeof folder, "%s", slash ? path : ".");
    });
    return folder;
}

HINSTANCE ShellExecuteA(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand)
{
    (void)window;
    (void)operation;
    (void)showCommand;
    int error = 0;
    pid_t pid = Start(file, parameters, directory, &error);
    if (pid < 0) {
        SetLastError(static_cast<DWORD>(error));
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(error));
    }
    ReapLater(pid);
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info)
{
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    int error = 0;
    pid_t pid = Start(info->lpFile, info->lpParameters, info->lpDirectory, &error);
    if (pid < 0) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(error));
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
    if (!(info->fMask & SEE_MASK_NOCLOSEPROCESS)) {
        ReapLater(pid);
        return TRUE;
    }
    ProcessHandle* process = new ProcessHandle;
    process->pid = pid;
    info->hProcess = RegisterHandle(&process->base);
    return TRUE;
}

DWORD WaitForProcess(HandleObject* object, DWORD milliseconds)
{
    auto* process = reinterpret_cast<ProcessHandle*>(object);
    std::lock_guard<std::mutex> hold(process->lock);
    if (milliseconds == INFINITE)
        return WaitForProcessOrTermination(process);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!process->ended) {
        int status = 0;
        pid_t got = waitpid(process->pid, &status, WNOHANG);
        if (got == process->pid) {
            NoteEnd(process, status);
        } else if (got < 0 && errno != EINTR) {
            SetLastError(ErrnoToLastError(errno));
            return WAIT_FAILED;
        } else if (got == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return WAIT_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return WAIT_OBJECT_0;
}

void CloseProcess(HandleObject* object)
{
    auto* process = reinterpret_cast<ProcessHandle*>(object);
    {
        std::lock_guard<std::mutex> hold(process->lock);
        if (!process->ended)
            ReapLater(process->pid);
    }
    delete process;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    HandleObject* object = FindHandle(handle, HandleKind::Process);
    if (!object || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (WaitForProcess(object, 0) == WAIT_FAILED)
        return FALSE;
    auto* process = reinterpret_cast<ProcessHandle*>(object);
    std::lock_guard<std::mutex> hold(process->lock);
    *exitCode = process->exitCode;
    return TRUE;
}
