// The news check against a local web server: a newer item is shown once
// through the viewer helper, the same day asks nothing, "No news", an error
// status and an item for an older program show nothing.
#include "app/news_check.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "maps/tile_sources.h"
#include "platform/profile.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long Today = 2026343;
const char NewsPath[] = "/NewsHandler.php?language=de";

class NewsCheckTest : public ::testing::Test {
protected:
    TempFolder folder;
    HttpTestServer server;
    std::unique_ptr<WorkingFolder> inFolder;

    void SetUp() override
    {
        ASSERT_TRUE(server.Running());
        setenv("TVL_HOST_MAP", server.MapEntry(GetMakerServerHost()).c_str(), 1);
        std::snprintf(SystemFolder, sizeof SystemFolder, "%s", folder.Path().c_str());
        std::snprintf(IniFilePath, sizeof IniFilePath, "%s", (folder / "Plovik.ini").c_str());
        std::snprintf(Settings.Language, sizeof Settings.Language, "de");
        inFolder = std::make_unique<WorkingFolder>(folder.Path());
        // The viewer keeps what it was shown.
        std::string viewer = folder / "Pelmo";
        WriteFileText(viewer, "#!/bin/sh\ncat newstext.txt >> shown\necho \" [$*]\" >> shown\n");
        chmod(viewer.c_str(), 0755);
    }
    void TearDown() override
    {
        inFolder.reset();
        setenv("TVL_HOST_MAP", "none", 1);
    }

    std::string Key(const char* key)
    {
        char text[64];
        GetPrivateProfileStringA("Zorizeruverovu Plovik", key, "None", text, sizeof text, IniFilePath);
        return text;
    }
    std::string Shown() { return ReadFileText(folder / "shown"); }
};

TEST(NewsDayStampTest, DaysCountWithoutLeapDays)
{
    EXPECT_EQ(NewsDayStamp(SYSTEMTIME{2026, 1, 4, 1, 0, 0, 0, 0}), 2026001);
    EXPECT_EQ(NewsDayStamp(SYSTEMTIME{2024, 3, 5, 1, 0, 0, 0, 0}), 2024060);
    EXPECT_EQ(NewsDayStamp(SYSTEMTIME{2026, 12, 4, 31, 0, 0, 0, 0}), 2026364);
    // The turn of the year: every stamp of the new year is larger.
    EXPECT_GT(NewsDayStamp(SYSTEMTIME{2027, 1, 5, 1, 0, 0, 0, 0}), NewsDayStamp(SYSTEMTIME{2026, 12, 4, 31, 0, 0, 0, 0}));
    char version[32];
    ProgramVersionWord(version, sizeof version);
    EXPECT_EQ(version[0], 'V');
    EXPECT_EQ(std::count(version, version + std::strlen(version), '.'), 3);
}

TEST_F(NewsCheckTest, NewerItemIsShownOnceAndTheSameDayAsksNothing)
{
    server.SetBody(NewsPath, "7 V99.0_beta Tervalingo 99 is out");
    CheckForNewsOn(Today);
    EXPECT_EQ(server.Requests(NewsPath), 1);
    EXPECT_EQ(Key("NewsCheck"), std::to_string(Today));
    EXPECT_EQ(Key("NewsVersion"), "7");
    EXPECT_EQ(ReadFileText(folder / "newstext.txt"), "V99.0_beta Tervalingo 99 is out");
    EXPECT_NE(Shown().find("Tervalingo 99 is out"), std::string::npos);

    CheckForNewsOn(Today);
    EXPECT_EQ(server.TotalRequests(), 1);
    // The next day the same item is not shown again.
    std::remove((folder / "shown").c_str());
    CheckForNewsOn(Today + 1);
    EXPECT_EQ(server.TotalRequests(), 2);
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(Key("NewsVersion"), "7");
}

TEST_F(NewsCheckTest, NothingToShowKeepsTheLastItem)
{
    WritePrivateProfileStringA("Zorizeruverovu Plovik", "NewsVersion", "4", IniFilePath);
    server.SetBody(NewsPath, "No news");
    CheckForNewsOn(Today);
    server.Set(NewsPath, HttpTestServer::Reply{500, "9 V99 broken"});
    CheckForNewsOn(Today + 1);
    server.SetBody(NewsPath, "");
    CheckForNewsOn(Today + 2);
    server.SetBody(NewsPath, "4 V99 the same item");
    CheckForNewsOn(Today + 3);
    EXPECT_EQ(server.TotalRequests(), 4);
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(Key("NewsVersion"), "4");
    EXPECT_EQ(Key("NewsCheck"), std::to_string(Today + 3));
}

TEST_F(NewsCheckTest, ItemForAnOlderProgramIsConsumedUnseen)
{
    server.SetBody(NewsPath, "12 V0.1 old news");
    CheckForNewsOn(Today);
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(Key("NewsVersion"), "12");
}

// The day's one check waits for a server that takes its time: the item
// still comes, where giving up would lose it until tomorrow.
TEST_F(NewsCheckTest, AServerAnsweringAfterSevenSecondsIsWaitedFor)
{
    HttpTestServer::Reply slow{200, "8 V99.0 news that took its time"};
    slow.delayMs = 7000;
    server.Set(NewsPath, slow);
    CheckForNewsOn(Today);
    EXPECT_EQ(Key("NewsVersion"), "8");
    EXPECT_NE(Shown().find("news that took its time"), std::string::npos);
}

TEST_F(NewsCheckTest, UnreachableServerShowsNothingAndWaitsForTomorrow)
{
    server.Stop();
    CheckForNewsOn(Today);
    EXPECT_EQ(Shown(), "");
    EXPECT_EQ(Key("NewsCheck"), std::to_string(Today));
    EXPECT_EQ(Key("NewsVersion"), "-1");
}

}  // namespace
