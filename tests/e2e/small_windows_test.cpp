// The small corner windows as a user meets them: the built program headless,
// Space steps it from the normal window to the 80 x 80 and the 500 x 100
// window and back, each showing its whole content; and Space does that same
// one thing whatever softkey page is up. The two small windows are kept as
// references; TVL_UPDATE_REFERENCES=1 writes new ones, TVL_KEEP_SCREENSHOTS=1
// leaves the pictures in /tmp.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

class SmallWindowsEndToEnd : public ProgramEndToEnd {
protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // The empty map and the longest status line: the aircraft's values.
        Set("t", "0");
        Set("MenuState", "2");
        Set("TopMost", "1");
        Set("DebugMode", "1");
    }

    std::string Shot(const char* name) { return root / (std::string(name) + ".png"); }
    // The display modes the log names, in order ("1: 80 x 80" ...).
    std::vector<std::string> Modes()
    {
        std::vector<std::string> modes;
        std::istringstream lines(Log());
        for (std::string line; std::getline(lines, line);) {
            size_t at = line.find("Display mode ");
            if (at != std::string::npos)
                modes.push_back(line.substr(at + 13));
        }
        return modes;
    }
};

// Lit pixels (not black) in a rectangle of a picture.
int Lit(const Picture& p, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1 && y < p.height; ++y)
        for (int x = x0; x < x1 && x < p.width; ++x)
            n += p.At(x, y) != 0;
    return n;
}

TEST_F(SmallWindowsEndToEnd, BothSmallWindowsShowTheirWholeContent)
{
    std::string script = "wait 20\nkey SPACE\nwait 10\nshot " + Shot("small_window_80") +
                         "\nkey SPACE\nwait 10\nshot " + Shot("small_window_500") + "\nkey SPACE\nwait 10\nshot " +
                         Shot("normal") + "\nquit\n";
    ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, "small_"));
    std::vector<std::string> expected = {"1: 80 x 80", "2: 500 x 100", "0: 640 x 360"};
    EXPECT_EQ(Modes(), expected) << Log();

    Picture mini, wide, normal;
    ASSERT_TRUE(LoadPicture(Shot("small_window_80"), &mini));
    ASSERT_TRUE(LoadPicture(Shot("small_window_500"), &wide));
    ASSERT_TRUE(LoadPicture(Shot("normal"), &normal));
    ASSERT_EQ(mini.width, 80);
    ASSERT_EQ(mini.height, 80);
    EXPECT_GT(Lit(mini, 40, 0, 80, 40), 20);  // the wind text
    EXPECT_EQ(Lit(mini, 79, 0, 80, 80), 0);   // none of it at the edge
    ASSERT_EQ(wide.width, 500);
    ASSERT_EQ(wide.height, 100);
    EXPECT_GT(Lit(wide, 84, 38, 396, 60), 100);  // the status line
    EXPECT_EQ(Lit(wide, 396, 38, 500, 100), 0);  // ends before the wind box
    EXPECT_EQ(Lit(wide, 499, 0, 500, 100), 0);
    EXPECT_EQ(normal.width, 640);
    EXPECT_EQ(normal.height, 360);
    ExpectMatchesReference(Shot("small_window_80"), "small_window_80");
    ExpectMatchesReference(Shot("small_window_500"), "small_window_500");
}

// Space on the airport list, the navigation page and the colours page: on
// each the next display mode and nothing of that page's key 12 (the COM key,
// the airport overlay, the direct-to colour with a colour the dialog would give).
TEST_F(SmallWindowsEndToEnd, SpaceStepsTheWindowOnEveryPageAndDoesNothingElse)
{
    Set("Softkeylevel", "3");
    Set("Softkeysublevel", "2");
    Set("Softkeys", "1");
    Set("SelectedCOM", "0");
    Set("AirportOverlay", "1");
    Set("DirToColor", "0x00FF00");
    setenv("TVL_DIALOG_ANSWER", "#102030", 1);
    // Esc leads from the airport list to the navigation page, Esc, Ctrl+1
    // and 3 from there to the colours page.
    std::string script = "wait 20\nkey SPACE\nwait 10\nshot " + Shot("list") + "\nkey ESC\nkey SPACE\nwait 10\nshot " +
                         Shot("navigation") + "\nkey ESC\nkey ctrl+1\nkey 3\nkey SPACE\nwait 10\nshot " +
                         Shot("colours") + "\nquit\n";
    bool ran = RunMapProgramWithScript(&program, system, root.Path(), script, "space_");
    unsetenv("TVL_DIALOG_ANSWER");
    ASSERT_TRUE(ran);
    std::vector<std::string> expected = {"1: 80 x 80", "2: 500 x 100", "0: 640 x 360"};
    EXPECT_EQ(Modes(), expected) << Log();
    Picture p;
    ASSERT_TRUE(LoadPicture(Shot("list"), &p));
    EXPECT_EQ(p.width, 80);
    ASSERT_TRUE(LoadPicture(Shot("navigation"), &p));
    EXPECT_EQ(p.width, 500);
    ASSERT_TRUE(LoadPicture(Shot("colours"), &p));
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(Get("Softkeylevel"), "5");
    EXPECT_EQ(Get("Softkeysublevel"), "2");
    EXPECT_EQ(Get("SelectedCOM"), "0");
    EXPECT_EQ(Get("AirportOverlay"), "1");
    EXPECT_EQ(Get("DirToColor"), "ff00ff00") << Log();
}

}  // namespace
