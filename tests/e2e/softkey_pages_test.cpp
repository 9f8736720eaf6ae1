// The softkey bar as a user sees it: the built program headless, walked by
// an event script through the top bar, the main page and the options pages
// in English and German, with a picture of each page; the pointer over a
// softkey brings up its tooltip band. Three pictures are kept as
// references; TVL_UPDATE_REFERENCES=1 writes new ones, TVL_KEEP_SCREENSHOTS=1
// leaves every picture in /tmp for a look.
#include "tests/support/program_end_to_end.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A page the script reaches and the name of its picture.
struct Step {
    const char* keys;  // script lines before the picture
    const char* name;
};

// From the information page; keys 1..7 press softkeys 0..6, with Ctrl 7..13;
// Esc goes back.
const std::vector<Step> Walk = {
    {"", "information"},
    {"key ESC\n", "main"},
    {"key ESC\n", "top"},
    {"key 7\nkey 1\n", "map_types"},
    {"key ESC\nkey 2\n", "navigation"},
    {"key 6\n", "airspace_classes"},
    {"key ESC\nkey ctrl+4\n", "nearest"},
    {"key ESC\nkey ctrl+7\n", "database"},
    {"key ESC\nkey ESC\nkey ctrl+1\n", "options"},
    {"key 1\n", "simulators"},
    {"key ESC\nkey 3\n", "colours"},
    {"key 6\n", "widths"},
    {"key ESC\nkey 3\nkey 5\n", "airspace_colours"},
    {"key ESC\n", "options_2"},
    {"key ESC\nkey ctrl+2\n", "user_map"},
    {"key ESC\nkey ctrl+1\nkey ctrl+1\nkey ctrl+1\n", "options_3"},
    {"key 1\n", "languages"},
};

class SoftkeyBarEndToEnd : public ProgramEndToEnd {
protected:
    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        // Ended by the script, never by a frame count.
        // The empty map: no tiles are fetched; the bar and its labels only.
        Set("t", "0");
        Set("DynamicSoftkeys", "0");
    }

    std::string Shot(const std::string& language, const char* name)
    {
        return root / ("softkeys_" + std::string(name) + "_" + language + ".png");
    }
    // Walks the pages (and ends with the pointer over MENU's neighbour key);
    // true when the program ended by the script's quit.
    bool Run(const std::string& language, const std::string& extra)
    {
        Set("Language", language.c_str());
        // Each walk starts on the information page whatever the last one left.
        Set("Softkeys", "1");
        Set("Softkeylevel", "0");
        Set("Softkeysublevel", "1");
        std::string script = "wait 20\n";
        for (const Step& s : Walk)
            script += std::string(s.keys) + "wait 8\nshot " + Shot(language, s.name) + "\n";
        script += extra + "wait 5\nquit\n";
        bool started = StartProgram({}, script);
        bool ended = started && program.Wait(180) == 0;
        KeepScreenshotsOf(root.Path());
        return ended;
    }
    // Pixels of the bar's rows inside the bezel's map window that differ.
    static int BarDifference(const Picture& a, const Picture& b)
    {
        int count = 0;
        for (int y = a.height * 60 / 100; y < a.height * 80 / 100; ++y)
            for (int x = a.width * 13 / 100; x < a.width * 87 / 100; ++x)
                count += ChannelDistance(a.At(x, y), b.At(x, y)) > 48;
        return count;
    }
};

TEST_F(SoftkeyBarEndToEnd, EveryPageShowsItsOwnKeysInEnglishAndGerman)
{
    for (const std::string language : {"en", "de"}) {
        ASSERT_TRUE(Run(language, "")) << ReadFileText(system + "/Tervalingo.log");
        std::vector<Picture> pictures;
        for (const Step& s : Walk) {
            Picture p;
            ASSERT_TRUE(LoadPicture(Shot(language, s.name), &p)) << s.name << ReadFileText(system + "/Tervalingo.log");
            pictures.push_back(p);
        }
        // Each page's keys differ from the page before it.
        for (size_t i = 1; i < pictures.size(); ++i)
            EXPECT_GT(BarDifference(pictures[i - 1], pictures[i]), 200) << language << " " << Walk[i].name;
    }
    ExpectMatchesReference(Shot("en", "top"), "softkeys_top_en");
    ExpectMatchesReference(Shot("en", "main"), "softkeys_main_en");
    ExpectMatchesReference(Shot("de", "options"), "softkeys_options_de");
}

TEST_F(SoftkeyBarEndToEnd, PointerOverASoftkeyShowsItsTooltipBand)
{
    // The main page's CLR TRK key (softkey 5) in the bottom row, then away.
    Set("Softkeys", "1");
    Set("Softkeylevel", "0");
    Set("Softkeysublevel", "0");
    std::string away = root / "away.png", over = root / "over.png";
    std::string script = "wait 20\nmove 320 100\nwait 8\nshot " + away + "\nmove 455 260\nwait 8\nshot " + over +
                         "\nwait 5\nquit\n";
    Set("Language", "en");
    ASSERT_TRUE(StartProgram({}, script));
    ASSERT_EQ(program.Wait(180), 0) << Log();
    KeepScreenshot(over, "softkeys_tooltip.png");
    Picture a, b;
    ASSERT_TRUE(LoadPicture(away, &a));
    ASSERT_TRUE(LoadPicture(over, &b));
    // The band is light cyan across the whole width (with the bezel in the
    // frame just below the keys).
    int bandRows = 0;
    for (int y = 0; y < b.height; ++y) {
        int light = 0;
        for (int x = b.width / 4; x < b.width * 3 / 4; x += 4)
            light += ChannelDistance(b.At(x, y), 0xE0FFFF) < 40 && ChannelDistance(a.At(x, y), b.At(x, y)) > 8;
        bandRows += light > b.width / 16;
    }
    EXPECT_GT(bandRows, 4);
}

}  // namespace
