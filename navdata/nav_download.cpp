// Asking the navigation-data downloader for the package of a source whose
// files are missing: the request in install.ini, the downloader, then the
// package it leaves, each waited for.
#include "navdata/nav_tables.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "navdata/nav_source.h"
#include "navdata/text_lines.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/messagebox.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/sync.h"
#include "platform/termination.h"

#include <cstring>
#include <strings.h>

static constexpr int PathSize = 512;

struct NavPackage {
    NavSource source;
    const char* file;
};

static const NavPackage Packages[] = {
    {NavSourceXPL, "XPLpak.exe"},   {NavSourceFG, "FGpak.exe"},   {NavSourceMSFS, "MSFSpak.exe"},
    {NavSourceFSX, "FSXpak.exe"},   {NavSourceP3D, "P3Dpak.exe"}, {NavSourceFS9, "FS9pak.exe"},
    {NavSourceAFS2, "AFS2pak.exe"},
};

static bool Exists(const char* path)
{
    char resolved[PathSize];
    return ResolvePath(path, resolved, sizeof(resolved));
}

// A program of the family exists as "X.exe" or as the stand-in "X" beside it.
static bool ProgramExists(const char* path)
{
    if (Exists(path))
        return true;
    char stem[PathSize];
    CopyText(stem, sizeof(stem), path);
    size_t length = std::strlen(stem);
    if (length > 4 && strcasecmp(stem + length - 4, ".exe") == 0)
        stem[length - 4] = '\0';
    return Exists(stem);
}

// Starts a program in folder and waits for it to end; false when it cannot start.
static bool RunAndWait(const char* program, const char* folder)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = nullptr;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr) {
        WriteLogF("Cannot start %s", program);
        return false;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    return true;
}

static void ShowDownloadError(int text)
{
    MessageBoxA(nullptr, GetErrorText(text), "Zorizeruverovu", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
    Settings.NavDatabase = 0;
}

static void WriteInstallRequest(const char* package)
{
    char ini[PathSize];
    char value[PathSize];
    FormatText(ini, sizeof(ini), "%s/system/install.ini", DataFolder);
    FormatText(value, sizeof(value), "/navdatabase/%s", package);
    WritePrivateProfileStringA(InstallRequestSection, "NavigationDatabase", value, ini);
    FormatText(value, sizeof(value), "%s/Navdata/%s", DataFolder, package);
    WritePrivateProfileStringA(InstallRequestSection, "DownloadPath", value, ini);
    WritePrivateProfileStringA(InstallRequestSection, "Filename", package, ini);
    WritePrivateProfileStringA(InstallRequestSection, "Language", Settings.Language, ini);
}

// The program is being ended (a termination signal ended the wait and the
// downloader with it): nothing more is started, nothing is reported, and
// the settings stay as they are.
static bool EndedMeanwhile()
{
    if (!IsTerminationRequested())
        return false;
    WriteLog("Navigation data: the program ends, the download is given up");
    return true;
}

// Downloads and installs the package; the window is out of the topmost band
// meanwhile, so the downloader's own window can be seen.
static bool DownloadPackage(const char* package)
{
    char downloader[PathSize];
    char folder[PathSize];
    FormatText(downloader, sizeof(downloader), "%s/system/PlovikDownload.exe", DataFolder);
    if (!ProgramExists(downloader)) {
        ShowDownloadError(4);
        return false;
    }
    FormatText(folder, sizeof(folder), "%s/System", DataFolder);
    NavDownloadOffered = 1;
    RunAndWait(downloader, folder);
    if (EndedMeanwhile())
        return false;

    char packagePath[PathSize];
    FormatText(packagePath, sizeof(packagePath), "%s/Navdata/%s", DataFolder, package);
    if (!Exists(packagePath)) {
        ShowDownloadError(3);
        return false;
    }
    FormatText(folder, sizeof(folder), "%s/Navdata", DataFolder);
    RunAndWait(packagePath, folder);
    if (EndedMeanwhile())
        return false;
    DeleteFileA(packagePath);
    return true;
}

bool CheckForNavData()
{
    const NavPackage* package = nullptr;
    for (const NavPackage& p : Packages) {
        if (IsNavSourceSelected(p.source)) {
            package = &p;
            break;
        }
    }
    if (package == nullptr)
        return true;  // OpenAIP comes with no package
    char navaids[PathSize];
    FormatNavdataPath(navaids, sizeof(navaids), package->source, "navdat.bin");
    if (Exists(navaids))
        return true;

    if (EndedMeanwhile())
        return false;
    WriteLogF("Navigation data %s missing: asking for %s", navaids, package->file);
    WriteInstallRequest(package->file);
    bool topMost = Settings.TopMost != 0;
    if (topMost)
        SetWindowNotTopmost();
    bool installed = DownloadPackage(package->file);
    if (topMost)
        SetWindowTopmost();
    return installed;
}
