// The program root and the paths below it, the one writer of keys into INI
// files of the System folder, the language preset from the locale, and the
// window title, chart scale and chart status lines.
#include "app/program_root.h"

#include "app/language.h"
#include "platform/log.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "display/map_view.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/locale.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "platform/registry.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

const char SimulatorNames[9][20] = {"",        "FSX",        "Prepar3D", "Prepar3D",   "X-Plane",
                                    "FS2004",  "FlightGear", "MSFS",     "Aerofly FS2"};
const char VersionText[] = "1.0";
char ChartStatusText[256];

namespace {

const char* const BoxCaption = "Zorizeruverovu";
constexpr unsigned BoxStyle = MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST;

// Exists when it reports attributes and its length can be read, or it is a
// folder.
bool Exists(const char* path)
{
    return FileExists(path) == 1;
}

// Path text from a file or the registry: '/' separators, no trailing '/'.
void SetRootText(const char* text)
{
    snprintf(ProgramRoot, sizeof ProgramRoot, "%s", text);
    NormalizePath(ProgramRoot);
    size_t n = strlen(ProgramRoot);
    while (n > 1 && ProgramRoot[n - 1] == '/')
        ProgramRoot[--n] = '\0';
}

// Key "Path" of section in file; false when it is missing or "None".
bool ReadPathKey(const char* file, const char* section)
{
    char value[512];
    GetPrivateProfileStringA(section, "Path", "None", value, sizeof value, file);
    if (strcmp(value, "None") == 0)
        return false;
    SetRootText(value);
    return true;
}

// The registry's install path, recorded in the settings file below it so a
// later start finds it there. False when the key is missing.
bool ReadRootFromRegistry()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tabrix Software\\Plovik", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char value[512] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS)
        value[size < sizeof value ? size : sizeof value - 1] = '\0';
    else
        value[0] = '\0';
    RegCloseKey(key);
    SetRootText(value);
    snprintf(IniFileName, sizeof IniFileName, "Plovik.ini");
    // Never into a settings file at the top of the file system: only into
    // the System folder of the root just found, when it is there.
    char system[512];
    snprintf(system, sizeof system, "%s/System", ProgramRoot);
    if (ProgramRoot[0] && IsDirectory(system)) {
        char ini[600];
        snprintf(ini, sizeof ini, "%s/%s", system, IniFileName);
        WritePrivateProfileStringA(MainSection, "Path", ProgramRoot, ini);
    }
    return true;
}

// Steps after the working folder: the INI files beside it, the registry.
void FindRootElsewhere()
{
    if (!Exists("./Plovik.ini"))
        return;
    if (ReadPathKey("./Plovik.ini", MainSection) || ReadPathKey("./Plovik.ini", OldMainSection))
        return;
    if (Exists("./Korvane.ini")) {
        ReadPathKey("./Korvane.ini", KorvaneRootSection);
        return;
    }
    if (!ReadRootFromRegistry()) {
        MessageBoxA(nullptr, "Plovik root directory not found!\nCannot start program.", BoxCaption, BoxStyle);
        WriteLog("Plovik root directory not found");
        exit(-1);
    }
}

void SetSystemPaths()
{
    char system[512];
    snprintf(system, sizeof system, "%s/System", ProgramRoot);
    // Take the spelling on disk, so paths built on it work as they are.
    char resolved[512];
    if (!ResolvePath(system, resolved, sizeof resolved))
        snprintf(resolved, sizeof resolved, "%s", system);
    snprintf(SystemFolder, sizeof SystemFolder, "%s", resolved);
    char effect[600];
    snprintf(effect, sizeof effect, "%s/QRDLX30_11.fxo", SystemFolder);
    if (!Exists(effect))
        MessageBoxA(nullptr, "Plovik was probably not started at the Plovik\\System directory", BoxCaption, BoxStyle);
    snprintf(IniFileName, sizeof IniFileName, "Plovik.ini");
    snprintf(IniFilePath, sizeof IniFilePath, "%.440s/%.60s", SystemFolder, IniFileName);
}

} // namespace

bool RootFromWorkingFolder(const char* folder, char* root, size_t size)
{
    if (!folder || !root || size == 0)
        return false;
    // The last component equal to "system": a "SystemX" or "mysystem" in
    // another name is no cut, and the path's own case is kept.
    const char* cut = nullptr;
    for (const char* p = strchr(folder, '/'); p; p = strchr(p + 1, '/')) {
        if (strncasecmp(p + 1, "system", 6) == 0 && (p[7] == '/' || p[7] == '\0'))
            cut = p;
    }
    if (!cut)
        return false;
    size_t n = static_cast<size_t>(cut - folder);
    if (n >= size)
        return false;
    memcpy(root, folder, n);
    root[n] = '\0';
    return true;
}

void LocateProgramRoot()
{
    int drive = _getdrive();
    char folder[512] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    NormalizePath(folder);
    ProgramRoot[0] = '\0';
    if (!RootFromWorkingFolder(folder, ProgramRoot, sizeof ProgramRoot)) {
        ProgramRoot[0] = '\0';
        FindRootElsewhere();
    }
    SetSystemPaths();
    if (drive == 3 && (strstr(ProgramRoot, "Program Files(x86)") || strstr(ProgramRoot, "Programme (x86)"))) {
        MessageBoxA(nullptr, "In a subfolder of Program Files(x86)\nTervalingo must be executed with admin rights!",
                    BoxCaption, BoxStyle);
    }
}

void SetLanguageFromLocale()
{
    char name[512];
    GetSystemLocaleName(name, sizeof name);
    const char* dash = strchr(name, '-');
    size_t n = dash ? static_cast<size_t>(dash - name) : 0;
    // The setting holds at most 4 characters.
    if (n == 0 || n > 4)
        snprintf(Settings.Language, sizeof Settings.Language, "en");
    else
        snprintf(Settings.Language, sizeof Settings.Language, "%.*s", static_cast<int>(n), name);
}

void SetMainWindowTitle()
{
    int simulator = Settings.UseSimulator.load();
    const char* name = simulator >= 0 && simulator < 9 ? SimulatorNames[simulator] : "";
    char title[128];
    snprintf(title, sizeof title, Settings.TopMost.load() ? "TABRIX Tervalingo %s for %s (on top)"
                                                          : "TABRIX Tervalingo %s for %s",
             VersionText, name);
    SetWindowTitle(title);
}

float GetChartLevelScale()
{
    switch (CurrentChartLevel) {
    case 0: {
        // Bounded so that a wild step count cannot give 0 or infinity.
        int steps = ChartZoomOutSteps < -30 ? -30 : ChartZoomOutSteps > 30 ? 30 : ChartZoomOutSteps;
        return std::ldexp(1.0f, -steps);
    }
    case 1:
        return 2.0f;
    case 2:
        return 3.0f;
    case 3:
        return 4.0f;
    case 4:
        return 6.0f;
    default:
        return 1.0f;
    }
}

void FormatPdfPageLine(int32_t page)
{
    // The text comes from the language file: it is used as a format only
    // when it takes exactly the two numbers.
    FormatLanguageText(ChartStatusText, sizeof ChartStatusText, LanguageSection::General, 4, "%d %d", page,
                       Settings.PDFPages);
}

void FormatPdfNoPageLine()
{
    snprintf(ChartStatusText, sizeof ChartStatusText, "%s", GetGeneralText(5));
}
