// The simulator commands of the menu: the section name of the selected
// simulator, the connect command of each simulator and the stops of its
// link. GUI thread only.
#pragma once

#include <cstddef>

// "FSX", "Prepar3D", "X-Plane", "FS2004", "MSFS", "Aeroflyfs2" or
// "FlightGear", with its terminator.
constexpr size_t SimulatorNameSize = 11;
void GetSimulatorName(char out[SimulatorNameSize]);
const char* SimulatorSectionName(int useSimulator);

// Selects simulator useSimulator (1..8) and connects its link: every link is
// stopped first, the link's address and port are taken from its section,
// the navaids of its database are loaded. A value outside 1..8 does nothing.
void RunConnectCommand(int useSimulator);
// Stops the MSFS, Prepar3D/FSX, FS2004, X-Plane and Aerofly FS 2 links.
void StopAllSimLinks();
// Stops the link of the selected simulator (at shutdown and when the
// settings are saved); the UDP links other than MSFS not while the display
// is being re-created.
void StopSimulatorLink();
