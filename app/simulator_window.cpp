// The simulator's main window, found by its class and cached.
#include "app/simulator_window.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "platform/window.h"

static bool SimulatorFocusEnabled = true;

bool IsSimulatorFocusEnabled() { return SimulatorFocusEnabled; }

void SetSimulatorFocusEnabled(bool enabled) { SimulatorFocusEnabled = enabled; }

void ResetSimulatorWindowCache() { MainWindowState.cachedSimulatorWindow = nullptr; }

void BringSimulatorToFront()
{
    int simulator = Settings.UseSimulator;
    if (!SimulatorFocusEnabled || (simulator != 1 && simulator != 2 && simulator != 5))
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
        const char* windowClass = simulator == 4 ? "X-System" : simulator == 6 ? "FlightGear" : "FS98MAIN";
        cached = FindWindowA(windowClass, nullptr);
    }
    if (cached)
        PostMessageA(cached, message, wParam, lParam);
}
