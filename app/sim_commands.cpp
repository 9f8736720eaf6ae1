// Selecting and connecting a simulator, and stopping its link.
#include "app/sim_commands.h"

#include "app/program_root.h"
#include "app/settings.h"
#include "navdata/nav_tables.h"
#include "platform/ini_sections.h"
#include "render/snapshot.h"
#include "simlink/sim_link.h"

#include <cstdio>

const char* SimulatorSectionName(int useSimulator)
{
    switch (useSimulator) {
    case SimulatorFsx:
    case SimulatorSimConnectConfig: return FsxSimSection;
    case SimulatorPrepar3d: return Prepar3dSimSection;
    case SimulatorXPlane: return XPlaneSimSection;
    case SimulatorFs2004: return Fs2004SimSection;
    case SimulatorMsfs: return MsfsSimSection;
    case SimulatorAerofly: return AeroflySimSection;
    default: return FlightGearSimSection;
    }
}

void GetSimulatorName(char out[SimulatorNameSize])
{
    std::snprintf(out, SimulatorNameSize, "%s", SimulatorSectionName(Settings.UseSimulator.load()));
}

// FlightGear's link is left running: its AI-traffic side keeps its own socket.
void StopAllSimLinks()
{
    for (int simulator : {SimulatorMsfs, SimulatorP3dFirst, SimulatorFs2004, SimulatorXPlane, SimulatorAerofly})
        SimLinkStopOf(simulator);
}

// The address and port the link of a simulator talks to.
static void TakeLinkAddress(int useSimulator)
{
    char address[SettingsAddressSize] = "0.0.0.0";
    int port = 0;
    const SimulatorSection* section = nullptr;
    switch (useSimulator) {
    case SimulatorFsx:
    case SimulatorPrepar3d: section = &Settings.Prepar3D; break;
    case SimulatorSimConnectConfig:
        Settings.SimConnectAddress.Get(address, sizeof(address));
        port = Settings.SimConnectPort.load();
        break;
    case SimulatorXPlane: section = &Settings.XPlane; break;
    case SimulatorFs2004: section = &Settings.FS2004; break;
    case SimulatorFlightGear: section = &Settings.FlightGear; break;
    case SimulatorMsfs: section = &Settings.MSFS; break;
    case SimulatorAerofly: section = &Settings.Aeroflyfs2; break;
    default: break;
    }
    if (section) {
        section->IPAddress.Get(address, sizeof(address));
        port = section->Port.load();
    }
    ActiveSimAddress.Set(address);
    ActiveSimPort = port;
}

void RunConnectCommand(int useSimulator)
{
    if (useSimulator < SimulatorFirst || useSimulator > SimulatorLast)
        return;
    StopAllSimLinks();
    Settings.UseSimulator = useSimulator;
    // Aerofly FS 2's title follows its address; the others' come first.
    if (useSimulator != SimulatorAerofly)
        SetMainWindowTitle();
    TakeLinkAddress(useSimulator);
    if (useSimulator == SimulatorAerofly)
        SetMainWindowTitle();
    SimLinkConnect();
    LoadNavaids();
    InvalidateSnapshot();
}

void StopSimulatorLink()
{
    SimLinkStopOf(Settings.UseSimulator.load());
}
