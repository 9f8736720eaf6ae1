// The settings key table in reading order and the conversions between a key's
// text and its Settings field, shared by the reader, the writer and the
// generator of the shipped Plovik.ini.
#include "app/settings_table.h"

#include "platform/log.h"
#include "app/settings.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Short names for the table below.
constexpr const char* Main = MainSection;
constexpr const char* UserSettings = UserSettingsSection;
constexpr const char* Weather = WeatherSection;
constexpr const char* FlightSim = FlightSimSection;
constexpr const char* SimConnect = SimConnectSection;
constexpr const char* LoopbackAddress = "127.0.0.1";
// Airport pictures below this folder are kept as absolute paths.
constexpr const char* SharedAirportFolder = "Orsano/Plovik/Airports";

char SettingsRoot[512];
bool TileMapMode;
bool MapQuestKeyAccepted;

SettingField F(int& v) { return {&v, FieldStorage::I32, 0}; }
SettingField F(std::atomic<int>& v) { return {&v, FieldStorage::AtomicI32, 0}; }
SettingField F(uint8_t& v) { return {&v, FieldStorage::U8, 0}; }
SettingField F(std::atomic<uint8_t>& v) { return {&v, FieldStorage::AtomicU8, 0}; }
SettingField F(std::atomic<bool>& v) { return {&v, FieldStorage::AtomicBool, 0}; }
SettingField F(float& v) { return {&v, FieldStorage::F32, 0}; }
SettingField F(double& v) { return {&v, FieldStorage::F64, 0}; }
SettingField F(uint32_t& v) { return {&v, FieldStorage::U32, 0}; }
SettingField F(uint32_t (&v)[NavColourCount]) { return {&v[0], FieldStorage::U32, 0}; }
template <size_t N>
SettingField F(char (&v)[N])
{
    static_assert(N < 65536);
    return {v, FieldStorage::Chars, static_cast<uint16_t>(N)};
}
SettingField F(SharedText<SettingsAddressSize>& v)
{
    return {&v, FieldStorage::SharedChars, static_cast<uint16_t>(SettingsAddressSize)};
}

// Map and chart types are small numbers (tile types, catalogue types, local
// map indices) that the tile code negates and compares: a value past this is
// no map of ours and reads as the default.
constexpr double MapTypeLimit = 1000000;

// A row with the common values; the modifiers below adjust a copy.
SettingKey K(const char* section, const char* key, SettingKind kind, SettingField field, const char* text)
{
    return SettingKey{section, key, kind, field, text, 0, false, 0, 0, 0, 0,
                      NoneRule::Convert, 0, SettingRule::None, true, 1, SettingFile::Ini};
}
SettingKey Clamp(SettingKey k, double low, double high, double below, double above)
{
    k.clamped = true;
    k.low = low;
    k.high = high;
    k.belowValue = below;
    k.aboveValue = above;
    return k;
}
SettingKey Floor(SettingKey k, double low, double below) { return Clamp(k, low, HUGE_VAL, below, 0); }
SettingKey Ceil(SettingKey k, double high, double above) { return Clamp(k, -HUGE_VAL, high, 0, above); }
SettingKey Range(SettingKey k, double low, double high) { return Clamp(k, low, high, low, high); }
SettingKey Outside(SettingKey k, double low, double high, double v) { return Clamp(k, low, high, v, v); }
SettingKey None(SettingKey k, NoneRule rule, double value = 0)
{
    k.none = rule;
    k.noneValue = value;
    return k;
}
SettingKey Rule(SettingKey k, SettingRule rule)
{
    k.rule = rule;
    return k;
}
SettingKey ReadOnly(SettingKey k)
{
    k.written = false;
    return k;
}
SettingKey Limit(SettingKey k, uint16_t limit)
{
    k.readLimit = limit;
    return k;
}
SettingKey Indexed(SettingKey k)
{
    k.count = NavColourCount;
    return k;
}
SettingKey InCfg(SettingKey k)
{
    k.file = SettingFile::SimConnectCfg;
    return ReadOnly(k);
}

using SK = SettingKind;
SettingsBlock& S = Settings;

SettingKey SimPort(const char* section, SimulatorSection& sim, const char* port)
{
    return K(section, "Port", SK::Int, F(sim.Port), port);
}
SettingKey SimAddress(const char* section, SimulatorSection& sim)
{
    return Rule(K(section, "IPAddress", SK::Text, F(sim.IPAddress), LoopbackAddress), SettingRule::LoopbackWhenEmpty);
}

// Reading order; the reader reads it in ranges between its set-up steps.
const SettingKey Table[] = {
    // Service credentials and their usage counters (gated by the reader).
    ReadOnly(K(Main, "app_id", SK::Text, F(S.app_id), "None")),
    ReadOnly(K(Main, "app_code", SK::Text, F(S.app_code), "None")),
    ReadOnly(K(UserSettings, "MapQuestKey", SK::Text, F(S.MapQuestKey), "None")),
    K(UserSettings, "TransactionCount", SK::Int, F(S.TransactionCount), "0"),
    K(UserSettings, "TransactionCacheCount", SK::Int, F(S.TransactionCacheCount), "0"),
    ReadOnly(K(UserSettings, "Date", SK::Text, F(S.Date), "1.11.2020")),
    K(FlightSim, "FSVersion", SK::Int, F(S.FSVersion), "10"),

    // Map and display.
    K(Main, "FlightPlanColor", SK::Colour, F(S.FlightPlanColor), "0xFF00FF"),
    Outside(None(K(Main, "MapType", SK::Int, F(S.MapType), "None"), NoneRule::SetValue, -1), -MapTypeLimit,
            MapTypeLimit, -1),
    Rule(Limit(K(Main, "BitmapExtension", SK::Text, F(S.BitmapExtension), "jpg"), 3), SettingRule::ConstantJpg),
    K(Main, "ServermapIndex", SK::Int, F(S.ServermapIndex), "-1"),
    Floor(K(Main, "VectorWidth", SK::Real, F(S.VectorWidth), "3.0"), 1.0, 1.0),
    Floor(K(Main, "FlightplanWidth", SK::Real, F(S.FlightplanWidth), "3.0"), 1.0, 1.0),
    Rule(None(K(Main, "MapName", SK::Text, F(S.MapName), "None"), NoneRule::SetEmpty), SettingRule::EmptyWhenTileMap),
    K(Main, "PreviousMapType", SK::Int, F(S.PreviousMapType), "1"),
    K(Main, "ChartLevel", SK::Int, F(S.ChartLevel), "0"),
    None(K(Main, "PositionX", SK::Int, F(S.PositionX), "None"), NoneRule::KeepField),
    None(K(Main, "PositionY", SK::Int, F(S.PositionY), "None"), NoneRule::KeepField),
    None(K(Main, "PositionZ", SK::Int, F(S.PositionZ), "None"), NoneRule::KeepField),
    None(K(Main, "PositionID", SK::Int, F(S.PositionID), "None"), NoneRule::KeepField),
    ReadOnly(K(Main, "Zoom", SK::Double, F(S.Zoom), "1")),
    Floor(None(K(Main, "FrameUpdate", SK::Int, F(S.FrameUpdate), "None"), NoneRule::KeepField), 2, 2),
    Outside(K(Main, "latitude", SK::Real, F(S.latitude), "53.636666667"), -90, 90, 53.636666667),
    Outside(K(Main, "longitude", SK::Real, F(S.longitude), "10.001"), -180, 180, 10.001),
    ReadOnly(None(K(Main, "TrafficRange", SK::Real, F(S.TrafficRange), "None"), NoneRule::SetValue, 60.0)),
    K(Main, "TrackColor", SK::Colour, F(S.TrackColor), "0x0000FF"),
    K(Main, "DebugMode", SK::FlagPositive, F(S.DebugMode), "0"),
    K(Main, "SendState", SK::FlagOne, F(S.SendState), "1"),
    K(Weather, "DownloadCycle", SK::Int, F(S.DownloadCycle), "15"),
    K(Weather, "DownloadMode", SK::Int, F(S.DownloadMode), "0"),
    K(Weather, "WeatherState", SK::FlagNonZero, F(S.WeatherState), "0"),
    K(Weather, "WeatherStationState", SK::FlagNonZero, F(S.WeatherStationState), "0"),
    K(Weather, "WeatherMessage", SK::FlagNonZero, F(S.WeatherMessage), "0"),
    K(Main, "TrackPlotColor", SK::Colour, F(S.TrackPlotColor), "0x00FF00"),
    Floor(K(Main, "TrackPlotWidth", SK::Real, F(S.TrackPlotWidth), "3.0"), 1.0, 1.0),
    K(Main, "PlotTrack", SK::FlagOne, F(S.PlotTrack), "0"),
    K(Main, "DirToColor", SK::Colour, F(S.DirToColor), "0x00FF00"),
    Floor(K(Main, "DirToWidth", SK::Real, F(S.DirToWidth), "3.0"), 1.0, 1.0),
    K(Main, "Softkeys", SK::FlagNonZero, F(S.Softkeys), "1"),
    K(Main, "DynamicSoftkeys", SK::FlagNonZero, F(S.DynamicSoftkeys), "0"),
    K(Main, "ShowFPS", SK::FlagOne, F(S.ShowFPS), "0"),
    Rule(K(Main, "Transactioncounter", SK::FlagOne, F(S.Transactioncounter), "1"), SettingRule::OnWithMapQuestKey),
    Rule(K(Main, "ShowMouserectangle", SK::FlagOne, F(S.ShowMouserectangle), "0"), SettingRule::StartsOff),

    // Tile cache and fetch.
    Floor(K(Main, "CacheLifetime", SK::Int, F(S.CacheLifetime), "30"), 0, 30),
    K(Main, "CacheCounter", SK::Int, F(S.CacheCounter), "200"),
    ReadOnly(K(Main, "t", SK::Int, F(S.t), "1")),
    K(Main, "NrOfThreads", SK::Int, F(S.NrOfThreads), "4"),
    Outside(K(Main, "SatMode", SK::Int, F(S.SatMode), "1"), -MapTypeLimit, MapTypeLimit, 1),
    K(Main, "ZoomLimit", SK::Int, F(S.ZoomLimit), "19"),
    K(Main, "Tooltips", SK::FlagOne, F(S.Tooltips), "1"),
    Ceil(K(Main, "DeClutter", SK::Int, F(S.DeClutter), "0"), 4, 0),
    K(FlightSim, "AutoSaveSituationOn", SK::FlagNonZero, F(S.AutoSaveSituationOn), "0"),
    Floor(K(FlightSim, "AutoSaveSituationIntervall", SK::Int, F(S.AutoSaveSituationIntervall), "5"), 5, 5),

    Rule(Limit(K(Main, "Language", SK::Text, F(S.Language), "en"), 4), SettingRule::LanguageCode),

    // Sound and symbol sizes.
    K(Main, "Sound", SK::FlagOne, F(S.Sound), "1"),
    K(Main, "Volume", SK::Float, F(S.Volume), "1.0"),
    K(Main, "Autosize", SK::FlagOne, F(S.Autosize), "1"),
    K(Main, "Vorsizefactor", SK::Float, F(S.Vorsizefactor), "1.0"),
    K(Main, "Fixsizefactor", SK::Float, F(S.Fixsizefactor), "1.0"),
    K(Main, "Aptsizefactor", SK::Float, F(S.Aptsizefactor), "1.0"),
    K(Main, "Ndbsizefactor", SK::Float, F(S.Ndbsizefactor), "1.0"),
    K(Main, "Markersizefactor", SK::Float, F(S.Markersizefactor), "1.0"),
    K(Main, "Dmesizefactor", SK::Float, F(S.Dmesizefactor), "1.0"),
    K(Main, "RenderToTexture", SK::Int, F(S.RenderToTexture), "0"),

    InCfg(K(SimConnect, "Port", SK::Int, F(S.SimConnectPort), "0")),
    InCfg(Rule(K(SimConnect, "Address", SK::Text, F(S.SimConnectAddress), LoopbackAddress),
               SettingRule::LoopbackWhenEmpty)),

    Clamp(K(Main, "Tile", SK::Int, F(S.Tile), "11"), 4, 21, 4, 19),
    ReadOnly(K(Main, "Cachepath", SK::Text, F(S.Cachepath), nullptr)),
    Outside(K(Main, "PreferedChartType", SK::Int, F(S.PreferedChartType), "-1"), -MapTypeLimit, MapTypeLimit, -1),
    K(OptionsSection, "AskForPDFViewer", SK::FlagOne, F(S.AskForPDFViewer), "0"),
    Outside(K(Main, "UseSimulator", SK::Int, F(S.UseSimulator), "7"), 1, 8, 7),

    // Window, frame limiter, brightness and units.
    None(K(Main, "ButtonPanelOn", SK::FlagOne, F(S.ButtonPanelOn), "None"), NoneRule::SetValue, 0),
    None(K(Main, "ButtonPanelRight", SK::FlagOne, F(S.ButtonPanelRight), "None"), NoneRule::SetValue, 0),
    K(Main, "TopMost", SK::FlagOne, F(S.TopMost), "1"),
    K(Main, "WindowFrame", SK::FlagOne, F(S.WindowFrame), "0"),
    Outside(K(Main, "CPU_usage", SK::Int, F(S.CPU_usage), "2"), 0, 2, 0),
    K(Main, "AllowDim", SK::FlagNonZero, F(S.AllowDim), "0"),
    Range(K(Main, "Dimlevel", SK::Int, F(S.Dimlevel), "255"), 50, 255),
    K(Main, "MetricAltitude", SK::FlagNonZero, F(S.MetricAltitude), "0"),
    K(Main, "CelsiusTemperature", SK::FlagNonZero, F(S.CelsiusTemperature), "1"),
    K(Main, "HeadingIsTrue", SK::FlagNonZero, F(S.HeadingIsTrue), "1"),
    None(K(Main, "ShowFrame", SK::FlagOne, F(S.ShowFrame), "None"), NoneRule::SetValue, 1),

    // The simulator sections.
    SimPort(XPlaneSimSection, S.XPlane, "12345"),
    SimAddress(XPlaneSimSection, S.XPlane),
    SimPort(Fs2004SimSection, S.FS2004, "54321"),
    SimAddress(Fs2004SimSection, S.FS2004),
    SimPort(Prepar3dSimSection, S.Prepar3D, "54322"),
    SimAddress(Prepar3dSimSection, S.Prepar3D),
    SimPort(MsfsSimSection, S.MSFS, "54222"),
    SimAddress(MsfsSimSection, S.MSFS),
    SimPort(AeroflySimSection, S.Aeroflyfs2, "54321"),
    SimAddress(AeroflySimSection, S.Aeroflyfs2),
    SimPort(FlightGearSimSection, S.FlightGear, "12347"),
    K(FlightGearSimSection, "AIPort", SK::Int, F(S.FlightGear.AIPort), "12348"),
    K(FlightGearSimSection, "timevar", SK::Int, F(S.FlightGear.timevar), "12349"),
    SimAddress(FlightGearSimSection, S.FlightGear),

    K(Main, "InitialTimeout", SK::Int, F(S.InitialTimeout), "2000"),
    ReadOnly(K(Main, "Terrainpath", SK::Text, F(S.Terrainpath), "None")),

    // Terrain, track, menu and airport chart.
    K(Main, "Terrainstate", SK::FlagNonZero, F(S.Terrainstate), "0"),
    Outside(K(Main, "Terrainmap", SK::Int, F(S.Terrainmap), "0"), 1, 3, 1),
    K(Main, "TAWS", SK::Int, F(S.TAWS), "0"),
    K(Main, "TerrainProfile", SK::FlagNonZero, F(S.TerrainProfile), "0"),
    K(Main, "TAWSOn", SK::FlagOne, F(S.TAWSOn), "0"),
    K(Main, "GPWSOn", SK::FlagOne, F(S.GPWSOn), "0"),
    K(Main, "DepartureEnroute", SK::Int, F(S.DepartureEnroute), "1000"),
    K(Main, "EnrouteApproach", SK::Int, F(S.EnrouteApproach), "1500"),
    K(Main, "PilotFlightmode", SK::Int, F(S.PilotFlightmode), "1"),
    K(Main, "TerrainOverlay", SK::FlagNonZero, F(S.TerrainOverlay), "1"),
    Range(K(Main, "TerrainTransparency", SK::Float, F(S.TerrainTransparency), "0.5"), 0.0, 1.0),
    K(Main, "AircraftColor", SK::Colour, F(S.AircraftColor), "0xFFFFFF"),
    Range(K(Main, "Track", SK::Int, F(S.Track), "0"), 0, 2),
    Range(K(Main, "Windrose", SK::Int, F(S.Windrose), "0"), 0, 3),
    K(Main, "TrackUp", SK::FlagNonZero, F(S.TrackUp), "0"),
    Range(K(Main, "RadarMode", SK::Int, F(S.RadarMode), "0"), 0, 2),
    K(Main, "FlightPlanState", SK::FlagOne, F(S.FlightPlanState), "0"),
    Clamp(K(Main, "MenuState", SK::Int, F(S.MenuState), "1"), 0, 3, 0, 0),
    K(Main, "AirportChart", SK::FlagOne, F(S.AirportChart), "0"),
    K(Main, "AirportChartRotate", SK::Float, F(S.AirportChartRotate), "0.0"),
    K(Main, "ReferencedAirportMap", SK::FlagPositive, F(S.ReferencedAirportMap), "0"),
    K(Main, "ReferencedAirportMapDisplayed", SK::FlagPositive, F(S.ReferencedAirportMapDisplayed), "0"),
    Rule(None(K(Main, "AirportName", SK::Text, F(S.AirportName), "None"), NoneRule::SetEmpty),
         SettingRule::RootRelativePath),
    K(Main, "TaxiwayZoomfactor", SK::Double, F(S.TaxiwayZoomfactor), "1.0"),
    Clamp(K(Main, "AirportMapTransparency", SK::Int, F(S.AirportMapTransparency), "255"), 11, 255, 20, 255),
    K(Main, "Softkeylevel", SK::Int, F(S.Softkeylevel), "0"),
    K(Main, "Softkeysublevel", SK::Int, F(S.Softkeysublevel), "0"),
    K(Main, "GeorefEdit", SK::FlagOne, F(S.GeorefEdit), "0"),
    K(Main, "AirportChartMenu", SK::Int, F(S.AirportChartMenu), "0"),
    K(Main, "RunwayEmergencyLength", SK::Double, F(S.RunwayEmergencyLength), "1000"),
    K(Main, "RunwaySurfaceEmergency", SK::Int, F(S.RunwaySurfaceEmergency), "1"),
    K(Main, "DirToVector", SK::FlagOne, F(S.DirToVector), "1"),

    Limit(K(Main, "NavDatabase", SK::Int, F(S.NavDatabase), "0"), 8),
    ReadOnly(K(Main, "LocalMapPath", SK::Text, F(S.LocalMapPath), "")),

    // Navigation overlays.
    K(Main, "FrameState", SK::Int, F(S.FrameState), "0"),
    K(Main, "NavAirport", SK::FlagNonZero, F(S.NavAirport), "1"),
    K(Main, "NavNDB", SK::FlagNonZero, F(S.NavNDB), "0"),
    K(Main, "NavVOR", SK::FlagNonZero, F(S.NavVOR), "0"),
    K(Main, "NavILS", SK::FlagNonZero, F(S.NavILS), "0"),
    K(Main, "NavASP", SK::FlagNonZero, F(S.NavASP), "0"),
    K(Main, "NavASPInfo", SK::FlagNonZero, F(S.NavASPInfo), "0"),
    K(Main, "CTR", SK::FlagNonZero, F(S.CTR), "0"),
    K(Main, "AirspaceFilename", SK::Text, F(S.AirspaceFilename), ""),
    K(Main, "NavAirways", SK::Int, F(S.NavAirways), "0"),

    // Remembered selections.
    K(Main, "SelectedAirport", SK::Text, F(S.SelectedAirport), ""),
    K(Main, "SelectedILS", SK::Text, F(S.SelectedILS), ""),
    K(Main, "SelectedRWY", SK::Text, F(S.SelectedRWY), ""),
    Rule(K(Main, "SelectedAirspace", SK::Text, F(S.SelectedAirspace), "        "), SettingRule::AirspaceFilter),
    Limit(K(Main, "SelectedAirways", SK::Int, F(S.SelectedAirways), "0"), 8),
    Limit(K(Main, "TouchMode", SK::FlagNonZero, F(S.TouchMode), "0"), 8),
    Limit(K(Main, "SelectedCOM", SK::Int, F(S.SelectedCOM), "0"), 8),
    Limit(K(Main, "Parkposition", SK::Int, F(S.Parkposition), "0"), 8),
    Limit(Outside(K(Main, "GPSMode", SK::Int, F(S.GPSMode), "0"), 0, 5, 0), 8),
    Limit(K(Main, "GPSPage", SK::Int, F(S.GPSPage), "0"), 8),
    Limit(Range(K(Main, "MapDimLevel", SK::Int, F(S.MapDimLevel), "255"), 0, 255), 8),
    Limit(K(Main, "ShowAirports", SK::FlagNonZero, F(S.ShowAirports), "0"), 8),
    Limit(K(Main, "ShowFix", SK::FlagNonZero, F(S.ShowFix), "0"), 8),
    Limit(K(Main, "AirportOverlay", SK::FlagNonZero, F(S.AirportOverlay), "1"), 8),

    // Navigation colour tables.
    Indexed(K(Main, "NDBColor%d", SK::Colour, F(S.NDBColor), "0xFFFFFF")),
    Indexed(K(Main, "VORColor%d", SK::Colour, F(S.VORColor), "0xFFFFFF")),
    Indexed(K(Main, "FIXColor%d", SK::Colour, F(S.FIXColor), "0xFFFFFF")),
    Indexed(K(Main, "AWYColor%d", SK::Colour, F(S.AWYColor), "0xFFFFFF")),
    Indexed(K(Main, "ILSColor%d", SK::Colour, F(S.ILSColor), "0x00BF00")),
    K(Main, "ILSColorTransparency", SK::AlphaByte, F(S.ILSColorTransparency), "128"),
    K(Main, "NavcolorIndex", SK::Int, F(S.NavcolorIndex), "0"),

    // PDF chart viewer, aircraft symbol, vectors and fonts.
    None(K(Main, "PDFFilename", SK::Text, F(S.PDFFilename), "None"), NoneRule::SetEmpty),
    K(Main, "PDFPages", SK::Int, F(S.PDFPages), ""),
    K(Main, "PDFFrameState", SK::FlagNonZero, F(S.PDFFrameState), ""),
    K(Main, "PDFPreview", SK::FlagNonZero, F(S.PDFPreview), ""),
    K(Main, "PDFMode", SK::Int, F(S.PDFMode), ""),
    K(Main, "AircraftIcon", SK::Int, F(S.AircraftIcon), ""),
    K(Main, "Position", SK::FlagNonZero, F(S.Position), ""),
    K(Main, "CurvedVector", SK::FlagNonZero, F(S.CurvedVector), ""),
    K(FontSection, "Stateline", SK::Int, F(S.Stateline), "10"),
    K(FontSection, "Tooltip", SK::Int, F(S.Tooltip), "16"),

    // Terrain legend colours and switches, read and written by the terrain code.
    K(TerrainSection, "Color1", SK::Text, F(TerrainColourText[0]), "0,240,11"),
    K(TerrainSection, "Color2", SK::Text, F(TerrainColourText[1]), "49,152,97"),
    K(TerrainSection, "Color3", SK::Text, F(TerrainColourText[2]), "255,255,148"),
    K(TerrainSection, "Color4", SK::Text, F(TerrainColourText[3]), "254,0,1"),
    K(TerrainSection, "Color5", SK::Text, F(TerrainColourText[4]), "125,1,0"),
    Range(K(TerrainSection, "Blendfactor", SK::Float, F(S.TerrainTransparency), "0.5"), 0.1, 1.0),
    K(TerrainSection, "Legende", SK::FlagOne, F(TerrainLegende), "0"),
    K(TerrainSection, "Elevation", SK::FlagOne, F(TerrainElevation), "0"),
    K(TerrainSection, "Obstacle", SK::FlagNonZero, F(TerrainObstacleFlag), "0"),
    K(TerrainSection, "TransparencyKnob", SK::FlagOne, F(TerrainTransparencyKnob), "0"),
    K(TerrainSection, "MSAinFlightplan", SK::FlagOne, F(MSAinFlightplan), "0"),
    K(TerrainSection, "Sealevel", SK::FlagOne, F(Sealevel), "1"),
};

constexpr size_t TableSize = sizeof(Table) / sizeof(Table[0]);

}  // namespace

// ---- Field access -------------------------------------------------------

namespace {

double GetNumber(const SettingField& f, int entry)
{
    switch (f.storage) {
    case FieldStorage::I32: return *static_cast<int*>(f.address);
    case FieldStorage::AtomicI32: return static_cast<std::atomic<int>*>(f.address)->load();
    case FieldStorage::U8: return *static_cast<uint8_t*>(f.address);
    case FieldStorage::AtomicU8: return static_cast<std::atomic<uint8_t>*>(f.address)->load();
    case FieldStorage::AtomicBool: return static_cast<std::atomic<bool>*>(f.address)->load() ? 1 : 0;
    case FieldStorage::F32: return *static_cast<float*>(f.address);
    case FieldStorage::F64: return *static_cast<double*>(f.address);
    case FieldStorage::U32: return static_cast<uint32_t*>(f.address)[entry];
    default: return 0;
    }
}

// Stores v, already within the field's range.
void SetNumber(const SettingField& f, int entry, double v)
{
    switch (f.storage) {
    case FieldStorage::I32: *static_cast<int*>(f.address) = static_cast<int>(v); break;
    case FieldStorage::AtomicI32: static_cast<std::atomic<int>*>(f.address)->store(static_cast<int>(v)); break;
    case FieldStorage::U8: *static_cast<uint8_t*>(f.address) = static_cast<uint8_t>(v); break;
    case FieldStorage::AtomicU8: static_cast<std::atomic<uint8_t>*>(f.address)->store(static_cast<uint8_t>(v)); break;
    case FieldStorage::AtomicBool: static_cast<std::atomic<bool>*>(f.address)->store(v != 0); break;
    case FieldStorage::F32: *static_cast<float*>(f.address) = static_cast<float>(v); break;
    case FieldStorage::F64: *static_cast<double*>(f.address) = v; break;
    case FieldStorage::U32: static_cast<uint32_t*>(f.address)[entry] = static_cast<uint32_t>(v); break;
    default: break;
    }
}

void SetText(const SettingField& f, const char* text)
{
    if (f.storage == FieldStorage::SharedChars)
        static_cast<SharedText<SettingsAddressSize>*>(f.address)->Set(text);
    else if (f.storage == FieldStorage::Chars)
        snprintf(static_cast<char*>(f.address), f.size, "%s", text);
}

void GetText(const SettingField& f, char* out, size_t size)
{
    if (f.storage == FieldStorage::SharedChars)
        static_cast<SharedText<SettingsAddressSize>*>(f.address)->Get(out, size);
    else if (f.storage == FieldStorage::Chars)
        snprintf(out, size, "%.*s", static_cast<int>(f.size), static_cast<const char*>(f.address));
    else if (size)
        out[0] = 0;
}

// ---- Text to number, as the runtime's conversions read it, but bounded ---

const char* SkipBlanks(const char* p)
{
    while (*p && isspace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

bool IsBlankTail(const char* p) { return *SkipBlanks(p) == 0; }

// Leading decimal integer; false when there is none. Saturates at the i32
// range instead of overflowing.
bool ParseLeadingInt(const char* text, long long* value, const char** end)
{
    const char* p = SkipBlanks(text);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!isdigit(static_cast<unsigned char>(*p))) {
        *value = 0;
        *end = text;
        return false;
    }
    long long v = 0;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p)
        if (v <= INT_MAX)
            v = v * 10 + (*p - '0');
    if (negative)
        v = -v;
    *value = v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : v);
    *end = p;
    return true;
}

// Length of the leading decimal number ([sign] digits [. digits] [e [sign]
// digits]); hexadecimal, "inf" and "nan" are not numbers here.
size_t DecimalPrefix(const char* p)
{
    const char* s = p;
    if (*p == '-' || *p == '+')
        ++p;
    const char* digits = p;
    while (isdigit(static_cast<unsigned char>(*p)))
        ++p;
    bool any = p > digits;
    if (*p == '.') {
        const char* frac = ++p;
        while (isdigit(static_cast<unsigned char>(*p)))
            ++p;
        any = any || p > frac;
    }
    if (!any)
        return 0;
    if (*p == 'e' || *p == 'E') {
        const char* e = p + 1;
        if (*e == '-' || *e == '+')
            ++e;
        if (isdigit(static_cast<unsigned char>(*e))) {
            while (isdigit(static_cast<unsigned char>(*e)))
                ++e;
            p = e;
        }
    }
    return static_cast<size_t>(p - s);
}

bool ParseLeadingReal(const char* text, double* value, const char** end)
{
    const char* p = SkipBlanks(text);
    size_t n = DecimalPrefix(p);
    char number[128];
    *value = 0;
    *end = text;
    if (n == 0 || n >= sizeof(number))
        return false;
    memcpy(number, p, n);
    number[n] = 0;
    double v = strtod(number, nullptr);
    if (!std::isfinite(v))
        return false;
    *value = v;
    *end = p + n;
    return true;
}

// "%x": [sign] [0x] hex digits, at most 32 bits.
bool ParseHex(const char* text, uint32_t* value, const char** end)
{
    const char* p = SkipBlanks(text);
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isxdigit(static_cast<unsigned char>(p[2])))
        p += 2;
    if (!isxdigit(static_cast<unsigned char>(*p)))
        return false;
    uint64_t v = 0;
    for (; isxdigit(static_cast<unsigned char>(*p)); ++p) {
        v = v * 16 + static_cast<uint64_t>(isdigit(static_cast<unsigned char>(*p)) ? *p - '0' : (tolower(*p) - 'a' + 10));
        if (v > 0xFFFFFFFFull)
            return false;
    }
    *value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
    *end = p;
    return true;
}

void LogMended(const SettingKey& row, const char* key, const char* text, const char* what)
{
    WriteLogF("Setting [%s] %s=\"%.64s\": %s", row.section, key, text, what);
}

double ApplyClamp(const SettingKey& row, double v)
{
    if (!row.clamped)
        return v;
    if (v < row.low)
        return row.belowValue;
    if (v > row.high)
        return row.aboveValue;
    return v;
}

void StoreClamped(const SettingKey& row, int entry, double v, const char* key, const char* text)
{
    double c = ApplyClamp(row, v);
    if (c != v) {
        char what[96];
        snprintf(what, sizeof what, "out of range, %g used", c);
        LogMended(row, key, text, what);
    }
    SetNumber(row.field, entry, c);
}

// Flags and integers take the leading integer; a text without one is 0.
long long ReadInteger(const SettingKey& row, const char* key, const char* text)
{
    long long v;
    const char* end;
    bool ok = ParseLeadingInt(text, &v, &end);
    bool expected = row.defaultText && strcmp(text, row.defaultText) == 0;
    if (!ok && text[0] && !expected)
        LogMended(row, key, text, "not a number, 0 used");
    else if (ok && !IsBlankTail(end))
        LogMended(row, key, text, "text after the number ignored");
    return v;
}

void ApplyFlag(const SettingKey& row, int entry, const char* key, const char* text)
{
    long long v = ReadInteger(row, key, text);
    bool on = row.kind == SettingKind::FlagOne ? v == 1 : (row.kind == SettingKind::FlagNonZero ? v != 0 : v > 0);
    SetNumber(row.field, entry, on ? 1 : 0);
}

void ApplyScanned(const SettingKey& row, int entry, const char* key, const char* text)
{
    double v;
    const char* end;
    bool ok = ParseLeadingReal(text, &v, &end);
    if (ok && row.kind == SettingKind::Float && std::fabs(v) > 3.4e38)
        ok = false;
    if (!ok) {
        LogMended(row, key, text, "not a number, value kept");
        SetNumber(row.field, entry, ApplyClamp(row, GetNumber(row.field, entry)));
        return;
    }
    if (!IsBlankTail(end))
        LogMended(row, key, text, "text after the number ignored");
    StoreClamped(row, entry, v, key, text);
}

void ApplyColour(const SettingKey& row, int entry, const char* key, const char* text)
{
    uint32_t v;
    const char* end;
    if (ParseHex(text, &v, &end)) {
        if (!IsBlankTail(end))
            LogMended(row, key, text, "text after the colour ignored");
    } else {
        LogMended(row, key, text, "not a colour, value kept");
        v = static_cast<uint32_t>(GetNumber(row.field, entry));
    }
    SetNumber(row.field, entry, v | 0xFF000000u);
}

bool IsAbsolutePath(const char* p) { return p[0] == '/' || (isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':'); }

void ApplyTextRule(const SettingKey& row, const char* key, char* text)
{
    switch (row.rule) {
    case SettingRule::LanguageCode:
        if (static_cast<unsigned char>(text[0]) > ':')
            SetText(row.field, text);
        return;
    case SettingRule::RootRelativePath: {
        NormalizePath(text);
        char path[1024];
        if (!text[0] || strstr(text, SharedAirportFolder) || IsAbsolutePath(text))
            snprintf(path, sizeof path, "%s", text);
        else
            snprintf(path, sizeof path, "%s/%s", SettingsRoot, text);
        SetText(row.field, path);
        return;
    }
    case SettingRule::AirspaceFilter: {
        char filter[9];
        for (int i = 0; i < 8; ++i)
            filter[i] = strchr(text, AirspaceClassLetters[i]) ? AirspaceClassLetters[i] : ' ';
        filter[8] = 0;
        SetText(row.field, filter);
        return;
    }
    case SettingRule::LoopbackWhenEmpty:
        if (strlen(text) >= SettingsAddressSize) {
            LogMended(row, key, text, "address too long, 127.0.0.1 used");
            SetText(row.field, LoopbackAddress);
        } else {
            SetText(row.field, text[0] ? text : LoopbackAddress);
        }
        return;
    default:
        SetText(row.field, text);
        return;
    }
}

bool ApplyNoneRule(const SettingKey& row, int entry, const char* text)
{
    if (row.none == NoneRule::Convert || strcmp(text, "None") != 0)
        return false;
    switch (row.none) {
    case NoneRule::KeepField: SetNumber(row.field, entry, ApplyClamp(row, GetNumber(row.field, entry))); break;
    case NoneRule::SetValue: SetNumber(row.field, entry, row.noneValue); break;
    case NoneRule::SetEmpty: SetText(row.field, ""); break;
    default: break;
    }
    return true;
}

void KeyName(const SettingKey& row, int entry, char* out, size_t size)
{
    if (row.count > 1)
        snprintf(out, size, row.key, entry);
    else
        snprintf(out, size, "%s", row.key);
}

size_t ReadLimit(const SettingKey& row)
{
    size_t limit = row.readLimit ? row.readLimit : SettingsTextSize - 1;
    // An address is read whole, so that an overlong one is refused, not cut.
    if (row.field.storage == FieldStorage::Chars && row.field.size - 1u < limit)
        limit = row.field.size - 1u;
    return limit;
}

void ReadRow(const SettingKey& row, const char* path)
{
    char text[SettingsTextSize];
    const char* def = row.defaultText ? row.defaultText : SettingsRoot;
    size_t limit = ReadLimit(row);
    for (int i = 0; i < row.count; ++i) {
        char key[64];
        KeyName(row, i, key, sizeof key);
        GetPrivateProfileStringA(row.section, key, def, text, static_cast<DWORD>(limit + 1), path);
        ApplySettingText(row, i, text);
    }
}

int FindRow(const char* section, const char* key)
{
    for (size_t i = 0; i < TableSize; ++i)
        if ((!section || strcasecmp(Table[i].section, section) == 0) && strcmp(Table[i].key, key) == 0)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

// ---- Public operations --------------------------------------------------

const SettingKey* GetSettingKeys(size_t* count)
{
    *count = TableSize;
    return Table;
}

const SettingKey* FindSettingKey(const char* section, const char* key)
{
    int i = FindRow(section, key);
    return i < 0 ? nullptr : &Table[i];
}

void ApplySettingText(const SettingKey& row, int entry, const char* text)
{
    char key[64];
    KeyName(row, entry, key, sizeof key);
    if (ApplyNoneRule(row, entry, text))
        return;
    if (row.rule == SettingRule::OnWithMapQuestKey) {
        if (ReadInteger(row, key, text) == 1 && MapQuestKeyAccepted)
            SetNumber(row.field, entry, 1);
        return;
    }
    switch (row.kind) {
    case SettingKind::Int:
        StoreClamped(row, entry, static_cast<double>(ReadInteger(row, key, text)), key, text);
        break;
    case SettingKind::Real: {
        double v;
        const char* end;
        if (!ParseLeadingReal(text, &v, &end) && text[0])
            LogMended(row, key, text, "not a number, 0 used");
        else if (text[0] && !IsBlankTail(end))
            LogMended(row, key, text, "text after the number ignored");
        StoreClamped(row, entry, v, key, text);
        break;
    }
    case SettingKind::Float:
    case SettingKind::Double: ApplyScanned(row, entry, key, text); break;
    case SettingKind::Colour: ApplyColour(row, entry, key, text); break;
    case SettingKind::FlagOne:
    case SettingKind::FlagNonZero:
    case SettingKind::FlagPositive: ApplyFlag(row, entry, key, text); break;
    case SettingKind::AlphaByte: {
        long long v = ReadInteger(row, key, text);
        if (v < 0 || v > 255) {
            LogMended(row, key, text, "out of range, 255 used");
            v = 255;
        }
        SetNumber(row.field, entry, static_cast<double>(static_cast<uint32_t>(v) << 24));
        break;
    }
    case SettingKind::Text: {
        char copy[SettingsTextSize];
        snprintf(copy, sizeof copy, "%s", text);
        ApplyTextRule(row, key, copy);
        break;
    }
    }
    if (row.rule == SettingRule::StartsOff)
        SetNumber(row.field, entry, 0);
}

void FormatSettingValue(const SettingKey& row, int entry, char* out, size_t size)
{
    double v = GetNumber(row.field, entry);
    switch (row.kind) {
    case SettingKind::Int: snprintf(out, size, "%d", static_cast<int>(v)); return;
    case SettingKind::Real:
    case SettingKind::Float: snprintf(out, size, "%f", v); return;
    case SettingKind::Double: snprintf(out, size, "%lf", v); return;
    case SettingKind::Colour: snprintf(out, size, "%x", static_cast<uint32_t>(v)); return;
    case SettingKind::FlagOne:
    case SettingKind::FlagNonZero:
    case SettingKind::FlagPositive: snprintf(out, size, "%s", v != 0 ? "1" : "0"); return;
    case SettingKind::AlphaByte: snprintf(out, size, "%u", static_cast<uint32_t>(v) >> 24); return;
    case SettingKind::Text: break;
    }
    char text[SettingsTextSize];
    GetText(row.field, text, sizeof text);
    size_t rootLength = strlen(SettingsRoot);
    const char* under = rootLength ? strstr(text, SettingsRoot) : nullptr;
    switch (row.rule) {
    case SettingRule::ConstantJpg: snprintf(out, size, "jpg"); return;
    case SettingRule::EmptyWhenTileMap: snprintf(out, size, "%s", TileMapMode ? "" : text); return;
    case SettingRule::RootRelativePath:
        // The text after the root and the one separator behind it.
        if (under)
            snprintf(out, size, "%s", under[rootLength] ? under + rootLength + 1 : "");
        else
            snprintf(out, size, "%s", text);
        return;
    case SettingRule::AirspaceFilter:
        snprintf(out, size, "%s", text);
        for (char* p = out; *p; ++p)
            if (*p == ' ')
                *p = '_';
        return;
    default: snprintf(out, size, "%s", text); return;
    }
}

int ReadSettingRange(const char* first, const char* last, const char* iniPath)
{
    int from = FindRow(nullptr, first);
    int to = FindRow(nullptr, last);
    if (from < 0 || to < from)
        return 0;
    for (int i = from; i <= to; ++i)
        ReadRow(Table[i], iniPath);
    return to - from + 1;
}

bool ReadSettingKey(const char* section, const char* key, const char* iniPath)
{
    int i = FindRow(section, key);
    if (i < 0)
        return false;
    ReadRow(Table[i], iniPath);
    return true;
}

int ReadSettingSection(const char* section, const char* path)
{
    int n = 0;
    for (size_t i = 0; i < TableSize; ++i)
        if (strcasecmp(Table[i].section, section) == 0) {
            ReadRow(Table[i], path);
            ++n;
        }
    return n;
}

void WriteSettingSection(const char* section, const char* iniPath)
{
    char value[SettingsTextSize];
    for (size_t i = 0; i < TableSize; ++i) {
        const SettingKey& row = Table[i];
        if (!row.written || row.count != 1 || strcasecmp(row.section, section) != 0)
            continue;
        FormatSettingValue(row, 0, value, sizeof value);
        WritePrivateProfileStringA(row.section, row.key, value, iniPath);
    }
}

void WriteSettingKeys(const char* iniPath)
{
    char key[64];
    char value[SettingsTextSize];
    for (size_t i = 0; i < TableSize; ++i) {
        const SettingKey& row = Table[i];
        // The terrain code writes its section once it has read it, so values
        // it never read are not overwritten with the defaults.
        if (!row.written || strcasecmp(row.section, TerrainSection) == 0)
            continue;
        for (int e = 0; e < row.count; ++e) {
            KeyName(row, e, key, sizeof key);
            FormatSettingValue(row, e, value, sizeof value);
            WritePrivateProfileStringA(row.section, key, value, iniPath);
        }
    }
}

long FormatDefaultSettingsFile(char* out, size_t size)
{
    size_t used = 0;
    auto put = [&](const char* format, const char* a, const char* b) {
        int n = snprintf(out + used, used < size ? size - used : 0, format, a, b);
        used += n > 0 ? static_cast<size_t>(n) : 0;
    };
    for (size_t i = 0; i < TableSize; ++i) {
        const char* section = Table[i].section;
        if (Table[i].file != SettingFile::Ini)
            continue;
        bool seen = false;
        for (size_t j = 0; j < i && !seen; ++j)
            seen = Table[j].file == SettingFile::Ini && strcasecmp(Table[j].section, section) == 0;
        if (seen)
            continue;
        put("%s[%s]\n", used ? "\n" : "", section);
        for (size_t j = i; j < TableSize; ++j) {
            const SettingKey& row = Table[j];
            if (row.file != SettingFile::Ini || strcasecmp(row.section, section) != 0 || !row.defaultText)
                continue;
            for (int e = 0; e < row.count; ++e) {
                char key[64];
                KeyName(row, e, key, sizeof key);
                put("%s=%s\n", key, row.defaultText);
            }
        }
    }
    return used < size ? static_cast<long>(used) : -1;
}

void SetSettingsRoot(const char* programRoot) { snprintf(SettingsRoot, sizeof SettingsRoot, "%s", programRoot ? programRoot : ""); }

void SetSettingsTileMapMode(bool tileMapMode) { TileMapMode = tileMapMode; }

void SetSettingsMapQuestKeyAccepted(bool accepted) { MapQuestKeyAccepted = accepted; }
