// Test helpers: a temporary folder removed with everything in it, and a
// guard that restores the working folder.
#include "tests/support/temp_folder.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

TempFolder::TempFolder()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tvltest.XXXXXX";
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : "";
}

TempFolder::~TempFolder()
{
    if (!path_.empty() && !keep_) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

WorkingFolder::WorkingFolder(const std::string& path)
{
    char here[PATH_MAX];
    if (getcwd(here, sizeof here))
        previous_ = here;
    if (chdir(path.c_str()) != 0)
        previous_.clear();
}

WorkingFolder::~WorkingFolder()
{
    if (!previous_.empty() && chdir(previous_.c_str()) != 0)
        std::abort();
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

void MakeFolders(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}
