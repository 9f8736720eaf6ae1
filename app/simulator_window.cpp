// The simulator's main window, found by its class and cached.
#include "app/simulator_window.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "navdata/simulators.h"
#include "platform/window.h"

static bool SimulatorFocusEnabled = true;

bool IsSimulatorFocusEnabled() { return SimulatorFocusEnabled; }

void SetSimulatorFocusEnabled(bool enabled) { SimulatorFocusEnabled = enabled; }

void ResetSimulatorWindowCache() { MainWindowState.cachedSimulatorWindow = nullptr; }

void BringSimulatorToFront()
{
    int simulator = Settings.UseSimulator;
    bool hasWindow = simulator == SimulatorFsx || simulator == SimulatorSimConnectConfig || simulator == SimulatorFs2004;
    if (!SimulatorFocusEnabled || !hasWindow)
        return;
    HWND& cached = MainWindowState.cachedSimulatorWindow;
    if (!cached)
        cached = FindWindowA("FS98MAIN", nullptr);
    if (cached)
        SetForegroundWindow(cached);
}

void PostToSimulatorWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND& cached = MainWindowState.cachedSimulatorWindow;
    if (!cached) {
        int simulator = Settings.UseSimulator;
        const char* windowClass = simulator == SimulatorXPlane       ? "X-System"
                                  : simulator == SimulatorFlightGear ? "FlightGear"
                                                                     : "FS98MAIN";
        cached = FindWindowA(windowClass, nullptr);
    }
    if (cached)
        PostMessageA(cached, message, wParam, lParam);
}
