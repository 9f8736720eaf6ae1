// A local raster map end to end: tvl-mkpackage cuts a picture made here (a
// chequer of coloured 100-pixel cells over a known box round home) into a
// package of two zoom levels; the built program, headless, shows it under
// the aircraft, and the screenshots show at each level the cells that the
// picture has at the places round the aircraft. A georeferenced airport
// chart laid over the map lies under the aircraft where its georeference
// puts it. A zoom step shrinks the map into the next level. One screenshot is kept as a reference; TVL_UPDATE_REFERENCES=1
// writes a new one into the source tree.
#include "tests/support/program_end_to_end.h"
#include "tests/support/tile_images.h"

#include "platform/profile.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double HomeLat = 53.636666667;
constexpr double HomeLon = 10.001;
// The picture: 4000 x 2400 pixels, 5000 pixels a degree both ways.
constexpr double North = 53.8, South = 53.32, West = 9.6, East = 10.4;
constexpr int Width = 4000, Height = 2400, Cell = 100;

// The colour (0xRRGGBB) of picture cell (i, j).
// The airport chart: 1000 x 1000 pixels, 10000 pixels a degree both ways,
// its cells of 50 pixels in colours of their own.
constexpr double ChartWest = 9.95, ChartNorth = 53.69, ChartPerDegree = 10000;
constexpr int ChartSide = 1000, ChartCell = 50;
uint32_t ChartRgb(int i, int j)
{
    return static_cast<uint32_t>(30 + (i * 71) % 220) << 16 | static_cast<uint32_t>(20 + (j * 37) % 200) << 8 |
           static_cast<uint32_t>((i * 3 + j) % 2 ? 240 : 10);
}

uint32_t CellRgb(int i, int j)
{
    return static_cast<uint32_t>(40 + (i * 47) % 200) << 16 | static_cast<uint32_t>(40 + (j * 61) % 200) << 8 |
           static_cast<uint32_t>((i + j) % 2 ? 60 : 200);
}

std::string WritePicture(const std::string& path, int width, int height, int cell, uint32_t (*colour)(int, int))
{
    FIBITMAP* image = FreeImage_Allocate(width, height, 24);
    for (int y = 0; y < height; y++) {
        BYTE* line = FreeImage_GetScanLine(image, height - 1 - y);  // the first scan line is the bottom
        for (int x = 0; x < width; x++) {
            uint32_t rgb = colour(x / cell, y / cell);
            line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(rgb >> 16);
            line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(rgb >> 8);
            line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(rgb);
        }
    }
    FreeImage_Save(FIF_PNG, image, path.c_str(), 0);
    FreeImage_Unload(image);
    return path;
}

class LocalMapTest : public ProgramEndToEnd {
protected:

    void SetUp() override
    {
        ProgramEndToEnd::SetUp();
        Set("DebugMode", "1");
        Set("ShowFrame", "0");
        Set("Softkeys", "0");
        Set("MenuState", "2");
        Set("t", "0");
        Set("MapType", "0");
        // The blinking line to the nearest airport would cross the sampled cells.
        Set("DirToVector", "0");
        Set("latitude", std::to_string(HomeLat));
        Set("longitude", std::to_string(HomeLon));
        // A kept catalogue, so the start keeps the local map as the map type.
        WriteOfflineCatalogue(system + "/offline_catalogue.db");
    }

    void MakePackage()
    {
        std::string picture = WritePicture(root / "picture.png", Width, Height, Cell, CellRgb);
        auto text = [](double v) { return std::to_string(v); };
        ASSERT_TRUE(RunBuiltTool("tvl-mkpackage", {"--picture", picture, "--north", text(North), "--south",
                                                   text(South), "--east", text(East), "--west", text(West), "--root",
                                                   root.Path(), "--folder", "Charts/home", "--levels", "2"}));
    }

    Picture Run(const char* name)
    {
        return RunForShot(name, 120);
    }

    // Points round the aircraft (screen pixels, clear of its symbol) whose
    // picture pixel lies well inside a cell at this scale show that cell: at
    // level 0 one picture pixel is one unit of the 640 across.
    void ExpectCellsAroundTheAircraft(const Picture& p, int scale)
    {
        ASSERT_GT(p.width, 0);
        double hx = (HomeLon - West) * 5000, hy = (North - HomeLat) * 5000;
        int checked = 0;
        for (int dy = -150; dy <= 150; dy += 10) {  // below the status line, above MENU and EXIT, left of APT
            for (int dx = -310; dx <= 270; dx += 10) {
                if (std::abs(dx) < 40 && std::abs(dy) < 40)
                    continue;  // the aircraft symbol
                if (dx > 240 && dy > -150 && dy < -100)
                    continue;  // the wind box at the map's right edge
                double x = hx + dx * scale, y = hy + dy * scale;
                double inX = x - std::floor(x / Cell) * Cell, inY = y - std::floor(y / Cell) * Cell;
                if (inX < 20 || inX > 80 || inY < 20 || inY > 80)
                    continue;
                int sx = p.width / 2 + dx * p.width / 640, sy = p.height / 2 + dy * p.width / 640;
                uint32_t want = CellRgb(static_cast<int>(x) / Cell, static_cast<int>(y) / Cell);
                EXPECT_LE(ChannelDistance(p.At(sx, sy), want), 12)
                    << "at " << dx << "," << dy << " shows " << std::hex << p.At(sx, sy) << " for " << want;
                checked++;
            }
        }
        EXPECT_GT(checked, 100);
    }

    // The share of the sample points round the aircraft that show their
    // picture cell when a screen unit is k picture pixels.
    static double CellShare(const Picture& p, double k)
    {
        double hx = (HomeLon - West) * 5000, hy = (North - HomeLat) * 5000;
        int checked = 0, matched = 0;
        for (int dy = -150; dy <= 150; dy += 10) {
            for (int dx = -310; dx <= 270; dx += 10) {
                if ((std::abs(dx) < 40 && std::abs(dy) < 40) || (dx > 240 && dy > -150 && dy < -100))
                    continue;
                double x = hx + dx * k, y = hy + dy * k;
                double inX = x - std::floor(x / Cell) * Cell, inY = y - std::floor(y / Cell) * Cell;
                if (inX < 20 || inX > 80 || inY < 20 || inY > 80)
                    continue;
                int sx = p.width / 2 + dx * p.width / 640, sy = p.height / 2 + dy * p.width / 640;
                uint32_t want = CellRgb(static_cast<int>(x) / Cell, static_cast<int>(y) / Cell);
                matched += ChannelDistance(p.At(sx, sy), want) <= 12;
                checked++;
            }
        }
        return checked ? static_cast<double>(matched) / checked : 0.0;
    }
    // The picture pixels a screen unit (0.9 to 2.2) that the screenshot shows
    // best, and how well.
    static double ShownScale(const Picture& p, double* share)
    {
        double best = 0;
        *share = 0;
        for (int i = 90; i <= 220 && p.width > 0; i++) {
            double k = i / 100.0, s = CellShare(p, k);
            if (s > *share) {
                *share = s;
                best = k;
            }
        }
        return best;
    }
};

// Bounds that are no place on earth, or names that would break the lines
// the tool writes, are refused before anything is written.
TEST(PackageTool, RefusesBoundsAndNamesItCannotWrite)
{
    TempFolder root;
    std::string picture = WritePicture(root / "picture.png", 800, 800, 100, CellRgb);
    std::vector<std::string> good = {"--picture", picture, "--north", "53.8", "--south", "53.3", "--east", "10.4",
                                     "--west", "9.6", "--root", root.Path()};
    auto run = [&](std::vector<std::string> change) {
        std::vector<std::string> args = {std::string(TVL_TOOLS_DIR) + "/tvl-mkpackage"};
        args.insert(args.end(), good.begin(), good.end());
        for (size_t i = 0; i + 1 < change.size(); i += 2) {
            auto at = std::find(args.begin(), args.end(), change[i]);
            if (at == args.end()) {
                args.push_back(change[i]);
                args.push_back(change[i + 1]);
            } else {
                at[1] = change[i + 1];
            }
        }
        Child tool;
        EXPECT_TRUE(tool.Start(args, root / "tool.out", root.Path()));
        return tool.Wait(60);
    };
    const std::vector<std::vector<std::string>> refused = {
        {"--north", "1e308", "--south", "-1e308"}, {"--east", "1e308", "--west", "-1e308"},
        {"--north", "nan"}, {"--north", "91"}, {"--west", "inf"}, {"--south", "53.3x"},
        {"--levels", "two"}, {"--list", "a=b"}, {"--map", "my map"}, {"--folder", "../up"},
        {"--folder", "mygeoref"}, {"--type", "99999999999"},
    };
    for (const auto& change : refused) {
        SCOPED_TRACE(change[0] + " " + change[1]);
        EXPECT_EQ(run(change), 2);
        EXPECT_FALSE(std::filesystem::exists(root / "System/content.ini"));
        EXPECT_FALSE(std::filesystem::exists(root / "sheet"));
    }
    ASSERT_EQ(run({"--list", "mine"}), 0) << ReadFileText(root / "tool.out");
    EXPECT_EQ(ReadFileText(root / "System/content.ini"), "mine=mine.bin\n");
}

TEST_F(LocalMapTest, PackageShowsUnderTheAircraftAtTwoZoomLevels)
{
    MakePackage();
    ASSERT_TRUE(std::filesystem::exists(root / "Charts/home/data0/016008.qrl"));
    ASSERT_TRUE(std::filesystem::exists(root / "Charts/home/data1/016000.qrl"));
    Set("ChartLevel", "0");
    Picture near = Run("local_map_level0");
    ExpectCellsAroundTheAircraft(near, 1);
    ExpectMatchesReference(root / "local_map_level0.png", "local_map_level0");
    Set("ChartLevel", "1");
    Picture far = Run("local_map_level1");
    ExpectCellsAroundTheAircraft(far, 2);
}

// A georeference whose values are no numbers is refused where it is read:
// the sheet is not shown, the program runs on and says so in its log.
TEST_F(LocalMapTest, AGeoreferenceThatIsNoNumberIsRefusedAndTheProgramRunsOn)
{
    MakePackage();
    WriteFileText(root / "Charts/home/georef.txt", "2\nnan 1e300 0 0 0 0 0\n1e300 0 -5000 0 0 0 0\n");
    Set("ChartLevel", "0");
    Picture p = Run("local_map_refused");
    ASSERT_GT(p.width, 0);
    // The sheet has no place: nothing of it is laid round the aircraft.
    EXPECT_LE(ChannelDistance(p.At(p.width / 2 + 150, p.height / 2 + 100), 0xFFFECD), 24);
    std::string log = ReadFileText(system + "/Tervalingo.log");
    EXPECT_NE(log.find("georeference " + root.Path() + "/Charts/home/georef.txt refused"), std::string::npos)
        << log.substr(0, 3000);
}

TEST_F(LocalMapTest, WithoutPackagesTheMapStaysEmpty)
{
    Set("ChartLevel", "0");
    Picture p = Run("local_map_none");
    ASSERT_GT(p.width, 0);
    // No local map: nothing but the empty map's cream round the aircraft.
    EXPECT_LE(ChannelDistance(p.At(p.width / 2 + 150, p.height / 2 + 100), 0xFFFECD), 24);
}

TEST_F(LocalMapTest, GeoreferencedChartLiesUnderTheAircraftWhereItsGeoreferenceSays)
{
    MakePackage();
    std::string approaches = root / "Airports/EDDH/Approaches";
    MakeFolders(approaches);
    WritePicture(approaches + "/ILS 23.png", ChartSide, ChartSide, ChartCell, ChartRgb);
    WriteFileText(approaches + "/ILS 23.txt", "[Georeference]\nLongitude1=9.95 0\nLatitude1=53.69 0\n"
                                              "Longitude2=10.05 1000\nLatitude2=53.59 1000\n");
    Set("ChartLevel", "0");
    Set("AirportName", approaches + "/ILS 23.png");
    Set("ReferencedAirportMapDisplayed", "1");
    Set("AirportChart", "0");
    Set("AirportMapTransparency", "255");
    Picture p = Run("local_map_chart");
    ASSERT_GT(p.width, 0);
    // The map has 5000 screen units a degree, the chart 10000 pixels: half size.
    double scale = 5000 / ChartPerDegree;
    double ix = (HomeLon - ChartWest) * ChartPerDegree, iy = (ChartNorth - HomeLat) * ChartPerDegree;
    int checked = 0;
    for (int dy = -150; dy <= 150; dy += 7) {  // above MENU and EXIT
        for (int dx = -310; dx <= 310; dx += 7) {
            if (std::abs(dx) < 40 && std::abs(dy) < 40)
                continue;
            double x = ix + dx / scale, y = iy + dy / scale;
            double inX = x - std::floor(x / ChartCell) * ChartCell, inY = y - std::floor(y / ChartCell) * ChartCell;
            if (x < 0 || y < 0 || x >= ChartSide || y >= ChartSide || inX < 8 || inX > 42 || inY < 8 || inY > 42)
                continue;
            int sx = p.width / 2 + dx * p.width / 640, sy = p.height / 2 + dy * p.width / 640;
            uint32_t want = ChartRgb(static_cast<int>(x) / ChartCell, static_cast<int>(y) / ChartCell);
            EXPECT_LE(ChannelDistance(p.At(sx, sy), want), 6)
                << "at " << dx << "," << dy << " shows " << std::hex << p.At(sx, sy) << " for " << want;
            checked++;
        }
    }
    EXPECT_GT(checked, 300);
}

// A wheel step back on the map shrinks level 0 into level 1 over five
// seconds: the screenshots taken meanwhile show the map at scales between
// the two levels, shrinking, and the last one shows level 1.
TEST_F(LocalMapTest, AZoomStepShrinksTheMapIntoTheNextLevel)
{
    MakePackage();
    Set("ChartLevel", "0");
    // A step asked before the set is whole is refused; the second wheel
    // turn, within the first one's animation, is refused if the first was not.
    std::string script = "wait 120\nwheel 320 180 -1\nsleep 1500\nwheel 320 180 -1\n";
    const int middles = 3;
    for (int i = 0; i < middles; i++)
        script += "sleep 700\nshot " + (root / ("zoom_" + std::to_string(i) + ".png")) + "\n";
    script += "sleep 9000\nshot " + (root / "zoom_end.png") + "\nwait 5\nquit\n";
    ASSERT_TRUE(RunMapProgramWithScript(&program, system, root.Path(), script, "local_"));

    int between = 0;
    double previous = 0;
    for (int i = 0; i < middles; i++) {
        Picture p;
        ASSERT_TRUE(LoadPicture(root / ("zoom_" + std::to_string(i) + ".png"), &p)) << i;
        double share = 0, k = ShownScale(p, &share);
        EXPECT_GT(share, 0.9) << "shot " << i << " at " << k;
        EXPECT_GE(k, previous - 0.03) << "shot " << i;  // never growing back
        previous = k;
        between += k > 1.03 && k < 1.97;
    }
    EXPECT_GE(between, 1);
    Picture end;
    ASSERT_TRUE(LoadPicture(root / "zoom_end.png", &end));
    ExpectCellsAroundTheAircraft(end, 2);
}

} // namespace
