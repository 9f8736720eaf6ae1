// The airport information box: its texts (reference point, runway ends,
// surface words, frequency classes), its height and when it is drawn.
#include "display/airport_info_box.h"

#include "app/settings.h"
#include "display/map_view.h"
#include "navdata/airport_details.h"
#include "navdata/nav_tables.h"
#include "navdata/simulators.h"
#include "render/snapshot.h"
#include "tests/navdata/nav_fixtures.h"
#include "tests/render/render_fixture.h"

#include <string>

namespace {

RunwayRecord Runway()
{
    RunwayRecord r{};
    r.rowCode = 100;
    r.length = 3250;
    r.width = 46;
    r.surface = 1;
    CopyText(r.designator1, sizeof r.designator1, "05");
    CopyText(r.designator2, sizeof r.designator2, "23");
    r.heading1 = 50.2 / 57.3;
    r.heading2 = 230.2 / 57.3;
    CopyText(r.ilsIdent1, sizeof r.ilsIdent1, "-");
    CopyText(r.ilsIdent2, sizeof r.ilsIdent2, "IHM");
    r.ilsFrequency2 = 110.5;
    return r;
}

TEST(InfoBoxTexts, RunwayEndsInFeetOrMetresWithTheirIls)
{
    char text[160];
    RunwayRecord r = Runway();
    FormatRunwayEnd(text, sizeof text, r, 1, false, 6);
    EXPECT_EQ(std::string(text), "05: 10663 x 151 ft ASPHALT -  50\xBA");
    FormatRunwayEnd(text, sizeof text, r, 2, false, 6);
    EXPECT_EQ(std::string(text), "23: 10663 x 151 ft ASPHALT - 230\xBA IHM 110.50 Mhz");
    FormatRunwayEnd(text, sizeof text, r, 1, true, 1);
    EXPECT_EQ(std::string(text), "05: 3250 x 46 m Asphalt -  50\xBA");
}

TEST(InfoBoxTexts, HeadingsWrapAtNorth)
{
    char text[160];
    RunwayRecord r = Runway();
    r.heading1 = 359.7 / 57.3;
    r.heading2 = -0.2 / 57.3;
    FormatRunwayEnd(text, sizeof text, r, 1, false, 6);
    EXPECT_NE(std::string(text).find("-   0\xBA"), std::string::npos) << text;
    FormatRunwayEnd(text, sizeof text, r, 2, false, 6);
    EXPECT_NE(std::string(text).find("-   0\xBA"), std::string::npos) << text;
}

TEST(InfoBoxTexts, SurfaceWordsOfBothTablesAndCodesOutsideThem)
{
    EXPECT_STREQ(RunwaySurfaceWord(1, 6), "ASPHALT");
    EXPECT_STREQ(RunwaySurfaceWord(20, 6), "WATER");
    EXPECT_STREQ(RunwaySurfaceWord(21, 6), "");
    EXPECT_STREQ(RunwaySurfaceWord(0, 6), "");
    EXPECT_STREQ(RunwaySurfaceWord(-2147483647 - 1, 6), "");
    // X-Plane's own codes: 12 lakebed, 13 water, 14 snow, 15 hard.
    EXPECT_STREQ(RunwaySurfaceWord(3, 1), "Grass");
    EXPECT_STREQ(RunwaySurfaceWord(12, 5), "Lakebad");
    EXPECT_STREQ(RunwaySurfaceWord(13, 1), "Water");
    EXPECT_STREQ(RunwaySurfaceWord(15, 1), "Hard");
    EXPECT_STREQ(RunwaySurfaceWord(8, 1), "");
    EXPECT_STREQ(RunwaySurfaceWord(16, 1), "");
}

TEST(InfoBoxTexts, ReferencePointInDegreesAndMinutesEachHemisphere)
{
    char text[64];
    FormatReferencePoint(text, sizeof text, 53.630389, 9.988228);
    EXPECT_EQ(std::string(text), "E   9\xB0 59.3'  N 53\xB0 37.8'");
    FormatReferencePoint(text, sizeof text, -33.5, -70.25);
    EXPECT_EQ(std::string(text), "W  70\xB0 15.0'  S 33\xB0 30.0'");
}

TEST(InfoBoxTexts, FrequencyClassesWithUnicomApartFromAtis)
{
    const char* name = nullptr;
    int32_t code = 0;
    ASSERT_TRUE(FrequencyClassOf(1, &name, &code));
    EXPECT_STREQ(name, "Ground");
    EXPECT_EQ(code, 53);
    ASSERT_TRUE(FrequencyClassOf(4, &name, &code));
    EXPECT_EQ(code, 56);
    ASSERT_TRUE(FrequencyClassOf(6, &name, &code));
    EXPECT_EQ(code, 50);
    ASSERT_TRUE(FrequencyClassOf(8, &name, &code));
    EXPECT_STREQ(name, "UNICOM");
    EXPECT_EQ(code, 51);
    EXPECT_FALSE(FrequencyClassOf(7, &name, &code));
    EXPECT_FALSE(FrequencyClassOf(0, &name, &code));
    EXPECT_FALSE(FrequencyClassOf(9, &name, &code));
}

TEST(InfoBoxTexts, HeightGrowsWithTheRunwayListOnly)
{
    EXPECT_EQ(InfoBoxHeight(2, 7), 48);
    EXPECT_EQ(InfoBoxHeight(3, 7), 56);
    EXPECT_EQ(InfoBoxHeight(6, 7), 80);
    EXPECT_EQ(InfoBoxHeight(6, 3), 48);
    EXPECT_EQ(InfoBoxHeight(0, 7), 48);
}

TEST(InfoBoxModes, ClearingKeepsTheFirstClassOnlyWhenAsked)
{
    Settings.SelectedCOM = 1;
    ClearInfoModes(true);
    EXPECT_EQ(Settings.SelectedCOM, 1);
    ClearInfoModes(false);
    EXPECT_EQ(Settings.SelectedCOM, 0);
}

class InfoBoxDraw : public RenderTest {
  protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.Dimlevel = 255;
        Settings.NavAirport = 1;
        Settings.AirportOverlay = 0;
        Settings.SelectedCOM = 0;
        BezelShown = 0;
        root.WriteZip("Navdata/MSFS/Default/E.zip",
                      {{"E/EDDH.txt", "1 53 EDDH 3.5 53.630389 9.988228 HAM Hamburg Hamburg_Airport Germany\n"}});
        root.WriteText("Navdata/MSFS/com.txt", "2 EDDH\n54 118100 Tower\n53 121755 Ground\n");
        ASSERT_TRUE(LoadAirportDetails("EDDH"));
    }
    void TearDown() override
    {
        FreeNavdata();
        RenderTest::TearDown();
    }
    // White pixels in the rows of the box's lower part, where only the fill
    // and short texts lie.
    int WhiteInRow(int y)
    {
        int n = 0;
        for (int x = 0; x < 640; ++x)
            n += (Pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
        return n;
    }
    TempNavRoot root;
};

TEST_F(InfoBoxDraw, WhiteBandAcrossTheTopOnlyInTheDiagram)
{
    DrawAirportInfoBox();
    EXPECT_GT(WhiteInRow(44), 560);
    EXPECT_EQ(WhiteInRow(60), 0);
    EXPECT_NE(Pixel(320, 0) & 0xFFFFFF, 0xFFFFFFu) << "grey frame";

    ClearTarget(0xFF000000u);
    Settings.AirportOverlay = 1;
    DrawAirportInfoBox();
    EXPECT_EQ(WhiteInRow(44), 0);
}

TEST_F(InfoBoxDraw, LandsOverTheMapSnapshotEachTimeItIsDrawnBack)
{
    SnapshotTarget.valid = 1;
    EXPECT_EQ(DrawSnapshot(0, 0, 0.0, 0), 1);
    SnapshotTarget.valid = 0;
    EXPECT_GT(WhiteInRow(44), 560);
}

TEST_F(InfoBoxDraw, FrequencyClassDrawsBelowTheSeparator)
{
    Settings.SelectedCOM = 3;
    DrawAirportInfoBox();
    int dark = 0;
    for (int y = 33; y < 46; ++y)
        for (int x = 4; x < 200; ++x)
            dark += (Pixel(x, y) & 0xFF) < 0x80;
    EXPECT_GT(dark, 20) << "the tower frequency line";
    EXPECT_EQ(WhiteInRow(60), 0);
}

}  // namespace
