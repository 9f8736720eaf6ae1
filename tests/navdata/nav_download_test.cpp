// Missing navigation data: the request for the downloader, the package it
// leaves, and what a missing downloader or a failed download leave.
#include "navdata/nav_tables.h"

#include "nav_fixtures.h"
#include "navdata/simulators.h"
#include "platform/profile.h"

#include <cstdlib>
#include <filesystem>

namespace {

const std::string Downloader = std::string(TVL_ROOT_DIR) + "/System/PlovikDownload";

class NavDownload : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 5;  // FlightGear, whose folder is missing
        Settings.UseSimulator = SimulatorFlightGear;
        Settings.TopMost = 0;
        CopyText(Settings.Language, sizeof(Settings.Language), "de");
        root.WriteText("System/Plovik.ini", "");
        NavDownloadOffered = 0;
    }
    void TearDown() override { FreeNavdata(); }
    void InstallDownloader()
    {
        std::filesystem::copy_file(Downloader, root.root() + "/System/PlovikDownload");
    }
    // Sources in the public formats for the downloader to find.
    void OfferSources()
    {
        root.WriteText("src/apt.dat", "I\n1000 Version\n1 53 0 0 EDDH Hamburg\n"
                                      "100 46 1 0 0 0 0 0 05 53.620 9.966 0 0 0 0 0 0 23 53.638 10.005 0 0 0 0 0 0\n99\n");
        root.WriteText("src/nav.dat", "I\n810 Version\n3 53.6877 10.2052 46 11310 130 4.0 HAM HAMBURG VOR-DME\n99\n");
        setenv("TVL_NAVDATA_SOURCE", root.Path("src").c_str(), 1);
    }
    TempNavRoot root;
};

TEST_F(NavDownload, PresentDataOrOpenAipNeedsNoDownload)
{
    root.WriteTable<NavaidRecord>("Navdata/FG/navdat.bin", {MakeNavaid("HAM", 3, 53.7, 10.2)});
    EXPECT_TRUE(CheckForNavData());
    Settings.NavDatabase = 9;
    std::filesystem::remove_all(root.root() + "/Navdata");
    EXPECT_TRUE(CheckForNavData());
    EXPECT_EQ(NavDownloadOffered, 0);
}

TEST_F(NavDownload, MissingDownloaderFailsAndDropsTheDatabase)
{
    EXPECT_FALSE(CheckForNavData());
    EXPECT_EQ(Settings.NavDatabase, 0);
    // The request was written all the same.
    char value[512];
    GetPrivateProfileStringA("Tervalingo", "Filename", "", value, sizeof(value),
                             (root.root() + "/System/install.ini").c_str());
    EXPECT_STREQ(value, "FGpak.exe");
    GetPrivateProfileStringA("Tervalingo", "Language", "", value, sizeof(value),
                             (root.root() + "/System/install.ini").c_str());
    EXPECT_STREQ(value, "de");
}

TEST_F(NavDownload, DownloadWithoutAPackageFails)
{
    InstallDownloader();
    setenv("TVL_NAVDATA_SOURCE", root.Path("empty").c_str(), 1);
    setenv("FG_ROOT", root.Path("empty").c_str(), 1);
    if (std::filesystem::exists("/usr/share/games/flightgear") || std::filesystem::exists("/usr/share/flightgear"))
        GTEST_SKIP() << "this machine has navigation data the downloader would find";
    EXPECT_FALSE(CheckForNavData());
    EXPECT_EQ(NavDownloadOffered, 1);
    EXPECT_EQ(Settings.NavDatabase, 0);
}

TEST_F(NavDownload, LoadingNavaidsFetchesTheMissingPackage)
{
    InstallDownloader();
    OfferSources();
    LoadNavaids();
    EXPECT_EQ(NavDownloadOffered, 1);
    EXPECT_EQ(Settings.NavDatabase, 5);
    EXPECT_EQ(GetNavaidCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/Navdata/FGpak.exe"));  // deleted after its run
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/Navdata/FGpak"));      // removed itself
    LoadAirports();
    EXPECT_EQ(GetAirportCount(), 1);
}

}  // namespace
