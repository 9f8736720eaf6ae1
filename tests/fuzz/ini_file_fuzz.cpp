// libFuzzer target for the INI reader and writer behind the profile calls:
// whatever the bytes of the file, every answer fits the caller's buffer and
// ends in a NUL, the section and key lists are well formed, and a value
// written is read back as written while the other sections keep theirs.
#include "platform/profile.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

using fuzz::Check;

namespace {

// The NUL-separated list a null section or key gives, checked and split.
std::vector<std::string> List(const char* section, const char* path)
{
    static char buffer[4096];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer, sizeof buffer, path);
    Check(n < sizeof buffer && buffer[n] == '\0');
    std::vector<std::string> names;
    for (const char* p = buffer; p < buffer + n && *p;) {
        size_t length = std::strlen(p);
        names.emplace_back(p, length);
        p += length + 1;
    }
    return names;
}

void ReadAll(const char* path)
{
    std::vector<std::string> sections = List(nullptr, path);
    for (size_t s = 0; s < sections.size() && s < 3; ++s) {
        std::vector<std::string> keys = List(sections[s].c_str(), path);
        for (size_t k = 0; k < keys.size() && k < 3; ++k) {
            for (DWORD size : {1u, 300u}) {
                char value[300];
                std::memset(value, 'x', sizeof value);
                DWORD n = GetPrivateProfileStringA(sections[s].c_str(), keys[k].c_str(), "-", value, size, path);
                Check(n < size && value[n] == '\0');
            }
            GetPrivateProfileIntA(sections[s].c_str(), keys[k].c_str(), -7, path);
        }
    }
}

void WriteAndReadBack(const char* path, const uint8_t* data, size_t size)
{
    std::vector<std::string> before = List(nullptr, path);
    char other[64] = "";
    std::string kept = before.size() > 1 ? before[1] : "";
    std::string firstKey;
    if (!kept.empty()) {
        std::vector<std::string> keys = List(kept.c_str(), path);
        firstKey = keys.empty() ? "" : keys[0];
        GetPrivateProfileStringA(kept.c_str(), firstKey.c_str(), "", other, sizeof other, path);
    }
    // A section of the file may have a name no caller can spell (a NUL in
    // it): the value goes into one of ours.
    const char* section = "FuzzSection";
    // A key the file holds already (twice, perhaps) would keep a value after the delete.
    bool fresh = true;
    for (const std::string& key : List(section, path))
        fresh = fresh && strcasecmp(key.c_str(), "FuzzKey") != 0;
    std::string value = size > 0 && data[0] % 2 ? "written value" : "7";
    Check(WritePrivateProfileStringA(section, "FuzzKey", value.c_str(), path));
    char back[64];
    GetPrivateProfileStringA(section, "FuzzKey", "", back, sizeof back, path);
    Check(value == back);
    if (!firstKey.empty() && kept != section && strcasecmp(kept.c_str(), section) != 0) {
        char again[64];
        GetPrivateProfileStringA(kept.c_str(), firstKey.c_str(), "", again, sizeof again, path);
        Check(std::strcmp(other, again) == 0);
    }
    Check(WritePrivateProfileStringA(section, "FuzzKey", nullptr, path));
    GetPrivateProfileStringA(section, "FuzzKey", "gone", back, sizeof back, path);
    Check(!fresh || std::strcmp(back, "gone") == 0);
    Check(WritePrivateProfileStringA(section, nullptr, nullptr, path));
    List(nullptr, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A new name for every file, so the reader's cache never answers from
    // the file before.
    static unsigned long counter = 0;
    static std::string previous;
    if (!previous.empty())
        std::remove(previous.c_str());
    previous = fuzz::ScratchPath("fuzz" + std::to_string(counter++) + ".ini");
    fuzz::WriteBytes(previous, std::string_view(reinterpret_cast<const char*>(data), size));
    ReadAll(previous.c_str());
    WriteAndReadBack(previous.c_str(), data, size);
    return 0;
}
