// Named mutexes across processes (flock on a lock file, released when the
// holder dies), waits, handles, the last error, and named shared memory.
#include "platform/sync.h"

#include <cerrno>

namespace {

// Per thread, as on Windows.
thread_local DWORD LastError = ERROR_SUCCESS;

} // namespace

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
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENAMETOOLONG:
    case ERANGE:
        return ERROR_INSUFFICIENT_BUFFER;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}
