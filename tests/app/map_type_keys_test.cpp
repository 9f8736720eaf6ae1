// The AIRPORT key of the map-type page: the airport's own diagram comes
// before a local map package that covers the same place, and a package is
// taken only when the airport has no diagram to show.
#include "app/program_root.h"
#include "app/settings.h"
#include "app/softkey_menu.h"
#include "display/chart_view.h"
#include "display/map_types.h"
#include "display/map_view.h"
#include "display/softkey_pages.h"
#include "maps/airport_charts.h"
#include "maps/local_maps.h"
#include "maps/system_files.h"
#include "maps/tile_grid.h"
#include "navdata/simulators.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tile_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int32_t AirportDiagramId = 4;

class AirportKeyTest : public RenderTest {
protected:
    TempFolder root;
    std::string system = root / "System";
    std::string airport = root / "Airports/EDDH";

    void SetUp() override
    {
        RenderTest::SetUp();
        MakeFolders(system);
        std::snprintf(DataFolder, sizeof DataFolder, "%s", root.Path().c_str());
        std::snprintf(SystemFolder, sizeof SystemFolder, "%s", system.c_str());
        std::snprintf(IniFilePath, sizeof IniFilePath, "%s", (system + "/Plovik.ini").c_str());
        Settings.UseSimulator = SimulatorNone;  // the centre stays where the test puts it
        Settings.MapType = -1;
        TileMapFlag = 1;
        Settings.NavAirport = 0;
        Settings.ReferencedAirportMapDisplayed = 0;
        Settings.Softkeysublevel = 0;
        MapCenter.latitude = 53.6;
        MapCenter.longitude = 10.0;
        MakeLocalMapPackage();
        MakeAirportWithCharts();
        MapTypeSoftkeyIds[0] = AirportDiagramId;
        ReloadChartList();
    }
    void TearDown() override
    {
        ReleaseLocalMapTextures();  // waits for a started loader to end
        ReloadChartList();
        ReleaseChartImage();
        ClearCatalogueRequest();
        Settings.ReferencedAirportMapDisplayed = 0;
        Settings.AirportChart = 0;
        Settings.MapType = -1;
        TileMapFlag = 1;
        Settings.UseSimulator = SimulatorMsfs;
        RenderTest::TearDown();
    }

    // One sheet of 50..54 N, 9..13 E, as the local map packages list it.
    void MakeLocalMapPackage()
    {
        MakeFolders(root / "area/data0");
        WriteFileText(root / "area/georef.txt", "2\n-9000 1000 0 0 0 0 0\n54000 0 -1000 0 0 0 0\n");
        WriteFileText(system + "/content.ini", "maps=list.bin\n");
        ASSERT_TRUE(WriteScrambledWords((system + "/list.bin").c_str(), {"1", "area.bin"}, 321));
        ASSERT_TRUE(WriteScrambledWords((system + "/area.bin").c_str(),
                                        {"1", "54", "50", "13", "9", "1", "0", "area"}, 321));
    }

    // EDDH with its diagram (Info) and one approach chart.
    void MakeAirportWithCharts()
    {
        const char* georef = "[Georeference]\nLongitude1=9.9 0\nLatitude1=53.7 0\nLongitude2=10.1 64\n"
                             "Latitude2=53.5 64\n";
        MakeFolders(airport + "/Info");
        MakeFolders(airport + "/Approaches");
        WriteFileText(airport + "/Info/EDDH.txt", georef);
        WriteFileText(airport + "/Info/EDDH.png", MakePng(64, 0xFF00FF00u));
        WriteFileText(airport + "/Approaches/ILS 23.txt", georef);
        WriteFileText(airport + "/Approaches/ILS 23.png", MakePng(64, 0xFFFF0000u));
    }

    void PressAirportKey()
    {
        WorkingFolder here(system);
        LoadMapContent(1);
        BuildAirportIndex();
        SelectAirportAtPosition(53.6, 10.0);
        MapTypeMenuCommand(0);
    }
};

TEST_F(AirportKeyTest, TheDiagramComesBeforeAPackageOfThePlace)
{
    PressAirportKey();
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 1);
    EXPECT_EQ(std::string(Settings.AirportName), airport + "/Info/EDDH.png");
    EXPECT_EQ(Settings.MapType.load(), -1);  // the tile map stays
    // Pressed again the diagram goes, and still no package is taken.
    PressAirportKey();
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0);
    EXPECT_EQ(Settings.MapType.load(), -1);
}

TEST_F(AirportKeyTest, APackageIsTakenWhenTheDiagramDoesNotLoad)
{
    std::filesystem::remove(airport + "/Info/EDDH.png");
    PressAirportKey();
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0);
    EXPECT_EQ(Settings.MapType.load(), 0);
}

TEST_F(AirportKeyTest, AnAirportWithoutChartsTakesNothing)
{
    std::filesystem::remove_all(airport + "/Approaches");
    PressAirportKey();
    EXPECT_EQ(Settings.ReferencedAirportMapDisplayed, 0);
    EXPECT_EQ(Settings.MapType.load(), -1);
}

}  // namespace
