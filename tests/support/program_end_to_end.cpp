// The end-to-end fixture's set-up and its runs of the map program.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <FreeImage.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string ProgramBinary() { return std::string(TVL_ROOT_DIR) + "/System/tervalingo"; }

}  // namespace

void ProgramEndToEnd::SetUp()
{
    UseHeadlessEnvironment(root.Path());
    for (const char* name : {"TVL_SCREENSHOT", "TVL_SCREENSHOT_FRAME", "TVL_EXIT_AFTER_FRAMES", "TVL_DIALOG_ANSWER"})
        unsetenv(name);
    // Message boxes answered as the test environment answers them, and user
    // data kept in the root.
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    setenv("XDG_DATA_HOME", (root / "userdata").c_str(), 1);
    // Nothing answers the MSFS link until a test starts its own peer: a
    // peer another test left on the shipped port is never flown.
    SetIn("MSFS", "Port", "9");
    FreeImage_Initialise(FALSE);
}

void ProgramEndToEnd::TearDown()
{
    FreeImage_DeInitialise();
    unsetenv("TVL_EVENT_SCRIPT");
}

void ProgramEndToEnd::SetIn(const char* section, const char* key, const std::string& value)
{
    WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
}

std::string ProgramEndToEnd::GetIn(const char* section, const char* key)
{
    char value[256] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof(value), ini.c_str());
    return value;
}

void ProgramEndToEnd::CopyShippedFolder(const char* name)
{
    std::error_code error;
    std::filesystem::copy(std::string(TVL_ROOT_DIR) + "/" + name, root / name,
                          std::filesystem::copy_options::recursive, error);
    ASSERT_FALSE(error) << name << ": " << error.message();
}

bool ProgramEndToEnd::StartProgram(const std::vector<std::string>& args, const std::string& script)
{
    if (script.empty()) {
        unsetenv("TVL_EVENT_SCRIPT");
    } else {
        std::string path = root / "script.txt";
        EXPECT_TRUE(WriteFileText(path, script));
        setenv("TVL_EVENT_SCRIPT", path.c_str(), 1);
    }
    std::vector<std::string> all = {ProgramBinary()};
    all.insert(all.end(), args.begin(), args.end());
    bool started = program.Start(all, root / "program.out", system);
    unsetenv("TVL_EVENT_SCRIPT");
    return started;
}

int ProgramEndToEnd::RunProgram(const std::vector<std::string>& args, const std::string& script)
{
    if (!StartProgram(args, script))
        return -1;
    return program.Wait(ProgramRunLimit);
}

std::string ProgramEndToEnd::StartTool(Child* tool, const char* name, const std::vector<std::string>& args,
                                       const std::string& output)
{
    std::vector<std::string> all = {std::string(TVL_TOOLS_DIR) + "/" + name};
    all.insert(all.end(), args.begin(), args.end());
    if (!tool->Start(all, output, root.Path()))
        return "";
    return WaitForAnnouncedPort(output);
}

bool ProgramEndToEnd::RunBuiltTool(const char* name, const std::vector<std::string>& args)
{
    Child tool;
    std::string output = root / (std::string(name) + ".out");
    std::vector<std::string> all = {std::string(TVL_TOOLS_DIR) + "/" + name};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_TRUE(tool.Start(all, output, root.Path())) << name;
    int code = tool.Wait(ProgramRunLimit);
    EXPECT_EQ(code, 0) << ReadFileText(output);
    return code == 0;
}

void ProgramEndToEnd::StartProxyPeer(Child* peer, const std::vector<std::string>& args, const std::string& output)
{
    std::string port = StartTool(peer, "tvl-proxypeer", args, output);
    ASSERT_FALSE(port.empty()) << ReadFileText(output);
    SetIn("MSFS", "Port", port);
}

Picture ProgramEndToEnd::RunForShot(const char* name, int frames, const std::string& script)
{
    if (script.empty()) {
        unsetenv("TVL_EVENT_SCRIPT");
    } else {
        std::string path = root / (std::string(name) + ".txt");
        EXPECT_TRUE(WriteFileText(path, script));
        setenv("TVL_EVENT_SCRIPT", path.c_str(), 1);
    }
    Picture p = RunForScreenshot(&program, system, root / (std::string(name) + ".png"), root / "program.out", frames);
    unsetenv("TVL_EVENT_SCRIPT");
    return p;
}

void ProgramEndToEnd::ExpectShotMatchesReference(const char* name)
{
    ExpectMatchesReference(root / (std::string(name) + ".png"), name);
}
