// The list helpers on a real display (Xvfb, the real zenity, xdotool as the
// user's hands): entries of a chart list and callsigns of the pilot log that
// read like zenity's options ("--display=:98" once moved the window to
// another display, "--help" ended the viewer at once) are rows the user
// sees and can choose. Skipped where Xvfb, zenity or xdotool are missing.
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/virtual_display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class HelperListOnDisplayTest : public ::testing::Test {
protected:
    TempFolder folder;
    VirtualDisplay x;

    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "zenity", "xdotool"})
            if (!OnPath(tool))
                GTEST_SKIP() << tool << " is not installed";
        unsetenv("TVL_DIALOG_ANSWER");
        // A runtime folder of its own: the dialog tool's settings bus is
        // shared with nothing else that runs at the same time.
        setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
        ASSERT_TRUE(x.Start()) << "Xvfb gave no display";
    }
    void TearDown() override
    {
        x.Stop();
        unsetenv("DISPLAY");
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    }
};

TEST_F(HelperListOnDisplayTest, ChartEntriesThatReadAsOptionsAreRowsTheUserChooses)
{
    std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/Selvra", folder / "Selvra");
    WriteFileText(folder / "lbaptchart.txt", "Select Airport Chart\n320 240\n--display=:98\n--help\nEDDH-1\n");
    Child selvra;
    ASSERT_TRUE(selvra.Start({folder / "Selvra", "lbaptchart.txt"}, folder / "out.txt", folder.Path()));
    std::string window = x.FindWindow("Select Airport Chart");
    ASSERT_FALSE(window.empty()) << "the list never showed on this display";
    // The list's own search finds the row by its text; Enter chooses it.
    // A window just mapped may drop the first keys: type until it ends.
    int code = -1;
    for (int attempt = 0; attempt < 10 && code < 0; attempt++) {
        x.Keys(window, "--he", {"Return"});
        code = selvra.Wait(5);
    }
    ASSERT_EQ(code, 0);
    EXPECT_EQ(ReadFileText(folder / "lbaptchart.txt.res"), "--help\n");
}

TEST_F(HelperListOnDisplayTest, PilotLogWithOptionLikeCallsignsOpensHereAndStaysOpen)
{
    std::string viewer = std::string(TVL_ROOT_DIR) + "/CSVViewer/CSVFileView";
    WriteFileText(folder / "Pilotlog.csv",
                  "Date;Callsign;Aircraft\n2026-12-09;--display=:98;-v\n2026-12-10;--help;C172\n");
    Child view;
    ASSERT_TRUE(view.Start({viewer, folder / "Pilotlog.csv"}, folder / "out.txt", folder.Path()));
    std::string window = x.FindWindow("Pilotlog.csv");
    ASSERT_FALSE(window.empty()) << "the viewer never showed on this display";
    // The user closes it.
    int code = -1;
    for (int attempt = 0; attempt < 10 && code < 0; attempt++) {
        x.Keys(window, "", {"Escape"});
        code = view.Wait(5);
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileText(folder / "out.txt"), "2 rows\n");
}

}  // namespace
