// What the file and datagram fuzz targets share: the check that ends a run
// on a broken promise, a scratch folder of the process for the files a
// reader takes by path, and the split of one input into several files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// A folder of this process's own, made once in memory where the system has
// such a folder (the runs write thousands of files a second) and removed at
// the end of the run.
inline const std::string& Scratch()
{
    static std::string path = [] {
        char inMemory[] = "/dev/shm/tvl-fuzz-XXXXXX";
        char onDisk[] = "/tmp/tvl-fuzz-XXXXXX";
        const char* made = mkdtemp(inMemory);
        if (made == nullptr)
            made = mkdtemp(onDisk);
        Check(made != nullptr);
        // A copy of its own: the string is gone by the time the handler runs.
        static char removed[32];
        std::snprintf(removed, sizeof removed, "%s", made);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removed, ignored);
        });
        return std::string(made);
    }();
    return path;
}

inline std::string ScratchPath(const std::string& name)
{
    return Scratch() + "/" + name;
}

// Makes the scratch folder the working folder, for readers that take their
// files from there. libFuzzer reads its corpus folders and writes its
// findings after this, so the relative paths among the arguments are made
// absolute first.
inline void EnterScratch(int* argc, char*** argv)
{
    static std::vector<std::string> kept;
    char here[4096];
    Check(getcwd(here, sizeof here) != nullptr);
    kept.reserve(static_cast<size_t>(*argc));
    for (int i = 1; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        const std::string prefix = "-artifact_prefix=";
        if (arg.compare(0, prefix.size(), prefix) == 0 && arg.size() > prefix.size() && arg[prefix.size()] != '/')
            arg = prefix + here + "/" + arg.substr(prefix.size());
        else if (!arg.empty() && arg[0] != '-' && arg[0] != '/')
            arg = std::string(here) + "/" + arg;
        else
            continue;
        kept.push_back(arg);
        (*argv)[i] = kept.back().data();
    }
    Check(chdir(Scratch().c_str()) == 0);
}

inline void MakeFolder(const std::string& path)
{
    mkdir(path.c_str(), 0755);
}

inline void WriteBytes(const std::string& path, std::string_view bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr);
    Check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    Check(std::fclose(f) == 0);
}

// The input's parts between lines "@@" (the seeds stay readable text); parts
// past count join the last.
inline std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t count)
{
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        size_t at = all.find("\n@@\n");
        if (at == std::string_view::npos)
            break;
        parts.push_back(all.substr(0, at + 1));
        all.remove_prefix(at + 4);
    }
    parts.push_back(all);
    parts.resize(count);
    return parts;
}

// body repeated to exactly size bytes (doubling copies: the loop stays short).
inline std::string RepeatTo(std::string_view body, size_t size)
{
    std::string out(size, '\0');
    if (body.empty() || size == 0)
        return out;
    size_t filled = body.size() < size ? body.size() : size;
    std::memcpy(out.data(), body.data(), filled);
    while (filled < size) {
        size_t n = filled < size - filled ? filled : size - filled;
        std::memcpy(out.data() + filled, out.data(), n);
        filled += n;
    }
    return out;
}

inline bool IsTerminated(const char* text, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (text[i] == '\0')
            return true;
    return false;
}

}  // namespace fuzz
