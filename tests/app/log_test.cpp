// The log: line format, silence without DebugMode, lines dropped when too
// many writers wait, and the shared utilities beside it.
#include "app/log.h"

#include "app/settings.h"
#include "tests/support/blocked_writers.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LogTest : public ::testing::Test {
protected:
    TempFolder folder;
    WorkingFolder here{folder.Path()};

    void SetUp() override { Settings.DebugMode = true; }
    void TearDown() override { Settings.DebugMode = false; }
    std::string Log() { return ReadFileText(folder / "Tervalingo.log"); }
};

TEST_F(LogTest, LineIsLocalTimeWithMillisecondsThenText)
{
    WriteLog("MSFS WSA error 10060");
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} MSFS WSA error 10060\n)");
    EXPECT_TRUE(std::regex_match(Log(), line)) << Log();
}

TEST_F(LogTest, AppendsOneLinePerCallAndKeepsTextLineFeeds)
{
    WriteLog("first");
    WriteLog("two\nparts");
    WriteLogF("value %d of %s", 7, "x");
    std::regex lines(R"(\S+ \S+ first\n\S+ \S+ two\nparts\n\S+ \S+ value 7 of x\n)");
    EXPECT_TRUE(std::regex_match(Log(), lines)) << Log();
}

TEST_F(LogTest, WritesNothingWithDebugModeOff)
{
    Settings.DebugMode = false;
    WriteLog("hidden");
    WriteLogF("hidden %d", 1);
    EXPECT_FALSE(IsDebugMode());
    EXPECT_NE(access("Tervalingo.log", F_OK), 0);
}

TEST_F(LogTest, DropsLinesSilentlyWhenTheLogCannotBeOpened)
{
    mkdir("Tervalingo.log", 0755);
    WriteLog("lost");
    WriteLog(nullptr);
    struct stat st;
    ASSERT_EQ(stat("Tervalingo.log", &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// The first writer blocks on the log while it holds it: 19 of 25 further
// writers wait, the other 6 drop their line.
TEST_F(LogTest, AtMostNineteenWritersWaitTheRestDropTheirLines)
{
    BlockedWritersOutcome outcome =
        RunBlockedWriters(folder / "Tervalingo.log", 25, 6, [](int i) { WriteLogF("writer %d", i); });
    EXPECT_EQ(outcome.droppedEarly, 6);
    EXPECT_EQ(outcome.linesRead, 20);
    WriteLog("later");
    EXPECT_NE(Log().find(" later\n"), std::string::npos);
}

TEST_F(LogTest, FileExistsForFilesAndFolders)
{
    WriteFileText(folder / "file.txt", "");
    mkdir("sub", 0755);
    EXPECT_EQ(FileExists("file.txt"), 1);
    EXPECT_EQ(FileExists(".\\FILE.TXT"), 1);
    EXPECT_EQ(FileExists("sub"), 1);
    EXPECT_EQ(FileExists("missing"), 0);
    EXPECT_EQ(FileExists(nullptr), 0);
}

TEST(LogUtilitiesTest, SecondsInHourAndMagneticVariation)
{
    float seconds = GetSecondsInHour();
    EXPECT_GE(seconds, 0.0f);
    EXPECT_LT(seconds, 3600.0f);
    SetMagneticVariation(-3.5f);
    float variation = 0;
    GetMagneticVariation(&variation);
    EXPECT_FLOAT_EQ(variation, -3.5f);
    GetMagneticVariation(nullptr);
}

} // namespace
