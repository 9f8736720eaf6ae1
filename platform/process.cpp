// Starting programs the way the shell of the home platform does, on
// posix_spawn: helper programs from the program folder, "cmd.exe /c" on
// /bin/sh with every argument quoted, the PDF tools on mutool.
#include "platform/process.h"

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/sync.h"

#include <cerrno>
#include <fcntl.h>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
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

// Splits a command line as the home platform does: blanks separate,
// double quotes group and are dropped.
Arguments SplitCommandLine(const char* text)
{
    Arguments words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char* p = text ? text : ""; *p; p++) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += *p;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// Length of a redirection or chaining operator at the start of word.
size_t OperatorLength(const std::string& word)
{
    static const char* const operators[] = {"2>>", "2>&1", "2>", ">>", "&&", "||", ">", "<", "|", "&"};
    for (const char* op : operators) {
        size_t n = strlen(op);
        if (word.compare(0, n, op) == 0)
            return n;
    }
    return 0;
}

// "cmd.exe /c ...": the command for /bin/sh, program mapped, every argument
// quoted so that nothing in a path is read by the shell.
bool BuildShellCommand(const char* parameters, Arguments* command)
{
    const char* p = parameters ? parameters : "";
    while (*p == ' ')
        p++;
    if (strncasecmp(p, "/c", 2) != 0 || (p[2] != ' ' && p[2] != '\0'))
        return false;
    Arguments words = SplitCommandLine(p + 2);
    if (words.empty())
        return false;
    Arguments program = MapProgram(words[0]);
    if (program.empty())
        return false;
    std::string line;
    for (const std::string& part : program)
        line += ShellQuote(part) + " ";
    for (size_t i = 1; i < words.size(); i++) {
        size_t op = OperatorLength(words[i]);
        std::string rest = words[i].substr(op);
        NormalizePath(rest.data());
        line += words[i].substr(0, op);
        if (!rest.empty())
            line += ShellQuote(rest);
        line += " ";
    }
    *command = {"/bin/sh", "-c", line};
    return true;
}

// The full command for file and parameters; false with the shell's error.
bool BuildCommand(const char* file, const char* parameters, Arguments* command, int* error)
{
    std::string path = file ? file : "";
    NormalizePath(path.data());
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (strcasecmp(base.c_str(), "cmd.exe") == 0) {
        *error = ERROR_FILE_NOT_FOUND;
        return BuildShellCommand(parameters, command);
    }
    Arguments program = MapProgram(path);
    if (program.empty()) {
        char resolved[PATH_MAX];
        // A document opens in the desktop's viewer when there is a desktop.
        if (!EndsWithIgnoringCase(base, ".exe") && ResolvePath(path.c_str(), resolved, sizeof resolved) &&
            HasDisplay() && !FindOnPath("xdg-open").empty()) {
            *command = {FindOnPath("xdg-open"), resolved};
            return true;
        }
        *error = EndsWithIgnoringCase(base, ".exe") || path.empty() ? ERROR_FILE_NOT_FOUND : SE_ERR_NOASSOC;
        return false;
    }
    *command = program;
    for (std::string& word : SplitCommandLine(parameters)) {
        NormalizePath(word.data());
        command->push_back(word);
    }
    return true;
}

int Spawn(const Arguments& command, const char* directory, pid_t* pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    char folder[PATH_MAX];
    if (directory && *directory) {
        if (!ResolvePath(directory, folder, sizeof folder)) {
            posix_spawn_file_actions_destroy(&actions);
            return ENOENT;
        }
        posix_spawn_file_actions_addchdir_np(&actions, folder);
    }
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    int result = posix_spawn(pid, argv[0], &actions, nullptr, argv.data(), environ);
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
    Arguments command;
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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!process->ended) {
        int status = 0;
        pid_t got = waitpid(process->pid, &status, milliseconds == INFINITE ? 0 : WNOHANG);
        if (got == process->pid) {
            process->ended = true;
            process->exitCode = ExitCodeOf(status);
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
