// The map program's start-up, message loop and shutdown.
#include "app/winmain.h"

#include "app/command_table.h"
#include "app/display_modes.h"
#include "app/frame_driver.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "platform/ini_sections.h"
#include "platform/win32.h"
#include "app/processor_core.h"
#include "app/settings.h"
#include "app/simulator_window.h"
#include "maps/tile_locks.h"
#include "app/track_ring.h"
#include "app/window_placement.h"
#include "maps/http_download.h"
#include "maps/tile_cache.h"
#include "platform/profile.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "simlink/p3d_link.h"
#include "simlink/sim_link.h"
#include "simlink/udp_link.h"

#include <FreeImage.h>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

int ProgramArgumentCount = 0;
char** ProgramArguments = nullptr;


HINSTANCE GetInstanceHandle() { return MainWindowState.instance; }

int GetInstanceArgument() { return MainWindowState.instanceArgument; }

bool IsStartingUp() { return MainWindowState.starting; }

void SetQuitRequest() { MainWindowState.quitRequest = true; }

void ClearQuitRequest() { MainWindowState.quitRequest = false; }

bool IsQuitRequested() { return MainWindowState.quitRequest; }

int InstanceArgumentOf(int argumentCount, char** arguments)
{
    if (argumentCount != 2 || !arguments || !arguments[1])
        return 0;
    return std::atoi(arguments[1]);
}

void OnImageLibraryMessage(int format, const char* message)
{
    char text[1024];
    if (format == FIF_UNKNOWN) {
        std::snprintf(text, sizeof(text), "%s", message ? message : "");
    } else {
        const char* name = FreeImage_GetFormatFromFIF(static_cast<FREE_IMAGE_FORMAT>(format));
        std::snprintf(text, sizeof(text), "%s Format\n%s\n", name ? name : "", message ? message : "");
    }
    WriteLog(text);
}

static void ImageLibraryMessage(FREE_IMAGE_FORMAT format, const char* message)
{
    OnImageLibraryMessage(static_cast<int>(format), message);
}

// A std::runtime_error escaping a stage is dropped: the loop goes on.
template <class Step>
static void Guarded(Step step)
{
    try {
        step();
    } catch (const std::runtime_error& e) {
        WriteLogF("Dropped error: %s", e.what());
    }
}

void StartUpProgram(HINSTANCE instance)
{
    MainWindowStateBlock& s = MainWindowState;
    s.starting = true;
    s.running = true;
    s.instance = instance;
    s.instanceArgument = InstanceArgumentOf(ProgramArgumentCount, ProgramArguments);
    ApplyProcessorCore();
    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(ImageLibraryMessage);
    CreateTileMutexes();
    CreateMainWindow(instance);
    if (!RestoreWindowPlacement())
        PlaceWindowFromIni(s.mainWindow, true);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SetDefaultSettings();
    s.windowReady = true;
    SetDisplayResetting(0);
    StartWinsock();
    ProcessDeletionLog();
    // Emptied before the display start, which loads the kept track from
    // track.bin: emptied after it, the kept track would be lost at every start.
    ClearTrack();
    Guarded([&] { RunFrameStage(s.mainWindow, s.instance, 1, s.clientWidth, s.clientHeight); });
    s.starting = false;
    WritePrivateProfileStringA(SystemSection, "UseProcessorCore", s.coreText, LocalIniFile);
    BringSimulatorToFront();
    s.relayoutRequest = 0;
}

static void IdlePass()
{
    MainWindowStateBlock& s = MainWindowState;
    if (s.paused) {
        Sleep(100);
        return;
    }
    if (s.relayoutRequest == 0) {
        Guarded([&] { RunFrameStage(s.mainWindow, s.instance, 2, s.clientWidth, s.clientHeight); });
    } else if (s.relayoutRequest == 1) {
        Guarded([&] { ApplyWindowSize(s.mainWindow); });
        s.relayoutRequest = 0;
    }
    int index = -1;
    if (GetPendingCommand(&index))
        ExecuteCommand(static_cast<uint32_t>(index));
    StepDisplayMode();
}

void RunMessageLoop()
{
    MainWindowStateBlock& s = MainWindowState;
    while (s.running && !s.quitRequest) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The platform's own end (a frame count reached, SIGINT or
            // SIGTERM) ends the program like the Exit command.
            if (msg.message == WM_QUIT) {
                s.quitRequest = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        IdlePass();
    }
}

void ShutDownProgram()
{
    MainWindowStateBlock& s = MainWindowState;
    Guarded([&] {
        if (s.quitRequest)
            SaveWindowPlacement();
        RunFrameStage(s.mainWindow, s.instance, 3, s.clientWidth, s.clientHeight);
        // The display's release asked the link to stop; its thread still has
        // to tell the peer goodbye before the process ends.
        StopAndJoinUdpLinkThread();
        UnloadP3dConnector();
        StopWinsock();
        SaveWindowLayoutKeys();
        ProcessDeletionLog();
        FreeImage_DeInitialise();
    });
    s.windowReady = false;
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    StartUpProgram(instance);
    RunMessageLoop();
    ShutDownProgram();
    WriteLog("Program ended");
    CloseWindowLayer();
    return 0;
}
