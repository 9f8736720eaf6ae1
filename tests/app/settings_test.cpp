// The settings reader and writer against real INI files: defaults, clamps,
// "None", bad input, read-only keys, round trips and the shipped Plovik.ini.
#include "app/main_window.h"
#include "app/program_root.h"
#include "display/frame_renderer.h"
#include "display/softkey_pages.h"
#include "display/map_view.h"
#include "app/settings.h"
#include "maps/tile_grid.h"
#include "app/settings_table.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/log.h"
#include "simlink/traffic_advisory.h"
#include "platform/profile.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every key's value as the writer formats it, so two states compare whole.
std::map<std::string, std::string> Snapshot()
{
    std::map<std::string, std::string> values;
    size_t n;
    const SettingKey* rows = GetSettingKeys(&n);
    for (size_t i = 0; i < n; ++i)
        for (int e = 0; e < rows[i].count; ++e) {
            char key[64];
            char value[SettingsTextSize];
            snprintf(key, sizeof key, rows[i].key, e);
            FormatSettingValue(rows[i], e, value, sizeof value);
            values[std::string(rows[i].section) + "/" + key] = value;
        }
    return values;
}

void ExpectSameValues(const std::map<std::string, std::string>& got, const std::map<std::string, std::string>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [id, value] : want)
        EXPECT_EQ(got.at(id), value) << id;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(root_.empty());
        mkdir(system_.c_str(), 0755);
        snprintf(ProgramRoot, 512, "%s", root_.c_str());
        snprintf(SystemFolder, 512, "%s", system_.c_str());
        snprintf(IniFilePath, 512, "%s/Plovik.ini", system_.c_str());
        inSystem_ = std::make_unique<WorkingFolder>(system_);
        TileMapFlag = 0;
        SetDefaultSettings();
    }
    void TearDown() override
    {
        StopTileLoader(nullptr);  // the job a read started
        inSystem_.reset();
    }
    void WriteIni(const std::string& text) { std::ofstream(IniFilePath, std::ios::binary) << text; }
    // The reader loads the navigation data of the source it settles on; a
    // root without it would ask the downloader, and a failed download sets
    // NavDatabase to 0. So every source gets an empty navaid file first.
    void ProvideNavigationData()
    {
        for (const char* folder : {"XPL", "FG", "MSFS", "FSX", "P3D", "FS9", "AFS2"}) {
            std::string dir = root_ + "/Navdata/" + folder;
            mkdir((root_ + "/Navdata").c_str(), 0755);
            mkdir(dir.c_str(), 0755);
            std::ofstream(dir + "/navdat.bin", std::ios::binary) << std::string(4, '\0');
        }
    }
    // A second read comes after the display's shutdown in the program, which
    // stops the tile job the first read started; so here too, or that job's
    // end writes its map type and zoom over what the second read took.
    void Init()
    {
        int stopped = 0;
        StopTileLoader(&stopped);
        ProvideNavigationData();
        InitApplication(nullptr, 640, 480);
    }
    std::string Ini() { return ReadFile(IniFilePath); }
    std::string Log() { return ReadFile(system_ + "/Tervalingo.log"); }
    std::string ReadKey(const char* section, const char* key)
    {
        char text[512];
        GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, IniFilePath);
        return text;
    }
    // Reads one main-section key from a file holding only that key.
    void ReadMain(const char* key, const char* value)
    {
        WriteIni(std::string("[Zorizeruverovu Plovik]\n") + key + "=" + value + "\n");
        ASSERT_TRUE(ReadSettingKey("Zorizeruverovu Plovik", key, IniFilePath)) << key;
    }

    TempFolder folder_;
    std::string root_ = folder_.Path();
    std::string system_ = root_ + "/System";
    std::unique_ptr<WorkingFolder> inSystem_;
};

TEST_F(SettingsTest, WithoutIniFileTheMapOpensAtHomeWithMsfs)
{
    Init();
    EXPECT_DOUBLE_EQ(Settings.latitude, 53.636666667);
    EXPECT_DOUBLE_EQ(Settings.longitude, 10.001);
    EXPECT_DOUBLE_EQ(HomePosition.latitude, 53.636666667);
    EXPECT_EQ(Settings.UseSimulator, 7);
    EXPECT_EQ(ActiveSimPort, 54222);
    char address[16];
    ActiveSimAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_EQ(Settings.NavDatabase, 6);
    EXPECT_EQ(Settings.MapType, -1);
    EXPECT_EQ(Settings.ShowFrame, 1);
    EXPECT_EQ(Settings.Tile, 11);
    EXPECT_EQ(Settings.TopMost, 1);
    EXPECT_EQ(Settings.FlightGear.AIPort, 12348);
    EXPECT_STREQ(Settings.SelectedAirspace, "        ");
    EXPECT_EQ(Settings.ILSColor[23], 0xFF00BF00u);
    EXPECT_EQ(Settings.NDBColor[0], 0xFFFFFFFFu);
    EXPECT_STREQ(Settings.Cachepath, root_.c_str());
    EXPECT_STREQ(TerrainFolder, root_.c_str());
    EXPECT_EQ(std::string(TrackFilePath), system_ + "/track.bin");
    EXPECT_LT(ClientIdTag, 32000);
}

TEST_F(SettingsTest, ClampsHoldAtTheirEdges)
{
    struct Case {
        const char* key;
        const char* text;
        double expected;
    } cases[] = {
        {"Tile", "25", 19},          {"Tile", "22", 19},          {"Tile", "21", 21},
        {"Tile", "4", 4},            {"Tile", "3", 4},            {"CPU_usage", "3", 0},
        {"CPU_usage", "-1", 0},      {"CPU_usage", "2", 2},       {"CPU_usage", "0", 0},
        {"Dimlevel", "10", 50},      {"Dimlevel", "49", 50},      {"Dimlevel", "50", 50},
        {"Dimlevel", "255", 255},    {"Dimlevel", "256", 255},    {"UseSimulator", "0", 7},
        {"UseSimulator", "9", 7},    {"UseSimulator", "8", 8},    {"UseSimulator", "1", 1},
        {"Terrainmap", "0", 1},      {"Terrainmap", "3", 3},      {"Terrainmap", "4", 1},
        {"MenuState", "4", 0},       {"MenuState", "3", 3},       {"MenuState", "-1", 0},
        {"AirportMapTransparency", "10", 20}, {"AirportMapTransparency", "11", 11},
        {"AirportMapTransparency", "300", 255}, {"DeClutter", "5", 0}, {"DeClutter", "4", 4},
        {"GPSMode", "6", 0},         {"GPSMode", "-1", 0},        {"GPSMode", "5", 5},
        {"CacheLifetime", "-1", 30}, {"CacheLifetime", "0", 0},   {"FrameUpdate", "1", 2},
        {"Track", "3", 2},           {"Track", "-2", 0},          {"Windrose", "4", 3},
        {"RadarMode", "7", 2},       {"MapDimLevel", "-3", 0},    {"MapDimLevel", "256", 255},
        {"VectorWidth", "0.5", 1.0}, {"FlightplanWidth", "1.0", 1.0}, {"DirToWidth", "0.99", 1.0},
        {"TrackPlotWidth", "7.5", 7.5}, {"TerrainTransparency", "1.5", 1.0},
        {"TerrainTransparency", "-0.5", 0.0}, {"latitude", "90", 90}, {"latitude", "90.5", 53.636666667},
        {"latitude", "-90.5", 53.636666667}, {"longitude", "-180", -180}, {"longitude", "180.1", 10.001},
        {"Volume", "0.1", 0.1f},     {"Vorsizefactor", "7", 7},
        {"SatMode", "-2147483648", 1}, {"SatMode", "2147483647", 1}, {"SatMode", "34", 34},
        {"PreferedChartType", "-2147483648", -1}, {"PreferedChartType", "-5", -5},
        {"MapType", "-2147483648", -1}, {"MapType", "1000001", -1}, {"MapType", "250", 250},
    };
    for (const Case& c : cases) {
        ReadMain(c.key, c.text);
        char value[64];
        FormatSettingValue(*FindSettingKey("Zorizeruverovu Plovik", c.key), 0, value, sizeof value);
        EXPECT_NEAR(std::atof(value), c.expected, 1e-6) << c.key << "=" << c.text;
    }
}

// The tile code negates and compares these types: a start with the most
// negative number in them runs as with the defaults.
TEST_F(SettingsTest, AStartWithAbsurdMapTypesRunsWithTheDefaults)
{
    WriteIni("[Zorizeruverovu Plovik]\nSatMode=-2147483648\nPreferedChartType=-2147483648\n"
             "MapType=-2147483648\n");
    Init();
    EXPECT_EQ(Settings.SatMode.load(), 1);
    EXPECT_EQ(Settings.PreferedChartType.load(), -1);
    EXPECT_EQ(Settings.MapType.load(), -1);
}

TEST_F(SettingsTest, NoneKeepsOrSetsTheBuiltInValue)
{
    WriteIni("[Zorizeruverovu Plovik]\n");
    ASSERT_TRUE(ReadSettingKey("Zorizeruverovu Plovik", "MapType", IniFilePath));
    EXPECT_EQ(Settings.MapType, -1);
    ReadMain("MapType", "0");
    EXPECT_EQ(Settings.MapType, 0);
    ReadMain("MapType", "None");
    EXPECT_EQ(Settings.MapType, -1);
    ReadMain("MapType", "none");  // only the exact word counts
    EXPECT_EQ(Settings.MapType, 0);

    ReadMain("ShowFrame", "2");
    EXPECT_EQ(Settings.ShowFrame, 0);
    WriteIni("");
    ReadSettingKey("Zorizeruverovu Plovik", "ShowFrame", IniFilePath);
    EXPECT_EQ(Settings.ShowFrame, 1);

    Settings.PositionX = 17;
    ReadMain("PositionX", "None");
    EXPECT_EQ(Settings.PositionX, 17);
    Settings.FrameUpdate = 0;
    ReadMain("FrameUpdate", "None");
    EXPECT_EQ(Settings.FrameUpdate, 2);
    ReadMain("ButtonPanelOn", "None");
    EXPECT_EQ(Settings.ButtonPanelOn, 0);
    ReadMain("TrafficRange", "None");
    EXPECT_DOUBLE_EQ(Settings.TrafficRange, 60.0);
    ReadMain("MapName", "None");
    EXPECT_STREQ(Settings.MapName, "");
    ReadMain("AirportName", "None");
    EXPECT_STREQ(Settings.AirportName, "");
}

TEST_F(SettingsTest, FlagsFollowTheirRule)
{
    ReadMain("ShowFPS", "2");  // flag=1
    EXPECT_EQ(Settings.ShowFPS, 0);
    ReadMain("Softkeys", "2");  // flag!=0
    EXPECT_EQ(Settings.Softkeys, 1);
    ReadMain("DebugMode", "-1");  // flag>0
    EXPECT_FALSE(Settings.DebugMode);
    ReadMain("DebugMode", "1");  // the log's own switch
    EXPECT_TRUE(IsDebugMode());
    ReadMain("DebugMode", "0");
    EXPECT_FALSE(IsDebugMode());
    ReadMain("ReferencedAirportMap", "3");
    EXPECT_EQ(Settings.ReferencedAirportMap, 1);
    ReadMain("ShowMouserectangle", "1");  // never on at start
    EXPECT_EQ(Settings.ShowMouserectangle, 0);
}

TEST_F(SettingsTest, ColoursAreHexWithOpaqueAlpha)
{
    ReadMain("TrackColor", "FF0000");
    EXPECT_EQ(Settings.TrackColor, 0xFFFF0000u);
    ReadMain("TrackColor", "0xFF0000");
    EXPECT_EQ(Settings.TrackColor, 0xFFFF0000u);
    Settings.DirToColor = 0;
    ReadMain("DirToColor", "xyz");
    EXPECT_EQ(Settings.DirToColor, 0xFF000000u);
    Settings.DirToColor = 0x00123456;
    ReadMain("DirToColor", "xyz");
    EXPECT_EQ(Settings.DirToColor, 0xFF123456u);
    ReadMain("DirToColor", "123456789");  // more than 32 bits: refused
    EXPECT_EQ(Settings.DirToColor, 0xFF123456u);

    ReadMain("FlightPlanColor", "0xFF00FF");
    char text[32];
    FormatSettingValue(*FindSettingKey("Zorizeruverovu Plovik", "FlightPlanColor"), 0, text, sizeof text);
    EXPECT_STREQ(text, "ffff00ff");

    ReadMain("ILSColorTransparency", "-5");
    EXPECT_EQ(Settings.ILSColorTransparency, 255u << 24);
    ReadMain("ILSColorTransparency", "128");
    EXPECT_EQ(Settings.ILSColorTransparency, 128u << 24);
    FormatSettingValue(*FindSettingKey("Zorizeruverovu Plovik", "ILSColorTransparency"), 0, text, sizeof text);
    EXPECT_STREQ(text, "128");

    WriteIni("[Zorizeruverovu Plovik]\nVORColor7=0x0000FF\nILSColor0=zz\n");
    Settings.ILSColor[0] = 0;
    ReadSettingRange("NDBColor%d", "ILSColor%d", IniFilePath);
    EXPECT_EQ(Settings.VORColor[7], 0xFF0000FFu);
    EXPECT_EQ(Settings.VORColor[6], 0xFFFFFFFFu);
    EXPECT_EQ(Settings.ILSColor[0], 0xFF000000u);
}

TEST_F(SettingsTest, BadValuesAreMendedAndLogged)
{
    Settings.DebugMode = true;
    ReadMain("Tile", "12abc");
    EXPECT_EQ(Settings.Tile, 12);
    ReadMain("Tile", "");
    EXPECT_EQ(Settings.Tile, 4);
    ReadMain("Tile", "99999999999999999999");
    EXPECT_EQ(Settings.Tile, 19);
    ReadMain("Dimlevel", "");
    EXPECT_EQ(Settings.Dimlevel, 50);
    ReadMain("latitude", "inf");
    EXPECT_DOUBLE_EQ(Settings.latitude, 0.0);
    Settings.Volume = 0.25f;
    ReadMain("Volume", "nan");
    EXPECT_FLOAT_EQ(Settings.Volume, 0.25f);
    ReadMain("Volume", "1e999");
    EXPECT_FLOAT_EQ(Settings.Volume, 0.25f);
    ReadMain("Zoom", "0x10");  // decimal only: the 0 before the x
    EXPECT_DOUBLE_EQ(Settings.Zoom, 0.0);
    std::string log = Log();
    EXPECT_NE(log.find("Tile=\"12abc\": text after the number ignored"), std::string::npos) << log;
    EXPECT_NE(log.find("Volume=\"nan\": not a number, value kept"), std::string::npos) << log;
}

TEST_F(SettingsTest, AddressesNeverOverflowTheirField)
{
    Settings.DebugMode = true;
    WriteIni("[X-Plane]\nIPAddress=192.168.100.1000\n[MSFS]\nIPAddress=\n[FS2004]\nIPAddress=192.168.100.100\n"
             "[FlightGear]\nIPAddress=" + std::string(600, '9') + "\n");
    ReadSettingSection("X-Plane", IniFilePath);
    ReadSettingSection("MSFS", IniFilePath);
    ReadSettingSection("FS2004", IniFilePath);
    ReadSettingSection("FlightGear", IniFilePath);
    char address[16];
    Settings.XPlane.IPAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "127.0.0.1");
    Settings.MSFS.IPAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "127.0.0.1");
    Settings.FS2004.IPAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "192.168.100.100");
    Settings.FlightGear.IPAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "127.0.0.1");
    EXPECT_NE(Log().find("IPAddress=\"192.168.100.1000\": address too long"), std::string::npos);
}

TEST_F(SettingsTest, SharedTextCutsAndStaysWhole)
{
    SharedText<16> text;
    EXPECT_FALSE(text.Set("0123456789abcdefXYZ"));
    char out[32];
    text.Get(out, sizeof out);
    EXPECT_STREQ(out, "0123456789abcde");
    char small[4];
    text.Get(small, sizeof small);
    EXPECT_STREQ(small, "012");
    // A reader running beside a writer sees one of the two texts, never a mix.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i)
            text.Set(i % 2 ? "10.0.0.1" : "192.168.200.200");
    });
    for (int i = 0; i < 20000; ++i) {
        text.Get(out, sizeof out);
        ASSERT_TRUE(!strcmp(out, "10.0.0.1") || !strcmp(out, "192.168.200.200") || !strcmp(out, "0123456789abcde"))
            << out;
    }
    stop = true;
    writer.join();
}

TEST_F(SettingsTest, CommandLineSimulatorIsBounded)
{
    Settings.DebugMode = true;
    EXPECT_EQ(BoundInstanceSimulator(4), 4);
    EXPECT_EQ(BoundInstanceSimulator(8), 8);
    EXPECT_EQ(BoundInstanceSimulator(0), 0);
    EXPECT_EQ(BoundInstanceSimulator(9), 8);
    EXPECT_EQ(BoundInstanceSimulator(2147483647), 8);
    EXPECT_NE(Log().find("Simulator 9 of the command line is out of range"), std::string::npos);
}

TEST_F(SettingsTest, CountingMonthRule)
{
    EXPECT_FALSE(IsNewCountingMonth(11, 2026, 11, 2026));
    EXPECT_TRUE(IsNewCountingMonth(11, 2026, 12, 2026));
    EXPECT_TRUE(IsNewCountingMonth(11, 2026, 1, 2027));
    EXPECT_FALSE(IsNewCountingMonth(11, 2027, 1, 2027));
    EXPECT_TRUE(IsNewCountingMonth(1, 11, 2, 2026));  // the default "1.11.2020"
}

TEST_F(SettingsTest, MapQuestKeyNoneLeavesCountersUnreadAndTheFileAlone)
{
    const std::string text = "[User Settings]\nMapQuestKey=None\nTransactionCount=55\nDate=1.2000\n";
    WriteIni(text);
    Init();
    EXPECT_EQ(Settings.TransactionCount, 0);
    // The user settings stay as they were (the key mapping section that the
    // reader writes back follows them).
    EXPECT_EQ(Ini().substr(0, text.size()), text);
}

TEST_F(SettingsTest, MapQuestKeyStartsANewMonthOnce)
{
    WriteIni("[User Settings]\nMapQuestKey=abc\nTransactionCount=55\nDate=1.2000\n");
    Init();
    EXPECT_EQ(Settings.TransactionCount, 0);
    EXPECT_EQ(ReadKey("User Settings", "TransactionCount"), "0");
    int month = 0, year = 0;
    ASSERT_EQ(sscanf(ReadKey("User Settings", "Date").c_str(), "%d.%d", &month, &year), 2);
    EXPECT_GE(year, 2024);
    EXPECT_EQ(ReadKey("User Settings", "MapQuestKey"), "abc");
}

TEST_F(SettingsTest, AirspaceFilterKeepsTheLettersPresent)
{
    ReadMain("SelectedAirspace", "BD");
    EXPECT_STREQ(Settings.SelectedAirspace, " B D    ");
    ReadMain("SelectedAirspace", "A_C_____");
    EXPECT_STREQ(Settings.SelectedAirspace, "A C     ");
    char text[16];
    ReadMain("SelectedAirspace", "CD");
    FormatSettingValue(*FindSettingKey("Zorizeruverovu Plovik", "SelectedAirspace"), 0, text, sizeof text);
    EXPECT_STREQ(text, "__CD____");
}

TEST_F(SettingsTest, SoftkeyPagesSevenAndEightAreNotRestored)
{
    WriteIni("[Zorizeruverovu Plovik]\nSoftkeylevel=7\nSoftkeysublevel=2\n");
    Init();
    EXPECT_EQ(Settings.Softkeylevel, 0);
    EXPECT_EQ(Settings.Softkeysublevel, 0);
    WriteIni("[Zorizeruverovu Plovik]\nSoftkeylevel=5\nSoftkeysublevel=2\n");
    Init();
    EXPECT_EQ(Settings.Softkeylevel, 5);
    EXPECT_EQ(Settings.Softkeysublevel, 2);
}

TEST_F(SettingsTest, AirportPictureLivesBelowTheRoot)
{
    WriteIni("[Zorizeruverovu Plovik]\nAirportName=Airports\\EDDH.png\n");
    Init();
    EXPECT_EQ(std::string(Settings.AirportName), root_ + "/Airports/EDDH.png");
    SaveSettings();
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "AirportName"), "Airports/EDDH.png");
    ReadMain("AirportName", "D:\\Orsano\\Plovik\\Airports\\x.png");
    EXPECT_STREQ(Settings.AirportName, "D:/Orsano/Plovik/Airports/x.png");
}

TEST_F(SettingsTest, LanguageNeedsALetterFirst)
{
    snprintf(Settings.Language, sizeof Settings.Language, "fr");
    ReadMain("Language", "1x");
    EXPECT_STREQ(Settings.Language, "fr");
    ReadMain("Language", "de");
    EXPECT_STREQ(Settings.Language, "de");
    ReadMain("Language", "abcdefgh");
    EXPECT_STREQ(Settings.Language, "abcd");
}

TEST_F(SettingsTest, InstalledSimulatorsFromKeysAndFolders)
{
    WriteIni("[Aeroflyfs2]\nInstalled=true\n[MSFS]\nInstalled=True\n[X-Plane]\nInstalled=true\n");
    mkdir((root_ + "/Navdata").c_str(), 0755);
    mkdir((root_ + "/Navdata/FSX").c_str(), 0755);
    EXPECT_EQ(ComputeInstalledSimulators(IniFilePath), 0x80 | 0x08 | 0x03);
}

TEST_F(SettingsTest, CommandLineAndNavDatabaseFollowTheSimulator)
{
    WriteIni("[Zorizeruverovu Plovik]\nUseSimulator=4\n[X-Plane]\nPort=4000\nIPAddress=10.1.2.3\n");
    Init();
    EXPECT_EQ(Settings.NavDatabase, 1);
    EXPECT_EQ(ActiveSimPort, 4000);
    char address[16];
    ActiveSimAddress.Get(address, sizeof address);
    EXPECT_STREQ(address, "10.1.2.3");
    EXPECT_EQ(NavDatabaseForSimulator(3), 4);
    EXPECT_EQ(NavDatabaseForSimulator(0), 6);
}

// Some 300 keys in one file written once: written key by key the exit
// took seconds.
int SettingsFileWrites = 0;

TEST_F(SettingsTest, SavingWritesTheSettingsFileOnce)
{
    Init();
    SettingsFileWrites = 0;
    SetProfileBeforeRenameHook([](const char*) { SettingsFileWrites++; });
    SaveSettings();
    SetProfileBeforeRenameHook(nullptr);
    EXPECT_EQ(SettingsFileWrites, 1);
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "Obstacle"), "0");
}

// On a full disk the settings file the last run left stays whole, and the
// failure is said once.
TEST_F(SettingsTest, AFullDiskKeepsTheSettingsFileWhole)
{
    Init();
    SaveSettings();
    std::string before = Ini();
    ASSERT_GT(before.size(), 1000u);
    // Full when written, and full only when flushed (room found late).
    for (bool flushFails : {false, true}) {
        SCOPED_TRACE(flushFails);
        std::remove((system_ + "/Tervalingo.log").c_str());
        Init();
        Settings.Dimlevel = 99;
        LogDebugMode = true;
        SetFullDiskForTests(flushFails ? -1 : static_cast<long long>(before.size() / 2), flushFails);
        SaveSettings();
        SetFullDiskForTests(-1);
        EXPECT_EQ(Ini(), before);
        std::string log = Log();
        size_t said = log.find("The settings could not be written");
        EXPECT_NE(said, std::string::npos) << log;
        EXPECT_EQ(log.find("The settings could not be written", said + 1), std::string::npos);
        EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "Dimlevel"), "255");
    }
}

TEST_F(SettingsTest, DefaultsRoundTrip)
{
    Init();
    auto before = Snapshot();
    SaveSettings();
    Init();
    ExpectSameValues(Snapshot(), before);
}

// A value of each key that differs from its default and survives the reader.
const char* OtherValue(const SettingKey& row)
{
    static const std::map<std::string, const char*> special = {
        {"Tile", "17"}, {"CPU_usage", "1"}, {"UseSimulator", "4"}, {"Dimlevel", "99"}, {"MenuState", "2"},
        {"Terrainmap", "2"}, {"DeClutter", "3"}, {"GPSMode", "4"}, {"Track", "1"}, {"Windrose", "2"},
        {"RadarMode", "0"}, {"Softkeylevel", "3"}, {"MapDimLevel", "100"}, {"AirportMapTransparency", "77"},
        {"AutoSaveSituationIntervall", "12"}, {"ILSColorTransparency", "77"}, {"NavDatabase", "3"},
        {"Language", "de"}, {"SelectedAirspace", "ACDR"}, {"AirportName", "Airports/X.png"},
        {"IPAddress", "10.0.0.7"}, {"TerrainTransparency", "0.25"}, {"latitude", "47.5"},
        {"longitude", "-122.25"}, {"SelectedRWY", "27L"}, {"Parkposition", "5"}, {"ShowFrame", "0"},
    };
    auto it = special.find(row.key);
    if (it != special.end())
        return it->second;
    switch (row.kind) {
    case SettingKind::Int: return "3";
    case SettingKind::Real:
    case SettingKind::Float:
    case SettingKind::Double: return "2.5";
    case SettingKind::Colour: return "123456";
    case SettingKind::FlagOne:
    case SettingKind::FlagNonZero:
    case SettingKind::FlagPositive: return row.defaultText && !strcmp(row.defaultText, "1") ? "0" : "1";
    default: return "X1";
    }
}

TEST_F(SettingsTest, EveryKeyChangedRoundTrips)
{
    Init();
    auto defaults = Snapshot();
    std::string text = "";
    size_t n;
    const SettingKey* rows = GetSettingKeys(&n);
    std::map<std::string, std::string> sections;
    for (size_t i = 0; i < n; ++i)
        for (int e = 0; e < rows[i].count; ++e) {
            char key[64];
            snprintf(key, sizeof key, rows[i].key, e);
            sections[rows[i].section] += std::string(key) + "=" + OtherValue(rows[i]) + "\n";
        }
    for (auto& [section, body] : sections)
        if (section != "SimConnect")
            text += "[" + section + "]\n" + body;
    WriteIni(text);
    Init();
    // Keys whose written value is derived from live state rather than the field.
    CurrentChartLevel = Settings.ChartLevel;
    TrafficOn = 0;
    TileMapFlag = 0;
    auto changed = Snapshot();
    for (size_t i = 0; i < n; ++i) {
        if (!rows[i].written || rows[i].rule == SettingRule::ConstantJpg || !strcmp(rows[i].key, "RadarMode") ||
            !strcmp(rows[i].key, "ShowMouserectangle") || !strcmp(rows[i].key, "TransactionCount") ||
            !strcmp(rows[i].key, "NavAirport") ||  // reset by the month rule, set by the airport selection
            !strcmp(rows[i].key, "MapType") ||  // -1 while no map catalogue can be read
            !strcmp(rows[i].section, TerrainSection))  // read and written by the terrain code
            continue;
        char key[64];
        snprintf(key, sizeof key, rows[i].key, 0);
        std::string id = std::string(rows[i].section) + "/" + key;
        EXPECT_NE(changed[id], defaults[id]) << id;
    }
    SaveSettings();
    for (size_t i = 0; i < n; ++i) {  // forget what was read
        for (int e = 0; e < rows[i].count; ++e)
            ApplySettingText(rows[i], e, rows[i].defaultText ? rows[i].defaultText : "");
    }
    Init();
    ExpectSameValues(Snapshot(), changed);
}

TEST_F(SettingsTest, ReadOnlyKeysKeepTheUsersText)
{
    const char* keys[][3] = {
        {"Zorizeruverovu Plovik", "app_id", "my id"}, {"Zorizeruverovu Plovik", "app_code", "None"},
        {"Zorizeruverovu Plovik", "Zoom", "2.50"},    {"Zorizeruverovu Plovik", "TrafficRange", "80 nm"},
        {"Zorizeruverovu Plovik", "t", "0"},          {"Zorizeruverovu Plovik", "Cachepath", "/srv/tiles"},
        {"Zorizeruverovu Plovik", "LocalMapPath", "/srv/maps"}, {"Zorizeruverovu Plovik", "Terrainpath", "None"},
        {"User Settings", "MapQuestKey", "None"},      {"User Settings", "Date", "3.2031"},
        {"MSFS", "Installed", "true"},
    };
    std::map<std::string, std::string> sections;
    for (auto& k : keys)
        sections[k[0]] += std::string(k[1]) + "=" + k[2] + "\n";
    std::string text;
    for (auto& [section, body] : sections)
        text += "[" + section + "]\n" + body;
    WriteIni(text);
    Init();
    EXPECT_DOUBLE_EQ(Settings.Zoom, 2.5);
    EXPECT_DOUBLE_EQ(Settings.TrafficRange, 80.0);
    Settings.Zoom = 4;
    SaveSettings();
    for (auto& k : keys)
        EXPECT_EQ(ReadKey(k[0], k[1]), k[2]) << k[1];
}

TEST_F(SettingsTest, ADisplayRebuildChangesNothingInTheFile)
{
    WriteIni("[Zorizeruverovu Plovik]\nFlightPlanColor=0xFF00FF\nTile=25\nlatitude=48.1\nVectorWidth=0.5\n"
             "SelectedAirspace=BD\nMapName=None\n; a comment the user wrote\n[X-Plane]\nIPAddress=\n");
    Init();
    SaveSettings();
    std::string first = Ini();
    EXPECT_NE(first.find("; a comment the user wrote"), std::string::npos);
    Init();
    SaveSettings();
    EXPECT_EQ(Ini(), first);
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "FlightPlanColor"), "ffff00ff");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "VectorWidth"), "1.000000");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "Tile"), "19");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "SelectedAirspace"), "_B_D____");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "BitmapExtension"), "jpg");
    EXPECT_EQ(ReadKey("FlightGear", "DebugMode"), "0");
}

// Neither small window shows a map: the start-up in either asks for no grid
// (the grid zoom stays as it was); the normal window asks for one at Tile.
TEST_F(SettingsTest, SmallWindowsAskForNoMapGridAtStart)
{
    WriteIni("[Zorizeruverovu Plovik]\nTile=14\n");
    MainWindowState.smallWindow = true;
    MiniWindowFlag = false;  // the 500 x 100 window
    SetGridZoom(5);
    Init();
    EXPECT_EQ(GetGridZoom(), 5);
    MiniWindowFlag = true;  // the 80 x 80 window
    Init();
    EXPECT_EQ(GetGridZoom(), 5);
    MainWindowState.smallWindow = false;
    MiniWindowFlag = false;
    Init();
    EXPECT_NE(GetGridZoom(), 5);
    int stopped = 0;
    StopTileLoader(&stopped);
}

// The map-type page's count and the page built last are forgotten at every
// display start, so the first build counts as entering its page.
TEST_F(SettingsTest, StartForgetsTheSoftkeyPageState)
{
    MapTypeSoftkeyCount = 7;
    Init();
    EXPECT_EQ(MapTypeSoftkeyCount, 0);
    int stopped = 0;
    StopTileLoader(&stopped);
}

TEST_F(SettingsTest, WriterTakesLiveState)
{
    Init();
    TileMapFlag = 1;
    snprintf(Settings.MapName, sizeof Settings.MapName, "Alps");
    CurrentChartLevel = 3;
    TrafficOn = 1;
    MultiplayerMode = 1;
    SaveSettings();
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "MapName"), "");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "ChartLevel"), "3");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "RadarMode"), "2");
    TileMapFlag = 0;
    MultiplayerMode = 0;
    SaveSettings();
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "MapName"), "Alps");
    EXPECT_EQ(ReadKey("Zorizeruverovu Plovik", "RadarMode"), "1");
}

TEST_F(SettingsTest, ShippedIniReadsAsTheDefaults)
{
    Init();
    auto defaults = Snapshot();
    std::string shipped = ReadFile(std::string(TVL_ROOT_DIR) + "/System/Plovik.ini");
    ASSERT_FALSE(shipped.empty());
    WriteIni(shipped);
    Init();
    ExpectSameValues(Snapshot(), defaults);
    size_t n;
    const SettingKey* rows = GetSettingKeys(&n);
    for (size_t i = 0; i < n; ++i)
        if (rows[i].file == SettingFile::Ini && rows[i].defaultText) {
            char key[64];
            snprintf(key, sizeof key, rows[i].key, rows[i].count - 1);
            EXPECT_NE(ReadKey(rows[i].section, key), "<missing>") << key;
        }
}

TEST_F(SettingsTest, EveryKeyHasOneRowInItsSection)
{
    size_t n;
    const SettingKey* rows = GetSettingKeys(&n);
    for (size_t i = 0; i < n; ++i)
        EXPECT_EQ(FindSettingKey(rows[i].section, rows[i].key), &rows[i]) << rows[i].section << "/" << rows[i].key;
    EXPECT_GT(n, 170u);
}

}  // namespace
