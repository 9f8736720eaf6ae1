// The log: line format, silence without DebugMode, and lines dropped when
// too many writers wait.
#include "platform/log.h"

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

    void SetUp() override { LogDebugMode = true; }
    void TearDown() override { LogDebugMode = false; }
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
    LogDebugMode = false;
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

} // namespace
