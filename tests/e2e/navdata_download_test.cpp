// Choosing a simulator whose navigation data are missing: the built program
// waits for the downloader as long as it builds, and a termination signal
// in that wait ends the program at once and the downloader with it, leaving
// the files of the other simulators as they were.
#include "tests/support/program_end_to_end.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The child of parent named name, -1 while there is none.
pid_t ChildNamed(pid_t parent, const char* name)
{
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        std::string stat = ReadFileText("/proc/" + std::string(entry->d_name) + "/stat");
        size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        long ppid = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && ppid == parent &&
            stat.compare(open + 1, close - open - 1, name) == 0) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    if (proc)
        closedir(proc);
    return found;
}

bool IsRunning(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return false;
    std::string stat = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

class NavdataDownloadTest : public ProgramEndToEnd {
protected:
    std::string navdata = root / "Navdata";
    std::string source = root / "source";

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        CopyShippedFolder("Navdata");
        std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/PlovikDownload", system + "/PlovikDownload");
        // What the downloader finds: navaids at once, the airports through a
        // pipe the test feeds, so the build lasts until the test lets it end.
        MakeFolders(source);
        WriteFileText(source + "/nav.dat",
                      "I\n810 Version\n3 53.6877 10.2052 46 11310 130 4.0 HAM HAMBURG VOR-DME\n99\n");
        ASSERT_EQ(mkfifo((source + "/apt.dat").c_str(), 0644), 0);
        setenv("TVL_NAVDATA_SOURCE", source.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TVL_NAVDATA_SOURCE");
        ProgramEndToEnd::TearDown();
    }

    // The write end of the airports' pipe, once the downloader reads it;
    // -1 when it never came to read.
    int WaitForTheBuild()
    {
        for (int i = 0; i < ProgramRunLimit * 20; ++i) {
            int fd = open((source + "/apt.dat").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0 || errno != ENXIO || program.Pid() < 0)
                return fd;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
};

TEST_F(NavdataDownloadTest, ATerminationSignalDuringTheBuildEndsTheProgramAndTheDownloader)
{
    std::string taxi = ReadFileText(navdata + "/taxi.txt");
    std::string database = ReadFileText(navdata + "/Navdata.db");
    ASSERT_FALSE(taxi.empty());
    ASSERT_FALSE(std::filesystem::exists(navdata + "/XPL"));
    ASSERT_TRUE(StartProgram({"4"}));  // X-Plane, whose data are missing

    int airports = WaitForTheBuild();
    ASSERT_GE(airports, 0) << ReadFileText(root / "program.out") << Log();
    const char* first = "I\n1000 Version\n1 53 0 0 EDDH Hamburg\n"
                        "100 46 1 0 0 0 0 0 05 53.620 9.966 0 0 0 0 0 0 23 53.638 10.005 0 0 0 0 0 0\n";
    ASSERT_EQ(write(airports, first, std::strlen(first)), static_cast<ssize_t>(std::strlen(first)));
    pid_t downloader = ChildNamed(program.Pid(), "PlovikDownload");
    ASSERT_GT(downloader, 0);
    // The downloader's own output says how far it is.
    EXPECT_NE(ReadFileText(root / "program.out").find("% Reading the"), std::string::npos)
        << ReadFileText(root / "program.out");

    auto signalled = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(program.Pid(), SIGTERM), 0);
    EXPECT_EQ(program.Wait(ProgramRunLimit), 0) << Log();
    auto took = std::chrono::steady_clock::now() - signalled;
    close(airports);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_FALSE(IsRunning(downloader));

    std::string log = Log();
    EXPECT_NE(log.find("the download is given up"), std::string::npos) << log;
    // Nothing half made stays, and the shared files are as they were.
    EXPECT_FALSE(std::filesystem::exists(navdata + "/XPLpak.exe"));
    EXPECT_FALSE(std::filesystem::exists(navdata + "/.XPLpak-staging"));
    EXPECT_FALSE(std::filesystem::exists(navdata + "/XPL/navdat.bin"));
    EXPECT_EQ(ReadFileText(navdata + "/taxi.txt"), taxi);
    EXPECT_EQ(ReadFileText(navdata + "/Navdata.db"), database);
}

// Let through, the build ends, the program installs X-Plane's files and goes
// on; the files every simulator shares stay as they were.
TEST_F(NavdataDownloadTest, AFinishedBuildInstallsOnlyTheChosenSimulatorsFiles)
{
    std::string taxi = ReadFileText(navdata + "/taxi.txt");
    std::string database = ReadFileText(navdata + "/Navdata.db");
    ASSERT_TRUE(StartProgram({"4"}));
    int airports = WaitForTheBuild();
    ASSERT_GE(airports, 0) << ReadFileText(root / "program.out") << Log();
    const char* all = "I\n1000 Version\n1 53 0 0 EDDH Hamburg\n"
                      "100 46 1 0 0 0 0 0 05 53.620 9.966 0 0 0 0 0 0 23 53.638 10.005 0 0 0 0 0 0\n"
                      "1201 53.6300 9.9800 both 1 A1\n1201 53.6310 9.9810 both 2 A1\n1202 1 2 twoway taxiway A\n99\n";
    ASSERT_EQ(write(airports, all, std::strlen(all)), static_cast<ssize_t>(std::strlen(all)));
    close(airports);
    // Installed, the package is deleted and the program goes on.
    for (int i = 0; i < ProgramRunLimit * 20 && program.Pid() > 0 &&
                    !(std::filesystem::exists(navdata + "/XPL/navdat.bin") &&
                      !std::filesystem::exists(navdata + "/XPLpak.exe"));
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(kill(program.Pid(), SIGTERM), 0);
    EXPECT_EQ(program.Wait(ProgramRunLimit), 0);
    EXPECT_TRUE(std::filesystem::exists(navdata + "/XPL/navdat.bin")) << ReadFileText(root / "program.out");
    EXPECT_TRUE(std::filesystem::exists(navdata + "/XPL/Default/E.zip"));
    EXPECT_FALSE(std::filesystem::exists(navdata + "/XPLpak.exe"));
    EXPECT_EQ(ReadFileText(navdata + "/taxi.txt"), taxi);
    EXPECT_EQ(ReadFileText(navdata + "/Navdata.db"), database);
}

}  // namespace
