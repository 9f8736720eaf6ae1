// Named mutexes across processes (flock on a lock file, released when the
// holder dies), waits, handles, the last error, and named shared memory.
#include "platform/sync.h"

#include "platform/handles.h"

#include <cerrno>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace {

// Per thread, as on Windows.
thread_local DWORD LastError = ERROR_SUCCESS;

// Live handles; any thread.
std::mutex HandleLock;
std::unordered_set<HandleObject*> LiveHandles;

// One per name and process, shared by every handle the process opened to it.
// Ownership: an in-process owner thread with a recursion count, and the
// machine-wide flock on the lock file while some thread of ours owns it.
struct NamedMutex {
    std::string name;
    int lockFd = -1;     // flock(LOCK_EX) while owned
    int presenceFd = -1; // flock(LOCK_SH) while any handle is open
    int handles = 0;
    bool held = false;
    std::thread::id owner;
    int recursion = 0;
    std::mutex lock;
    std::condition_variable released;
};

struct MutexHandle {
    HandleObject base{HandleKind::Mutex};
    NamedMutex* mutex;
};

struct MappingHandle {
    HandleObject base{HandleKind::Mapping};
    int fd = -1;
    size_t size = 0;
    std::string shmName; // unlinked when the creator closes it
    bool created = false;
};

std::mutex NameLock; // guards MutexesByName and the views
std::map<std::string, NamedMutex*> MutexesByName;
std::map<const void*, size_t> Views;

std::string SafeName(const char* name)
{
    std::string safe;
    for (const char* p = name; *p && safe.size() < 200; p++) {
        char c = *p;
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.';
        safe += plain ? c : '_';
    }
    return safe;
}

// The folder of the lock files: the user's runtime folder, else a folder of
// our own below the temporary folder. Named mutexes are shared by the
// programs of one user (a Windows session), never with other users, so
// nobody else may create, replace or link anything in it. Empty when no
// such folder can be had.
std::string LockFolder()
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime && *runtime && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return runtime;
    const char* temp = getenv("TMPDIR");
    std::string folder = std::string(temp && *temp ? temp : "/tmp") + "/tvl-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return std::string();
    return folder;
}

// Opens a lock file, creating it for this user alone. Links are not
// followed, an existing file keeps its mode, and anything but a regular file
// of ours is refused: a planted link or file must not be what we lock, or
// change. Non-blocking, so that a planted FIFO cannot hold the open.
int OpenLockFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

// Opens the name's files and tells whether another process has it open.
bool OpenNamedFiles(NamedMutex* m, bool* existed)
{
    std::string folder = LockFolder();
    if (folder.empty())
        return false;
    std::string base = folder + "/tvl-mutex-" + SafeName(m->name.c_str());
    m->lockFd = OpenLockFile(base + ".lock");
    m->presenceFd = OpenLockFile(base + ".open");
    int guardFd = OpenLockFile(folder + "/tvl-mutex.guard");
    if (m->lockFd < 0 || m->presenceFd < 0 || guardFd < 0) {
        if (guardFd >= 0)
            close(guardFd);
        return false;
    }
    // The guard makes test-then-share one step among processes.
    flock(guardFd, LOCK_EX);
    *existed = flock(m->presenceFd, LOCK_EX | LOCK_NB) != 0;
    flock(m->presenceFd, LOCK_SH);
    flock(guardFd, LOCK_UN);
    close(guardFd);
    return true;
}

void CloseNamedFiles(NamedMutex* m)
{
    if (m->lockFd >= 0)
        close(m->lockFd);
    if (m->presenceFd >= 0)
        close(m->presenceFd);
}

// Takes the machine-wide lock; polls when the wait has a limit.
bool TakeFileLock(int fd, DWORD milliseconds)
{
    if (fd < 0)
        return true; // an unnamed mutex lives in this process only
    if (milliseconds == INFINITE) {
        while (flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

DWORD WaitForMutex(NamedMutex* m, DWORD milliseconds)
{
    std::unique_lock<std::mutex> hold(m->lock);
    if (m->held && m->owner == std::this_thread::get_id()) {
        m->recursion++;
        return WAIT_OBJECT_0;
    }
    auto free = [m] { return !m->held; };
    if (milliseconds == INFINITE)
        m->released.wait(hold, free);
    else if (!m->released.wait_for(hold, std::chrono::milliseconds(milliseconds), free))
        return WAIT_TIMEOUT;
    // Reserve it in the process while the machine-wide lock is taken.
    m->held = true;
    m->owner = std::this_thread::get_id();
    hold.unlock();
    bool taken = TakeFileLock(m->lockFd, milliseconds);
    hold.lock();
    if (!taken) {
        m->held = false;
        m->owner = std::thread::id();
        m->released.notify_one();
        return WAIT_TIMEOUT;
    }
    // A holder that died released its lock with its process; the new owner
    // gets the mutex as signalled, since callers treat any other result as
    // not obtained and would never release it.
    m->recursion = 1;
    return WAIT_OBJECT_0;
}

bool ReleaseNamedMutex(NamedMutex* m)
{
    std::lock_guard<std::mutex> hold(m->lock);
    if (!m->held || m->owner != std::this_thread::get_id() || m->recursion <= 0)
        return false;
    if (--m->recursion == 0) {
        if (m->lockFd >= 0)
            flock(m->lockFd, LOCK_UN);
        m->held = false;
        m->owner = std::thread::id();
        m->released.notify_one();
    }
    return true;
}

void CloseMutexHandle(MutexHandle* handle)
{
    NamedMutex* m = handle->mutex;
    delete handle;
    std::lock_guard<std::mutex> names(NameLock);
    if (--m->handles > 0)
        return;
    if (!m->name.empty())
        MutexesByName.erase(m->name);
    CloseNamedFiles(m);
    delete m;
}

void CloseMappingHandle(MappingHandle* handle)
{
    close(handle->fd);
    if (handle->created && !handle->shmName.empty())
        shm_unlink(handle->shmName.c_str());
    delete handle;
}

} // namespace

HANDLE RegisterHandle(HandleObject* object)
{
    std::lock_guard<std::mutex> hold(HandleLock);
    LiveHandles.insert(object);
    return object;
}

HandleObject* FindHandle(HANDLE handle, HandleKind kind)
{
    std::lock_guard<std::mutex> hold(HandleLock);
    auto found = LiveHandles.find(static_cast<HandleObject*>(handle));
    if (found == LiveHandles.end() || (*found)->kind != kind)
        return nullptr;
    return *found;
}

bool UnregisterHandle(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(HandleLock);
    return LiveHandles.erase(static_cast<HandleObject*>(handle)) == 1;
}

DWORD GetLastError()
{
    return LastError;
}

void SetLastError(DWORD code)
{
    LastError = code;
}

DWORD ErrnoToLastError(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ENOTEMPTY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENAMETOOLONG:
    case ERANGE:
        return ERROR_INSUFFICIENT_BUFFER;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

HANDLE CreateMutexA(void* securityAttributes, BOOL initialOwner, LPCSTR name)
{
    (void)securityAttributes;
    NamedMutex* m = nullptr;
    bool existed = false;
    {
        std::lock_guard<std::mutex> names(NameLock);
        if (name && *name) {
            auto found = MutexesByName.find(name);
            if (found != MutexesByName.end()) {
                m = found->second;
                existed = true;
            }
        }
        if (!m) {
            m = new NamedMutex;
            if (name && *name) {
                m->name = name;
                if (!OpenNamedFiles(m, &existed)) {
                    SetLastError(ERROR_ACCESS_DENIED);
                    CloseNamedFiles(m);
                    delete m;
                    return nullptr;
                }
                MutexesByName[m->name] = m;
            }
        }
        m->handles++;
    }
    MutexHandle* handle = new MutexHandle;
    handle->mutex = m;
    // Ownership is asked for only by the creator, as on Windows.
    if (initialOwner && !existed)
        WaitForMutex(m, INFINITE);
    RegisterHandle(&handle->base);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return &handle->base;
}

BOOL ReleaseMutex(HANDLE mutex)
{
    auto* handle = reinterpret_cast<MutexHandle*>(FindHandle(mutex, HandleKind::Mutex));
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!ReleaseNamedMutex(handle->mutex)) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    if (auto* m = reinterpret_cast<MutexHandle*>(FindHandle(handle, HandleKind::Mutex)))
        return WaitForMutex(m->mutex, milliseconds);
    if (HandleObject* process = FindHandle(handle, HandleKind::Process))
        return WaitForProcess(process, milliseconds);
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

BOOL CloseHandle(HANDLE handle)
{
    for (HandleKind kind : {HandleKind::Mutex, HandleKind::Mapping, HandleKind::Process}) {
        HandleObject* object = FindHandle(handle, kind);
        if (!object || !UnregisterHandle(handle))
            continue;
        if (kind == HandleKind::Mutex)
            CloseMutexHandle(reinterpret_cast<MutexHandle*>(object));
        else if (kind == HandleKind::Mapping)
            CloseMappingHandle(reinterpret_cast<MappingHandle*>(object));
        else
            CloseProcess(object);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HANDLE CreateFileMappingA(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCSTR name)
{
    (void)securityAttributes;
    (void)protect;
    uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    // Only memory backed by the paging file is offered, as the system uses.
    if (file != INVALID_HANDLE_VALUE || size == 0 || size > (1ull << 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    MappingHandle* handle = new MappingHandle;
    static std::atomic<unsigned> Unnamed{0};
    handle->shmName = name && *name ? "/tvl-" + SafeName(name)
                                    : "/tvl-anon-" + std::to_string(getpid()) + "-" + std::to_string(Unnamed++);
    bool existed = false;
    // For this user's programs only, like the lock files.
    handle->fd = shm_open(handle->shmName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (handle->fd < 0 && errno == EEXIST) {
        existed = true;
        handle->fd = shm_open(handle->shmName.c_str(), O_RDWR | O_CLOEXEC, 0600);
    }
    struct stat st;
    if (handle->fd < 0 || fstat(handle->fd, &st) != 0 || st.st_uid != geteuid() ||
        (static_cast<uint64_t>(st.st_size) < size && ftruncate(handle->fd, static_cast<off_t>(size)) != 0)) {
        SetLastError(ErrnoToLastError(errno));
        if (handle->fd >= 0)
            close(handle->fd);
        delete handle;
        return nullptr;
    }
    handle->created = !existed;
    if (!(name && *name)) {
        shm_unlink(handle->shmName.c_str());
        handle->created = false;
    }
    handle->size = static_cast<size_t>(size);
    RegisterHandle(&handle->base);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return &handle->base;
}

HANDLE OpenFileMappingA(DWORD access, BOOL inherit, LPCSTR name)
{
    (void)access;
    (void)inherit;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    MappingHandle* handle = new MappingHandle;
    handle->shmName = "/tvl-" + SafeName(name);
    handle->fd = shm_open(handle->shmName.c_str(), O_RDWR | O_CLOEXEC, 0600);
    struct stat st;
    if (handle->fd < 0 || fstat(handle->fd, &st) != 0 || st.st_uid != geteuid()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        if (handle->fd >= 0)
            close(handle->fd);
        delete handle;
        return nullptr;
    }
    handle->size = static_cast<size_t>(st.st_size);
    RegisterHandle(&handle->base);
    return &handle->base;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    (void)access;
    auto* handle = reinterpret_cast<MappingHandle*>(FindHandle(mapping, HandleKind::Mapping));
    uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
    if (!handle || offset >= handle->size || offset % static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) != 0) {
        SetLastError(handle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    size_t length = bytes ? bytes : handle->size - static_cast<size_t>(offset);
    if (offset + length > handle->size) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, handle->fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        SetLastError(ErrnoToLastError(errno));
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(NameLock);
    Views[view] = length;
    return view;
}

BOOL UnmapViewOfFile(LPCVOID view)
{
    size_t length;
    {
        std::lock_guard<std::mutex> hold(NameLock);
        auto found = Views.find(view);
        if (found == Views.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        length = found->second;
        Views.erase(found);
    }
    munmap(const_cast<void*>(view), length);
    return TRUE;
}
