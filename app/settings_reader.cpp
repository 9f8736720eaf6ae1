// The settings reader: presets before the first display, then at every display
// start the keys of Plovik.ini read in their fixed order, with the set-up that
// depends on them done between the reads.
#include "app/settings.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/news_check.h"
#include "app/track_ring.h"
#include "app/program_root.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/win32.h"
#include "app/sim_key_events.h"
#include "app/winmain.h"
#include "display/frame_limiter.h"
#include "display/frame_renderer.h"
#include "display/map_view.h"
#include "display/sprite_table.h"
#include "render/device.h"
#include "display/airport_view.h"
#include "navdata/nav_tables.h"
#include "navdata/nearest_airports.h"
#include "app/settings_table.h"
#include "app/sim_commands.h"
#include "app/softkey_menu.h"
#include "simlink/traffic_mode.h"
#include "display/map_types.h"
#include "display/screen_buttons.h"
#include "display/softkey_pages.h"
#include "maps/local_maps.h"
#include "maps/terrain_awareness.h"
#include "maps/tile_cache.h"
#include "maps/tile_grid.h"
#include "maps/weather_radar.h"
#include "maps/tile_sources.h"
#include "maps/tile_stores.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "simlink/pilot_log.h"
#include "simlink/sim_link.h"
#include "simlink/sound.h"
#include "simlink/traffic_advisory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr long LogBackupSize = 1000000;

bool PathExists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

void SetPath(char* out, const char* format, const char* base)
{
    // A root too long for the path buffer leaves an empty path, never a cut one
    // that names some other file.
    if (snprintf(out, 512, format, base) >= 512)
        out[0] = 0;
}

void StartSession(HWND window)
{
    DialogOwnerWindow = window;
    ResetTrafficMode();
    SYSTEMTIME now;
    GetSystemTime(&now);
    ClientIdTag = ((now.wMinute * 100 + now.wSecond) * 1000 + now.wMilliseconds) % 32000;
    SetAboutYearLine(now.wYear);
}

void ReadLocalAppDataFolder()
{
    snprintf(LocalAppDataFolder, sizeof LocalAppDataFolder, "./");
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char folder[512];
    DWORD size = sizeof folder - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Local AppData", nullptr, &type, reinterpret_cast<BYTE*>(folder), &size) == 0 && size) {
        folder[size < sizeof folder ? size : sizeof folder - 1] = 0;
        snprintf(LocalAppDataFolder, sizeof LocalAppDataFolder, "%s", folder);
    }
    RegCloseKey(key);
}

void ReadServiceCacheRoot()
{
    ReadLocalAppDataFolder();
    SetServiceCacheRoot(LocalAppDataFolder);
}

// Month and year of a "month.year" text; a missing field reads as 0.
void ParseCountingPeriod(const char* text, int* month, int* year)
{
    *month = static_cast<int>(strtol(text, nullptr, 10));
    const char* dot = strchr(text, '.');
    *year = dot ? static_cast<int>(strtol(dot + 1, nullptr, 10)) : 0;
}

// The tile requests are counted per month; a new month starts from 0.
void ReadUsageCounters(const char* ini)
{
    ReadSettingRange("TransactionCount", "Date", ini);
    int month = 0;
    int year = 0;
    if (strcmp(Settings.Date, "None") != 0)
        ParseCountingPeriod(Settings.Date, &month, &year);
    SYSTEMTIME now;
    GetSystemTime(&now);
    if (IsNewCountingMonth(month, year, now.wMonth, now.wYear)) {
        Settings.TransactionCount = 0;
        snprintf(Settings.Date, sizeof Settings.Date, "%d.%d", now.wMonth, now.wYear);
        WritePrivateProfileStringA(UserSettingsSection, "Date", Settings.Date, ini);
        WritePrivateProfileStringA(UserSettingsSection, "TransactionCount", "0", ini);
    }
}

void ReadServiceCredentials(const char* ini)
{
    ReadSettingKey(MainSection, "app_id", ini);
    if (strcmp(Settings.app_id, "None") != 0) {
        ReadSettingKey(MainSection, "app_code", ini);
        if (strcmp(Settings.app_code, "None") != 0)
            SetHereCredentials(Settings.app_id, Settings.app_code);
    }
    ReadSettingKey(UserSettingsSection, "MapQuestKey", ini);
    bool accepted = strcmp(Settings.MapQuestKey, "None") != 0;
    SetSettingsMapQuestKeyAccepted(accepted);
    if (accepted) {
        SetMapQuestKey(Settings.MapQuestKey);
        ReadUsageCounters(ini);
    }
}

// The service tiles are purged once the count of their downloads has run
// up, at the program's start: the count set back to 0 is then saved with
// the other settings, and the tiles of this run are kept at its end.
void PurgeServiceCacheAtStart()
{
    if (IsStartingUp())
        PurgeMapQuestCache();
}

void BackUpLongLog()
{
    char log[512];
    char backup[600];
    SetPath(log, "%s/Tervalingo.log", SystemFolder);
    snprintf(backup, sizeof backup, "%s.bak", log);
    struct stat st;
    if (stat(log, &st) == 0 && st.st_size > LogBackupSize && !PathExists(backup)) {
        FILE* in = fopen(log, "rb");
        FILE* out = in ? fopen(backup, "wb") : nullptr;
        char buffer[65536];
        size_t n;
        while (out && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
            fwrite(buffer, 1, n, out);
        if (out)
            fclose(out);
        if (in)
            fclose(in);
    }
}

void SetDataFolders()
{
    SetPath(TrackFilePath, "%s/track.bin", SystemFolder);
    SetPath(DataFolder, "%s", ProgramRoot);
}

void ReadFlightSimVersion(const char* ini)
{
    ReadSettingKey(FlightSimSection, "FSVersion", ini);
    if (Settings.FSVersion == 10 && !PathExists("FSX.exe") && PathExists("FS9.exe"))
        Settings.FSVersion = 9;
}

void ReadDisplaySettings(const char* ini)
{
    ReadSettingRange("FlightPlanColor", "ChartLevel", ini);
    CurrentChartLevel = Settings.ChartLevel;
    ReadSettingRange("PositionX", "ShowMouserectangle", ini);
    WriteLogF("Tervalingo %s %s started", VersionText, __DATE__);
    if (Settings.DebugMode)
        WriteLog("Debug mode on");
}

void ReadTileSettings(const char* ini)
{
    ReadSettingRange("CacheLifetime", "NrOfThreads", ini);
    ResetSoftkeyPageState();
    ReadSettingRange("SatMode", "AutoSaveSituationIntervall", ini);
    SetTileFetchEnabled(Settings.t);
    CurrentTileMapType = Settings.SatMode.load();
    MapReloadRequest = 1;
}

void ReadLanguageSetting(const char* ini)
{
    ReadSettingKey(MainSection, "Language", ini);
    LoadLanguage(Settings.Language);
}

void ReadSoundSettings(const char* ini)
{
    ReadSettingRange("Sound", "RenderToTexture", ini);
    InitSound(SystemFolder, ProgramRoot);
}

void ReadSimConnectConfig()
{
    char cfg[512];
    SetPath(cfg, "%s/simconnect.cfg", SystemFolder);
    ReadSettingSection(SimConnectSection, cfg);
    ClearQuitRequest();
    InitRadarState();
}

void ReadTileCacheSettings(const char* ini)
{
    ReadSettingRange("Tile", "Cachepath", ini);
    char folder[600];
    snprintf(folder, sizeof folder, "%s/cache", Settings.Cachepath);
    SetTileCacheFolder(folder);
    snprintf(folder, sizeof folder, "%s/Weather", ProgramRoot);
    SetRadarFolder(folder);
}

void ReadChartType(const char* ini)
{
    ReadSettingKey(MainSection, "PreferedChartType", ini);
    ResetTileChartType();
    if (Settings.MapType < 0)
        TileMapFlag = 1;
}

void ReadWindowSettings(const char* ini, HWND)
{
    ReadSettingRange("ButtonPanelOn", "TopMost", ini);
    if (Settings.TopMost)
        SetWindowTopmost();
    else
        SetWindowNotTopmost();
    PresentFrame();
    ReadSettingKey(MainSection, "WindowFrame", ini);
    LocalMapTileCount = 25;
    ReadSettingKey(MainSection, "CPU_usage", ini);
    ResetFrameLimiterCount();
    ReadSettingRange("AllowDim", "ShowFrame", ini);
}

SimulatorSection* SectionOfSimulator(int useSimulator)
{
    switch (useSimulator) {
    case SimulatorFsx:
    case SimulatorSimConnectConfig:
    case SimulatorPrepar3d: return &Settings.Prepar3D;
    case SimulatorXPlane: return &Settings.XPlane;
    case SimulatorFs2004: return &Settings.FS2004;
    case SimulatorFlightGear: return &Settings.FlightGear;
    case SimulatorMsfs: return &Settings.MSFS;
    case SimulatorAerofly: return &Settings.Aeroflyfs2;
    default: return nullptr;
    }
}

void ReadSimulatorSections(const char* ini)
{
    static const char* const order[] = {XPlaneSimSection, Fs2004SimSection, Prepar3dSimSection,
                                        MsfsSimSection,   AeroflySimSection, FlightGearSimSection};
    for (const char* section : order)
        ReadSettingSection(section, ini);
    if (SimulatorSection* sim = SectionOfSimulator(Settings.UseSimulator)) {
        char address[SettingsAddressSize];
        sim->IPAddress.Get(address, sizeof address);
        ActiveSimPort = sim->Port.load();
        ActiveSimAddress.Set(address);
    }
}

void ReadTerrainFolder(const char* ini)
{
    ReadSettingKey(MainSection, "InitialTimeout", ini);
    snprintf(TerrainFolder, sizeof TerrainFolder, "%s", DataFolder);
    ReadSettingKey(MainSection, "Terrainpath", ini);
    if (strcmp(Settings.Terrainpath, "None") != 0)
        snprintf(TerrainFolder, sizeof TerrainFolder, "%s", Settings.Terrainpath);
}

// The softkey pages 7 and 8 are never restored.
void ApplySoftkeyPageRule()
{
    int level = Settings.Softkeylevel;
    if (level == 7 || level == 8 || level < 0 || Settings.Softkeysublevel < 0) {
        Settings.Softkeylevel = 0;
        Settings.Softkeysublevel = 0;
    }
}

void ReadTerrainAndAirportSettings(const char* ini)
{
    ReadSettingRange("Terrainstate", "DirToVector", ini);
    ApplySoftkeyPageRule();
}

// The simulator tables have entries 1 to 8 only.
void ApplyCommandLineSimulator(const char* ini)
{
    ReadSimKeyEvents(ini);
    LoadMapContent(1);
    int simulator = BoundInstanceSimulator(GetInstanceArgument());
    if (simulator > 0)
        Settings.UseSimulator = simulator;
}

void ReadNavDatabase(const char* ini)
{
    ReadSettingKey(MainSection, "NavDatabase", ini);
    if (Settings.NavDatabase == 0)
        Settings.NavDatabase = NavDatabaseForSimulator(Settings.UseSimulator);
}

// The map starts where the last run left it; the links answer with this
// position until they have one of their own.
void TakeMapCentreFromSettings()
{
    MapCenter.latitude = Settings.latitude;
    MapCenter.longitude = Settings.longitude;
    HomePosition.latitude = Settings.latitude;
    HomePosition.longitude = Settings.longitude;
}

void LoadMaps(const char* ini, HWND window, int viewWidth, int viewHeight)
{
    ReadTileServiceUrls(ini);
    ReadSettingKey(MainSection, "LocalMapPath", ini);
    SetLocalMapPath(Settings.LocalMapPath);
    // No map of the catalogue, from the server or kept from a run before:
    // the server maps cannot be offered. Said once, at the program's start;
    // a display made anew reads the same catalogue again.
    if (LoadTileCatalog() <= 0) {
        if (IsStartingUp()) {
            const char* text = GetGeneralText(7);
            MessageBoxA(window, text ? text : "", "Zorizeruverovu", MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST);
        }
        Settings.MapType = -1;
    }
    FindMapsAtPosition();
    // Neither small window shows a map: no grid is laid out for them.
    if (!MainWindowState.smallWindow)
        RequestMapRefresh(Settings.latitude, Settings.longitude, viewWidth, viewHeight, 1);
    if (Settings.PlotTrack)
        LoadTrackFile();
}

void ReadOverlaySettings(const char* ini)
{
    ReadSettingRange("FrameState", "NavAirways", ini);
    if (Settings.AirspaceFilename[0])
        LoadAirspaceColourFile(Settings.AirspaceFilename);
    NavOverlaySwitch = Settings.NavAirport || Settings.NavNDB || Settings.NavVOR || Settings.NavILS;
}

void FillFactoryColours()
{
    for (int i = 0; i < NavColourCount; ++i) {
        NavColourFactory.NDBColor[i] = 0xFFFFFFFF;
        NavColourFactory.VORColor[i] = 0xFFFFFFFF;
        NavColourFactory.FIXColor[i] = 0xFFFFFFFF;
        NavColourFactory.AWYColor[i] = 0xFFFFFFFF;
        NavColourFactory.ILSColor[i] = 0xFF00BF00;
    }
}

void ReadNavColours(const char* ini)
{
    FillFactoryColours();
    ReadSettingRange("NDBColor%d", "NavcolorIndex", ini);
    SelectMapTypeEntry(Settings.NavcolorIndex);
}

void LoadNavigationData()
{
    LoadObstacles();
    LoadNavaids();
    LoadAirports();
    LoadFixes();
}

void SelectStartAirport()
{
    if (!Settings.SelectedAirport[0])
        return;
    if (GetNearestAirportCount() == 0)
        RefreshNearestAirports();
    if (strcmp(Settings.SelectedAirport, "NEAREST") == 0) {
        FindNearestAirports(Settings.longitude - 1.0, Settings.longitude + 1.0);
        const char* nearest = GetNearestAirportList();
        char icao[sizeof Settings.SelectedAirport];
        snprintf(icao, sizeof icao, "%s", nearest ? nearest : "");
        if (icao[0])
            SelectAirport(icao);
    } else {
        SelectAirport(Settings.SelectedAirport);
    }
    Settings.NavAirport = 1;
    Settings.Parkposition = -1;
    if (!Settings.AirportOverlay)
        ResetAirportViewCenter();
}

void ReadChartAndFontSettings(const char* ini)
{
    ReadSettingRange("PDFFilename", "Tooltip", ini);
    if (Settings.UseSimulator == SimulatorFlightGear)
        CreatePilotLog();
}

bool IsInstalled(const char* section, const char* ini)
{
    char text[16];
    GetPrivateProfileStringA(section, "Installed", "false", text, sizeof text, ini);
    return strcmp(text, "true") == 0;
}

void DeleteStaleCacheLogs()
{
    remove("../cache/log.txt");
    remove("../cache/System.log");
    NavDownloadOffered = 0;
}

}  // namespace

bool IsNewCountingMonth(int storedMonth, int storedYear, int nowMonth, int nowYear)
{
    return nowMonth > storedMonth || (nowMonth < storedMonth && storedYear < nowYear);
}

int BoundInstanceSimulator(int simulator)
{
    if (simulator <= SimulatorLast)
        return simulator;
    WriteLogF("Simulator %d of the command line is out of range, 8 used", simulator);
    return SimulatorLast;
}

int ComputeInstalledSimulators(const char* ini)
{
    static const struct {
        const char* section;
        int bit;
    } keys[] = {{FlightGearSimSection, 0x20}, {Fs2004SimSection, 0x10}, {XPlaneSimSection, 0x08}, {MsfsSimSection, 0x40}};
    static const struct {
        const char* folder;
        int test;
        int bits;
    } folders[] = {{"../Navdata/FG", 0x20, 0x20}, {"../Navdata/FS9", 0x10, 0x10}, {"../Navdata/FSX", 0x01, 0x03},
                   {"../Navdata/P3D", 0x04, 0x04}, {"../Navdata/XPL", 0x08, 0x08}, {"../Navdata/MSFS", 0x40, 0x40}};
    int mask = IsInstalled(AeroflySimSection, ini) ? 0x80 : 0;
    for (const auto& k : keys)
        if (IsInstalled(k.section, ini))
            mask |= k.bit;
    for (const auto& f : folders)
        if (!(mask & f.test) && IsDirectory(f.folder))
            mask |= f.bits;
    return mask;
}

void SetDefaultSettings()
{
    SettingsBlock& s = Settings;
    s.Dimlevel = 255;
    s.MapDimLevel = 255;
    s.AirportMapTransparency = 255;
    s.VectorWidth = 1.0;
    s.FlightplanWidth = 3.0;
    s.Volume = 1.0f;
    s.PreferedChartType = -1;
    s.PilotFlightmode = -1;
    s.ShowFPS = 1;
    s.Sound = 1;
    s.Tooltips = 1;
    s.TerrainOverlay = 1;
    s.ButtonPanelOn = 1;
    s.ButtonPanelRight = 1;
    s.AirportChartRotate = 0.0f;
    s.TopMost = 0;
    s.Softkeys = 0;
    s.Windrose = 0;
    s.MetricAltitude = 0;
    s.CelsiusTemperature = 0;
    s.Terrainstate = 0;
    s.Terrainmap = 0;
    s.TAWS = 0;
    s.TAWSOn = 0;
    s.AirportChart = 0;
    s.ReferencedAirportMap = 0;
    s.ReferencedAirportMapDisplayed = 0;
    s.GeorefEdit = 0;
    TileSize = 512;
    SetAutoFlightMode(PhaseEnroute);
    SetSimLinkEnabled(0);
    TrafficOn = 0;
    SetFlightPlanState(0);
    SetSimStateFlag(1);
}

void InitApplication(HWND window, int viewWidth, int viewHeight)
{
    const char* ini = IniFilePath;
    SetSettingsRoot(ProgramRoot);
    StartSession(window);
    ReadServiceCacheRoot();
    ReadServiceCredentials(ini);
    PurgeServiceCacheAtStart();
    BackUpLongLog();
    SetDataFolders();
    ReadFlightSimVersion(ini);
    ReadDisplaySettings(ini);
    ReadTileSettings(ini);
    ReadLanguageSetting(ini);
    ReadSoundSettings(ini);
    ReadSimConnectConfig();
    ReadTileCacheSettings(ini);
    ReadChartType(ini);
    ReadSettingKey(OptionsSection, "AskForPDFViewer", ini);
    CheckForNews();
    ReadSettingKey(MainSection, "UseSimulator", ini);
    SetSimLinkEnabled(1);
    ReadWindowSettings(ini, window);
    ReadSimulatorSections(ini);
    ReadTerrainFolder(ini);
    ReadTerrainAndAirportSettings(ini);
    ApplyCommandLineSimulator(ini);
    ReadNavDatabase(ini);
    RunConnectCommand(Settings.UseSimulator);
    TakeMapCentreFromSettings();
    LoadMaps(ini, window, viewWidth, viewHeight);
    ReadOverlaySettings(ini);
    ReadSettingRange("SelectedAirport", "AirportOverlay", ini);
    ReadNavColours(ini);
    LoadNavigationData();
    SelectStartAirport();
    ReadChartAndFontSettings(ini);
    InstalledSimulators = ComputeInstalledSimulators(ini);
    DeleteStaleCacheLogs();
}
