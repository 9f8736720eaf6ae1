// The program's settings: one field per key of Plovik.ini, named after the key,
// preset by SetDefaultSettings, filled by InitApplication and written back
// whole by SaveSettings, plus the start-up values derived from them.
//
// Threads: the GUI thread writes every field (the reader at each display
// start, the commands in between). Fields that a link thread, a tile loader or
// fetch thread, a sound thread or the log also read or write are std::atomic
// (scalars) or SharedText (texts, copied in and out under a lock); they are
// marked "threads:" below. Every other field is GUI-thread only: a worker that
// needs one is handed a copy when it is started.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/log.h"
#include "platform/win32.h"

// A short text that one thread writes and others read: copied in and out whole
// under a lock, so a reader never sees half an address.
template <size_t N>
class SharedText {
public:
    // Copies text cut to N - 1 characters; returns false when it had to cut.
    bool Set(const char* text)
    {
        std::lock_guard<std::mutex> hold(lock_);
        size_t n = text ? strnlen(text, N) : 0;
        bool fits = n < N;
        if (!fits)
            n = N - 1;
        if (n)
            memcpy(text_, text, n);
        text_[n] = 0;
        return fits;
    }
    // Copies the text into out (size bytes, always terminated).
    void Get(char* out, size_t size) const
    {
        if (!out || !size)
            return;
        std::lock_guard<std::mutex> hold(lock_);
        size_t n = strnlen(text_, N);
        if (n >= size)
            n = size - 1;
        memcpy(out, text_, n);
        out[n] = 0;
    }
    static constexpr size_t Capacity = N;

private:
    mutable std::mutex lock_;
    char text_[N] = {};
};

// Length of an IP address text with its terminator ("255.255.255.255").
constexpr size_t SettingsAddressSize = 16;
// Text keys without a limit of their own are read with 511 characters.
constexpr size_t SettingsTextSize = 512;
constexpr int NavColourCount = 24;

// One simulator section ("X-Plane", "MSFS" ...): keys Port and IPAddress.
// threads: the link threads read both.
struct SimulatorSection {
    std::atomic<int> Port{0};
    SharedText<SettingsAddressSize> IPAddress;
};

// "FlightGear" has two more ports. threads: the FlightGear link and its AI
// thread read them.
struct FlightGearSection : SimulatorSection {
    std::atomic<int> AIPort{0};
    std::atomic<int> timevar{0};
};

struct SettingsBlock {
    // Main section "Zorizeruverovu Plovik": map, display, tile cache, window.
    char app_id[SettingsTextSize] = "None";
    char app_code[SettingsTextSize] = "None";
    uint32_t FlightPlanColor = 0;
    std::atomic<int> MapType{-1};  // threads: the tile loader sets it
    char BitmapExtension[4] = "jpg";
    int ServermapIndex = -1;
    double VectorWidth = 3.0;
    double FlightplanWidth = 3.0;
    char MapName[SettingsTextSize] = "";
    int PreviousMapType = 1;
    int ChartLevel = 0;
    int PositionX = 0;
    int PositionY = 0;
    int PositionZ = 0;
    int PositionID = 0;
    double Zoom = 1.0;
    int FrameUpdate = 2;
    double latitude = 53.636666667;
    double longitude = 10.001;
    double TrafficRange = 60.0;
    uint32_t TrackColor = 0;
    std::atomic<bool>& DebugMode = LogDebugMode;  // threads: every thread's WriteLog
    uint8_t SendState = 1;
    uint32_t TrackPlotColor = 0;
    double TrackPlotWidth = 3.0;
    uint8_t PlotTrack = 0;
    uint32_t DirToColor = 0;
    double DirToWidth = 3.0;
    uint8_t Softkeys = 1;
    uint8_t DynamicSoftkeys = 0;
    uint8_t ShowFPS = 0;
    uint8_t Transactioncounter = 0;
    uint8_t ShowMouserectangle = 0;
    std::atomic<int> CacheLifetime{30};  // threads: the tile cache clean-up
    int CacheCounter = 200;
    int t = 1;
    std::atomic<int> NrOfThreads{4};  // threads: the tile loader
    std::atomic<int> SatMode{1};      // threads: the tile loader sets it
    int ZoomLimit = 19;
    uint8_t Tooltips = 1;
    int DeClutter = 0;
    char Language[8] = "en";  // read with 4 characters at most
    std::atomic<uint8_t> Sound{1};  // threads: sound threads
    float Volume = 1.0f;
    uint8_t Autosize = 1;
    float Vorsizefactor = 1.0f;
    float Fixsizefactor = 1.0f;
    float Aptsizefactor = 1.0f;
    float Ndbsizefactor = 1.0f;
    float Markersizefactor = 1.0f;
    float Dmesizefactor = 1.0f;
    int RenderToTexture = 0;
    std::atomic<int> Tile{11};  // threads: the tile loader (wanted zoom)
    char Cachepath[SettingsTextSize] = "";
    std::atomic<int> PreferedChartType{-1};  // threads: the tile loader sets it
    std::atomic<int> UseSimulator{7};        // threads: link threads, loaders
    uint8_t ButtonPanelOn = 0;
    uint8_t ButtonPanelRight = 0;
    std::atomic<uint8_t> TopMost{1};  // threads: buttons arriving on link threads
    uint8_t WindowFrame = 0;
    int CPU_usage = 2;
    uint8_t AllowDim = 0;
    int Dimlevel = 255;
    uint8_t MetricAltitude = 0;
    uint8_t CelsiusTemperature = 1;
    uint8_t HeadingIsTrue = 1;
    uint8_t ShowFrame = 1;
    std::atomic<int> InitialTimeout{2000};  // threads: the UDP link threads

    // Main section: navigation, airport, terrain and charts.
    char Terrainpath[SettingsTextSize] = "None";
    char Path[SettingsTextSize] = "";  // the program root's key, kept by its finder
    uint8_t Terrainstate = 0;
    int Terrainmap = 1;
    int TAWS = 0;
    uint8_t TerrainProfile = 0;
    uint8_t TAWSOn = 0;
    uint8_t GPWSOn = 0;
    int DepartureEnroute = 1000;
    int EnrouteApproach = 1500;
    int PilotFlightmode = 1;
    uint8_t TerrainOverlay = 1;
    float TerrainTransparency = 0.5f;
    uint32_t AircraftColor = 0;
    int Track = 0;
    int Windrose = 0;
    uint8_t TrackUp = 0;
    int RadarMode = 0;
    uint8_t FlightPlanState = 0;
    int MenuState = 1;
    uint8_t AirportChart = 0;
    float AirportChartRotate = 0.0f;
    uint8_t ReferencedAirportMap = 0;
    uint8_t ReferencedAirportMapDisplayed = 0;
    char AirportName[SettingsTextSize] = "";
    double TaxiwayZoomfactor = 1.0;
    int AirportMapTransparency = 255;
    int Softkeylevel = 0;
    int Softkeysublevel = 0;
    uint8_t GeorefEdit = 0;
    int AirportChartMenu = 0;
    double RunwayEmergencyLength = 1000.0;
    int RunwaySurfaceEmergency = 1;
    uint8_t DirToVector = 1;
    int NavDatabase = 6;
    char LocalMapPath[SettingsTextSize] = "";
    int FrameState = 0;
    uint8_t NavAirport = 1;
    uint8_t NavNDB = 0;
    uint8_t NavVOR = 0;
    uint8_t NavILS = 0;
    uint8_t NavASP = 0;
    uint8_t NavASPInfo = 0;
    uint8_t CTR = 0;
    char AirspaceFilename[260] = "";
    int NavAirways = 0;
    char SelectedAirport[10] = "";
    char SelectedILS[10] = "";
    char SelectedRWY[5] = "";
    // Holds the airspace class filter: "ABCDEFGR" with a blank for every class
    // not shown (the key's text only says which letters are present).
    char SelectedAirspace[9] = "        ";
    int SelectedAirways = 0;
    uint8_t TouchMode = 0;
    int SelectedCOM = 0;
    int Parkposition = 0;
    int GPSMode = 0;
    int GPSPage = 0;
    int MapDimLevel = 255;
    uint8_t ShowAirports = 0;
    uint8_t ShowFix = 0;
    uint8_t AirportOverlay = 1;
    // Keys "NDBColor%d" ... "ILSColor%d", 0xAABBGGRR with alpha 0xFF.
    // Colours start at 0: a key that does not scan keeps the value it had.
    uint32_t NDBColor[NavColourCount] = {};
    uint32_t VORColor[NavColourCount] = {};
    uint32_t FIXColor[NavColourCount] = {};
    uint32_t AWYColor[NavColourCount] = {};
    uint32_t ILSColor[NavColourCount] = {};
    // The key's 0..255 value shifted into the alpha byte (value << 24).
    uint32_t ILSColorTransparency = 128u << 24;
    int NavcolorIndex = 0;
    char PDFFilename[SettingsTextSize] = "";
    int PDFPages = 0;
    uint8_t PDFFrameState = 0;
    uint8_t PDFPreview = 0;
    int PDFMode = 0;
    int AircraftIcon = 0;
    uint8_t Position = 0;
    uint8_t CurvedVector = 0;

    // Section "User Settings". threads: the tile fetch threads count.
    char MapQuestKey[SettingsTextSize] = "None";
    std::atomic<int> TransactionCount{0};
    std::atomic<int> TransactionCacheCount{0};
    char Date[SettingsTextSize] = "1.11.2020";

    // Section "WEATHER". threads: WeatherState is read by the link threads
    // and the tile loader, WeatherStationState by the companion link thread.
    int DownloadCycle = 15;
    int DownloadMode = 0;
    std::atomic<int> WeatherState{0};
    std::atomic<int> WeatherStationState{0};
    uint8_t WeatherMessage = 0;

    // Section "Options".
    uint8_t AskForPDFViewer = 0;

    // Section "Font".
    int Stateline = 10;
    int Tooltip = 16;

    // Section "Microsoft Flight Simulator".
    int FSVersion = 10;
    uint8_t AutoSaveSituationOn = 0;
    double AutoSaveSituationIntervall = 5.0;  // minutes

    // The simulator sections.
    SimulatorSection XPlane;      // "X-Plane"
    SimulatorSection FS2004;      // "FS2004"
    SimulatorSection Prepar3D;    // "Prepar3D"
    SimulatorSection MSFS;        // "MSFS"
    SimulatorSection Aeroflyfs2;  // "Aeroflyfs2"
    FlightGearSection FlightGear; // "FlightGear"

    // Section "SimConnect" of simconnect.cfg (read only). threads: the
    // Prepar3D/FSX connection reads them.
    std::atomic<int> SimConnectPort{0};
    SharedText<SettingsAddressSize> SimConnectAddress;
};

extern SettingsBlock Settings;

// Factory colours of the navigation colour tables (the options menu's colour
// reset), filled by the reader before it reads the keys. GUI thread.
struct NavColourFactoryTables {
    uint32_t NDBColor[NavColourCount];
    uint32_t VORColor[NavColourCount];
    uint32_t FIXColor[NavColourCount];
    uint32_t AWYColor[NavColourCount];
    uint32_t ILSColor[NavColourCount];
};
extern NavColourFactoryTables NavColourFactory;

// Start-up values derived by the reader (paths are 512-byte buffers, '/').
extern char DataFolder[512];          // copy of ProgramRoot
extern char TerrainFolder[512];       // DataFolder unless Terrainpath is set
extern char TrackFilePath[512];       // SystemFolder + "/track.bin"
extern char LocalAppDataFolder[512];  // "./" unless the shell folder is known
// threads: the links and tile requests send it.
extern std::atomic<int> ClientIdTag;
// The position the facade reports while no link has one. threads: links.
struct HomePositionValue {
    std::atomic<double> latitude{53.636666667};
    std::atomic<double> longitude{10.001};
};
extern HomePositionValue HomePosition;
// Port and address of the selected simulator's link ("0.0.0.0" until the
// reader or a connect command sets them). threads: the link threads.
extern std::atomic<int> ActiveSimPort;
extern SharedText<SettingsAddressSize> ActiveSimAddress;
// Bits: 0x01|0x02 FSX, 0x04 Prepar3D, 0x08 X-Plane, 0x10 FS2004,
// 0x20 FlightGear, 0x40 MSFS, 0x80 Aerofly FS 2.
extern std::atomic<int> InstalledSimulators;
// Owner window of dialogs and helper programs, kept by InitApplication.
extern HWND DialogOwnerWindow;

// The [Terrain] section: the legend colours as their "r,g,b" texts (the
// terrain code parses and formats them) and the terrain switches. Its
// Blendfactor key fills Settings.TerrainTransparency. GUI thread.
constexpr int TerrainColourCount = 5;
constexpr int TerrainColourTextSize = 16;
extern char TerrainColourText[TerrainColourCount][TerrainColourTextSize];
extern uint8_t TerrainLegende;          // legend shown
extern uint8_t TerrainElevation;        // elevation figures shown
extern uint8_t TerrainObstacleFlag;     // obstacles shown
extern uint8_t TerrainTransparencyKnob; // transparency knob shown
extern uint8_t MSAinFlightplan;         // MEA column of the flight plan
extern uint8_t Sealevel;                // terrain at or below sea level left uncoloured

// Presets fields and neighbours' run-time state before the first display.
void SetDefaultSettings();
// Reads every setting from IniFilePath and sets up what depends on them;
// runs at every display start.
void InitApplication(HWND window, int viewWidth, int viewHeight);
// Writes every setting back to IniFilePath and releases what it saved.
void SaveSettings();

// Airspace class letters in filter order.
constexpr const char AirspaceClassLetters[] = "ABCDEFGR";
// NavDatabase for a simulator when the key holds 0.
int NavDatabaseForSimulator(int useSimulator);
// The Installed keys of the simulator sections and the navigation data
// folders beside the working folder, as the InstalledSimulators bit mask.
int ComputeInstalledSimulators(const char* iniPath);
// The tile requests are counted per month: true when (nowMonth, nowYear)
// starts a new counting period after the stored month and year.
bool IsNewCountingMonth(int storedMonth, int storedYear, int nowMonth, int nowYear);
// A simulator number of the command line, bounded to the simulators known.
int BoundInstanceSimulator(int simulator);
