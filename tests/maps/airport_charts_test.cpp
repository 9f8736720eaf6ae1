// Airport charts: georeference files read, widened and written; the index of
// charted airports; an airport's chart lists and the list helper's request
// and answer; thumbnail paging; and PDF charts converted by the page tool
// into pages and thumbnails and shown, names with blanks, quotes and ';'
// included, and a PDF the tool cannot read leaving nothing behind.
#include "maps/airport_charts.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/background_layers.h"
#include "display/chart_view.h"
#include "display/map_view.h"
#include "display/frame_renderer.h"
#include "display/softkey_pages.h"
#include "display/sprite_table.h"
#include "tests/display/map_centre.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void WriteGeoref(const std::string& path, const char* lon1, const char* lat1, const char* lon2, const char* lat2)
{
    std::string text = std::string("[Georeference]\nLongitude1=") + lon1 + "\nLatitude1=" + lat1 +
                       "\nLongitude2=" + lon2 + "\nLatitude2=" + lat2 + "\n";
    WriteFileText(path, text);
}

// Longitude at an image column and latitude at an image row by a georeference.
double LonAt(const ChartGeoref& g, double p)
{
    return g.lon1 + (p - g.p1) * (g.lon2 - g.lon1) / (g.p2 - g.p1);
}
double LatAt(const ChartGeoref& g, double q)
{
    return g.lat1 + (q - g.q1) * (g.lat2 - g.lat1) / (g.q2 - g.q1);
}

class ChartFiles : public ::testing::Test {
protected:
    TempFolder root;
    void SetUp() override
    {
        MakeFolders(root / "System");
        snprintf(ProgramRoot, sizeof ProgramRoot, "%s", root.Path().c_str());
        snprintf(DataFolder, sizeof DataFolder, "%s", root.Path().c_str());
        snprintf(SystemFolder, sizeof SystemFolder, "%s", (root / "System").c_str());
        Settings.AirportChartMenu = 0;
    }
    void TearDown() override
    {
        SaveAirportIndex();  // frees the table for the next test
    }
    // An airport with its own area (Info) and charts of one kind.
    void MakeAirport(const char* icao, double west, double north, double east, double south)
    {
        std::string info = root / (std::string("Airports/") + icao + "/Info");
        MakeFolders(info);
        char lon1[32], lat1[32], lon2[32], lat2[32];
        snprintf(lon1, sizeof lon1, "%f 0", west);
        snprintf(lat1, sizeof lat1, "%f 0", north);
        snprintf(lon2, sizeof lon2, "%f 1000", east);
        snprintf(lat2, sizeof lat2, "%f 1000", south);
        WriteGeoref(info + "/" + icao + ".txt", lon1, lat1, lon2, lat2);
    }
    void MakeCharts(const char* icao, const char* kind, int count)
    {
        std::string folder = root / (std::string("Airports/") + icao + "/" + kind);
        MakeFolders(folder);
        for (int i = 0; i < count; i++) {
            char name[64];
            snprintf(name, sizeof name, "%s/chart%02d", folder.c_str(), i);
            WriteGeoref(std::string(name) + ".txt", "9.9 0", "53.7 0", "10.1 500", "53.5 500");
            WriteFileText(std::string(name) + ".png", "png");
        }
    }
};

TEST_F(ChartFiles, GeoreferenceIsOrderedAndWidenedKeepingItsMap)
{
    std::string path = root / "chart.txt";
    // Written east before west and south before north, keys in another case.
    WriteFileText(path, "[georeference]\nlongitude1=10.1 900\nLATITUDE1=53.5 800\nLongitude2=9.9 100\n"
                        "Latitude2=53.7 50\n");
    ChartGeoref g;
    ASSERT_TRUE(LoadChartGeoref(path.c_str(), &g));
    EXPECT_LE(g.lon1, g.lon2);
    EXPECT_GE(g.lat1, g.lat2);
    EXPECT_EQ(g.p1, -2 * (100 + 900));
    EXPECT_EQ(g.q2, 3 * (50 + 800));
    // The same linear map: the written points still lie where they were.
    EXPECT_NEAR(LonAt(g, 100), 9.9, 1e-4);
    EXPECT_NEAR(LonAt(g, 900), 10.1, 1e-4);
    EXPECT_NEAR(LatAt(g, 50), 53.7, 1e-4);
    EXPECT_NEAR(LatAt(g, 800), 53.5, 1e-4);
}

TEST_F(ChartFiles, GeoreferenceWithoutExtentOrKeysIsRefused)
{
    ChartGeoref g;
    WriteGeoref(root / "same.txt", "9.9 100", "53.7 50", "10.1 100", "53.5 800");  // one column for both
    EXPECT_FALSE(LoadChartGeoref((root / "same.txt").c_str(), &g));
    WriteFileText(root / "part.txt", "[Georeference]\nLongitude1=9.9 100\nLongitude2=10.1 200\n");
    EXPECT_FALSE(LoadChartGeoref((root / "part.txt").c_str(), &g));
    EXPECT_FALSE(LoadChartGeoref((root / "none.txt").c_str(), &g));
    WriteGeoref(root / "nan.txt", "nan 100", "53.7 50", "10.1 200", "53.5 800");
    EXPECT_FALSE(LoadChartGeoref((root / "nan.txt").c_str(), &g));
}

TEST_F(ChartFiles, GeoreferenceWithPixelsNoPictureHasIsRefused)
{
    // Their difference and the widened map's multiples would overflow.
    ChartGeoref g;
    WriteGeoref(root / "far.txt", "9.9 2147483000", "53.7 50", "10.1 -2147483000", "53.5 800");
    EXPECT_FALSE(LoadChartGeoref((root / "far.txt").c_str(), &g));
    WriteGeoref(root / "far.txt", "9.9 100", "53.7 -1000001", "10.1 900", "53.5 800");
    EXPECT_FALSE(LoadChartGeoref((root / "far.txt").c_str(), &g));
    WriteGeoref(root / "far.txt", "9.9 100", "53.7 50", "10.1 1000000", "53.5 800");
    ASSERT_TRUE(LoadChartGeoref((root / "far.txt").c_str(), &g));
    EXPECT_NEAR(LonAt(g, 1000000), 10.1, 1e-4);
}

TEST_F(ChartFiles, SavedGeoreferenceReadsBack)
{
    std::string path = root / "chart.txt";
    const float edges[4] = {120.4f, 80.6f, 1500.0f, 2000.2f};
    ASSERT_TRUE(SaveChartGeorefTo(path.c_str(), edges, 9.95, 53.65, 10.05, 53.55));
    char text[64];
    GetPrivateProfileStringA("Georeference", "Longitude1", "", text, sizeof text, path.c_str());
    EXPECT_STREQ(text, "9.950000 120");
    GetPrivateProfileStringA("Georeference", "Latitude1", "", text, sizeof text, path.c_str());
    EXPECT_STREQ(text, "53.650000 81");
    ChartGeoref g;
    ASSERT_TRUE(LoadChartGeoref(path.c_str(), &g));
    EXPECT_NEAR(LonAt(g, 1500), 10.05, 1e-4);
    EXPECT_NEAR(LatAt(g, 81), 53.65, 1e-4);
}

TEST_F(ChartFiles, IndexOfChartedAirportsIsBuiltSavedAndRead)
{
    MakeAirport("EDDH", 9.9, 53.7, 10.1, 53.5);
    MakeAirport("EDHL", 10.6, 53.9, 10.8, 53.7);
    MakeFolders(root / "Airports/NOINFO");
    BuildAirportIndex();
    ASSERT_EQ(GetAirportIndexCount(), 2);
    SelectAirportAtPosition(53.6, 10.0);
    EXPECT_STREQ(GetSelectedChartAirport(), "EDDH");
    SelectAirportAtPosition(53.6, 12.0);
    EXPECT_STREQ(GetSelectedChartAirport(), "");
    SaveAirportIndex();
    EXPECT_EQ(GetAirportIndexCount(), 0);  // freed
    // Only the airports in use are written: a count and 24 bytes each.
    EXPECT_EQ(std::filesystem::file_size(root / "Airports/Airport.idx"), 4u + 2 * 24u);
    ASSERT_TRUE(LoadAirportIndex());
    ASSERT_EQ(GetAirportIndexCount(), 2);
    AirportIndexRecord r;
    ASSERT_TRUE(GetAirportIndexRecord(0, &r));
    EXPECT_TRUE(std::string(r.icao) == "EDDH" || std::string(r.icao) == "EDHL");
}

TEST_F(ChartFiles, IndexKeepsOtherProgramsAirportsAndAddsOursOnce)
{
    // Written by the chart downloader: one airport without an Info folder,
    // and one of ours with an area it had before; the count is the room of
    // its table, the records past them are empty.
    MakeFolders(root / "Airports");
    AirportIndexRecord theirs[5] = {{"KSEA", -122.4f, 47.5f, -122.2f, 47.4f}, {"eddh", 1.0f, 2.0f, 3.0f, 1.0f}};
    std::string bytes(4, '\0');
    int32_t n = 5;
    memcpy(bytes.data(), &n, 4);
    bytes.append(reinterpret_cast<const char*>(theirs), sizeof theirs);
    WriteFileText(root / "Airports/Airport.idx", bytes);
    MakeAirport("EDDH", 9.9, 53.7, 10.1, 53.5);
    MakeAirport("EDHL", 10.6, 53.9, 10.8, 53.7);
    for (int run = 0; run < 2; run++) {
        BuildAirportIndex();
        ASSERT_EQ(GetAirportIndexCount(), 3) << "run " << run;
        SelectAirportAtPosition(47.45, -122.3);
        EXPECT_STREQ(GetSelectedChartAirport(), "KSEA");
        SelectAirportAtPosition(53.6, 10.0);  // the area of its Info file now
        EXPECT_STREQ(GetSelectedChartAirport(), "EDDH");
        SaveAirportIndex();
        // The count written is the number of records that follow it.
        std::string file = ReadFileText(root / "Airports/Airport.idx");
        ASSERT_EQ(file.size(), 4u + 3 * 24u);
        memcpy(&n, file.data(), 4);
        EXPECT_EQ(n, 3);
    }
}

TEST_F(ChartFiles, IndexFileThatLiesIsReadOnlyAsFarAsItGoes)
{
    MakeFolders(root / "Airports");
    std::string bytes(4 + 24, '\0');
    int32_t n = 1000;
    memcpy(bytes.data(), &n, 4);
    memcpy(bytes.data() + 4, "EDDHEDDHEDDH", 12);  // an ICAO without its end
    WriteFileText(root / "Airports/Airport.idx", bytes);
    ASSERT_TRUE(LoadAirportIndex());
    ASSERT_EQ(GetAirportIndexCount(), 1);
    AirportIndexRecord r;
    ASSERT_TRUE(GetAirportIndexRecord(0, &r));
    EXPECT_EQ(strlen(r.icao), 7u);
    SaveAirportIndex();
    n = -5;
    memcpy(bytes.data(), &n, 4);
    WriteFileText(root / "Airports/Airport.idx", bytes);
    ASSERT_TRUE(LoadAirportIndex());
    EXPECT_EQ(GetAirportIndexCount(), 0);
}

// Another program's index whose count is impossible: the airports it holds
// are read, written back, and there again on the next run.
TEST_F(ChartFiles, AnImpossibleCountKeepsTheAirportsTheFileHolds)
{
    MakeFolders(root / "Airports");
    AirportIndexRecord theirs[3] = {{"KSEA", -122.4f, 47.5f, -122.2f, 47.4f},
                                    {"EGLL", -0.6f, 51.6f, -0.3f, 51.4f},
                                    {"LFPG", 2.4f, 49.1f, 2.7f, 48.9f}};
    std::string bytes(4, '\0');
    int32_t n = 2000000;
    memcpy(bytes.data(), &n, 4);
    bytes.append(reinterpret_cast<const char*>(theirs), sizeof theirs);
    WriteFileText(root / "Airports/Airport.idx", bytes);
    for (int run = 0; run < 2; run++) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(LoadAirportIndex());
        ASSERT_EQ(GetAirportIndexCount(), 3);
        AirportIndexRecord r;
        ASSERT_TRUE(GetAirportIndexRecord(1, &r));
        EXPECT_STREQ(r.icao, "EGLL");
        SelectAirportAtPosition(49.0, 2.5);
        EXPECT_STREQ(GetSelectedChartAirport(), "LFPG");
        SaveAirportIndex();
        std::string file = ReadFileText(root / "Airports/Airport.idx");
        ASSERT_EQ(file.size(), 4u + sizeof theirs);
        memcpy(&n, file.data(), 4);
        EXPECT_EQ(n, 3);
        EXPECT_EQ(file.substr(4), bytes.substr(4));
    }
}

// A file this program cannot read (no count, a count below one before
// records) is another program's: our own airports are not written over it.
TEST_F(ChartFiles, AnIndexFileThatCannotBeReadIsLeftAsItIs)
{
    MakeAirport("EDDH", 9.9, 53.7, 10.1, 53.5);
    std::string record(24, '\0');
    memcpy(record.data(), "KSEA", 4);
    int32_t negative = -5, none = 0;
    for (int32_t count : {negative, none}) {
        std::string file(4, '\0');
        memcpy(file.data(), &count, 4);
        for (const std::string& held : {std::string("\x05\x00", 2), file + record}) {
            SCOPED_TRACE(testing::Message() << count << " " << held.size());
            WriteFileText(root / "Airports/Airport.idx", held);
            BuildAirportIndex();
            EXPECT_EQ(GetAirportIndexCount(), 1);  // ours, for this run
            SaveAirportIndex();
            EXPECT_EQ(ReadFileText(root / "Airports/Airport.idx"), held);
        }
    }
    // A count of none with nothing after it is an empty index: ours go in.
    WriteFileText(root / "Airports/Airport.idx", std::string(4, '\0'));
    BuildAirportIndex();
    SaveAirportIndex();
    EXPECT_EQ(ReadFileText(root / "Airports/Airport.idx").size(), 4u + 24u);
}

TEST_F(ChartFiles, ChartListsGoThroughTheListHelper)
{
    MakeAirport("EDDH", 9.9, 53.7, 10.1, 53.5);
    MakeCharts("EDDH", "Approaches", 3);
    MakeCharts("EDDH", "Arrivals", 1);
    BuildAirportIndex();
    SelectAirportAtPosition(53.6, 10.0);
    ASSERT_TRUE(ListAirportCharts());
    EXPECT_EQ(Settings.AirportChartMenu, ChartsApproach | ChartsArrival);
    char path[512];
    // One arrival chart: taken at once.
    ASSERT_TRUE(GetSingleChartPath(path, 9, Settings.AirportChartMenu));
    EXPECT_EQ(std::string(path), root / "Airports/EDDH/Arrivals/chart00.png");
    // Three approaches: the list helper chooses.
    EXPECT_FALSE(GetSingleChartPath(path, 8, ChartsApproach));
    EXPECT_EQ(ChartCount(ChartsApproach), 3);
    EXPECT_EQ(WriteChartListRequest(ChartsApproach, nullptr), 3);
    std::string request = ReadFileText(root / "System/lbaptchart.txt");
    EXPECT_EQ(request.substr(0, 21), "Select Airport Chart\n");
    EXPECT_NE(request.find("\nchart00\nchart01\nchart02\n"), std::string::npos);
    ASSERT_TRUE(BuildChartPath(path, ChartsApproach, "chart01"));
    EXPECT_EQ(std::string(path), root / "Airports/EDDH/Approaches/chart01.png");
    EXPECT_FALSE(BuildChartPath(path, ChartsApproach, "../../../etc/passwd"));
    EXPECT_FALSE(BuildChartPath(path, ChartsDeparture, "chart01"));
    EXPECT_STREQ(ChartName(ChartsApproach, 2), "chart02");
    EXPECT_STREQ(ChartName(ChartsApproach, 20), "");
    // The airport's own diagram.
    ASSERT_TRUE(GetAirportDiagramPath(path, 0));
    EXPECT_EQ(std::string(path), root / "Airports/EDDH/Info/EDDH.png");
}

TEST_F(ChartFiles, AFolderOfTwentyFiveChartsListsNineteen)
{
    MakeCharts("EDDH", "Departures", 25);
    ChartEntry list[ChartListSize];
    int count = 0;
    ASSERT_TRUE(ScanChartFolder((root / "Airports/EDDH/Departures").c_str(), list, &count));
    EXPECT_EQ(count, 19);
    EXPECT_STREQ(list[18].name, "chart24");  // later charts overwrite the last place
    EXPECT_FALSE(ScanChartFolder((root / "Airports/EDDH/Nothing").c_str(), list, &count));
}

TEST_F(ChartFiles, ThumbnailPagesStepAsTheScreenAllows)
{
    Settings.PDFPages = 20;
    SetThumbnailGrid(150, 210, 4, 8, 640, 480);
    ResetThumbnailPage();
    NextThumbnailPage();
    EXPECT_EQ(GetFirstThumbnail(), 8);
    NextThumbnailPage();
    EXPECT_EQ(GetFirstThumbnail(), 11);
    PrevThumbnailPage();
    EXPECT_EQ(GetFirstThumbnail(), 0);
    EXPECT_EQ(ThumbnailAtPoint(160, 220), 5);   // row 1, column 1
    EXPECT_EQ(ThumbnailAtPoint(700, 10), -1);   // right of the grid
    EXPECT_EQ(ThumbnailAtPoint(10, 460), -1);   // in the bottom band
    SetThumbnailGrid(0, 0, 0, 0, 640, 480);
    EXPECT_EQ(ThumbnailAtPoint(10, 10), -1);    // no grid yet
}

TEST_F(ChartFiles, AMissingFileIsReportedOnce)
{
    setenv("TVL_MESSAGEBOX_ANSWER", "IDOK", 1);
    testing::internal::CaptureStderr();
    ShowFileNotFound("/x/navdat.bin");
    ShowFileNotFound("/x/apt.bin");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("File: /x/navdat.bin not found!"), std::string::npos);
    EXPECT_EQ(said.find("apt.bin"), std::string::npos);
}

// PDF charts through the page tool, on the headless renderer.
class PdfCharts : public RenderTest {
protected:
    TempFolder root;
    void SetUp() override
    {
        if (access("/usr/bin/mutool", X_OK) != 0)
            GTEST_SKIP() << "mutool is not installed";
        RenderTest::SetUp();
        MakeFolders(root / "System");
        MakeFolders(root / "charts");
        snprintf(ProgramRoot, sizeof ProgramRoot, "%s", root.Path().c_str());
        snprintf(DataFolder, sizeof DataFolder, "%s", root.Path().c_str());
        snprintf(SystemFolder, sizeof SystemFolder, "%s", (root / "System").c_str());
        Settings.PDFPages = 0;
        Settings.PDFPreview = 0;
        Settings.AirportChart = 0;
    }
    void TearDown() override
    {
        HideThumbnails();
        ReleaseChartImage();
        if (!IsSkipped())
            RenderTest::TearDown();
    }
    // A PDF of pages filled red, green, blue, ... in turn.
    std::string MakePdf(const std::string& name, int pages)
    {
        static const char* fills[] = {"1 0 0", "0 1 0", "0 0 1", "1 1 0"};
        std::vector<std::string> args = {"create", "-o", root / ("charts/" + name)};
        for (int i = 0; i < pages; i++) {
            std::string page = root / ("page" + std::to_string(i) + ".txt");
            WriteFileText(page, std::string("%%MediaBox 0 0 200 280\n") + fills[i % 4] + " rg 0 0 200 280 re f\n");
            args.push_back(page);
        }
        EXPECT_EQ(RunProgramWithArguments("mutool.exe", args, nullptr, nullptr), 0);
        return root / ("charts/" + name);
    }
    void WaitForConversion()
    {
        for (int i = 0; i < 3000 && !IsThumbnailView(); i++) {
            FinishChartConversion();
            Sleep(5);
        }
    }
    uint32_t ChartTexel(int x, int y)
    {
        const SpriteSlot* chart = GetChartSprite();
        if (!chart->loaded)
            return 0;
        ID3D11Resource* r = nullptr;
        chart->texture->GetResource(&r);
        uint32_t t = GpuReadPixel(r, x, y);
        r->Release();
        return t;
    }
};

TEST_F(PdfCharts, ManyPagesBecomeThumbnailsThenTheChosenPageIsShown)
{
    std::string pdf = MakePdf("EDXW.pdf", 3);
    ASSERT_TRUE(ImportPdfChartFile(pdf.c_str()));
    EXPECT_EQ(Settings.PDFPages, 3);
    EXPECT_STREQ(Settings.PDFFilename, pdf.c_str());
    WaitForConversion();
    ASSERT_TRUE(IsThumbnailView());
    EXPECT_EQ(Settings.AirportChart, 1);
    EXPECT_EQ(Settings.PDFPreview, 1);
    EXPECT_FALSE(IsChartBusy());
    std::string tmp = root / "Airports/EDXW/tmp";
    for (int n = 1; n <= 3; n++)
        EXPECT_TRUE(std::filesystem::exists(tmp + "/pre_" + std::to_string(n) + ".png")) << n;
    EXPECT_EQ(ReadFileText(tmp + "/content.txt"), "3");
    ASSERT_TRUE(ShowPdfChartPage(1));
    EXPECT_TRUE(std::filesystem::exists(tmp + "/pdf_2.png"));
    EXPECT_FALSE(std::filesystem::exists(tmp + "/pdf_1.png"));  // only the page asked for
    EXPECT_EQ(Settings.PDFPreview, 0);
    EXPECT_EQ(ChartTexel(10, 10), 0xFF00FF00u);  // the second page is green
    EXPECT_EQ(std::string(Settings.AirportName), tmp + "/pdf_2.png");
    // Imported again: the finished set is shown without the tool.
    std::filesystem::remove(root / "System/pdfinfo.txt");
    HideThumbnails();
    ASSERT_TRUE(ImportPdfChartFile(pdf.c_str()));
    EXPECT_TRUE(IsThumbnailView());
    EXPECT_FALSE(std::filesystem::exists(root / "System/pdfinfo.txt"));
}

// A converted page kept as an approach chart of its airport: listed, chosen
// by the list helper's answer, loaded and drawn filling the screen.
TEST_F(PdfCharts, ConvertedPageIsListedChosenAndShown)
{
    std::string pdf = MakePdf("EDDH.pdf", 2);
    ASSERT_TRUE(ImportPdfChartFile(pdf.c_str()));
    WaitForConversion();
    ASSERT_TRUE(ShowPdfChartPage(0));
    ASSERT_TRUE(ShowPdfChartPage(1));
    std::string approaches = root / "Airports/EDDH/Approaches";
    MakeFolders(approaches);
    MakeFolders(root / "Airports/EDDH/Info");
    std::filesystem::copy_file(root / "Airports/EDDH/tmp/pdf_1.png", approaches + "/ILS 23.png");
    std::filesystem::copy_file(root / "Airports/EDDH/tmp/pdf_2.png", approaches + "/RNP 05.png");
    WriteGeoref(approaches + "/ILS 23.txt", "9.9 0", "53.7 0", "10.1 500", "53.5 500");
    WriteGeoref(approaches + "/RNP 05.txt", "9.9 0", "53.7 0", "10.1 500", "53.5 500");
    WriteGeoref(root / "Airports/EDDH/Info/EDDH.txt", "9.9 0", "53.7 0", "10.1 500", "53.5 500");
    BuildAirportIndex();
    SelectAirportAtPosition(53.6, 10.0);
    ASSERT_TRUE(ListAirportCharts());
    ASSERT_EQ(WriteChartListRequest(ChartsApproach, nullptr), 2);
    // The list helper answers with the chosen line.
    char path[512];
    ASSERT_TRUE(BuildChartPath(path, ChartsApproach, "RNP 05"));
    ASSERT_TRUE(LoadChartImage(path, sizeof path));
    EXPECT_TRUE(OpenChartGeoref(path));
    FitChartToScreen();
    Settings.AirportChart = 1;
    Settings.AirportChartRotate = 0;
    Settings.GeorefEdit = 0;
    MapPanOffset = {0, 0};
    ScreenCentre = {320, 240};
    ClearTarget(0xFF000000u);
    DrawBackgroundLayers(640, 480);
    EXPECT_EQ(Pixel(320, 240), 0xFF00FF00u);  // the second page, green, fills the middle
    ChartGeoref g;
    ASSERT_TRUE(GetChartGeoref(&g));
    EXPECT_NEAR(LonAt(g, 250), 10.0, 1e-4);
}

TEST_F(PdfCharts, OnePageWithAnAwkwardNameIsShownAtOnce)
{
    std::string pdf = MakePdf("my chart; 'x' $(touch pwned).pdf", 1);
    ASSERT_TRUE(ImportPdfChartFile(pdf.c_str()));
    EXPECT_EQ(Settings.PDFPages, 1);
    int page = -1;
    ASSERT_TRUE(TakePdfPageRequest(&page));
    EXPECT_EQ(page, 0);
    ASSERT_TRUE(ShowPdfChartPage(page));
    std::string tmp = root / "Airports/my chart; 'x' $(touch pwned)/tmp";
    EXPECT_TRUE(std::filesystem::exists(tmp + "/pdf.png"));
    EXPECT_EQ(ChartTexel(5, 5), 0xFF0000FFu);  // red
    EXPECT_EQ(Settings.AirportChart, 1);
    EXPECT_FALSE(std::filesystem::exists(root / "System/pwned"));
    EXPECT_FALSE(std::filesystem::exists(root / "pwned"));
}

TEST_F(PdfCharts, APdfTheToolCannotReadLeavesNothingBehind)
{
    WriteFileText(root / "charts/BAD.pdf", "%PDF-1.7\nthis is no document\n");
    EXPECT_FALSE(ImportPdfChartFile((root / "charts/BAD.pdf").c_str()));
    Settings.PDFPages = 1;
    EXPECT_FALSE(ShowPdfChartPage(0));
    for (const auto& entry : std::filesystem::directory_iterator(root / "Airports/BAD/tmp"))
        ADD_FAILURE() << "left behind: " << entry.path();
    EXPECT_FALSE(ImportPdfChartFile((root / "charts/..").c_str()));
}

// A departure chart made from a PDF page of four coloured quarters, chosen
// by its map-type key through the list helper while the airport also has
// approach charts: the helper is offered the departures, and the chart lies
// under the aircraft where its georeference says, each quarter on its side
// of the lines the georeference puts through the page's middle.
TEST_F(PdfCharts, AChartChosenThroughTheListHelperLiesUnderTheAircraft)
{
    std::string page = root / "quarters.txt";
    WriteFileText(page, "%%MediaBox 0 0 200 200\n1 0 0 rg 0 100 100 100 re f\n0 1 0 rg 100 100 100 100 re f\n"
                        "0 0 1 rg 0 0 100 100 re f\n1 1 0 rg 100 0 100 100 re f\n");
    ASSERT_EQ(RunProgramWithArguments("mutool.exe", {"create", "-o", root / "charts/EDDH.pdf", page}, nullptr,
                                      nullptr),
              0);
    ASSERT_TRUE(ImportPdfChartFile((root / "charts/EDDH.pdf").c_str()));
    int requested = -1;
    ASSERT_TRUE(TakePdfPageRequest(&requested));
    ASSERT_TRUE(ShowPdfChartPage(requested));
    std::string airport = root / "Airports/EDDH";
    std::string rendered = airport + "/tmp/pdf.png";
    ASSERT_TRUE(std::filesystem::exists(rendered));
    MakeFolders(airport + "/Info");
    MakeFolders(airport + "/Approaches");
    MakeFolders(airport + "/Departures");
    // 4000 page pixels a degree from 9.9 E, 53.7 N; the page is 833 pixels.
    const char* lon1 = "9.9 0";
    const char* lat1 = "53.7 0";
    const char* lon2 = "10.1 800";
    const char* lat2 = "53.5 800";
    for (const char* chart : {"Approaches/ILS 23", "Approaches/RNP 05", "Departures/ALF 1A", "Departures/BRV 2B"}) {
        std::filesystem::copy_file(rendered, airport + "/" + chart + ".png");
        WriteGeoref(airport + "/" + chart + ".txt", lon1, lat1, lon2, lat2);
    }
    WriteGeoref(airport + "/Info/EDDH.txt", lon1, lat1, lon2, lat2);
    std::filesystem::copy_file(std::string(TVL_ROOT_DIR) + "/System/Selvra", root / "System/Selvra");
    WriteFileText(root / "System/lbaptchart.txt.res", "ALF 1A\n");  // an earlier choice
    WorkingFolder inSystem(root / "System");
    setenv("TVL_DIALOG_ANSWER", "BRV 2B", 1);

    ReleaseChartImage();
    BuildAirportIndex();
    SelectAirportAtPosition(53.6, 10.0);
    ASSERT_TRUE(ListAirportCharts());
    Settings.Softkeysublevel = 0;
    Settings.ReferencedAirportMapDisplayed = 0;
    Settings.AirportMapTransparency = 255;
    Settings.NavAirport = 0;
    MapTypeSoftkeyIds[0] = 10;  // departures
    MapTypeMenuCommand(0);
    unsetenv("TVL_DIALOG_ANSWER");

    std::string offered = ReadFileText(root / "System/lbaptchart.txt");
    EXPECT_NE(offered.find("\nALF 1A\nBRV 2B\n"), std::string::npos) << offered;
    EXPECT_EQ(offered.find("ILS 23"), std::string::npos);
    EXPECT_EQ(std::string(Settings.AirportName), airport + "/Departures/BRV 2B.png");
    ASSERT_EQ(Settings.ReferencedAirportMapDisplayed, 1);

    double aircraftLat = 53.6, aircraftLon = 10.0;
    SetUpTileMapView(aircraftLat, aircraftLon, 14);
    Settings.AirportChart = 0;
    CurrentFrame.mapRotation = 0;
    MapPanOffset = {0, 0};
    ClearTarget(0xFF000000u);
    BackgroundDrawn = 1;  // as after the map's tiles
    DrawBackgroundLayers(640, 480);
    // The page's middle (416.7 pixels) by the georeference, on the screen.
    double ppdX = 0, ppdY = 0;
    GetScreenPixelsPerDegree(&ppdX, &ppdY);
    double middleLon = 9.9 + 416.67 * 0.2 / 800, middleLat = 53.7 - 416.67 * 0.2 / 800;
    int mx = static_cast<int>(std::lround(320 + (middleLon - aircraftLon) * ppdX));
    int my = static_cast<int>(std::lround(240 + (aircraftLat - middleLat) * ppdY));
    ASSERT_GT(mx, 330);
    ASSERT_LT(mx, 600);
    ASSERT_GT(my, 250);
    ASSERT_LT(my, 460);
    EXPECT_EQ(Pixel(320, 240), 0xFF0000FFu);  // red under the aircraft
    // Three screen pixels a page pixel: the quarters meet within a page
    // pixel of the middle, filtered across about one.
    EXPECT_EQ(Pixel(mx - 8, my - 8), 0xFF0000FFu);
    EXPECT_EQ(Pixel(mx + 8, my - 8), 0xFF00FF00u);  // green
    EXPECT_EQ(Pixel(mx - 8, my + 8), 0xFFFF0000u);  // blue
    EXPECT_EQ(Pixel(mx + 8, my + 8), 0xFF00FFFFu);  // yellow
}

// A PNG chart the user loads: with its georeference it can be laid over the
// moving map ("OVERLAY"), where the aircraft is shown on it, and taken back
// as the chart alone. Its georeference was once not looked at, and the key
// turned the chart view on with the overlay under it, so the aircraft never
// showed on any chart.
class PngCharts : public RenderTest {
protected:
    TempFolder root;
    void SetUp() override
    {
        RenderTest::SetUp();
        MakeFolders(root / "Airports/EDDH/Approaches");
        snprintf(ProgramRoot, sizeof ProgramRoot, "%s", root.Path().c_str());
        Settings.AirportChart = 0;
        Settings.ReferencedAirportMap = 0;
        Settings.ReferencedAirportMapDisplayed = 0;
    }
    void TearDown() override
    {
        unsetenv("TVL_DIALOG_ANSWER");
        ReleaseChartImage();
        Settings.AirportChart = 0;
        Settings.ReferencedAirportMapDisplayed = 0;
        Settings.Softkeylevel = 0;
        Settings.Softkeysublevel = 0;
        RenderTest::TearDown();
    }
};

TEST_F(PngCharts, AGeoreferencedChartIsLaidOverTheMovingMapAndTakenBack)
{
    std::string chart = root / "Airports/EDDH/Approaches/ILS 23.png";
    WriteFileText(chart, MakePng(64, 0xFF2040C0u));
    WriteGeoref(root / "Airports/EDDH/Approaches/ILS 23.txt", "9.95 0", "53.66 0", "10.05 64", "53.60 64");
    setenv("TVL_DIALOG_ANSWER", chart.c_str(), 1);
    ASSERT_TRUE(OpenPngChart());
    EXPECT_EQ(Settings.AirportChart, 1);
    EXPECT_EQ(Settings.ReferencedAirportMap, 1);

    Settings.Softkeylevel = 5;
    Settings.Softkeysublevel = 3;
    OptionsMenuCommand(5);  // OVERLAY
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 1);
    EXPECT_EQ(Settings.AirportChart, 0) << "the moving map, with the aircraft, under the chart";
    ChartMenuCommand(5);
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0);
    EXPECT_EQ(Settings.AirportChart, 1) << "the chart alone again";

    std::string plain = root / "Airports/EDDH/Approaches/plain.png";
    WriteFileText(plain, MakePng(64, 0xFF808080u));
    setenv("TVL_DIALOG_ANSWER", plain.c_str(), 1);
    ASSERT_TRUE(OpenPngChart());
    EXPECT_EQ(Settings.ReferencedAirportMap, 0) << "no georeference: nothing to lay over the map";
}

}  // namespace
