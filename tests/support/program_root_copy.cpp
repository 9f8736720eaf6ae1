// A copy of the shipped program root for tests that run the map program.
#include "tests/support/program_root_copy.h"

#include "platform/profile.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

std::string CopyProgramRoot(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path shipped = TVL_ROOT_DIR;
    fs::create_directories(fs::path(folder) / "System", error);
    fs::copy(shipped / "Languages", fs::path(folder) / "Languages", fs::copy_options::recursive, error);
    // The display needs its pictures; without the splash picture it starts
    // without the two-second splash pause.
    fs::copy(shipped / "Bitmaps", fs::path(folder) / "Bitmaps", fs::copy_options::recursive, error);
    fs::remove(fs::path(folder) / "Bitmaps" / "TVL.png", error);
    for (const char* name : {"Plovik.ini", "QRDLX30_11.fxo", "QRDLX_91.fxo"})
        fs::copy_file(shipped / "System" / name, fs::path(folder) / "System" / name,
                      fs::copy_options::overwrite_existing, error);
    std::string system = folder + "/System";
    std::string ini = system + "/Plovik.ini";
    WritePrivateProfileStringA("Zorizeruverovu Plovik", "DebugMode", "1", ini.c_str());
    return system;
}

int CountLines(const std::string& text, const std::string& what)
{
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += line.find(what) != std::string::npos;
    return count;
}

void UseDemoMapBackground(const std::string& folder, const std::string& system)
{
    setenv("XDG_DATA_HOME", (folder + "/userdata").c_str(), 1);
    // Tile locks of its own: another program's download cannot hold the map back.
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    std::error_code ignored;
    std::filesystem::copy(std::string(TVL_ROOT_DIR) + "/DemoMap", folder + "/DemoMap",
                          std::filesystem::copy_options::recursive, ignored);
    std::filesystem::copy_file(folder + "/DemoMap/offline_catalogue.db", system + "/offline_catalogue.db", ignored);
    std::string ini = system + "/Plovik.ini";
    for (auto [key, value] : {std::pair{"LocalMapPath", "../DemoMap"}, {"SatMode", "11"}, {"ServermapIndex", "0"},
                              {"PreferedChartType", "-11"}, {"Tile", "10"}})
        WritePrivateProfileStringA("Zorizeruverovu Plovik", key, value, ini.c_str());
}
