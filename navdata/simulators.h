// The values of the UseSimulator setting, the simulator the program serves.
// Kept below the simulator links: the navigation data picks its source by them.
#pragma once

enum : int {
    SimulatorNone = 0,
    SimulatorFsx = 1,
    SimulatorSimConnectConfig = 2,  // FSX or Prepar3D at the address of "simconnect.cfg"
    SimulatorPrepar3d = 3,
    SimulatorXPlane = 4,
    SimulatorFs2004 = 5,
    SimulatorFlightGear = 6,
    SimulatorMsfs = 7,
    SimulatorAerofly = 8,
    SimulatorFirst = SimulatorFsx,
    SimulatorLast = SimulatorAerofly,
    // The FSX and Prepar3D family, served by one link.
    SimulatorP3dFirst = SimulatorFsx,
    SimulatorP3dLast = SimulatorPrepar3d,
};

// True when the simulator in use is the one a choice names; FSX stands also
// for the simulator at the address of "simconnect.cfg".
constexpr bool IsChosenSimulator(int used, int chosen)
{
    return used == chosen || (chosen == SimulatorFsx && used == SimulatorSimConnectConfig);
}
