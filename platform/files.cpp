// Files, folders and paths on POSIX: the Win32 file calls the system makes,
// with backslash paths normalised and names found case-insensitively.
#include "platform/files.h"

#include "platform/sync.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

char ProgramRoot[512];
char SystemFolder[512];
char IniFileName[64] = "Plovik.ini";
char IniFilePath[512];

namespace {

constexpr size_t PathBufferSize = PATH_MAX;

bool PathExists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

// Copies text into out (size bytes), cut and terminated; false when cut.
bool CopyText(char* out, size_t size, const char* text)
{
    if (size == 0)
        return false;
    size_t n = strlen(text);
    bool fits = n < size;
    if (!fits)
        n = size - 1;
    memcpy(out, text, n);
    out[n] = '\0';
    return fits;
}

// Appends one component to a path being rebuilt; false when it does not fit.
bool AppendComponent(char* out, size_t size, size_t* length, const char* name, size_t nameLength)
{
    bool needSlash = *length > 0 && out[*length - 1] != '/';
    size_t need = *length + (needSlash ? 1 : 0) + nameLength;
    if (need >= size)
        return false;
    if (needSlash)
        out[(*length)++] = '/';
    memcpy(out + *length, name, nameLength);
    *length += nameLength;
    out[*length] = '\0';
    return true;
}

// Looks in folder for an entry equal to name ignoring ASCII case.
bool FindEntryIgnoringCase(const char* folder, const char* name, size_t nameLength, char* found, size_t foundSize)
{
    DIR* dir = opendir(folder[0] ? folder : ".");
    if (!dir)
        return false;
    bool hit = false;
    while (struct dirent* entry = readdir(dir)) {
        if (strlen(entry->d_name) == nameLength && strncasecmp(entry->d_name, name, nameLength) == 0) {
            hit = CopyText(found, foundSize, entry->d_name);
            break;
        }
    }
    closedir(dir);
    return hit;
}

enum ResolveResult { ResolvedExists, ResolvedMissing, ResolvedTooLong };

// Rebuilds normalised path component by component, taking the spelling on
// disk where only the case differs. Components after the first missing one
// are kept as given, so a new file in a differently spelt folder lands there.
ResolveResult ResolveComponents(const char* normalised, char* out, size_t size)
{
    size_t length = 0;
    out[0] = '\0';
    const char* p = normalised;
    if (*p == '/') {
        out[length++] = '/';
        out[length] = '\0';
        while (*p == '/')
            p++;
    }
    bool resolving = true;
    while (*p) {
        const char* end = strchr(p, '/');
        size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        size_t before = length;
        if (!AppendComponent(out, size, &length, p, n))
            return ResolvedTooLong;
        if (resolving && !PathExists(out)) {
            out[before] = '\0';
            char name[NAME_MAX + 1];
            if (n <= NAME_MAX && FindEntryIgnoringCase(before ? out : ".", p, n, name, sizeof name)) {
                length = before;
                if (!AppendComponent(out, size, &length, name, strlen(name)))
                    return ResolvedTooLong;
            } else {
                resolving = false;
                length = before;
                AppendComponent(out, size, &length, p, n);
            }
        }
        if (!end)
            break;
        p = end;
        while (*p == '/')
            p++;
    }
    return resolving ? ResolvedExists : ResolvedMissing;
}

// Resolves path into a buffer of PathBufferSize bytes.
bool Resolve(const char* path, char* out)
{
    return ResolvePath(path, out, PathBufferSize);
}

bool Fail(DWORD code)
{
    SetLastError(code);
    return false;
}

bool FailFromErrno()
{
    return Fail(ErrnoToLastError(errno));
}

bool CopyFileContents(const char* from, const char* to, bool failIfExists)
{
    int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return FailFromErrno();
    struct stat st;
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(in);
        return Fail(ERROR_ACCESS_DENIED);
    }
    int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
    int out = open(to, flags, st.st_mode & 0777);
    if (out < 0) {
        int error = errno;
        close(in);
        return Fail(error == EEXIST ? ERROR_FILE_EXISTS : ErrnoToLastError(error));
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    int error = errno;
    close(in);
    if (close(out) != 0)
        ok = false;
    if (!ok) {
        unlink(to);
        return Fail(ErrnoToLastError(error));
    }
    return true;
}

// The room a test leaves each replaced file (negative: no limit), and
// whether their flush fails.
std::atomic<long long> FileSpaceForTests{-1};
std::atomic<bool> FlushFailsForTests{false};

int Flush(int fd)
{
    if (FlushFailsForTests) {
        errno = ENOSPC;
        return -1;
    }
    return fsync(fd);
}

// Writes all of data to fd; false with errno set when the disk (or a test's
// limit) takes less.
bool WriteAllBytes(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    long long room = FileSpaceForTests.load();
    size_t done = 0;
    while (done < size) {
        size_t chunk = size - done;
        if (room >= 0 && static_cast<long long>(done + chunk) > room) {
            if (static_cast<long long>(done) >= room) {
                errno = ENOSPC;
                return false;
            }
            chunk = static_cast<size_t>(room) - done;
        }
        ssize_t put = write(fd, bytes + done, chunk);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

// A fresh temporary file beside path, never one that a link points through.
int CreateTempBeside(const std::string& path, mode_t mode, std::string* temp)
{
    static std::atomic<unsigned> Counter{0};
    *temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(Counter++);
    int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(temp->c_str(), flags, mode);
    if (fd < 0 && errno == EEXIST && unlink(temp->c_str()) == 0)
        fd = open(temp->c_str(), flags, mode); // left by a crash
    return fd;
}

// The rename itself reaches the disk only with its folder.
void SyncFolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// The file a write to path lands in: a symbolic link's target, so the link
// stays a link; else path itself.
std::string WriteTarget(const char* path)
{
    struct stat st;
    char target[PathBufferSize];
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && realpath(path, target))
        return target;
    return path;
}

// Flushes the written temporary and renames it over target; on any failure
// the temporary goes and target stays as it was. fd is closed.
bool FinishReplacement(int fd, const std::string& temp, const std::string& target, bool written, int error,
                       void (*beforeRename)(const char*))
{
    bool ok = written;
    // A full disk may only show at the flush (delayed allocation, network
    // file systems), so the old file goes only after it.
    if (ok && Flush(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && beforeRename)
        beforeRename(temp.c_str());
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return Fail(ErrnoToLastError(error));
    }
    SyncFolderOf(target);
    return true;
}

} // namespace

void SetFullDiskForTests(long long bytes, bool flushFails)
{
    FileSpaceForTests = bytes < 0 ? -1 : bytes;
    FlushFailsForTests = flushFails;
}

bool ReplaceFileContents(const char* path, const void* data, size_t size, void (*beforeRename)(const char*))
{
    if (!path || !*path || (!data && size > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    std::string target = WriteTarget(path);
    mode_t mode = 0666;
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0)
            return Fail(ERROR_ACCESS_DENIED);
        mode = st.st_mode & 07777;
    }
    std::string temp;
    int fd = CreateTempBeside(target, mode, &temp);
    if (fd < 0)
        return FailFromErrno();
    if (mode != 0666)
        fchmod(fd, mode); // the old file's mode, not the umask's
    bool written = WriteAllBytes(fd, data, size);
    return FinishReplacement(fd, temp, target, written, errno, beforeRename);
}

bool ReplaceFileByPrinting(const char* path, const std::function<bool(FILE*)>& print)
{
    char* text = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&text, &size);
    if (!stream)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    bool printed = print(stream) && !ferror(stream);
    printed = fclose(stream) == 0 && printed;
    bool ok = printed ? ReplaceFileContents(path, text, size) : Fail(ERROR_INVALID_PARAMETER);
    free(text);
    return ok;
}

bool CommitReplacementFile(const char* tempPath, const char* path)
{
    if (!tempPath || !path || !*path)
        return Fail(ERROR_INVALID_PARAMETER);
    int fd = open(tempPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        unlink(tempPath);
        return Fail(ErrnoToLastError(error));
    }
    return FinishReplacement(fd, tempPath, WriteTarget(path), true, 0, nullptr);
}

char* NormalizePath(char* path)
{
    if (!path)
        return path;
    for (char* p = path; *p; p++) {
        if (*p == '\\')
            *p = '/';
    }
    return path;
}

bool ResolvePath(const char* path, char* out, size_t size)
{
    if (!out || size == 0)
        return false;
    char normalised[PathBufferSize];
    if (!path || !CopyText(normalised, sizeof normalised, path)) {
        CopyText(out, size, path ? path : "");
        NormalizePath(out);
        return false;
    }
    NormalizePath(normalised);
    if (normalised[0] == '\0') {
        out[0] = '\0';
        return false;
    }
    if (PathExists(normalised))
        return CopyText(out, size, normalised);
    char resolved[PathBufferSize];
    ResolveResult result = ResolveComponents(normalised, resolved, sizeof resolved);
    if (result == ResolvedTooLong) {
        CopyText(out, size, normalised);
        return false;
    }
    return CopyText(out, size, resolved) && result == ResolvedExists;
}

FILE* OpenFile(const char* path, const char* mode)
{
    if (!path || !mode)
        return nullptr;
    char resolved[PathBufferSize];
    Resolve(path, resolved);
    return fopen(resolved, mode);
}

int GetFileLength(const char* path, uint32_t* length)
{
    uint32_t dummy;
    if (!length)
        length = &dummy;
    *length = 0;
    if (!path)
        return -1;
    FILE* file = OpenFile(path, "rb");
    if (!file)
        return -1;
    struct stat st;
    bool ok = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    fclose(file);
    if (!ok)
        return -1;
    // Larger files than the 32-bit length can tell are reported at its limit.
    *length = st.st_size > static_cast<off_t>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(st.st_size);
    return 0;
}

int FileExists(const char* path)
{
    return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

bool IsDirectory(const char* path)
{
    char resolved[512];
    struct stat st;
    if (!path)
        return false;
    ResolvePath(path, resolved, sizeof resolved);
    return stat(resolved, &st) == 0 && (st.st_mode & 0x4000) != 0;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    char resolved[PathBufferSize];
    struct stat st;
    if (!path || !Resolve(path, resolved) || stat(resolved, &st) != 0) {
        SetLastError(path ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0)
        return FILE_ATTRIBUTE_READONLY;
    return FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileA(LPCSTR path)
{
    char resolved[PathBufferSize];
    if (!path || !Resolve(path, resolved))
        return Fail(ERROR_FILE_NOT_FOUND);
    struct stat st;
    if (lstat(resolved, &st) == 0 && S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (unlink(resolved) != 0)
        return FailFromErrno();
    return TRUE;
}

BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    char source[PathBufferSize];
    char target[PathBufferSize];
    if (!from || !to || !Resolve(from, source))
        return Fail(ERROR_FILE_NOT_FOUND);
    Resolve(to, target);
    struct stat a;
    struct stat b;
    if (stat(source, &a) == 0 && stat(target, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        return failIfExists ? Fail(ERROR_FILE_EXISTS) : Fail(ERROR_ACCESS_DENIED);
    return CopyFileContents(source, target, failIfExists != FALSE);
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    char source[PathBufferSize];
    char target[PathBufferSize];
    if (!from || !to || !Resolve(from, source))
        return Fail(ERROR_FILE_NOT_FOUND);
    // Windows refuses to move onto an existing name.
    if (Resolve(to, target))
        return Fail(ERROR_ALREADY_EXISTS);
    if (rename(source, target) == 0)
        return TRUE;
    if (errno != EXDEV)
        return FailFromErrno();
    if (!CopyFileContents(source, target, true))
        return FALSE;
    unlink(source);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, void* securityAttributes)
{
    (void)securityAttributes;
    char resolved[PathBufferSize];
    if (!path)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (Resolve(path, resolved))
        return Fail(ERROR_ALREADY_EXISTS);
    if (mkdir(resolved, 0777) != 0)
        return errno == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailFromErrno();
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    char resolved[PathBufferSize];
    if (!path || !Resolve(path, resolved))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (rmdir(resolved) != 0)
        return FailFromErrno();
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size)
{
    (void)module;
    if (!out || size == 0)
        return 0;
    char path[PathBufferSize];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n < 0) {
        SetLastError(ErrnoToLastError(errno));
        out[0] = '\0';
        return 0;
    }
    path[n] = '\0';
    if (static_cast<DWORD>(n) >= size) {
        CopyText(out, size, path);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(out, path, static_cast<size_t>(n) + 1);
    return static_cast<DWORD>(n);
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR out)
{
    char path[PathBufferSize];
    if (!getcwd(path, sizeof path)) {
        SetLastError(ErrnoToLastError(errno));
        return 0;
    }
    DWORD length = static_cast<DWORD>(strlen(path));
    // Too small a buffer: Windows answers the size needed, NUL included.
    if (!out || size <= length)
        return length + 1;
    memcpy(out, path, length + 1);
    return length;
}

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    char resolved[PathBufferSize];
    if (!path || !Resolve(path, resolved))
        return Fail(ERROR_PATH_NOT_FOUND);
    if (chdir(resolved) != 0)
        return FailFromErrno();
    return TRUE;
}

int _getdrive()
{
    return 3;
}

int _chdrive(int drive)
{
    return drive == 3 ? 0 : -1;
}
