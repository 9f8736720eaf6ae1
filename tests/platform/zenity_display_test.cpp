// The file dialog on a real display: a virtual X server (Xvfb), the real
// zenity, and keys typed into its window with xdotool, as a user would. The
// typed path comes back as the chosen file; Escape cancels and leaves the
// caller's path alone. Skipped where Xvfb, zenity or xdotool are missing.
#include "platform/dialogs.h"

#include "tests/support/temp_folder.h"
#include "tests/support/virtual_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class ZenityOnDisplayTest : public ::testing::Test {
protected:
    TempFolder folder;
    VirtualDisplay x;
    std::optional<std::string> savedDriver;

    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "zenity", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        if (const char* driver = getenv("SDL_VIDEODRIVER"))
            savedDriver = driver;
        unsetenv("TVL_DIALOG_ANSWER");
        ASSERT_TRUE(x.Start()) << "Xvfb gave no display";
    }

    // Ending the server also ends a dialog still open on it, so that a
    // failed check never leaves the test waiting for the dialog.
    void StopServer() { x.Stop(); }
    struct StopServerOnExit {
        ZenityOnDisplayTest* test;
        ~StopServerOnExit() { test->StopServer(); }
    };

    void TearDown() override
    {
        StopServer();
        unsetenv("DISPLAY");
        if (savedDriver)
            setenv("SDL_VIDEODRIVER", savedDriver->c_str(), 1);
    }

    std::string FindWindow(const std::string& title) { return x.FindWindow(title); }

    void Keys(const std::string& window, const std::vector<std::string>& keys, const std::string& text)
    {
        // A window just mapped may not take keys yet.
        std::this_thread::sleep_for(500ms);
        x.Keys(window, text, keys);
    }
};

TEST_F(ZenityOnDisplayTest, TypedPathIsTheChosenFileAndEscapeCancels)
{
    std::string plan = folder / "route one.pln";
    ASSERT_TRUE(WriteFileText(plan, "<x/>"));
    char name[512] = "proposed.pln";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "Flight plan *.pln\0*.pln\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = sizeof name;
    dialog.lpstrInitialDir = folder.Path().c_str();
    dialog.lpstrTitle = "Open flight plan";
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

    auto chosen = std::async(std::launch::async, [&] { return GetOpenFileNameA(&dialog) != 0; });
    StopServerOnExit stopFirst{this};
    std::string window = FindWindow("Open flight plan");
    ASSERT_FALSE(window.empty()) << "the dialog never showed";
    // Typing a path opens the chooser's location field; Enter takes it.
    Keys(window, {"Return"}, plan);
    ASSERT_EQ(chosen.wait_for(120s), std::future_status::ready);
    ASSERT_TRUE(chosen.get());
    EXPECT_EQ(std::string(name), plan);

    std::strcpy(name, "proposed.pln");
    auto cancelled = std::async(std::launch::async, [&] { return GetOpenFileNameA(&dialog) != 0; });
    StopServerOnExit stopSecond{this};
    window = FindWindow("Open flight plan");
    ASSERT_FALSE(window.empty());
    Keys(window, {"Escape"}, "");
    ASSERT_EQ(cancelled.wait_for(120s), std::future_status::ready);
    EXPECT_FALSE(cancelled.get());
    EXPECT_STREQ(name, "proposed.pln");
}

}  // namespace
