// The navigation-data downloader stand-in: public text formats in, the
// program's navigation files out, and the package it builds and installs.
#include "navdata/airport_details.h"
#include "navdata/great_circle.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "navdata/procedure_db.h"
#include "nav_fixtures.h"
#include "display/airport_boxes.h"
#include "navdata/simulators.h"

#include "tests/support/child_process.h"

#include <minizip/zip.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <unistd.h>

namespace {

const std::string Downloader = std::string(TVL_ROOT_DIR) + "/System/PlovikDownload";

// Runs program with args in folder, with extra environment entries
// ("NAME=value") for it alone and its output into the file output; the exit
// code.
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
        const std::vector<std::string>& environment = {}, const std::string& output = "/dev/null")
{
    std::vector<std::pair<std::string, std::optional<std::string>>> before;
    for (const std::string& entry : environment) {
        std::string name = entry.substr(0, entry.find('='));
        const char* old = std::getenv(name.c_str());
        before.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), entry.substr(name.size() + 1).c_str(), 1);
    }
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    Child child;
    bool started = child.Start(words, output, folder);
    for (const auto& [name, value] : before) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    return started ? child.Wait(ProgramRunLimit) : -1;
}

// A package in Navdata as another downloader may have made it, its entries
// all holding data, with its installer beside it.
bool WritePackageOf(const TempNavRoot& root, const std::string& stem, const std::vector<std::string>& names,
                    const std::string& data)
{
    zipFile zip = zipOpen64(root.Path("Navdata/" + stem + ".exe").c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool ok = true;
    for (const std::string& name : names) {
        zip_fileinfo info{};
        ok = zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6) == ZIP_OK &&
             zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK && ok;
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    std::error_code error;
    return std::filesystem::copy_file(Downloader, root.Path("Navdata/" + stem), error) && ok;
}

// A small world in the public formats: Hamburg with a water runway, a
// helipad, pavement, parking, a tower, frequencies and a taxi network.
void WriteSources(const TempNavRoot& root, const std::string& folder)
{
    root.WriteText(folder + "/apt.dat",
                   "I\n1000 Version - test data\n\n"
                   "1 53 0 0 EDDH Hamburg Airport\n"
                   "1302 city Hamburg\n1302 country Germany\n1302 iata_code HAM\n"
                   "1302 datum_lat 53.630389\n1302 datum_lon 9.988228\n"
                   "100 46.00 1 0 0.25 1 2 1 05 53.62008 9.96577 0 0 3 0 1 0 23 53.63751 10.00534 0 0 3 0 1 0\n"
                   "100 46.00 2 0 0.25 1 2 1 15 53.64702 9.97252 0 0 3 0 1 0 33 53.61757 9.99750 0 0 3 0 1 0\n"
                   "102 H1 53.6280 9.9900 45.0 20.0 20.0 1 0 0 0.25 0\n"
                   "110 1 0.25 0.00 Apron North\n111 53.6300 9.9850\n112 53.6310 9.9850 53.6312 9.9852\n"
                   "111 53.6310 9.9870\n113 53.6300 9.9870\n111 53.6302 9.9852\n113 53.6303 9.9853\n"
                   "120 Lead line\n111 53.6290 9.9800 1\n115 53.6295 9.9810\n"
                   "14 53.6330 9.9917 40 0 Tower\n"
                   "1300 53.6305 9.9860 270.0 gate heavy|jets Gate A12\n"
                   "1300 53.6306 9.9862 90.0 tie_down props GA\n"
                   "1050 118700 HAMBURG TWR\n1053 121805 GND\n54 12380 Old style tower\n"
                   "1201 53.6300 9.9800 both 1 A1\n1201 53.6310 9.9810 both 2 A1\n1201 53.6320 9.9820 both 3 A1\n"
                   "1202 1 2 twoway taxiway A\n1202 3 2 twoway taxiway A\n"
                   "\n1 23 0 0 EDHI Hamburg Finkenwerder\n"
                   "100 45.00 1 0 0.25 1 2 1 05 53.52916 9.82085 0 0 3 0 1 0 23 53.54139 9.85026 0 0 3 0 1 0\n"
                   "\n16 0 0 0 ED9X Alster Seaplane Base\n"
                   "101 50.00 0 09 53.5600 9.9900 27 53.5600 10.0000\n"
                   "\n1 10 0 0 ../X Bad ident\n100 46.00 1 0 0.25 1 2 1 05 50 9 0 0 3 0 1 0 23 50.01 9.01 0 0 3 0 1 0\n"
                   "99\n");
    root.WriteText(folder + "/nav.dat",
                   "I\n810 Version - test data\n"
                   "2  53.7000  10.1000   100   350  25    0.0 HN   HAMBURG NDB\n"
                   "3  53.6877  10.2052    46 11310 130    4.0 HAM  HAMBURG VOR-DME\n"
                   "4  53.6200   9.9650    40 11050  18  53.40 IHSW EDDH 23 ILS-cat-I\n"
                   "7  53.5800   9.9000    40     0   0  53.40 OM23 EDDH 23 OM\n"
                   "12 53.6877  10.2052    46 11310 130    0.0 HAM  HAMBURG VOR-DME\n"
                   "6  53.6200   9.9650    40 11050  10 300053.40 IHSW EDDH 23 GS\n"
                   "99\n");
    root.WriteText(folder + "/fix.dat", "I\n600 Version - test data\n53.9000 10.5000 ALSIK\n"
                                        "49.8400 9.2700 TABUM\n1.0 2.0 TOOLONGNAME\n99\n");
}

class PlovikDownload : public ::testing::Test {
  protected:
    void SetUp() override
    {
        Settings.NavDatabase = 6;
        Settings.UseSimulator = SimulatorMsfs;
        Settings.RunwaySurfaceEmergency = 1;
    }
    void TearDown() override { FreeNavdata(); }
    TempNavRoot root;
};

// Stands the source names alike, or whose names differ only past what the
// map keeps, are numbered apart: the parking list once offered five equal
// "Apron 2 General Avi_0", of which only the first could be chosen.
TEST_F(PlovikDownload, StandsThatReadAlikeAreNumberedApart)
{
    std::string rows;
    for (int i = 0; i < 5; i++)
        rows += "1300 53.63" + std::to_string(i) + " 9.98 90.0 tie_down props Apron 2 General Aviation\n";
    rows += "1300 53.6400 9.9800 90.0 gate jets Gate A12\n1300 53.6410 9.9800 90.0 gate jets Gate A12\n"
            "1300 53.6420 9.9800 90.0 gate jets Apron 2 General Aviation 2\n";
    root.WriteText("src/apt.dat", "I\n1000 Version - test data\n\n1 53 0 0 EDDH Hamburg Airport\n"
                                  "100 46.00 1 0 0.25 1 2 1 05 53.62008 9.96577 0 0 3 0 1 0 23 53.63751 10.00534 0 0 "
                                  "3 0 1 0\n" +
                                      rows + "99\n");
    root.WriteText("src/nav.dat", "I\n810 Version\n99\n");
    root.WriteText("src/fix.dat", "I\n600 Version\n99\n");
    ASSERT_EQ(RunProgram(Downloader, {"--build", root.Path("src"), root.Path("Navdata"), "MSFS"}, root.root()), 0);
    LoadAirports();
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    const AirportDetail& d = GetAirportDetail();
    ASSERT_EQ(d.parking.size(), 8u);
    std::set<std::string> entries;
    for (const ParkingRecord& p : d.parking)
        entries.insert(std::string(p.name) + "_" + std::to_string(p.number));
    EXPECT_EQ(entries.size(), 8u) << "every stand its own entry in the list";
    EXPECT_STREQ(d.parking[0].name, "Apron 2 General Avi");
    EXPECT_EQ(d.parking[0].number, 1);
    EXPECT_EQ(d.parking[1].number, 3) << "2 is the number the source gave a stand of that name";
    EXPECT_EQ(d.parking[5].number, 12);
    EXPECT_NE(d.parking[6].number, 12);
    EXPECT_EQ(FindParkingIndexByName("Apron 2 General Avi_4"), 2);
}

TEST_F(PlovikDownload, BuildsTheFilesOfAFolderFromThePublicFormats)
{
    WriteSources(root, "src");
    ASSERT_EQ(RunProgram(Downloader, {"--build", root.Path("src"), root.Path("Navdata"), "MSFS"}, root.root()), 0);
    LoadNavaids();
    LoadAirports();
    LoadFixes();
    ASSERT_EQ(GetAirportCount(), 3);  // the ICAO with a path in it is left out
    ASSERT_EQ(GetFixCount(), 2);      // the long fix name too
    double lat, lon;
    ASSERT_TRUE(FindFixByName("TABUM", &lat, &lon));
    EXPECT_DOUBLE_EQ(lon, 9.27);

    // NDB, VOR, ILS, marker, DME; the glide slope is not kept.
    ASSERT_EQ(GetNavaidCount(), 5);
    const NavaidRecord* ils = nullptr;
    const NavaidRecord* ndb = nullptr;
    const NavaidRecord* vor = nullptr;
    for (int32_t i = 0; i < GetNavaidCount(); ++i) {
        const NavaidRecord* n = GetNavaid(i);
        ils = n->kind == 4 ? n : ils;
        ndb = n->kind == 2 ? n : ndb;
        vor = n->kind == 3 ? n : vor;
    }
    ASSERT_NE(ils, nullptr);
    EXPECT_EQ(ils->frequency, 110500);
    EXPECT_STREQ(ils->extra1, "EDDH");
    EXPECT_STREQ(ils->extra2, "23");
    EXPECT_DOUBLE_EQ(ils->magVar, -4.0);  // west-positive: the nearby VOR's 4 degrees east
    EXPECT_EQ(ndb->frequency, 35000);
    EXPECT_EQ(vor->subKind, 2);
    EXPECT_DOUBLE_EQ(vor->angle, -4.0);  // MSFS data: the rose angle is negated

    FindNearestAirportsAround(53.6367, 10.001, 9.5, 10.5);
    ASSERT_GE(GetNearestAirportCount(), 2);
    EXPECT_STREQ(GetNearestAirportIcao(0), "EDDH");
    const AirportRecord* eddh = GetNearestAirportRecord();
    EXPECT_NEAR(eddh->runwayLength, 3664.0, 5.0);
    EXPECT_STREQ(eddh->runwayEnd1, "15");
    EXPECT_NEAR(AirportLatitude(*eddh), 53.6324, 0.001);
}

TEST_F(PlovikDownload, RunwaysAndTheProceduresOfTheCifpFolderGoIntoTheProcedureDatabase)
{
    WriteSources(root, "src");
    root.WriteText("src/CIFP/EDDH.dat",
                   "RWY:RW05,     ,      ,00053, ;N53371200,E009575700,0000;\n"
                   "SID:010,4,ALSI1A,RW23,HN,ED,D,B,V  B, ,   ,CF, ,\n"
                   "SID:020,2,ALSI1A,ALL,HAM,ED,D, ,V   , ,   ,TF, ,\n"
                   "SID:030,2,ALSI1A,ALL,ALSIK,ED,E,A,E   , ,   ,TF, ,\n"
                   "SID:040,3,ALSI1A,TABUM,TABUM,ED,E,A,E   , ,   ,TF, ,\n"
                   "SID:010,5,HAM2B,RW05B,,,,,,,,VA,,\n"
                   "SID:020,5,HAM2B,RW05B,HAM,ED,D, ,V   , ,   ,DF, ,\n"
                   "STAR:010,2,ALSI1H,ALL,ALSIK,ED,E,A,E   , ,   ,IF, ,\n"
                   "STAR:020,2,ALSI1H,ALL,NOWHERE,ED,E,A,E   , ,   ,TF, ,\n"
                   "STAR:030,3,ALSI1H,RW23,HN,ED,D,B,V   , ,   ,TF, ,\n"
                   "APPCH:010,A,I23,HAM,HAM,ED,D, ,V   , ,   ,IF, ,\n"
                   "APPCH:020,A,I23,HAM,HN,ED,D,B,V   , ,   ,TF, ,\n"
                   "APPCH:030,I,I23, ,HN,ED,D,B,V   , ,   ,IF, ,\n"
                   "APPCH:040,I,I23, ,RW23,ED,P,G,GY M, ,   ,CF, ,\n"
                   "broken line\n");
    ASSERT_EQ(RunProgram(Downloader, {"--build", root.Path("src"), root.Path("Navdata"), "MSFS"}, root.root()), 0);
    int32_t runway = -1;
    GetRunwayId(&runway, "EDDH", "23");
    ASSERT_GT(runway, 0);
    double direction = 0, length = 0;
    GetRunwayDirectionLength(runway, &direction, &length);
    EXPECT_NEAR(direction, 233.4, 0.5);  // from the 23 threshold towards the 05 one
    EXPECT_NEAR(length, 3250 / 0.3048, 60);  // in feet, as the database keeps it
    int32_t finkenwerder = -1;
    GetRunwayId(&finkenwerder, "EDHI", "05");
    EXPECT_GT(finkenwerder, 0);  // runways of every airport, procedures or not

    std::vector<FlightPlanWaypoint> w;
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "ALSI1A", "sid", 10, 53.6));
    ASSERT_EQ(w.size(), 3u);  // the runway transition, then the common part; no enroute transition
    EXPECT_STREQ(w[0].ident, "HN");
    EXPECT_STREQ(w[1].ident, "HAM");
    EXPECT_STREQ(w[2].ident, "ALSIK");
    EXPECT_NEAR(w[2].lat, 53.9, 1e-5);
    int32_t runway05 = -1;
    GetRunwayId(&runway05, "EDDH", "05");
    EXPECT_FALSE(GetRouteWaypointsByName(&w, runway05, "ALSI1A", "sid", 10, 53.6));
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway05, "HAM2B", "sid", 10, 53.6));
    EXPECT_EQ(w.size(), 1u);  // the leg without a fix is no waypoint
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "ALSI1H", "star", 10, 53.6));
    ASSERT_EQ(w.size(), 2u);  // the unknown fix is dropped; the common part comes first
    EXPECT_STREQ(w[0].ident, "ALSIK");
    EXPECT_STREQ(w[1].ident, "HN");
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "I23", "apptr", 10, 53.6));
    EXPECT_EQ(w.size(), 2u);
    ASSERT_TRUE(GetRouteWaypointsByName(&w, runway, "I23", "final", 10, 53.6));
    ASSERT_EQ(w.size(), 2u);
    EXPECT_STREQ(w[1].ident, "RW23");
    EXPECT_NEAR(w[1].lat, 53.63751, 1e-5);  // the threshold
    CloseNavdataDb();
}

TEST_F(PlovikDownload, AirportDetailsComeBackFromTheArchive)
{
    WriteSources(root, "src");
    ASSERT_EQ(RunProgram(Downloader, {"--build", root.Path("src"), root.Path("Navdata"), "MSFS"}, root.root()), 0);
    LoadAirports();
    ASSERT_TRUE(LoadAirportDetails("EDDH"));
    const AirportDetail& d = GetAirportDetail();
    EXPECT_STREQ(d.header.names[0], "HAM");
    EXPECT_STREQ(d.header.names[2], "Hamburg Airport");
    EXPECT_DOUBLE_EQ(d.header.lat, 53.630389);
    ASSERT_EQ(d.runways.size(), 2u);
    EXPECT_EQ(d.runways[0].surface, 2);  // concrete sorts first
    const RunwayRecord& r = d.runways[1];
    EXPECT_STREQ(r.designator1, "05");
    EXPECT_STREQ(r.designator2, "23");
    EXPECT_STREQ(r.ilsIdent2, "IHSW");
    EXPECT_DOUBLE_EQ(r.ilsFrequency2, 110.5);
    EXPECT_NEAR(r.width, 46.0, 1e-9);
    EXPECT_NEAR(r.heading1 * 57.29578, 53.0, 1.0);
    // The corners lie half the width either side of the ends.
    double across = GreatCircleDistanceNm(r.points[0].lat, r.points[0].lon, r.points[1].lat, r.points[1].lon) * 1852.0;
    EXPECT_NEAR(across, 46.0, 0.5);
    EXPECT_EQ(d.helipads.size(), 1u);
    ASSERT_EQ(d.pavements.size(), 2u);
    EXPECT_EQ(d.pavements[0].kind, 1);
    // The outer ring (the hole is left out) with its curve, as triangles:
    // four nodes and seven steps on either side of the curved node make
    // eighteen points, sixteen triangles.
    EXPECT_EQ(d.pavements[0].points.size(), 48u);
    EXPECT_EQ(d.pavements[1].kind, 0);
    EXPECT_EQ(d.boundary.size(), 1u);
    ASSERT_EQ(d.parking.size(), 2u);
    EXPECT_STREQ(d.parking[0].name, "Gate A");
    EXPECT_EQ(d.parking[0].number, 12);
    ASSERT_EQ(d.coms.size(), 3u);
    EXPECT_EQ(d.coms[2].frequency, 123800);  // the old row's tens of kHz
    ASSERT_EQ(d.taxiNames.size(), 1u);
    EXPECT_STREQ(d.taxiNames[0].name, "A");
    EXPECT_EQ(d.taxiNames[0].pointCount, 3);

    ClearAirportDetailLoaded();
    ASSERT_TRUE(LoadAirportDetails("ED9X"));
    ASSERT_EQ(GetAirportDetail().runways.size(), 1u);
    EXPECT_EQ(GetAirportDetail().runways[0].rowCode, 101);
    EXPECT_EQ(GetAirportDetail().header.rowCode, 16);
}

TEST_F(PlovikDownload, PackageIsBuiltThenInstalledByItsOwnInstaller)
{
    WriteSources(root, "src");
    std::string navdata = root.Path("Navdata/placeholder");
    std::string system = root.Path("System/placeholder");
    root.WriteText("System/install.ini", "[Tervalingo]\nNavigationDatabase=/navdatabase/FGpak.exe\nDownloadPath=" +
                                             root.root() + "\\Navdata\\FGpak.exe\nFilename=FGpak.exe\nLanguage=en\n");
    ASSERT_EQ(RunProgram(Downloader, {}, root.root() + "/System", {"TVL_NAVDATA_SOURCE=" + root.Path("src")}), 0);
    ASSERT_TRUE(std::filesystem::exists(root.root() + "/Navdata/FGpak.exe"));
    ASSERT_TRUE(std::filesystem::exists(root.root() + "/Navdata/FGpak"));
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/Navdata/FG"));

    ASSERT_EQ(RunProgram(root.root() + "/Navdata/FGpak", {}, root.root() + "/Navdata"), 0);
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/Navdata/FGpak"));  // it removed itself
    EXPECT_TRUE(std::filesystem::exists(root.root() + "/Navdata/FG/Default/E.zip"));
    EXPECT_TRUE(std::filesystem::exists(root.root() + "/Navdata/taxi.txt"));
    Settings.NavDatabase = 5;
    LoadAirports();
    EXPECT_EQ(GetAirportCount(), 3);
    EXPECT_TRUE(LoadAirportDetails("EDDH"));
    // X-Plane data keeps X-Plane's runway surface codes and rose angles.
    EXPECT_EQ(GetAirportDetail().runways[1].surface, 1);
}

// A package for one simulator brings the files every simulator shares only
// where they are missing, tells how far its build is, and its installer
// puts each file in place by a rename, never into the old file.
TEST_F(PlovikDownload, APackageLeavesTheSharedFilesAndPutsItsOwnInPlace)
{
    WriteSources(root, "src");
    root.WriteText("Navdata/taxi.txt", "EDDF N1 x 1 50.0 8.5\n");
    root.WriteText("Navdata/Navdata.db", "another simulator's database");
    root.WriteText("Navdata/XPL/com.txt", "old frequencies\n");
    std::string linked = root.Path("old-com.txt");
    ASSERT_EQ(link(root.Path("Navdata/XPL/com.txt").c_str(), linked.c_str()), 0);
    root.WriteText("System/install.ini", "[Tervalingo]\nDownloadPath=" + root.root() +
                                             "/Navdata/XPLpak.exe\nFilename=XPLpak.exe\nLanguage=en\n");
    std::string output = root.Path("download.out");
    ASSERT_EQ(RunProgram(Downloader, {}, root.root() + "/System", {"TVL_NAVDATA_SOURCE=" + root.Path("src")}, output),
              0);
    std::string said = ReadFileText(output);
    EXPECT_NE(said.find("PlovikDownload: 25% Reading the airports"), std::string::npos) << said;
    EXPECT_NE(said.find("PlovikDownload: 85% Writing the navigation files"), std::string::npos) << said;
    EXPECT_EQ(said.find("procedure database"), std::string::npos) << said;

    ASSERT_EQ(RunProgram(root.root() + "/Navdata/XPLpak", {}, root.root() + "/Navdata"), 0);
    EXPECT_EQ(ReadFileText(root.Path("Navdata/taxi.txt")), "EDDF N1 x 1 50.0 8.5\n");
    EXPECT_EQ(ReadFileText(root.Path("Navdata/Navdata.db")), "another simulator's database");
    EXPECT_NE(ReadFileText(root.Path("Navdata/XPL/com.txt")), "old frequencies\n");
    EXPECT_EQ(ReadFileText(linked), "old frequencies\n");
    EXPECT_TRUE(std::filesystem::exists(root.Path("Navdata/XPL/navdat.bin")));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.Path("Navdata")))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

// A package that does carry a shared file (an older downloader's) does not
// install it over the one there.
TEST_F(PlovikDownload, InstallerKeepsASharedFileThatIsThere)
{
    root.WriteText("Navdata/taxi.txt", "ours\n");
    ASSERT_TRUE(WritePackageOf(root, "FGpak", {"taxi.txt", "Navdata.db", "FG/com.txt"}, "theirs\n"));
    EXPECT_EQ(RunProgram(root.root() + "/Navdata/FGpak", {}, root.root() + "/Navdata"), 0);
    EXPECT_EQ(ReadFileText(root.Path("Navdata/taxi.txt")), "ours\n");
    EXPECT_EQ(ReadFileText(root.Path("Navdata/Navdata.db")), "theirs\n");  // missing: brought
    EXPECT_EQ(ReadFileText(root.Path("Navdata/FG/com.txt")), "theirs\n");
}

TEST_F(PlovikDownload, InstallerRefusesEntriesThatLeaveItsFolder)
{
    ASSERT_TRUE(WritePackageOf(root, "XPLpak", {"../escaped.txt", "XPL/com.txt"}, "data\n"));
    EXPECT_NE(RunProgram(root.root() + "/Navdata/XPLpak", {}, root.root() + "/Navdata"), 0);
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/escaped.txt"));
    EXPECT_TRUE(std::filesystem::exists(root.root() + "/Navdata/XPL/com.txt"));
}

TEST_F(PlovikDownload, MissingSourcesOrAnUnknownRequestLeaveNoPackage)
{
    root.WriteText("System/install.ini", "[Tervalingo]\nDownloadPath=" + root.root() +
                                             "/Navdata/XYZpak.exe\nFilename=XYZpak.exe\n");
    EXPECT_NE(RunProgram(Downloader, {}, root.root() + "/System"), 0);
    EXPECT_FALSE(std::filesystem::exists(root.root() + "/Navdata/XYZpak.exe"));
    EXPECT_NE(RunProgram(Downloader, {"--build", root.Path("nothing"), root.Path("Navdata"), "MSFS"}, root.root()), 0);
}

}  // namespace
