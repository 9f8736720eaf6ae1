// The Settings block and the start-up values derived from it, with the
// presets that hold before the first read.
#include "app/settings.h"

SettingsBlock Settings;
NavColourFactoryTables NavColourFactory;

char DataFolder[512];
char TerrainFolder[512];
char TrackFilePath[512];
char LocalAppDataFolder[512] = "./";
std::atomic<int> ClientIdTag{0};
HomePositionValue HomePosition;
std::atomic<int> ActiveSimPort{0};
SharedText<SettingsAddressSize> ActiveSimAddress;
std::atomic<int> InstalledSimulators{0};
HWND DialogOwnerWindow;

namespace {
struct ActiveAddressPreset {
    ActiveAddressPreset() { ActiveSimAddress.Set("0.0.0.0"); }
} activeAddressPreset;
}  // namespace

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
}

int NavDatabaseForSimulator(int useSimulator)
{
    switch (useSimulator) {
    case 4: return 1;
    case 5: return 2;
    case 1:
    case 2: return 3;
    case 3: return 4;
    case 6: return 5;
    case 7: return 6;
    case 8: return 7;
    default: return 6;
    }
}
