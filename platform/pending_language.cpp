// Stand-ins for file and profile calls of the foundation layer, until it lands.
#include "platform/files.h"
#include "platform/profile.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

FILE* OpenFile(const char* path, const char* mode) { return std::fopen(path, mode); }  // until the real one lands
bool ResolvePath(const char* path, char* out, size_t size) { return std::snprintf(out, size, "%s", path) >= 0 && access(out, F_OK) == 0; }  // until the real one lands
DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR def, LPSTR out, DWORD size, LPCSTR) { if (size) std::snprintf(out, size, "%s", def ? def : ""); return size ? static_cast<DWORD>(std::strlen(out)) : 0; }  // until the real one lands
