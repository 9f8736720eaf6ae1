// Airspaces: the whole degrees of a view, the header and point lines, the
// index range at the view's edges and across the antimeridian, the class
// filter, each kind of damaged file, and the loader's hand-over while the
// view moves.
#include "navdata/airspaces.h"

#include "navdata/airways.h"
#include "navdata/nav_tables.h"

#include "app/settings.h"
#include "tests/navdata/airspace_fixtures.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

// ---- whole degrees ----

TEST(AirspaceViewDegrees, MinimaRoundDownMaximaUpAndASpanIsNeverEmpty)
{
    WholeDegrees d = UpdateViewDegrees(47.2, 48.9, 9.5, 10.5);
    EXPECT_EQ(d.latLow, 47);
    EXPECT_EQ(d.latHigh, 49);
    EXPECT_EQ(d.lonLow, 9);
    EXPECT_EQ(d.lonHigh, 11);
    d = UpdateViewDegrees(-0.5, 0.5, -0.5, 0.5);
    EXPECT_EQ(d.latLow, -1);
    EXPECT_EQ(d.latHigh, 1);
    d = UpdateViewDegrees(-3.5, -2.2, 0.0, 0.0);
    EXPECT_EQ(d.latLow, -4);
    EXPECT_EQ(d.latHigh, -1);
    EXPECT_EQ(d.lonLow, -1);
    EXPECT_EQ(d.lonHigh, 1);
    d = UpdateViewDegrees(5.5, 4.2, 5, 5);  // bounds that meet still span a degree
    EXPECT_EQ(d.latLow, 5);
    EXPECT_EQ(d.latHigh, 6);
}

// ---- lines ----

TEST(AirspaceLines, HeaderGivesEveryFieldAndTheNameIsTheRestOfTheLine)
{
    AirspaceRecord a;
    int count = 0;
    const char* problem = nullptr;
    ASSERT_EQ(ParseAirspaceHeader("ASP 5 CTR 53.5 53.8 9.8 10.2 118500 GND 2500_FT_MSL HAMBURG CTR", &a, &count,
                                  &problem),
              AirspaceHeader::Ok);
    EXPECT_EQ(count, 5);
    EXPECT_STREQ(a.airspaceClass, "CTR");
    EXPECT_DOUBLE_EQ(a.latMin, 53.5);
    EXPECT_DOUBLE_EQ(a.lonMax, 10.2);
    EXPECT_EQ(a.frequency, 118500);
    EXPECT_STREQ(a.lower, "GND");
    EXPECT_STREQ(a.upper, "2500 FT_MSL");  // only the first underscore
    EXPECT_STREQ(a.name, "HAMBURG CTR");

    std::string longName = "ASP 3 D 1 2 3 4 0 GND FL65 " + std::string(80, 'N');
    ASSERT_EQ(ParseAirspaceHeader(longName, &a, &count, &problem), AirspaceHeader::Ok);
    EXPECT_EQ(std::strlen(a.name), 48u);
    std::string longLimit = "ASP 3 D 1 2 3 4 0 " + std::string(30, 'L') + " FL65 X";
    ASSERT_EQ(ParseAirspaceHeader(longLimit, &a, &count, &problem), AirspaceHeader::Ok);
    EXPECT_EQ(std::strlen(a.lower), 11u);
    EXPECT_EQ(ParseAirspaceHeader("ASP 3 R 1 2 3 4 0 GND FL65", &a, &count, &problem), AirspaceHeader::Ok);
    EXPECT_STREQ(a.name, "");
    EXPECT_EQ(ParseAirspaceHeader("53.5 10.0", &a, &count, &problem), AirspaceHeader::NotHeader);
}

TEST(AirspaceLines, UnusableHeadersAreRefusedWithTheirReason)
{
    const char* bad[] = {
        "ASP 5 D 53.5 53.8 9.8",                         // cut short
        "ASP x D 53.5 53.8 9.8 10.2 0 GND FL65 N",       // count not a number
        "ASP 0 D 53.5 53.8 9.8 10.2 0 GND FL65 N",       // no points
        "ASP 1 D 53.5 53.8 9.8 10.2 0 GND FL65 N",       // a point is no outline
        "ASP 50000 D 53.5 53.8 9.8 10.2 0 GND FL65 N",   // beyond the outline buffer
        "ASP 5 TMZ 53.5 53.8 9.8 10.2 0 GND FL65 N",     // no class of the map
        "ASP 5 DD 53.5 53.8 9.8 10.2 0 GND FL65 N",
        "ASP 5 D 53.5 93.8 9.8 10.2 0 GND FL65 N",       // latitude out of range
        "ASP 5 D 53.5 53.8 9.8 190.2 0 GND FL65 N",      // longitude out of range
        "ASP 5 D nan 53.8 9.8 10.2 0 GND FL65 N",
        "ASP 5 D 53.9 53.8 9.8 10.2 0 GND FL65 N",       // box upside down
        "ASP 5 D 53.5 53.8 9.8 10.2 1x8 GND FL65 N",     // frequency
    };
    for (const char* line : bad) {
        AirspaceRecord a;
        int count = 0;
        const char* problem = nullptr;
        EXPECT_EQ(ParseAirspaceHeader(line, &a, &count, &problem), AirspaceHeader::Malformed) << line;
        EXPECT_NE(problem, nullptr) << line;
    }
}

TEST(AirspaceLines, PointsInRangeOnly)
{
    AirspacePoint p;
    ASSERT_TRUE(ParseAirspacePoint("53.5 -10.25", &p));
    EXPECT_DOUBLE_EQ(p.lat, 53.5);
    EXPECT_DOUBLE_EQ(p.lon, -10.25);
    EXPECT_TRUE(ParseAirspacePoint("  -90 180 ", &p));
    EXPECT_FALSE(ParseAirspacePoint("90.5 10", &p));
    EXPECT_FALSE(ParseAirspacePoint("10 -180.5", &p));
    EXPECT_FALSE(ParseAirspacePoint("10", &p));
    EXPECT_FALSE(ParseAirspacePoint("10 11 12", &p));
    EXPECT_FALSE(ParseAirspacePoint("inf 11", &p));
    EXPECT_FALSE(ParseAirspacePoint("ASP 3 D", &p));
}

TEST(AirspaceLines, BoxesThatOnlyTouchOverlap)
{
    // Box 9..10 E, 53..54 N against bounds 54..55 N, 10..11 E: a corner.
    EXPECT_TRUE(BoxesOverlap(9, 10, 53, 54, 54, 55, 10, 11));
    EXPECT_FALSE(BoxesOverlap(9, 10, 53, 54, 54.001, 55, 10, 11));
    EXPECT_FALSE(BoxesOverlap(9, 10, 53, 54, 52, 53, 10.001, 11));
    EXPECT_TRUE(BoxesOverlap(9, 10, 53, 54, 50, 60, 0, 20));  // inside the bounds
}

// ---- index ----

AirspaceText TextOf(const std::vector<AirspaceRecord>& airspaces)
{
    AirspaceFiles files = BuildAirspaceFiles(airspaces);
    AirspaceText text;
    text.bytes.assign(files.text.begin(), files.text.end());
    text.cells = ParseAirspaceIndex(files.index.data(), files.index.size());
    text.hasIndex = true;
    return text;
}

size_t CellOffset(const AirspaceText& t, int cell) { return static_cast<size_t>(t.cells[cell].offset); }

TEST(AirspaceIndex, CellsHoldTheirAirspacesBoxesAndEmptyCellsMeetNothing)
{
    AirspaceText t = TextOf({MakeAirspace("D", "HAMBURG", 53.6, 10.0), MakeAirspace("C", "SYDNEY", -33.9, 151.2),
                             MakeAirspace("C", "BREMEN", 53.0, 8.8)});
    ASSERT_EQ(t.cells.size(), 45u);
    // Columns of 40 degrees from 180 W, rows of 36 degrees from 90 S.
    const int europe = 3 * 9 + 4, sydney = 1 * 9 + 8;
    EXPECT_NEAR(t.cells[europe].lonMin, 8.7, 1e-9);
    EXPECT_NEAR(t.cells[europe].lonMax, 10.1, 1e-9);
    EXPECT_NEAR(t.cells[europe].latMax, 53.7, 1e-9);
    EXPECT_GT(CellOffset(t, europe), CellOffset(t, sydney));
    EXPECT_EQ(CellOffset(t, europe + 1), t.bytes.size());  // nothing after Europe's cell
    for (int c = 0; c < 45; ++c) {
        if (c != europe && c != sydney) {
            const AirspaceIndexCell& k = t.cells[c];
            EXPECT_FALSE(ViewMeetsBox({-90, 90, -180, 180}, k.lonMin, k.lonMax, k.latMin, k.latMax)) << c;
        }
    }
}

TEST(AirspaceIndex, RangeCoversTheCellsTheViewTouchesAtItsEdges)
{
    AirspaceText t = TextOf({MakeAirspace("D", "A", 53.5, 10.5, 0.5), MakeAirspace("C", "B", -33.9, 151.2),
                             MakeAirspace("C", "KAMCHATKA", 60.0, 170.0)});
    const int europe = 3 * 9 + 4, sydney = 1 * 9 + 8;
    size_t start = 0, end = 0;
    // The cell's box is 53..54 N, 10..11 E; a view 54..55 N, 11..12 E touches its corner.
    SelectAirspaceRange(t, {54, 55, 11, 12}, &start, &end);
    EXPECT_EQ(start, CellOffset(t, europe));
    EXPECT_EQ(end, CellOffset(t, europe + 1));
    SelectAirspaceRange(t, {55, 56, 11, 12}, &start, &end);
    EXPECT_GE(start, end);  // nothing
    SelectAirspaceRange(t, {-35, -33, 151, 152}, &start, &end);
    EXPECT_EQ(start, CellOffset(t, sydney));
    EXPECT_EQ(end, CellOffset(t, sydney + 1));
    // The last cell of the index has no successor: it runs to the end.
    SelectAirspaceRange(t, {59, 61, 169, 171}, &start, &end);
    EXPECT_EQ(start, CellOffset(t, 44));
    EXPECT_EQ(end, t.bytes.size());
    EXPECT_LT(start, end);
    // Without an index the whole text is read.
    t.hasIndex = false;
    SelectAirspaceRange(t, {55, 56, 11, 12}, &start, &end);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, t.bytes.size());
}

TEST(AirspaceIndex, AViewPastTheAntimeridianFindsTheOtherSide)
{
    std::vector<AirspaceRecord> list = {MakeAirspace("C", "EAST", -17.5, 179.7, 0.2),
                                        MakeAirspace("C", "WEST", -17.5, -179.7, 0.2)};
    AirspaceText t = TextOf(list);
    std::atomic<bool> stop{false};
    // 178.5 .. 181.5 E: whole degrees 178..182, across the line.
    WholeDegrees view = UpdateViewDegrees(-18.5, -16.5, 178.5, 181.5);
    std::vector<AirspaceRecord> found;
    ASSERT_TRUE(LoadAirspacesInView(t, view, "  C     ", &found, stop));
    ASSERT_EQ(found.size(), 2u);
    // And from the west: -181.5 .. -178.5.
    view = UpdateViewDegrees(-18.5, -16.5, -181.5, -178.5);
    found.clear();
    ASSERT_TRUE(LoadAirspacesInView(t, view, "  C     ", &found, stop));
    EXPECT_EQ(found.size(), 2u);
    view = UpdateViewDegrees(-18.5, -16.5, 170.5, 175.5);
    found.clear();
    LoadAirspacesInView(t, view, "  C     ", &found, stop);
    EXPECT_TRUE(found.empty());
}

// ---- the load of a view ----

class AirspaceLoadTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.DebugMode = 1;
        Settings.NavDatabase = 6;
    }
    void TearDown() override
    {
        FreeAirspaces();
        Settings.DebugMode = 0;
    }
    std::vector<AirspaceRecord> Load(const std::string& text, WholeDegrees view, const char* filter = "ABCDEFGR",
                                     const std::vector<uint8_t>* index = nullptr)
    {
        AirspaceText t;
        t.bytes.assign(text.begin(), text.end());
        if (index) {
            t.cells = ParseAirspaceIndex(index->data(), index->size());
            t.hasIndex = true;
        }
        CopyText(t.path, sizeof(t.path), "Airspace.txt");
        std::vector<AirspaceRecord> out;
        std::atomic<bool> stop{false};
        EXPECT_TRUE(LoadAirspacesInView(t, view, filter, &out, stop));
        return out;
    }
    std::string Log() { return ReadFileText(folder / "Tervalingo.log"); }

    TempFolder folder;
    WorkingFolder inFolder{folder.Path()};
    TempNavRoot root;
    const WholeDegrees hamburg{53, 55, 9, 11};
};

TEST_F(AirspaceLoadTest, KeepsSelectedClassesAndEveryCtrThatMeetTheView)
{
    std::string text = BuildAirspaceFiles({MakeAirspace("C", "TMA", 53.6, 10.0), MakeAirspace("D", "DELTA", 53.6, 10.0),
                                           MakeAirspace("CTR", "HAMBURG", 53.6, 10.0, 0.1, 118500),
                                           MakeAirspace("R", "ED-R", 53.6, 10.0), MakeAirspace("C", "FAR", 48.0, 11.5)})
                           .text;
    std::vector<AirspaceRecord> kept = Load(text, hamburg, "  C     ");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_STREQ(kept[0].name, "TMA");
    EXPECT_STREQ(kept[1].airspaceClass, "CTR");  // whatever the filter says
    EXPECT_EQ(kept[1].frequency, 118500);
    ASSERT_EQ(kept[1].points.size(), 5u);
    EXPECT_DOUBLE_EQ(kept[1].points[2].lat, 53.7);
    EXPECT_EQ(Load(text, hamburg, "        ").size(), 1u);  // the CTR alone
    EXPECT_EQ(Load(text, hamburg, "ABCDEFGR").size(), 4u);
    // A box that only touches the view's edge: 54.9..55.0 against 53..55.
    std::string edge = BuildAirspaceFiles({MakeAirspace("C", "EDGE", 55.05, 10.0, 0.05)}).text;
    EXPECT_EQ(Load(edge, hamburg).size(), 1u);
}

TEST_F(AirspaceLoadTest, DamagedAirspacesAreSkippedWithALogLineAndTheRestRead)
{
    std::string text =
        "ASP 4 C 53 54 9 10 0 GND FL65 CUT\r\n"      // two points short: the next header follows
        "53.1 9.1\r\n"
        "53.2 9.2\r\n"
        "ASP 3 D 53 54 9 10 0 GND FL65 GOOD\r\n"
        "53.1 9.1\r\n53.2 9.2\r\n53.1 9.1\r\n"
        "ASP 3 D 53 54 9 10 0 GND FL65 FAR\r\n"      // a point out of range
        "53.1 9.1\r\n153.2 9.2\r\n53.1 9.1\r\n"
        "ASP 99999 D 53 54 9 10 0 GND FL65 HUGE\r\n"
        "ASP 3 D 53 94 9 10 0 GND FL65 NORTH\r\n"
        "ASP 3 E 53 54 9 10 0 GND FL65 LAST\r\n"
        "53.1 9.1\r\n53.2 9.2\r\n53.3 9.3";          // the last line has no end
    std::vector<AirspaceRecord> kept = Load(text, hamburg);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_STREQ(kept[0].name, "GOOD");
    std::string log = Log();
    EXPECT_NE(log.find("fewer points than announced"), std::string::npos) << log;
    EXPECT_NE(log.find("more points than an outline holds"), std::string::npos);
    EXPECT_NE(log.find("box out of range"), std::string::npos);
    EXPECT_NE(log.find("points cut short by the end of the file"), std::string::npos);
    EXPECT_NE(log.find("last line without its line end"), std::string::npos);
}

TEST_F(AirspaceLoadTest, LinesEndingInLineFeedsAloneAreReadToo)
{
    std::string text = "ASP 3 D 53 54 9 10 0 GND FL65 UNIX\n53.1 9.1\n53.2 9.2\n53.1 9.1\n";
    ASSERT_EQ(Load(text, hamburg).size(), 1u);
}

TEST_F(AirspaceLoadTest, AFloodOfDamageLogsAFewLinesAndACount)
{
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "ASP 0 D 53 54 9 10 0 GND FL65 EMPTY\r\n";
    EXPECT_TRUE(Load(text, hamburg).empty());
    std::string log = Log();
    EXPECT_LE(CountLines(log, "airspace skipped"), 20) << log;
    EXPECT_NE(log.find("80 more damaged airspaces skipped"), std::string::npos) << log;
}

TEST_F(AirspaceLoadTest, IndexPointingPastTheTextOrIntoALineIsSurvived)
{
    AirspaceFiles files = BuildAirspaceFiles({MakeAirspace("D", "HAMBURG", 53.6, 10.0)});
    std::vector<AirspaceIndexCell> cells = ParseAirspaceIndex(files.index.data(), files.index.size());
    const int europe = 3 * 9 + 4;
    // Into the middle of the header: reading starts at the next whole line,
    // so the airspace is lost but nothing else goes wrong.
    cells[europe].offset = 5;
    std::vector<uint8_t> index(cells.size() * sizeof(AirspaceIndexCell));
    std::memcpy(index.data(), cells.data(), index.size());
    EXPECT_TRUE(Load(files.text, hamburg, "ABCDEFGR", &index).empty());
    // Past the end: the cell is left out with a log line.
    cells[europe].offset = 1 << 30;
    std::memcpy(index.data(), cells.data(), index.size());
    EXPECT_TRUE(Load(files.text, hamburg, "ABCDEFGR", &index).empty());
    EXPECT_NE(Log().find("index cell 31 points past the end"), std::string::npos) << Log();
    cells[europe].offset = 0;
    cells[europe].latMax = std::nan("");
    std::memcpy(index.data(), cells.data(), index.size());
    EXPECT_TRUE(Load(files.text, hamburg, "ABCDEFGR", &index).empty());
    EXPECT_NE(Log().find("not a number"), std::string::npos);
}

TEST_F(AirspaceLoadTest, TheSourcesFileComesFirstThenTheCommonOneAndAMissingIndexReadsAll)
{
    char source[512], common[512];
    FormatAirspacePaths(source, common, sizeof(source), 6);
    EXPECT_EQ(std::string(source), root.root() + "/Navdata/MSFS/Airspace.txt");
    EXPECT_EQ(std::string(common), root.root() + "/Navdata/Airspace.txt");
    FormatAirspacePaths(source, common, sizeof(source), 7);
    EXPECT_EQ(std::string(source), root.root() + "/Navdata/OpenAIP/Airspace.txt");

    root.WriteText("Navdata/Airspace.txt", BuildAirspaceFiles({MakeAirspace("D", "COMMON", 53.6, 10.0)}).text);
    root.WriteText("Navdata/MSFS/Airspace.txt", "");  // empty: the common file stands in
    AirspaceText t;
    FormatAirspacePaths(source, common, sizeof(source), 6);
    ASSERT_TRUE(OpenAirspaceFile(source, common, &t));
    EXPECT_EQ(std::string(t.path), common);
    EXPECT_FALSE(t.hasIndex);
    EXPECT_NE(Log().find("Airspace index"), std::string::npos);
    std::vector<AirspaceRecord> out;
    std::atomic<bool> stop{false};
    LoadAirspacesInView(t, hamburg, "ABCDEFGR", &out, stop);
    ASSERT_EQ(out.size(), 1u);

    WriteAirspaces(root, "Navdata/MSFS", {MakeAirspace("D", "SOURCE", 53.6, 10.0)});
    ASSERT_TRUE(OpenAirspaceFile(source, common, &t));
    EXPECT_EQ(std::string(t.path), source);
    EXPECT_TRUE(t.hasIndex);
    // A short index keeps the whole cells it has.
    root.WriteBytes("Navdata/MSFS/Airspace.idx", std::vector<uint8_t>(100, 0));
    ASSERT_TRUE(OpenAirspaceFile(source, common, &t));
    EXPECT_EQ(t.cells.size(), 2u);
    EXPECT_NE(Log().find("holds 2 whole cells of 45"), std::string::npos);

    std::filesystem::remove(root.Path("Navdata/MSFS/Airspace.txt"));
    std::filesystem::remove(root.Path("Navdata/Airspace.txt"));
    EXPECT_FALSE(OpenAirspaceFile(source, common, &t));
    EXPECT_EQ(std::string(t.path), source);
}

// ---- the loader thread ----

void WaitForLoader()
{
    for (int i = 0; i < 2000 && IsAirspaceLoaderRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(IsAirspaceLoaderRunning());
}

TEST_F(AirspaceLoadTest, LoadsOnceForTheSameWholeDegreesAndAgainWhenAskedOrMoved)
{
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    WriteAirspaces(root, "Navdata/MSFS", {MakeAirspace("D", "HAMBURG", 53.6, 10.0), MakeAirspace("C", "KIEL", 54.4, 10.1)});
    EXPECT_FALSE(UpdateAirspaces(std::nan(""), 53.9, 10.4, 9.6));  // a view that is no view starts nothing
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    UpdateAirspaces(53.2, 53.9, 10.4, 9.6);  // starts the load
    WaitForLoader();
    EXPECT_TRUE(UpdateAirspaces(53.2, 53.9, 10.4, 9.6));
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    EXPECT_TRUE(GetDrawnAirspaces().empty());  // not switched until the layer takes it
    EXPECT_TRUE(TakeNewAirspaceList());
    ASSERT_EQ(GetDrawnAirspaces().size(), 1u);
    EXPECT_EQ(GetDrawnAirspaceView(), (WholeDegrees{53, 54, 9, 11}));
    // Panning within the same whole degrees starts nothing.
    UpdateAirspaces(53.25, 53.95, 10.45, 9.65);
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    EXPECT_FALSE(TakeNewAirspaceList());
    // Reaching the next degree north loads Kiel too.
    UpdateAirspaces(53.6, 54.3, 10.4, 9.6);
    WaitForLoader();
    EXPECT_TRUE(TakeNewAirspaceList());
    EXPECT_EQ(GetDrawnAirspaces().size(), 2u);
    // A class switched off and reloaded.
    std::strcpy(Settings.SelectedAirspace, "   D    ");
    RequestAirspaceReload();
    UpdateAirspaces(53.6, 54.3, 10.4, 9.6);
    WaitForLoader();
    EXPECT_TRUE(TakeNewAirspaceList());
    EXPECT_EQ(GetDrawnAirspaces().size(), 1u);
}

TEST_F(AirspaceLoadTest, AMissingFileIsReportedOnceForAViewNotEveryFrame)
{
    UpdateAirspaces(53.2, 53.9, 10.4, 9.6);
    WaitForLoader();
    UpdateAirspaces(53.2, 53.9, 10.4, 9.6);
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    EXPECT_FALSE(UpdateAirspaces(53.2, 53.9, 10.4, 9.6));
    // It appears, a reload is asked for: now it loads.
    WriteAirspaces(root, "Navdata/MSFS", {MakeAirspace("D", "HAMBURG", 53.6, 10.0)});
    RequestAirspaceReload();
    UpdateAirspaces(53.2, 53.9, 10.4, 9.6);
    WaitForLoader();
    EXPECT_TRUE(UpdateAirspaces(53.2, 53.9, 10.4, 9.6));
}

TEST_F(AirspaceLoadTest, SelectionClearsTogetherAndHighlightFollowsTheName)
{
    std::strcpy(AirspaceSelection.name, "HAMBURG CTR");
    AirspaceSelection.word = 7;
    SetAirspaceHighlight(0, "HAMBURG CTR");
    EXPECT_EQ(AirspaceSelection.highlight, 1);
    SetAirspaceHighlight(0, "KIEL");
    EXPECT_EQ(AirspaceSelection.highlight, 0);
    SetAirspaceHighlight(2, "KIEL");
    EXPECT_EQ(AirspaceSelection.highlight, 2);
    ClearAirspaceSelection();
    EXPECT_STREQ(AirspaceSelection.name, "");
    EXPECT_EQ(AirspaceSelection.highlight, 0);
    EXPECT_EQ(AirspaceSelection.word, 0u);
}

// A grid of airspaces with long outlines, so that a load takes a while.
std::vector<AirspaceRecord> AirspaceGrid()
{
    std::vector<AirspaceRecord> list;
    for (double lat = 45.0; lat <= 60.0; lat += 0.5)
        for (double lon = 0.0; lon <= 20.0; lon += 0.5) {
            char name[32];
            std::snprintf(name, sizeof name, "%.1f %.1f", lat, lon);
            AirspaceRecord a = MakeAirspace(lat < 52 ? "C" : "D", name, lat, lon, 0.2);
            for (int k = 0; k < 60; ++k)
                a.points.push_back({lat + 0.1 * std::sin(k * 0.1), lon + 0.1 * std::cos(k * 0.1)});
            list.push_back(std::move(a));
        }
    return list;
}

uint64_t Checksum(const std::vector<AirspaceRecord>& list)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const void* data, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 1099511628211ull;
    };
    for (const AirspaceRecord& a : list) {
        mix(a.name, std::strlen(a.name));
        mix(&a.latMin, sizeof(double) * 4);
        for (const AirspacePoint& p : a.points)
            mix(&p, sizeof p);
    }
    size_t n = list.size();
    mix(&n, sizeof n);
    return h;
}

TEST_F(AirspaceLoadTest, AMovingViewNeverSeesATornList)
{
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    WriteAirspaces(root, "Navdata/MSFS", AirspaceGrid());
    char source[512], common[512];
    FormatAirspacePaths(source, common, sizeof(source), 6);
    AirspaceText own;
    ASSERT_TRUE(OpenAirspaceFile(source, common, &own));
    std::atomic<bool> stop{false};

    int switches = 0, polls = 0;
    uint64_t drawnSum = Checksum(GetDrawnAirspaces());
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int step = 0; std::chrono::steady_clock::now() < until || switches < 6; ++step) {
        ASSERT_LT(step, 200000);
        // The view drifts east and north over the grid, a new degree every few frames.
        double lat = 46 + std::fmod(step * 0.05, 12.0), lon = 1 + std::fmod(step * 0.13, 17.0);
        UpdateAirspaces(lat - 0.6, lat + 0.6, lon + 0.9, lon - 0.9);
        // What the frame draws stays as it was handed over until the next switch.
        ASSERT_EQ(Checksum(GetDrawnAirspaces()), drawnSum) << "drawn list changed under the frame";
        if (TakeNewAirspaceList()) {
            ++switches;
            const std::vector<AirspaceRecord>& drawn = GetDrawnAirspaces();
            std::vector<AirspaceRecord> expected;
            LoadAirspacesInView(own, GetDrawnAirspaceView(), "ABCDEFGR", &expected, stop);
            ASSERT_FALSE(expected.empty());
            ASSERT_EQ(drawn.size(), expected.size());
            drawnSum = Checksum(drawn);
            ASSERT_EQ(drawnSum, Checksum(expected)) << "the list handed over is not the load of its view";
        }
        ++polls;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_GE(switches, 6);
    StopAirspaceLoader();
}

TEST_F(AirspaceLoadTest, FreeingStopsARunningLoaderFirst)
{
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    WriteAirspaces(root, "Navdata/MSFS", AirspaceGrid());
    UpdateAirspaces(45, 60, 20, 0);
    FreeAirspaces();  // joins the loader before the lists and text go
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    EXPECT_FALSE(TakeNewAirspaceList());
    EXPECT_TRUE(GetDrawnAirspaces().empty());
    UpdateAirspaces(53, 54, 10, 9);
    WaitForLoader();
    EXPECT_TRUE(UpdateAirspaces(53, 54, 10, 9));
}

TEST_F(AirspaceLoadTest, FreeingTheNavigationDataStopsAndEmptiesBothLoaders)
{
    // What a display rebuild and the shutdown run: the loaders are joined
    // before their lists go, and the next frame loads afresh.
    std::strcpy(Settings.SelectedAirspace, "ABCDEFGR");
    Settings.NavAirways = 1;
    WriteAirspaces(root, "Navdata/MSFS", AirspaceGrid());
    std::vector<AirwaySegment> segments;
    for (double lon = 0; lon < 20; lon += 0.01)
        segments.push_back(MakeSegment("A", 50, lon, "B", 51, lon + 0.5));
    WriteAirways(root, "Navdata/MSFS/HighAltitude", segments);
    UpdateAirspaces(45, 60, 20, 0);
    UpdateAirways(45, 60, 20, 0);
    FreeNavdata();
    EXPECT_FALSE(IsAirspaceLoaderRunning());
    EXPECT_FALSE(IsAirwayLoaderRunning());
    EXPECT_FALSE(TakeNewAirspaceList());
    EXPECT_FALSE(TakeNewAirwayList());
    EXPECT_TRUE(GetDrawnAirspaces().empty());
    EXPECT_TRUE(GetDrawnAirways().empty());
    UpdateAirways(50.2, 50.8, 1, 0);
    for (int i = 0; i < 2000 && IsAirwayLoaderRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(TakeNewAirwayList());
    EXPECT_FALSE(GetDrawnAirways().empty());
    ClearAirways();
}

}  // namespace
