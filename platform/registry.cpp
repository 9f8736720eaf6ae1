// Registry reads on the file registry.ini in the user's configuration folder;
// the shell folders key answers with the XDG folders.
#include "platform/registry.h"

#include "platform/profile.h"

#include <climits>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pwd.h>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <unordered_set>

namespace {

const char* const ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct OpenKey {
    std::string path;
};

std::mutex KeyLock; // the set of open keys; any thread
std::unordered_set<OpenKey*> OpenKeys;

std::string HomeFolder()
{
    const char* home = getenv("HOME");
    if (home && *home)
        return home;
    struct passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "/tmp";
}

// $variable when it holds an absolute path, else the home folder's fallback.
std::string XdgFolder(const char* variable, const char* fallback)
{
    const char* value = getenv(variable);
    if (value && value[0] == '/')
        return value;
    return HomeFolder() + "/" + fallback;
}

// The XDG folder standing for a shell folder value; empty when none does.
std::string XdgShellFolder(const char* value)
{
    if (strcasecmp(value, "Local AppData") == 0)
        return XdgFolder("XDG_DATA_HOME", ".local/share");
    if (strcasecmp(value, "AppData") == 0)
        return XdgFolder("XDG_CONFIG_HOME", ".config");
    if (strcasecmp(value, "Cache") == 0)
        return XdgFolder("XDG_CACHE_HOME", ".cache");
    if (strcasecmp(value, "Personal") == 0 || strcasecmp(value, "My Documents") == 0)
        return HomeFolder() + "/Documents";
    if (strcasecmp(value, "Desktop") == 0)
        return HomeFolder() + "/Desktop";
    return "";
}

// Shell folders always exist on the system the program was written for; a
// fresh account may lack ~/.local/share, so it is made on first use.
std::string ShellFolder(const char* value)
{
    std::string folder = XdgShellFolder(value);
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    return folder;
}

bool IsRoot(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER;
}

bool SectionExists(const std::string& path)
{
    char keys[4];
    return GetPrivateProfileStringA(path.c_str(), nullptr, "", keys, sizeof keys, RegistryFilePath()) > 0;
}

} // namespace

const char* RegistryFilePath()
{
    static thread_local char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/tervalingo/registry.ini", XdgFolder("XDG_CONFIG_HOME", ".config").c_str());
    return path;
}

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    (void)options;
    (void)access;
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (!IsRoot(root) || !subKey)
        return ERROR_INVALID_HANDLE;
    std::string path = subKey;
    if (strcasecmp(subKey, ShellFoldersKey) != 0 && !SectionExists(path))
        return ERROR_FILE_NOT_FOUND;
    OpenKey* key = new OpenKey{path};
    std::lock_guard<std::mutex> hold(KeyLock);
    OpenKeys.insert(key);
    *result = reinterpret_cast<HKEY>(key);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    (void)reserved;
    std::string path;
    {
        std::lock_guard<std::mutex> hold(KeyLock);
        auto found = OpenKeys.find(reinterpret_cast<OpenKey*>(key));
        if (found == OpenKeys.end())
            return ERROR_INVALID_HANDLE;
        path = (*found)->path;
    }
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    const char* name = valueName ? valueName : "";
    // An entry in the file wins; the shell folders fall back to XDG.
    static const char* const Missing = "\x01missing";
    char value[4096];
    GetPrivateProfileStringA(path.c_str(), name, Missing, value, sizeof value, RegistryFilePath());
    std::string text = value;
    if (text == Missing) {
        text = strcasecmp(path.c_str(), ShellFoldersKey) == 0 ? ShellFolder(name) : "";
        if (text.empty())
            return ERROR_FILE_NOT_FOUND;
    }
    if (type)
        *type = REG_SZ;
    DWORD need = static_cast<DWORD>(text.size() + 1);
    if (!size)
        return ERROR_SUCCESS;
    if (!data) {
        *size = need;
        return ERROR_SUCCESS;
    }
    if (*size < need) {
        *size = need;
        return ERROR_MORE_DATA;
    }
    memcpy(data, text.c_str(), need);
    *size = need;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    std::lock_guard<std::mutex> hold(KeyLock);
    auto found = OpenKeys.find(reinterpret_cast<OpenKey*>(key));
    if (found == OpenKeys.end())
        return ERROR_INVALID_HANDLE;
    delete *found;
    OpenKeys.erase(found);
    return ERROR_SUCCESS;
}
