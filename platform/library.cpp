// Run-time libraries on the dynamic loader: the Windows library name is
// turned into the shared object the build makes, then opened with dlopen.
#include "platform/library.h"

#include "platform/files.h"
#include "platform/sync.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <strings.h>

static thread_local char LastLoaderError[512] = "";

static void KeepLoaderError(const char* fallback)
{
    const char* text = dlerror();
    std::snprintf(LastLoaderError, sizeof LastLoaderError, "%s", text ? text : fallback);
}

const char* GetLibraryErrorText() { return LastLoaderError; }

static bool EndsWithDll(const char* path)
{
    size_t n = std::strlen(path);
    return n > 4 && strcasecmp(path + n - 4, ".dll") == 0;
}

static void* OpenResolved(const char* path)
{
    char resolved[1024];
    if (!ResolvePath(path, resolved, sizeof resolved))
        return nullptr;
    // Without a slash dlopen would search the system's folders, not this one.
    char local[1030];
    if (!std::strchr(resolved, '/')) {
        std::snprintf(local, sizeof local, "./%s", resolved);
        return dlopen(local, RTLD_NOW | RTLD_LOCAL);
    }
    return dlopen(resolved, RTLD_NOW | RTLD_LOCAL);
}

// "dir/X.dll" -> "dir/libX.so", then "dir/X.so"; anything else as given.
static void* OpenInFolder(const char* path)
{
    if (!EndsWithDll(path))
        return OpenResolved(path);
    const char* slash = std::strrchr(path, '/');
    int folderLength = slash ? static_cast<int>(slash - path + 1) : 0;
    const char* base = path + folderLength;
    int baseLength = static_cast<int>(std::strlen(base)) - 4;
    char candidate[1024];
    int n = std::snprintf(candidate, sizeof candidate, "%.*slib%.*s.so", folderLength, path, baseLength, base);
    if (n > 0 && n < static_cast<int>(sizeof candidate)) {
        if (void* handle = OpenResolved(candidate))
            return handle;
    }
    n = std::snprintf(candidate, sizeof candidate, "%.*s%.*s.so", folderLength, path, baseLength, base);
    if (n > 0 && n < static_cast<int>(sizeof candidate))
        return OpenResolved(candidate);
    return nullptr;
}

HMODULE LoadLibraryA(LPCSTR fileName)
{
    LastLoaderError[0] = 0;
    if (!fileName || !fileName[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    char path[1024];
    if (std::snprintf(path, sizeof path, "%s", fileName) >= static_cast<int>(sizeof path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    NormalizePath(path);
    void* handle = nullptr;
    if (!std::strchr(path, '/')) {
        char own[1024];
        DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
        char* slash = n > 0 && n < sizeof own ? std::strrchr(own, '/') : nullptr;
        if (slash && std::snprintf(slash + 1, sizeof own - static_cast<size_t>(slash + 1 - own), "%s", path) <
                         static_cast<int>(sizeof own - static_cast<size_t>(slash + 1 - own)))
            handle = OpenInFolder(own);
    }
    if (!handle)
        handle = OpenInFolder(path);
    if (!handle) {
        KeepLoaderError("library not found");
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!module || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(reinterpret_cast<void*>(module), name);
    if (!symbol) {
        KeepLoaderError("symbol not found");
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module)
{
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (dlclose(reinterpret_cast<void*>(module)) != 0) {
        KeepLoaderError("cannot unload");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
