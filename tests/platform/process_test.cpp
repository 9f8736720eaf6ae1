// Starting programs: stand-ins found by their ".exe" name, arguments passed
// without a shell, "cmd.exe /c" with its redirections and no shell, waits and
// exit codes.
#include "platform/process.h"

#include "platform/sync.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProcessTest : public ::testing::Test {
protected:
    TempFolder folder;

    void SetUp() override
    {
        // A stand-in that lists its arguments and working folder, then exits
        // with the code named by the file "code" when there is one.
        WriteFileText(folder / "Helper", "#!/bin/sh\n"
                                         "pwd > args.txt\n"
                                         "for a in \"$@\"; do echo \"[$a]\" >> args.txt; done\n"
                                         "while [ -e wait.flag ]; do sleep 0.01; done\n"
                                         "exit 3\n");
        chmod((folder / "Helper").c_str(), 0755);
        MakeFolders(folder / "Work");
    }

    DWORD Run(const char* file, const char* parameters, SHELLEXECUTEINFOA* info)
    {
        *info = SHELLEXECUTEINFOA{};
        info->cbSize = sizeof *info;
        info->fMask = SEE_MASK_NOCLOSEPROCESS;
        info->lpVerb = "open";
        info->lpFile = file;
        info->lpParameters = parameters;
        std::string work = folder / "Work";
        info->lpDirectory = work.c_str();
        if (!ShellExecuteExA(info))
            return WAIT_FAILED;
        return WaitForSingleObject(info->hProcess, INFINITE);
    }
};

TEST_F(ProcessTest, RunsTheStandInOfAnExeWithArgumentsAsGiven)
{
    std::string exe = folder.Path() + "\\HELPER.exe";
    SHELLEXECUTEINFOA info;
    ASSERT_EQ(Run(exe.c_str(), "plain \"two words\" $HOME;ls C:\\x\\y.txt", &info), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 3u);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_EQ(ReadFileText(folder / "Work/args.txt"),
              folder / "Work\n[plain]\n[two words]\n[$HOME;ls]\n[C:/x/y.txt]\n");
}

TEST_F(ProcessTest, WaitWithALimitTimesOutWhileTheProgramRuns)
{
    WriteFileText(folder / "Work/wait.flag", "");
    SHELLEXECUTEINFOA info{};
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    std::string exe = folder / "Helper.exe";
    std::string work = folder / "Work";
    info.lpFile = exe.c_str();
    info.lpDirectory = work.c_str();
    ASSERT_TRUE(ShellExecuteExA(&info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    unlink((folder / "Work/wait.flag").c_str());
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
}

TEST_F(ProcessTest, CmdRunsTheProgramWithEveryArgumentAsItStands)
{
    std::string parameters = "/C " + folder.Path() + "\\Helper.exe 'a b' $(id) \"c d\" >out.txt";
    SHELLEXECUTEINFOA info;
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_EQ(ReadFileText(folder / "Work/args.txt"), folder / "Work\n['a]\n[b']\n[$(id)]\n[c d]\n");
    struct stat st;
    EXPECT_EQ(stat((folder / "Work/out.txt").c_str(), &st), 0);
}

TEST_F(ProcessTest, CmdRedirectsStreamsWithTheFileInTheSameOrNextWord)
{
    WriteFileText(folder / "Talker", "#!/bin/sh\necho out; echo err >&2; cat\n");
    chmod((folder / "Talker").c_str(), 0755);
    WriteFileText(folder / "Work/in.txt", "in\n");
    std::string talker = folder.Path() + "\\Talker.exe";
    SHELLEXECUTEINFOA info;
    std::string parameters = "/c " + talker + " <in.txt >all.txt 2>&1";
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_EQ(ReadFileText(folder / "Work/all.txt"), "out\nerr\nin\n");
    parameters = "/c " + talker + " < in.txt 1> \"two words.txt\" 2>>err.txt";
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_EQ(ReadFileText(folder / "Work/two words.txt"), "out\nin\n");
    EXPECT_EQ(ReadFileText(folder / "Work/err.txt"), "err\nerr\n");
}

TEST_F(ProcessTest, CmdNeverChainsAnotherProgramOrReadsQuotedOperators)
{
    std::string helper = folder.Path() + "\\Helper.exe";
    SHELLEXECUTEINFOA info{};
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = "cmd.exe";
    std::string work = folder / "Work";
    info.lpDirectory = work.c_str();
    for (const char* chain : {" a | touch pwned", " a && touch pwned", " a||touch pwned", " a & touch pwned",
                              " a >", " a > >x", " a 2>&1x", " a > | touch pwned",
                              " a > \"\"", " \"a\"|touch pwned"}) {
        std::string parameters = "/c " + helper + chain;
        info.lpParameters = parameters.c_str();
        EXPECT_FALSE(ShellExecuteExA(&info)) << chain;
        EXPECT_EQ(info.hProcess, nullptr) << chain;
    }
    EXPECT_NE(access((folder / "Work/pwned").c_str(), F_OK), 0);
    // A quoted operator is an argument like any other.
    std::string parameters = "/c " + helper + " \">x\" \"|\" \"&&\" \"2>&1\"";
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_EQ(ReadFileText(folder / "Work/args.txt"), folder / "Work\n[>x]\n[|]\n[&&]\n[2>&1]\n");
    EXPECT_NE(access((folder / "Work/x").c_str(), F_OK), 0);
}

TEST_F(ProcessTest, MissingProgramsAreReportedNotRun)
{
    HINSTANCE result = ShellExecuteA(nullptr, "open", "AcroRd32.exe", "x.pdf", nullptr, SW_SHOWNORMAL);
    EXPECT_LE(reinterpret_cast<intptr_t>(result), 32);
    SHELLEXECUTEINFOA info{};
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = "NoSuchHelper.exe";
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_EQ(info.hProcess, nullptr);
    info.lpFile = "cmd.exe";
    info.lpParameters = "/C NoSuchTool.exe x";
    EXPECT_FALSE(ShellExecuteExA(&info));
    info.lpParameters = "/K whatever";
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_FALSE(ShellExecuteExA(nullptr));
}

TEST_F(ProcessTest, ShellExecuteStartsWithoutWaiting)
{
    std::string exe = folder / "Helper.exe";
    std::string work = folder / "Work";
    HINSTANCE result = ShellExecuteA(nullptr, "open", exe.c_str(), "one", work.c_str(), SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<intptr_t>(result), 32);
    for (int i = 0; i < 5000 && ReadFileText(folder / "Work/args.txt").find("[one]") == std::string::npos; i++)
        usleep(1000);
    EXPECT_NE(ReadFileText(folder / "Work/args.txt").find("[one]"), std::string::npos);
}

TEST_F(ProcessTest, PdfToolsRunOnMutool)
{
    if (access("/usr/bin/mutool", X_OK) != 0)
        GTEST_SKIP() << "mutool is not installed";
    std::string parameters = "/C " + folder.Path() + "\\System\\mutool.exe -v >version.txt 2>&1";
    SHELLEXECUTEINFOA info;
    ASSERT_EQ(Run("cmd.exe", parameters.c_str(), &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_NE(ReadFileText(folder / "Work/version.txt").find("mutool"), std::string::npos);
}

TEST_F(ProcessTest, ArgumentsReachTheProgramAsTheyStandWithoutAShell)
{
    std::string helper = folder / "Helper.exe";
    std::string name = "a b \"c\" ; touch pwned $(touch pwned2) 'd'.pdf";
    EXPECT_EQ(RunProgramWithArguments(helper.c_str(), {"info", name}, (folder / "Work").c_str(), nullptr), 3);
    EXPECT_EQ(ReadFileText(folder / "Work/args.txt"), folder / "Work" + "\n[info]\n[" + name + "]\n");
    EXPECT_NE(access((folder / "Work/pwned").c_str(), F_OK), 0);
    EXPECT_NE(access((folder / "Work/pwned2").c_str(), F_OK), 0);
    EXPECT_EQ(RunProgramWithArguments((folder / "Nothing.exe").c_str(), {}, nullptr, nullptr), -1);
    EXPECT_FALSE(IsProgramAvailable((folder / "Nothing.exe").c_str()));
    EXPECT_TRUE(IsProgramAvailable(helper.c_str()));
}

TEST_F(ProcessTest, AStartedProgramHoldsNoneOfTheProgramsFiles)
{
    // A descriptor without close-on-exec, as a socket of a link or a download has.
    int held = open((folder / "Work").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 3);
    WriteFileText(folder / "Lister", "#!/bin/sh\nls /proc/$$/fd > fds.txt\n");
    chmod((folder / "Lister").c_str(), 0755);
    std::string lister = folder / "Lister.exe";
    std::string heldName = std::to_string(held) + "\n";
    ASSERT_EQ(RunProgramWithArguments(lister.c_str(), {}, (folder / "Work").c_str(), nullptr), 0);
    std::string waited = ReadFileText(folder / "Work/fds.txt");
    EXPECT_EQ(waited.find(heldName), std::string::npos) << waited;
    SHELLEXECUTEINFOA info;
    ASSERT_EQ(Run(lister.c_str(), "", &info), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    close(held);
    std::string started = ReadFileText(folder / "Work/fds.txt");
    EXPECT_EQ(started.find(heldName), std::string::npos) << started;
}

TEST_F(ProcessTest, PageToolsAreMutoolAndTheirOutputGoesToAFile)
{
    if (access("/usr/bin/mutool", X_OK) != 0)
        GTEST_SKIP() << "mutool is not installed";
    for (const char* tool : {"mutool.exe", "mudraw.exe", "Rastoq.exe"})
        EXPECT_TRUE(IsProgramAvailable((folder / "System/" + tool).c_str())) << tool;
    std::string pdf = folder / "Work/my chart; 'x'.pdf";
    WriteFileText(folder / "Work/page.txt", "0 0 1 rg 10 10 100 100 re f\n");
    ASSERT_EQ(RunProgramWithArguments("mutool.exe", {"create", "-o", pdf, folder / "Work/page.txt"}, nullptr, nullptr),
              0);
    std::string out = folder / "Work/info.txt";
    ASSERT_EQ(RunProgramWithArguments("Rastoq.exe", {"info", pdf}, (folder / "Work").c_str(), out.c_str()), 0);
    EXPECT_NE(ReadFileText(out).find("Pages: 1"), std::string::npos);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(IsProgramAvailable("AcroRd32.exe"));  // no desktop: no viewer
}

} // namespace
