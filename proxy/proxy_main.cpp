// The proxy's start-up, its wait for the simulator and its end.
#include "proxy/proxy_main.h"

#include "platform/console.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/simconnect/simconnect.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "proxy/game_controllers.h"
#include "proxy/sim_session.h"
#include "proxy/udp_server.h"

#include <cstdio>
#include <cstdlib>

// A terminal has no console window, so ConsoleWindow stays null there and is
// never minimised or shown.
HWND ConsoleWindow = nullptr;
char InstallPath[512] = "";

namespace {

constexpr char InstanceMutexName[] = "TVL_MSF_Proxy- Zorizeruverovu192837465px";
constexpr char ApplicationName[] = "Tabrix Tervalingo 2.6";
constexpr DWORD OpenRetryMs = 50;
constexpr int EscKey = 27;
constexpr char InstallKey[] = "Software\\Tabrix Software\\Plovik";

// Open for the whole run: it is what marks the instance. Kept here rather
// than in a local so it is closed on the way out and never lost.
HANDLE InstanceMutex = nullptr;

// Ends the process at once when another instance runs on this machine.
void EnsureSingleInstance()
{
    InstanceMutex = CreateMutexA(nullptr, TRUE, InstanceMutexName);
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        std::exit(-1);
    if (InstanceMutex != nullptr)
        ReleaseMutex(InstanceMutex);
}

// Waits for the simulator, serving clients meanwhile; ESC ends the process.
void WaitForSimulator()
{
    while (FAILED(SimConnect_Open(&SimConnectHandle, ApplicationName, nullptr, 0, nullptr, 0))) {
        SimConnectHandle = nullptr;
        Sleep(OpenRetryMs);
        if (ConsoleKeyIsEsc()) {
            StopRequest = true;
            std::printf("\nProgram aborted");
            std::exit(-1);
        }
        ServeClients();
    }
}

}  // namespace

void ReadInstallPath()
{
    InstallPath[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, InstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD size = sizeof(InstallPath) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<LPBYTE>(InstallPath), &size) ==
        ERROR_SUCCESS) {
        InstallPath[size < sizeof(InstallPath) ? size : sizeof(InstallPath) - 1] = '\0';
        NormalizePath(InstallPath);
    } else {
        InstallPath[0] = '\0';
    }
    RegCloseKey(key);
}

bool ConsoleKeyIsEsc()
{
    return _kbhit() != 0 && _getch() == EscKey;
}

int ProxyMain(int argc, char**)
{
    // Unbuffered, so each console line shows (and reaches a pipe) at once.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    EnsureSingleInstance();
    if (argc == 1)
        ConsoleWindow = GetConsoleWindow();
    if (StartUdpServer()) {
        ReadInstallPath();
        if (!ControllersEnumerated() && CreateDirectInput())
            EnumerateControllers();
        std::printf("\n\nPress and hold ESC button to abort\n");
        while (!StopRequest.load() && !MismatchEnd) {
            std::printf("\nWait for Flightsimulator");
            WaitForSimulator();
            std::printf("\nConnected to Flight Simulator!");
            StopRequest = false;
            if (!MismatchEnd)
                RunSimSession();
            std::printf("\nConnection Closed");
        }
    }
    StopUdpServer();
    if (InstanceMutex != nullptr) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
    std::printf("\n");
    return 0;
}
