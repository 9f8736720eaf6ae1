// The Settings block and the start-up values derived from it, with the
// presets that hold before the first read.
#include "app/settings.h"

#include "navdata/simulators.h"

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
char TerrainColourText[TerrainColourCount][TerrainColourTextSize] = {"0,240,11", "49,152,97", "255,255,148",
                                                                    "254,0,1", "125,1,0"};
uint8_t TerrainLegende;
uint8_t TerrainElevation;
uint8_t TerrainObstacleFlag;
uint8_t TerrainTransparencyKnob;
uint8_t MSAinFlightplan;
uint8_t Sealevel = 1;

namespace {
struct ActiveAddressPreset {
    ActiveAddressPreset() { ActiveSimAddress.Set("0.0.0.0"); }
} activeAddressPreset;
}  // namespace

int NavDatabaseForSimulator(int useSimulator)
{
    switch (useSimulator) {
    case SimulatorXPlane: return 1;
    case SimulatorFs2004: return 2;
    case SimulatorFsx:
    case SimulatorSimConnectConfig: return 3;
    case SimulatorPrepar3d: return 4;
    case SimulatorFlightGear: return 5;
    case SimulatorMsfs: return 6;
    case SimulatorAerofly: return 7;
    default: return 6;
    }
}
