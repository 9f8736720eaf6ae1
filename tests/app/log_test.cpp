// The log: line format, silence without DebugMode, lines dropped when too
// many writers wait, and the shared utilities beside it.
#include "app/log.h"

#include "app/settings.h"
#include "platform/threads.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The log is a pipe nobody reads yet, so the first writer blocks while it
// holds the log: 19 of 25 further writers wait, the other 6 drop their line.
TEST_F(LogTest, AtMostNineteenWritersWaitTheRestDropTheirLines)
{
    ASSERT_EQ(mkfifo("Tervalingo.log", 0644), 0);
    std::thread holder([] { WriteLog("holder"); });
    std::atomic<int> returned{0};
    std::vector<std::thread> writers;
    // Let the holder take the log before the others come.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    Sleep(50);
    for (int i = 0; i < 25; i++) {
        writers.emplace_back([&returned, i] {
            WriteLogF("writer %d", i);
            returned++;
        });
    }
    while (returned.load() < 6 && std::chrono::steady_clock::now() < deadline)
        Sleep(1);
    EXPECT_EQ(returned.load(), 6);

    int pipe = open("Tervalingo.log", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    int lines = 0;
    char buffer[4096];
    while (lines < 20 && std::chrono::steady_clock::now() < deadline) {
        ssize_t got = read(pipe, buffer, sizeof buffer);
        for (ssize_t i = 0; i < got; i++)
            lines += buffer[i] == '\n';
        if (got <= 0)
            Sleep(1);
    }
    holder.join();
    for (std::thread& writer : writers)
        writer.join();
    close(pipe);
    EXPECT_EQ(lines, 20);
    EXPECT_EQ(returned.load(), 25);

    unlink("Tervalingo.log");
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
