// File dialogs: the wait for the tile cache cleanup, the working folder kept
// whatever the dialog does, the FS2004 full-screen rule, and the flight-plan
// file dialogs.
#include "app/file_dialogs.h"

#include "app/language.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "app/status_message.h"
#include "maps/tile_cache.h"
#include "platform/dialogs.h"
#include "platform/threads.h"
#include "simlink/sim_link.h"
#include "app/softkey_menu.h"
#include "navdata/flight_plan_files.h"
#include "navdata/text_lines.h"
#include "platform/files.h"

#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int FileNameSize = 512;

const char PlanDialogTitle[] = "Flightplan";
// Pairs of description and pattern, ended by an empty text.
const char PlanDialogFilter[] = "Flightplan file *.pln\0*.pln\0All files *.*\0*.*\0";
const char PlanDialogExtension[] = "PLN";

// False (and an empty text) when the root is too long for the folder's name.
bool PlanFolder(char* out, size_t size) { return FormatText(out, size, "%s/Airports", ProgramRoot); }

// FS2004 full screen: nothing can show over the game, so say why and give up.
bool BlockedByFullScreen()
{
    if (Settings.UseSimulator.load() != SimulatorFs2004)
        return false;
    if (!IsFullScreen() && !IsFullScreenWindow())
        return false;
    const char* text = GetNoteText(15);
    ShowStatusMessage(text ? text : "");
    return true;
}

bool RunDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder,
               bool save)
{
    while (IsCacheCleanupRunning())
        Sleep(1);
    if (BlockedByFullScreen())
        return false;
    char workingFolder[PATH_MAX];
    bool haveFolder = getcwd(workingFolder, sizeof workingFolder) != nullptr;
    char name[FileNameSize] = "";
    if (save && path)
        std::snprintf(name, sizeof name, "%s", path);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetMainWindow();
    dialog.hInstance = MainWindowState.instance;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = FileNameSize;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = extension;
    // FS2004 runs the open dialog for saving too.
    bool useSave = save && Settings.UseSimulator.load() != SimulatorFs2004;
    BOOL chosen;
    if (useSave) {
        chosen = GetSaveFileNameA(&dialog);
    } else {
        dialog.Flags = save ? 0 : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameA(&dialog);
    }
    if (haveFolder && chdir(workingFolder) != 0) {
        // The folder went away meanwhile: nothing to restore.
    }
    if (!chosen || !path)
        return false;
    std::memcpy(path, name, std::strlen(name) + 1);
    return true;
}

}  // namespace

bool IsFullScreenWindow()
{
    int width = 0, height = 0;
    GetClientSize(&width, &height);
    return width >= GetSystemMetrics(SM_CXSCREEN) && height >= GetSystemMetrics(SM_CYSCREEN);
}

bool OpenFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder)
{
    return RunDialog(title, path, filter, extension, folder, false);
}

bool SaveFileDialog(const char* title, char* path, const char* filter, const char* extension, const char* folder)
{
    return RunDialog(title, path, filter, extension, folder, true);
}

bool OpenFlightPlanDialog()
{
    char folder[600], path[512] = "";
    PlanFolder(folder, sizeof folder);
    if (!OpenFileDialog(PlanDialogTitle, path, PlanDialogFilter, PlanDialogExtension, folder))
        return false;
    if (!FileExists(path))
        return false;
    LoadFlightPlanFile(path);
    ActivateFlightPlan();
    return true;
}

void SaveFlightPlanDialog()
{
    char folder[600], path[512] = "";
    PlanFolder(folder, sizeof folder);
    if (SaveFileDialog(PlanDialogTitle, path, PlanDialogFilter, PlanDialogExtension, folder))
        SavePlnFile(path);
}
